#include "cli/CliOptions.hpp"

#include "usb/PortFilterBus.hpp"

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
    if (name == "verify") {
        return CliCommand::Verify;
    }
    if (name == "list") {
        return CliCommand::List;
    }
    if (name == "station") {
        return CliCommand::Station;
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
                return CliUsageError{"--device needs 'usb', 'usb:PORT' or 'sim:PROFILE.json'"};
            }
            if (text == "usb") {
                options.device = "usb";
                options.port.clear();
            } else if (text.starts_with("usb:")) {
                options.device = "usb";
                options.port = text.substr(4);
                if (!usb::PortFilterBus::isPortPath(options.port)) {
                    return CliUsageError{"--device usb:PORT takes a port path such as 1-4.2 (see "
                                         "'list'), not '" +
                                         options.port + "'"};
                }
            } else if (text.starts_with("sim:") && text.size() > 4) {
                options.device = text.substr(4);
            } else {
                return CliUsageError{
                    "--device takes 'usb', 'usb:PORT' or 'sim:PROFILE.json', not '" + text + "'"};
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
        } else if (arg == "--offline") {
            options.offline = true;
        } else if (arg == "--log") {
            if (!value(options.logFile)) {
                return CliUsageError{"--log needs a file name"};
            }
        } else if (arg == "--jobs") {
            unsigned jobs = 0;
            const bool read = value(text);
            const auto* end = text.data() + text.size();
            const auto [ptr, ec] = std::from_chars(text.data(), end, jobs);
            if (!read || ec != std::errc() || ptr != end || jobs == 0 || jobs > 64) {
                return CliUsageError{"--jobs takes a number from 1 to 64"};
            }
            options.jobs = jobs;
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
    const bool station = options.command == CliCommand::Station;
    if ((station || options.command == CliCommand::List) && simulated) {
        return CliUsageError{"'list' and 'station' work on the detectors attached over USB"};
    }
    if (station && !options.port.empty()) {
        return CliUsageError{"'station' takes every port; --device usb:PORT belongs to one update"};
    }
    if ((!options.logFile.empty() || options.jobs != 0) && !station) {
        return CliUsageError{"--log and --jobs belong to 'station'"};
    }
    if (options.json && station) {
        return CliUsageError{"'station' writes JSON lines with --log FILE, not --json"};
    }
    const bool takesSelection =
        options.command == CliCommand::Update || options.command == CliCommand::Check || station;
    if (selectionGiven && !takesSelection) {
        return CliUsageError{
            "--countries and --exclude-* belong to 'update', 'check' and 'station'"};
    }
    if (options.offline && options.command != CliCommand::Info) {
        return CliUsageError{"--offline belongs to 'info'"};
    }
    if (options.yes && options.command != CliCommand::Update) {
        return CliUsageError{"--yes belongs to 'update'"};
    }
    if ((options.command == CliCommand::Update || station) && !options.allCountries &&
        options.countries.empty()) {
        return CliUsageError{std::string(station ? "station" : "update") +
                             " needs --countries NAME[,NAME...] or --countries all"};
    }
    return options;
}

CliLanguage CliArguments::languageOf(const std::vector<std::string>& args) {
    CliLanguage language = languageFromEnvironment();
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--lang" && (args[i + 1] == "ru" || args[i + 1] == "en")) {
            language = args[i + 1] == "ru" ? CliLanguage::Russian : CliLanguage::English;
        }
    }
    return language;
}

std::string CliArguments::usage() {
    return R"(usage: detector-updater-cli [OPTIONS] COMMAND
commands:
  info [--offline]
              wait for a detector, identify it and print its model and versions
              (--offline: without any request to the update server)
  check       info, then ask the update server and print what an update would write
  countries   print the server's country list with camera, Strelka and Fake counts
              (needs only the server, no detector)
  update --countries NAME[,NAME...]|all [--exclude-strelka] [--exclude-fake] [--yes]
              write the firmware and the database for the chosen countries
  verify      check, then read back the RD and GPS images and their verify blocks and
              say for each whether the detector holds the same; writes nothing
  list        show every attached detector: port, release, INQUIRY text and whether it is
              free, busy (held by another program; never taken from it) or not permitted
  station --countries NAME[,NAME...]|all [--exclude-strelka] [--exclude-fake]
          [--log FILE] [--jobs N]
              workshop mode: update every detector plugged in, each in its own process with
              --device usb:PORT, one live line per device; the first Ctrl-C stops taking new
              detectors, the second stops the running updates; a summary at the end
options:
  --server URL         update server base address
  --probe-url URL      connectivity probe address
  --device usb|usb:PORT|sim:PROFILE.json
                       the detector on USB (default: the first one free), only the one on
                       PORT (e.g. 1-4.2, as 'list' shows it), or a virtual detector
  --wait SECONDS       give up when no detector is there in time (default: wait until Ctrl-C);
                       station: end once nothing has run or arrived for SECONDS
  --log FILE           station: append one JSON line per finished device to FILE
  --jobs N             station: at most N updates at once (default: one per processor core)
  --no-pauses          skip the fixed pauses (virtual detector only)
  --trace FILE         write every USB transaction and HTTP request to FILE
  --dump-memory DIR    write the virtual detector's memory as DIR/selector0.hex, selector1.hex
                       at the end (DIR is made if missing; one that cannot be written is a
                       usage error before anything runs)
  --json               print one JSON result object on stdout (texts go to stderr); list:
                       a JSON array
  --lang ru|en         language of the texts (default from LANG)
  --demo               embedded simulated update server and virtual detector
  --version            print the version and exit
exit status: 0 complete (verify: all the same), 1 failed, declined or differs,
  2 usage error, 3 no device, 130 interrupted; station: 0 only when every device completed
)";
}
