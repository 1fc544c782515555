#pragma once
// What the command line needs from the process and its console, on every platform: its
// arguments as UTF-8, Ctrl-C and a closed terminal as events to wait for, and where its
// results are printed.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace console {

enum class Interrupt {
    Stop,   // Ctrl-C, Ctrl-Break, a termination request
    HangUp, // the terminal or console window went away
};

// The arguments after the program's name, as UTF-8 (Windows hands them over in UTF-16).
std::vector<std::string> arguments(int argc, char** argv);

// Our results go to the returned stream, the real standard output; whatever anything else
// prints to standard output lands on standard error, so machine-read output stays clean. The
// console is switched to UTF-8 where it has a code page. Call once, first.
std::FILE* takeStandardOutput();

// From here on no thread is ended or interrupted by Ctrl-C or a termination request: each one
// comes out of waitForInterrupt instead. With `hangUps` a closed terminal does too (otherwise it
// ends the process as usual). Call before any thread starts; a second call may add `hangUps`.
// A closed console window on Windows
// always comes out as HangUp: the system then ends the process a few seconds later, or as soon
// as `ending` is called.
void takeInterrupts(bool hangUps);
// On Windows a child has a console of its own, which its parent's Ctrl-C does not reach; the
// parent asks it to stop by setting the named event this environment variable names, and
// takeInterrupts turns that into a Stop.
inline constexpr const wchar_t* kStopEventVariable = L"DETECTOR_STOP_EVENT";

// Blocks until the next interrupt; nothing when none can come any more.
std::optional<Interrupt> waitForInterrupt();

// The process is about to end: a closing console need not hold it any longer.
void ending();

// Whether `stream` is a terminal that takes the live line's cursor controls (on Windows, a
// console whose virtual-terminal mode could be switched on). Plain lines otherwise.
bool isTerminal(std::FILE* stream);

} // namespace console
