#include "cli/CliOptions.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

std::optional<double> readSeconds(const std::string& text) {
    double value = 0.0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0.0) {
        return std::nullopt;
    }
    return value;
}

// Russian when the locale asks for it, English otherwise.
CliLanguage languageFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return std::string_view(value).starts_with("ru") ? CliLanguage::Russian
                                                             : CliLanguage::English;
        }
    }
    return CliLanguage::English;
}

std::optional<CliCommand> commandNamed(const std::string& name) {
    if (name == "info") {
        return CliCommand::Info;
    }
    if (name == "check") {
        return CliCommand::Check;
    }
    if (name == "countries") {
        return CliCommand::Countries;
    }
    if (name == "update") {
        return CliCommand::Update;
    }
    return std::nullopt;
}

} // namespace

std::variant<CliOptions, CliUsageError> CliArguments::parse(const std::vector<std::string>& args) {
    CliOptions options;
    options.language = languageFromEnvironment();
    std::optional<CliCommand> command;
    bool selectionGiven = false;
    bool deviceGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](std::string& out) -> bool {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--server") {
            if (!value(options.server)) {
                return CliUsageError{"--server needs a URL"};
            }
        } else if (arg == "--probe-url") {
            if (!value(options.probeUrl)) {
                return CliUsageError{"--probe-url needs a URL"};
            }
        } else if (arg == "--device") {
            if (!value(text)) {
                return CliUsageError{"--device needs 'usb' or 'sim:PROFILE.json'"};
            }
            if (text == "usb") {
                options.device = "usb";
            } else if (text.starts_with("sim:") && text.size() > 4) {
                options.device = text.substr(4);
            } else {
                return CliUsageError{"--device takes 'usb' or 'sim:PROFILE.json', not '" + text +
                                     "'"};
            }
            deviceGiven = true;
        } else if (arg == "--wait") {
            if (!value(text)) {
                return CliUsageError{"--wait needs a number of seconds"};
            }
            options.waitSeconds = readSeconds(text);
            if (!options.waitSeconds) {
                return CliUsageError{"--wait takes a number of seconds of 0 or more, not '" + text +
                                     "'"};
            }
        } else if (arg == "--no-pauses") {
            options.noPauses = true;
        } else if (arg == "--trace") {
            if (!value(options.traceFile)) {
                return CliUsageError{"--trace needs a file name"};
            }
        } else if (arg == "--dump-memory") {
            if (!value(options.dumpMemoryDir)) {
                return CliUsageError{"--dump-memory needs a folder"};
            }
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--lang") {
            if (!value(text) || (text != "ru" && text != "en")) {
                return CliUsageError{"--lang takes 'ru' or 'en'"};
            }
            options.language = text == "ru" ? CliLanguage::Russian : CliLanguage::English;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--countries") {
            if (!value(text)) {
                return CliUsageError{"--countries needs NAME[,NAME...] or 'all'"};
            }
            selectionGiven = true;
            if (text == "all") {
                options.allCountries = true;
            } else {
                for (auto& name : splitCommas(text)) {
                    if (name.empty()) {
                        return CliUsageError{"--countries has an empty name in '" + text + "'"};
                    }
                    options.countries.push_back(std::move(name));
                }
            }
        } else if (arg == "--exclude-strelka") {
            options.excludeStrelka = true;
            selectionGiven = true;
        } else if (arg == "--exclude-fake") {
            options.excludeFake = true;
            selectionGiven = true;
        } else if (arg == "--yes" || arg == "-y") {
            options.yes = true;
        } else if (arg.starts_with("-")) {
            return CliUsageError{"unknown option '" + arg + "'"};
        } else if (command) {
            return CliUsageError{"more than one command ('" + arg + "')"};
        } else {
            command = commandNamed(arg);
            if (!command) {
                return CliUsageError{"unknown command '" + arg + "'"};
            }
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (!command) {
        return CliUsageError{"no command given"};
    }
    options.command = *command;
    if (options.demo && !deviceGiven) {
        options.device.clear();
    }
    const bool simulated = options.simulated();
    if (options.noPauses && !simulated) {
        return CliUsageError{"--no-pauses is only for a simulated device (--device sim:... or "
                             "--demo); a real detector needs the pauses"};
    }
    if (!options.dumpMemoryDir.empty() && !simulated) {
        return CliUsageError{"--dump-memory is only for a simulated device (--device sim:... or "
                             "--demo)"};
    }
    const bool takesSelection =
        options.command == CliCommand::Update || options.command == CliCommand::Check;
    if (selectionGiven && !takesSelection) {
        return CliUsageError{"--countries and --exclude-* belong to 'update' and 'check'"};
    }
    if (options.yes && options.command != CliCommand::Update) {
        return CliUsageError{"--yes belongs to 'update'"};
    }
    if (options.command == CliCommand::Update && !options.allCountries &&
        options.countries.empty()) {
        return CliUsageError{"update needs --countries NAME[,NAME...] or --countries all"};
    }
    return options;
}

std::string CliArguments::usage() {
    return R"(usage: detector-updater-cli [OPTIONS] COMMAND
commands:
  info        wait for a detector, identify it and print its model and versions
  check       info, then ask the update server and print what an update would write
  countries   print the server's country list with camera, Strelka and Fake counts
              (needs only the server, no detector)
  update --countries NAME[,NAME...]|all [--exclude-strelka] [--exclude-fake] [--yes]
              write the firmware and the database for the chosen countries
options:
  --server URL         update server base address
  --probe-url URL      connectivity probe address
  --device usb|sim:PROFILE.json
                       the detector on USB (default) or a virtual detector
  --wait SECONDS       give up when no detector is there in time (default: wait until Ctrl-C)
  --no-pauses          skip the fixed pauses (virtual detector only)
  --trace FILE         write every USB transaction and HTTP request to FILE
  --dump-memory DIR    write the virtual detector's memory as DIR/selector0.hex, selector1.hex
                       at the end (DIR is made if missing; one that cannot be written is a
                       usage error before anything runs)
  --json               print one JSON result object on stdout (texts go to stderr)
  --lang ru|en         language of the texts (default from LANG)
  --demo               embedded simulated update server and virtual detector
  --version            print the version and exit
exit status: 0 complete, 1 failed or declined, 2 usage error, 3 no device, 130 interrupted
)";
}
