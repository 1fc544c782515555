#include "cli/Station.hpp"

#include "cli/ChildProcess.hpp"
#include "cli/CliApplication.hpp"
#include "cli/JsonText.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;
using WallClock = std::chrono::system_clock;

constexpr std::uint16_t kReleaseUpdated = 0x0200;
// A child that cannot get its port's detector within this time ends with "no device".
constexpr const char* kChildWaitSeconds = "15";

std::string isoTime(WallClock::time_point when) {
    using namespace std::chrono;
    const auto day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss time{floor<milliseconds>(when - day)};
    char text[96];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

std::string stringAt(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A live line must not wrap, or redrawing in place would miscount the lines: at most 79
// characters (UTF-8 sequences are kept whole).
std::string fit(const std::string& line) {
    constexpr std::size_t kColumns = 79;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0U) != 0x80U && ++characters > kColumns) {
            return line.substr(0, i);
        }
    }
    return line;
}

struct Job {
    std::string port;
    std::unique_ptr<ChildProcess> child;
    WallClock::time_point start;
    SteadyClock::time_point started;
    Station::Progress progress;
    bool ended = false;
    Station::Outcome outcome;
};

} // namespace

struct Station::Impl {
    std::shared_ptr<usb::UsbBus> bus;
    Options options;
    std::FILE* out;
    std::FILE* log = nullptr;

    std::atomic<int> interrupts{0};
    std::atomic<bool> done{false};
    // Before the jobs: their children are started with it and must end first.
    ChildProcess::Events events;

    std::mutex mutex; // guards arrivals
    std::deque<std::string> arrivals;
    std::thread watcher;

    std::deque<std::string> pending;
    std::vector<std::unique_ptr<Job>> running;
    std::vector<std::unique_ptr<Job>> finished;
    SteadyClock::time_point lastActivity = SteadyClock::now();
    int liveLines = 0;
    bool dirty = false; // the live lines need drawing again
    bool stopsSent = false;
    bool acceptanceEnded = false;

    void wake() { events.wake(); }

    void survey() {
        for (auto& device : bus->takeMatched()) {
            const auto port = device->portPath();
            const auto release = device->identity().release;
            std::string note;
            if (port.empty()) {
                note = device->describe() + ": skipped, its port is unknown";
            } else if (release != kReleaseUpdated) {
                char text[96];
                std::snprintf(text, sizeof text, ": skipped, release %04x is not %04x", release,
                              kReleaseUpdated);
                note = port + text;
            }
            const std::lock_guard lock(mutex);
            arrivals.push_back(note.empty() ? port : "!" + note);
        }
    }

    void watch() {
        while (!done.load()) {
            bus->waitForArrival(std::chrono::milliseconds(200));
            survey();
            wake();
        }
    }

    void print(const std::string& line) {
        clearLive();
        std::fprintf(out, "%s\n", line.c_str());
        // Into a pipe each line is read as it comes (a tee, a log watcher), not at the end.
        if (!options.terminal) {
            std::fflush(out);
        }
    }

    void clearLive() {
        dirty = true;
        if (options.terminal && liveLines > 0) {
            std::fprintf(out, "\033[%dA\033[J", liveLines);
            liveLines = 0;
        }
    }

    static std::string lineOf(const Job& job) {
        char text[512];
        const std::string model = job.progress.model.empty() ? "-" : job.progress.model;
        if (job.ended) {
            const std::string& r = job.outcome.result;
            std::snprintf(text, sizeof text, "%-10s %-18s %s%s%s", job.port.c_str(), model.c_str(),
                          r == "complete" ? "COMPLETE" : "FAIL",
                          job.outcome.error.empty() || r == "complete" ? "" : ": ",
                          r == "complete" ? "" : job.outcome.error.c_str());
        } else {
            std::snprintf(text, sizeof text, "%-10s %-18s %-40s %s", job.port.c_str(),
                          model.c_str(), job.progress.stage.c_str(), job.progress.percent.c_str());
        }
        return text;
    }

    void drawLive() {
        if (!options.terminal || !dirty) {
            return;
        }
        clearLive();
        dirty = false;
        for (const auto& job : running) {
            std::fprintf(out, "%s\n", fit(lineOf(*job)).c_str());
            ++liveLines;
        }
        if (!pending.empty()) {
            std::fprintf(out, "waiting for a free slot: %zu\n", pending.size());
            ++liveLines;
        }
        std::fflush(out);
    }

    void startJob(const std::string& port) {
        auto job = std::make_unique<Job>();
        job->port = port;
        job->start = WallClock::now();
        job->started = SteadyClock::now();
        std::string error;
        job->child = ChildProcess::start(options.command(port), events, error);
        if (!job->child) {
            job->ended = true;
            job->outcome.result = "failed";
            job->outcome.error = error;
            endJob(std::move(job));
            return;
        }
        if (!options.terminal) {
            print(port + ": update started");
        }
        running.push_back(std::move(job));
        dirty = true;
    }

