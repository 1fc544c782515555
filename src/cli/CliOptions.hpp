#pragma once
// The command line of detector-updater-cli, parsed and checked before anything runs.

#include <optional>
#include <string>
#include <variant>
#include <vector>

enum class CliCommand { Info, Check, Countries, Update, List, Station, Verify };
enum class CliLanguage { English, Russian };

struct CliOptions {
    CliCommand command = CliCommand::Info;
    std::string server;   // empty: the built-in or environment address
    std::string probeUrl; // empty: likewise
    // "usb", the path of a device profile (the text after "sim:"), or empty for the demo's.
    std::string device = "usb";
    // With "usb": the port path the link is held to (e.g. "1-4.2"); empty for any port.
    std::string port;
    // station: the JSON-lines log appended to, and how many updates run at once (0: one per
    // processor core).
    std::string logFile;
    unsigned jobs = 0;
    // Seconds to wait for the device; nothing waits until Ctrl-C.
    std::optional<double> waitSeconds;
    bool noPauses = false;
    std::string traceFile;
    std::string dumpMemoryDir;
    bool json = false;
    CliLanguage language = CliLanguage::English;
    bool demo = false;
    // update (and check, for its database stage): "all" or country names.
    std::vector<std::string> countries;
    bool allCountries = false;
    bool excludeStrelka = false;
    bool excludeFake = false;
    bool yes = false;
    // info: identify and read the versions without asking the update server.
    bool offline = false;
    bool help = false;
    bool version = false;

    [[nodiscard]] bool simulated() const { return device != "usb"; }
};

struct CliUsageError {
    std::string message;
};

class CliArguments {
public:
    // Parses argv[1..]. Options may come before or after the command. Fails on an unknown
    // option or command (none is needed with --help or --version), a missing or malformed
    // value, an option the command does not take, --no-pauses or --dump-memory without a
    // simulated device, update or station without --countries, and a station or a list on a
    // simulated device.
    static std::variant<CliOptions, CliUsageError> parse(const std::vector<std::string>& args);

    // The usage text printed for --help, in English or in the language given.
    static std::string usage();
    static std::string usage(CliLanguage language);
    // The language of the texts for these arguments: --lang, else the locale's.
    static CliLanguage languageOf(const std::vector<std::string>& args);
};
