// The child the child-process tests start: `echo ARGS...` prints its arguments as a JSON array
// on standard output and two lines on standard error, the last without a line end, and exits
// with 7; `wait-stop` says "waiting" on standard error and exits with 5 once asked to stop.
#include "install/Console.hpp"

#include <cstdio>

#include <nlohmann/json.hpp>

int main(int argc, char** argv) {
    const auto args = console::arguments(argc, argv);
    if (!args.empty() && args[0] == "echo") {
        const nlohmann::json rest(std::vector<std::string>(args.begin() + 1, args.end()));
        std::printf("%s", rest.dump().c_str());
        std::fprintf(stderr, "to standard error\nlast words");
        return 7;
    }
    if (!args.empty() && args[0] == "wait-stop") {
        console::takeInterrupts(false);
        std::fprintf(stderr, "waiting\n");
        std::fflush(stderr);
        return console::waitForInterrupt() == console::Interrupt::Stop ? 5 : 6;
    }
    return 2;
}