    void endJob(std::unique_ptr<Job> job) {
        const auto end = WallClock::now();
        if (log != nullptr) {
            const nlohmann::json line = {{"start", isoTime(job->start)},
                                         {"end", isoTime(end)},
                                         {"port", job->port},
                                         {"model", job->outcome.model},
                                         {"keyword", job->outcome.keyword},
                                         {"versionsBefore", job->outcome.before},
                                         {"versionsAfter", job->outcome.after},
                                         {"result", job->outcome.result},
                                         {"error", job->outcome.error},
                                         {"pagesWritten", job->outcome.pagesWritten}};
            std::fprintf(log, "%s\n", jsonText(line).c_str());
            std::fflush(log);
        }
        print(lineOf(*job));
        lastActivity = SteadyClock::now();
        finished.push_back(std::move(job));
    }

    void takeArrivals() {
        std::deque<std::string> taken;
        {
            const std::lock_guard lock(mutex);
            taken.swap(arrivals);
        }
        for (auto& port : taken) {
            lastActivity = SteadyClock::now();
            if (port.starts_with("!")) {
                print(port.substr(1));
            } else if (interrupts.load() > 0) {
                print(port + ": not taken, the station is stopping");
            } else {
                pending.push_back(port);
                dirty = true;
            }
        }
    }

    void schedule() {
        const auto portBusy = [this](const std::string& port) {
            return std::any_of(running.begin(), running.end(),
                               [&](const auto& job) { return job->port == port; });
        };
        for (auto it = pending.begin(); it != pending.end() && running.size() < options.jobs;) {
            if (portBusy(*it)) {
                ++it; // the same port again: after the job on it has ended
                continue;
            }
            const std::string port = *it;
            it = pending.erase(it);
            startJob(port);
        }
    }

    void handleInterrupts() {
        const int count = interrupts.load();
        if (count >= 1 && !acceptanceEnded) {
            acceptanceEnded = true;
            for (const auto& port : pending) {
                print(port + ": not started, the station is stopping");
            }
            pending.clear();
            if (!running.empty()) {
                print("Stopping: no new detectors are taken; " + std::to_string(running.size()) +
                      " running update(s) will finish. Press Ctrl-C again to stop them.");
            }
        }
        if (count >= 2 && !stopsSent) {
            stopsSent = true;
            for (const auto& job : running) {
                job->child->stop();
            }
        }
    }

    void pollChildren(std::chrono::milliseconds timeout) {
        std::vector<ChildProcess*> children;
        for (const auto& job : running) {
            children.push_back(job->child.get());
        }
        events.wait(children, timeout);
        for (auto it = running.begin(); it != running.end();) {
            Job& job = **it;
            job.child->collect();
            std::vector<std::string> lines;
            job.child->takeErrorLines(lines);
            for (auto& line : lines) {
                if (absorb(job.progress, std::move(line)) && !options.terminal) {
                    print(job.port + ": " + job.progress.stage);
                }
                dirty = true;
            }
            if (const auto exit = job.child->finished()) {
                job.ended = true;
                job.outcome = outcomeOf(job.child->output(), *exit);
                if (job.outcome.model.empty()) {
                    job.outcome.model = job.progress.model;
                }
                job.progress.model = job.outcome.model;
                auto owned = std::move(*it);
                it = running.erase(it);
                endJob(std::move(owned));
                continue;
            }
            ++it;
        }
        drawLive();
    }

    bool over() const {
        if (!running.empty()) {
            return false;
        }
        if (interrupts.load() > 0) {
            return true;
        }
        return options.idle && pending.empty() &&
               SteadyClock::now() - lastActivity >= *options.idle;
    }

    void summary(SteadyClock::time_point began) {
        clearLive();
        std::size_t completed = 0;
        std::map<std::string, std::size_t> reasons;
        for (const auto& job : finished) {
            if (job->outcome.result == "complete") {
                ++completed;
            } else {
                const std::string why =
                    job->outcome.error.empty() ? job->outcome.result : job->outcome.error;
                ++reasons[why];
            }
        }
        const double seconds = std::chrono::duration<double>(SteadyClock::now() - began).count();
        std::fprintf(out, "Station: %zu device(s), %zu completed, %zu failed, total time %.1f s\n",
                     finished.size(), completed, finished.size() - completed, seconds);
        for (const auto& [why, count] : reasons) {
            std::fprintf(out, "  %zu failed: %s\n", count, why.c_str());
        }
        std::fflush(out);
    }
};

Station::Station(std::shared_ptr<usb::UsbBus> bus, Options options, std::FILE* out)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->bus = std::move(bus);
    m_impl->options = std::move(options);
    m_impl->options.jobs = std::max(1U, m_impl->options.jobs);
    m_impl->out = out;
}

Station::~Station() {
    m_impl->done = true;
    m_impl->bus->wake();
    if (m_impl->watcher.joinable()) {
        m_impl->watcher.join();
    }
    if (m_impl->log != nullptr) {
        std::fclose(m_impl->log);
    }
}

void Station::interrupt() {
    ++m_impl->interrupts;
    m_impl->wake();
}

