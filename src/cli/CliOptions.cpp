#include "cli/CliOptions.hpp"

#include "cli/CliTexts.hpp"
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

// The catalogue's texts of the usage errors, in the language the arguments ask for.
class Refusals {
public:
    explicit Refusals(CliLanguage language)
        : m_texts(CliTexts::table(language)) {}
    [[nodiscard]] CliUsageError refusal(const char* key,
                                        std::initializer_list<std::string> values = {}) const {
        return CliUsageError{CliTexts::fill(m_texts.L(key), values)};
    }

private:
    TableLocalizer m_texts;
};

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
    const Refusals texts(languageOf(args));
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
                return texts.refusal("cli_usage_server");
            }
        } else if (arg == "--probe-url") {
            if (!value(options.probeUrl)) {
                return texts.refusal("cli_usage_probe");
            }
        } else if (arg == "--device") {
            if (!value(text)) {
                return texts.refusal("cli_usage_device");
            }
            if (text == "usb") {
                options.device = "usb";
                options.port.clear();
            } else if (text.starts_with("usb:")) {
                options.device = "usb";
                options.port = text.substr(4);
                if (!usb::PortFilterBus::isPortPath(options.port)) {
                    return texts.refusal("cli_usage_port", {options.port});
                }
            } else if (text.starts_with("sim:") && text.size() > 4) {
                options.device = text.substr(4);
            } else {
                return texts.refusal("cli_usage_device_kind", {text});
            }
            deviceGiven = true;
        } else if (arg == "--wait") {
            if (!value(text)) {
                return texts.refusal("cli_usage_wait");
            }
            options.waitSeconds = readSeconds(text);
            if (!options.waitSeconds) {
                return texts.refusal("cli_usage_wait_value", {text});
            }
        } else if (arg == "--no-pauses") {
            options.noPauses = true;
        } else if (arg == "--trace") {
            if (!value(options.traceFile)) {
                return texts.refusal("cli_usage_trace");
            }
        } else if (arg == "--dump-memory") {
            if (!value(options.dumpMemoryDir)) {
                return texts.refusal("cli_usage_dump");
            }
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--lang") {
            if (!value(text) || (text != "ru" && text != "en")) {
                return texts.refusal("cli_usage_lang");
            }
            options.language = text == "ru" ? CliLanguage::Russian : CliLanguage::English;
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--countries") {
            if (!value(text)) {
                return texts.refusal("cli_usage_countries");
            }
            selectionGiven = true;
            if (text == "all") {
                options.allCountries = true;
            } else {
                for (auto& name : splitCommas(text)) {
                    if (name.empty()) {
                        return texts.refusal("cli_usage_empty_name", {text});
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
                return texts.refusal("cli_usage_log");
            }
        } else if (arg == "--jobs") {
            unsigned jobs = 0;
            const bool read = value(text);
            const auto* end = text.data() + text.size();
            const auto [ptr, ec] = std::from_chars(text.data(), end, jobs);
            if (!read || ec != std::errc() || ptr != end || jobs == 0 || jobs > 64) {
                return texts.refusal("cli_usage_jobs");
            }
            options.jobs = jobs;
        } else if (arg == "--yes" || arg == "-y") {
            options.yes = true;
        } else if (arg.starts_with("-")) {
            return texts.refusal("cli_usage_unknown_option", {arg});
        } else if (command) {
            return texts.refusal("cli_usage_two_commands", {arg});
        } else {
            command = commandNamed(arg);
            if (!command) {
                return texts.refusal("cli_usage_unknown_command", {arg});
            }
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (!command) {
        return texts.refusal("cli_usage_no_command");
    }
    options.command = *command;
    if (options.demo && !deviceGiven) {
        options.device.clear();
    }
    const bool simulated = options.simulated();
    if (options.noPauses && !simulated) {
        return texts.refusal("cli_usage_no_pauses");
    }
    if (!options.dumpMemoryDir.empty() && !simulated) {
        return texts.refusal("cli_usage_dump_sim");
    }
    const bool station = options.command == CliCommand::Station;
    if ((station || options.command == CliCommand::List) && simulated) {
        return texts.refusal("cli_usage_usb_only");
    }
    if (station && !options.port.empty()) {
        return texts.refusal("cli_usage_station_port");
    }
    if ((!options.logFile.empty() || options.jobs != 0) && !station) {
        return texts.refusal("cli_usage_station_options");
    }
    if (options.json && station) {
        return texts.refusal("cli_usage_station_json");
    }
    const bool takesSelection =
        options.command == CliCommand::Update || options.command == CliCommand::Check || station;
    if (selectionGiven && !takesSelection) {
        return texts.refusal("cli_usage_selection");
    }
    if (options.offline && options.command != CliCommand::Info) {
        return texts.refusal("cli_usage_offline");
    }
    if (options.yes && options.command != CliCommand::Update) {
        return texts.refusal("cli_usage_yes");
    }
    if ((options.command == CliCommand::Update || station) && !options.allCountries &&
        options.countries.empty()) {
        return texts.refusal("cli_usage_needs_countries", {station ? "station" : "update"});
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

std::string CliArguments::usage() { return usage(CliLanguage::English); }

std::string CliArguments::usage(CliLanguage language) {
    return TableLocalizer(CliTexts::table(language)).L("cli_help");
}