void Station::hangUp() {
    int none = 0;
    m_impl->interrupts.compare_exchange_strong(none, 1);
    m_impl->wake();
}

int Station::run() {
    Impl& s = *m_impl;
    if (!s.events.error().empty()) {
        std::fprintf(s.out, "the station cannot start: %s\n", s.events.error().c_str());
        return 1;
    }
    if (!s.options.logFile.empty()) {
        // The children must not hold the log open after the station.
        s.log = ChildProcess::openAppendingUninherited(s.options.logFile);
        if (s.log == nullptr) {
            std::fprintf(s.out, "cannot write the log file %s: %s\n", s.options.logFile.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }
    const auto began = SteadyClock::now();
    s.lastActivity = began;
    std::fprintf(s.out,
                 "Station: waiting for detectors (at most %u updates at once). Ctrl-C "
                 "stops taking new ones.\n",
                 s.options.jobs);
    std::fflush(s.out);
    // The detectors already plugged in are taken before any deadline counts.
    s.survey();
    s.watcher = std::thread([&s] { s.watch(); });
    for (;;) {
        s.takeArrivals();
        s.handleInterrupts();
        if (s.over()) {
            break;
        }
        if (s.interrupts.load() == 0) {
            s.schedule();
            s.drawLive();
        }
        s.pollChildren(std::chrono::milliseconds(200));
    }
    s.done = true;
    s.bus->wake();
    s.watcher.join();
    s.summary(began);
    const bool allCompleted =
        std::all_of(s.finished.begin(), s.finished.end(),
                    [](const auto& job) { return job->outcome.result == "complete"; });
    return allCompleted ? 0 : 1;
}

std::vector<std::string> Station::childCommand(const CliOptions& options,
                                               const std::string& program,
                                               const std::string& port) {
    std::vector<std::string> argv = {
        program,           "--device", "usb:" + port,
        "--json",          "--yes",    "--wait",
        kChildWaitSeconds, "--lang",   options.language == CliLanguage::Russian ? "ru" : "en"};
    if (!options.server.empty()) {
        argv.insert(argv.end(), {"--server", options.server});
    }
    if (!options.probeUrl.empty()) {
        argv.insert(argv.end(), {"--probe-url", options.probeUrl});
    }
    if (!options.traceFile.empty()) {
        argv.insert(argv.end(), {"--trace", options.traceFile + "." + port});
    }
    std::string countries = options.allCountries ? "all" : "";
    for (const auto& name : options.countries) {
        countries += (countries.empty() ? "" : ",") + name;
    }
    argv.insert(argv.end(), {"update", "--countries", countries});
    if (options.excludeStrelka) {
        argv.emplace_back("--exclude-strelka");
    }
    if (options.excludeFake) {
        argv.emplace_back("--exclude-fake");
    }
    return argv;
}

bool Station::absorb(Progress& progress, const std::string& line) {
    static const std::regex kPercentage("^-?[0-9]+ %$");
    const auto first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    if (std::regex_match(line, kPercentage)) {
        progress.percent = line;
        return false;
    }
    if (const auto panel = line.find("   GPS "); panel != std::string::npos) {
        progress.model = line.substr(0, panel);
        return false;
    }
    if (line == "COMPLETE" || line == "FAIL" || line.starts_with("  DB ") ||
        line.starts_with("  option: ")) {
        return false;
    }
    std::string stage = line.substr(first);
    const bool changed = stage != progress.stage;
    progress.stage = std::move(stage);
    progress.percent.clear();
    return changed;
}

Station::Outcome Station::outcomeOf(const std::string& output, const ChildExit& exit) {
    Outcome outcome;
    const auto result = nlohmann::json::parse(output, nullptr, false);
    if (result.is_object()) {
        outcome.result = stringAt(result, "status");
        outcome.error = stringAt(result, "message");
        if (const auto device = result.find("device");
            device != result.end() && device->is_object()) {
            outcome.model = stringAt(*device, "name");
            outcome.keyword = stringAt(*device, "keyword");
            outcome.before = {{"gps", stringAt(*device, "gpsVersion")},
                              {"rd", stringAt(*device, "rdVersion")}};
        }
        if (const auto after = result.find("newVersions");
            after != result.end() && after->is_object()) {
            outcome.after = {{"gps", stringAt(*after, "gps")}, {"rd", stringAt(*after, "rd")}};
        }
        if (const auto pages = result.find("pagesWritten");
            pages != result.end() && pages->is_number_unsigned()) {
            outcome.pagesWritten = pages->get<std::uint32_t>();
        }
    }
    if (outcome.result.empty() || (outcome.result == "complete" && !exit.clean())) {
        // No result, or a result the exit status contradicts: the status decides. An updater
        // that ran out of time to report a stop still ends with the interrupted status.
        const bool interrupted = !exit.signalled && exit.code == CliApplication::kInterrupted;
        outcome.result = interrupted ? "interrupted" : "failed";
        outcome.error = exit.describe();
    }
    if (outcome.result != "complete" && outcome.error.empty()) {
        outcome.error = outcome.result;
    }
    return outcome;
}
