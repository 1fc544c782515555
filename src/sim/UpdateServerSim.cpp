#include "sim/UpdateServerSim.hpp"

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include <httplib.h>

namespace sim {

namespace {

constexpr std::string_view kInfoPrefix = "/qvt_products/info/";
constexpr std::string_view kFirmwareListPrefix = "/qvt_products_firmware/info/";
constexpr std::string_view kImagePrefix = "/firmware/";
constexpr std::string_view kIdPrefix = "/qvt_database/get_id/";
constexpr std::string_view kCountriesPath = "/qvt_database/countries";
constexpr std::string_view kDatabasePrefix = "/qvt_database/get_database/";
constexpr std::string_view kFinishPrefix = "/qvt_database/finish/";

// Not Base64 for either decoder: the lenient one gives nothing for a non-ASCII text.
constexpr std::string_view kBadBase64 = "%%not*base64\xC3\xA9%%";

// A database answer of a dated header, `bytes` of flood and the closing lines, produced piece by
// piece so that even a flood of hundreds of megabytes costs the server no memory.
class FloodAnswer {
public:
    FloodAnswer(ServerFault kind, std::uint64_t bytes, const std::string& date,
                const std::vector<std::string>& recordLines)
        : m_head(date + " flood\r\n") {
        if (kind == ServerFault::FloodLines) {
            m_unit = "\n";
            m_tail = "END\r\n";
        } else if (kind == ServerFault::FloodRecords) {
            for (const auto& line : recordLines) {
                m_unit += line;
                m_unit += "\r\n";
            }
            if (m_unit.empty()) {
                m_unit = "\r\n";
            }
            m_tail = "END\r\n";
        } else {
            // A valid record whose country name never ends: its text is a multiple of three
            // bytes long, so the name's "AAA" runs encode as "QUFB".
            std::string text = "1,55.75,37.61,90,60,0,";
            while (text.size() % 3 != 0) {
                text += 'A';
            }
            m_head += UpdateServerSim::base64Encode(text);
            m_unit = "QUFB";
            m_tail = "\r\nEND\r\n";
        }
        m_middle = std::max<std::uint64_t>(1, bytes / m_unit.size()) * m_unit.size();
    }

    [[nodiscard]] std::size_t size() const {
        return static_cast<std::size_t>(m_head.size() + m_middle + m_tail.size());
    }

    // Up to `length` bytes from `offset` on.
    [[nodiscard]] std::string piece(std::uint64_t offset, std::size_t length) const {
        std::string out;
        while (out.size() < length && offset < size()) {
            if (offset < m_head.size()) {
                out += m_head[offset];
            } else if (offset < m_head.size() + m_middle) {
                const std::uint64_t at = (offset - m_head.size()) % m_unit.size();
                const std::size_t n = std::min<std::uint64_t>(
                    {length - out.size(), m_unit.size() - at, m_head.size() + m_middle - offset});
                out.append(m_unit, static_cast<std::size_t>(at), n);
                offset += n;
                continue;
            } else {
                out += m_tail[offset - m_head.size() - m_middle];
            }
            ++offset;
        }
        return out;
    }

private:
    std::string m_head;
    std::string m_unit;
    std::uint64_t m_middle = 0;
    std::string m_tail;
};

struct Answer {
    Answer() = default;
    Answer(int s, std::string b, std::string type = "text/plain", std::string loc = {},
           std::shared_ptr<const std::string> big = {})
        : status(s)
        , body(std::move(b))
        , contentType(std::move(type))
        , location(std::move(loc))
        , shared(std::move(big)) {}

    int status = 200;
    std::string body;
    std::string contentType = "text/plain";
    std::string location;
    // A large answer served without copying it per request; replaces body when set.
    std::shared_ptr<const std::string> shared;
    // An answer made up while it is sent; replaces body when set.
    std::shared_ptr<const FloodAnswer> flood;
    // Announced as this many bytes, of which only the body is sent before the connection closes.
    std::uint64_t announced = 0;

    [[nodiscard]] std::size_t size() const {
        return flood ? flood->size() : shared ? shared->size() : body.size();
    }
};

Answer notFound(const std::string& path) {
    return {404,
            "<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head><body>"
            "<h1>Not Found</h1><p>The requested URL " +
                path + " was not found on this server.</p></body></html>\n",
            "text/html",
            {}};
}

std::string join(const std::vector<std::string>& pieces, char separator) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i != 0) {
            out += separator;
        }
        out += pieces[i];
    }
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// "<argument>m" of the database paths; nullopt without the final "m".
std::optional<std::string> argumentBeforeM(std::string_view rest) {
    if (rest.empty() || rest.back() != 'm') {
        return std::nullopt;
    }
    return std::string(rest.substr(0, rest.size() - 1));
}

// The record text without its last ","-field.
std::string withoutLastField(const std::string& line, char separator) {
    const auto at = line.rfind(separator);
    return at == std::string::npos ? std::string{} : line.substr(0, at);
}

} // namespace

std::string UpdateServerSim::base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k]));
    };
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (byte(i) << 16U) | (byte(i + 1) << 8U) | byte(i + 2);
        out += kAlphabet[v >> 18U];
        out += kAlphabet[(v >> 12U) & 63U];
        out += kAlphabet[(v >> 6U) & 63U];
        out += kAlphabet[v & 63U];
    }
    if (bytes.size() - i == 1) {
        const std::uint32_t v = byte(i) << 16U;
        out += kAlphabet[v >> 18U];
        out += kAlphabet[(v >> 12U) & 63U];
        out += "==";
    } else if (bytes.size() - i == 2) {
        const std::uint32_t v = (byte(i) << 16U) | (byte(i + 1) << 8U);
        out += kAlphabet[v >> 18U];
        out += kAlphabet[(v >> 12U) & 63U];
        out += kAlphabet[(v >> 6U) & 63U];
        out += '=';
    }
    return out;
}

struct UpdateServerSim::Impl {
    UpdateCatalog catalog;
    std::string countries;                       // decoded country list
    std::shared_ptr<const std::string> database; // the database answer, as sent
    httplib::Server server;
    std::thread thread;
    std::string host;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable released;
    bool stopping = false;
    std::chrono::milliseconds stallTime{60000};
    std::uint64_t floodBytes = 1000000;
    std::vector<std::pair<ServerFault, std::string>> faults;
    std::map<std::string, std::pair<int, std::string>> answers;
    std::vector<std::string> logLines;
    std::vector<std::string> targets;
    std::vector<std::string> finishedIds;
    std::ofstream logFile;

    explicit Impl(UpdateCatalog c)
        : catalog(std::move(c)) {
        countries = countriesText(false);
        database = std::make_shared<const std::string>(databaseText(false, false));
    }

    std::string countriesText(bool missing) const {
        std::map<std::string, std::array<std::uint64_t, 3>> counts;
        for (const auto& line : catalog.cameras) {
            const auto comma = line.find(',');
            const auto lastComma = line.rfind(',');
            if (comma == std::string::npos) {
                continue;
            }
            auto& c = counts[line.substr(lastComma + 1)];
            const int type = std::atoi(line.substr(0, comma).c_str());
            c[0] += 1;
            c[1] += type == 0 ? 1 : 0;
            c[2] += type == 9 ? 1 : 0;
        }
        std::vector<std::string> pieces{std::to_string(catalog.countries.size())};
        for (const auto& name : catalog.countries) {
            const auto& c = counts[name];
            pieces.push_back(name + "|" + std::to_string(c[0]) + "|" + std::to_string(c[1]) + "|" +
                             std::to_string(c[2]));
        }
        if (missing && pieces.size() > 1) {
            pieces.back() = withoutLastField(pieces.back(), '|');
        }
        return join(pieces, '$');
    }

    // Header with the date, one Base64 line per camera, then two closing lines.
    std::string databaseText(bool missing, bool badBase64) const {
        std::string out =
            catalog.databaseDate + " " + std::to_string(catalog.cameras.size()) + "\r\n";
        out.reserve(catalog.cameras.size() * 64);
        for (const auto& line : catalog.cameras) {
            out += badBase64 ? std::string(kBadBase64)
                             : base64Encode(missing ? withoutLastField(line, ',') : line);
            out += "\r\n";
        }
        out += "END\r\n";
        return out;
    }

    std::string imageAddress(const CatalogModel& m, std::size_t slot) const {
        if (m.firmware[slot].empty()) {
            return {};
        }
        return "http://" + host + ":" + std::to_string(port) + std::string(kImagePrefix) +
               m.keyword + "/" + m.firmware[slot];
    }

    Answer fieldAnswer(std::vector<std::string> fields, bool missing, bool bad) const {
        if (bad) {
            return {200, std::string(kBadBase64), "text/plain", {}};
        }
        if (missing && !fields.empty()) {
            fields.pop_back();
        }
        return {200, base64Encode(join(fields, '$')), "text/plain", {}};
    }

    Answer route(const std::string& path, bool missing, bool bad) {
        const std::string_view p = path;
        if (startsWith(p, kInfoPrefix)) {
            const auto* m = catalog.model(path.substr(kInfoPrefix.size()));
            return m ? fieldAnswer(m->info, missing, bad) : notFound(path);
        }
        if (startsWith(p, kFirmwareListPrefix)) {
            const auto* m = catalog.model(path.substr(kFirmwareListPrefix.size()));
            if (m == nullptr) {
                return notFound(path);
            }
            std::vector<std::string> list;
            for (std::size_t slot = 0; slot < m->firmware.size(); ++slot) {
                list.push_back(imageAddress(*m, slot));
            }
            return fieldAnswer(std::move(list), missing, bad);
        }
        if (startsWith(p, kImagePrefix)) {
            const std::string rest = path.substr(kImagePrefix.size());
            const auto slash = rest.find('/');
            const auto* m =
                slash == std::string::npos ? nullptr : catalog.model(rest.substr(0, slash));
            if (m == nullptr) {
                return notFound(path);
            }
            const auto it = m->images.find(rest.substr(slash + 1));
            if (it == m->images.end()) {
                return notFound(path);
            }
            return {200,
                    std::string(it->second.begin(), it->second.end()),
                    "application/octet-stream",
                    {}};
        }
        if (startsWith(p, kIdPrefix)) {
            const auto keyword = argumentBeforeM(p.substr(kIdPrefix.size()));
            const auto* m = keyword ? catalog.model(*keyword) : nullptr;
            if (m == nullptr) {
                return notFound(path);
            }
            return bad ? Answer{200, std::string(kBadBase64), "text/plain", {}}
                       : Answer{200, base64Encode(m->databaseId), "text/plain", {}};
        }
        if (p == kCountriesPath) {
            if (bad) {
                return {200, std::string(kBadBase64), "text/plain", {}};
            }
            return {200, base64Encode(missing ? countriesText(true) : countries), "text/plain", {}};
        }
        if (startsWith(p, kDatabasePrefix)) {
            const auto id = argumentBeforeM(p.substr(kDatabasePrefix.size()));
            bool known = false;
            for (const auto& m : catalog.models) {
                known = known || (id && !m.databaseId.empty() && m.databaseId == *id);
            }
            if (!known) {
                return notFound(path);
            }
            if (missing || bad) {
                return {200, databaseText(missing, bad)};
            }
            return {200, {}, "text/plain", {}, database};
        }
        if (startsWith(p, kFinishPrefix)) {
            const auto id = argumentBeforeM(p.substr(kFinishPrefix.size()));
            if (!id) {
                return notFound(path);
            }
            const std::lock_guard lock(mutex);
            finishedIds.push_back(*id);
            return {200, "OK", "text/plain", {}};
        }
        return notFound(path);
    }

    static std::string targetOf(const httplib::Request& req) {
        return req.has_param("hop") ? req.path + "?hop=" + req.get_param_value("hop") : req.path;
    }

    Answer handle(const httplib::Request& req) {
        std::optional<ServerFault> fault;
        std::optional<std::pair<int, std::string>> fixed;
        std::chrono::milliseconds stall{};
        std::uint64_t flood = 0;
        {
            const std::lock_guard lock(mutex);
            // Noted on arrival, so that a test sees a request its handler is still holding.
            targets.push_back(targetOf(req));
            for (const auto& [f, prefix] : faults) {
                if (startsWith(req.path, prefix)) {
                    fault = f;
                    break;
                }
            }
            if (const auto it = answers.find(req.path); it != answers.end()) {
                fixed = it->second;
            }
            stall = stallTime;
            flood = floodBytes;
        }
        if ((fault == ServerFault::FloodLines || fault == ServerFault::FloodRecords ||
             fault == ServerFault::LongLine) &&
            startsWith(req.path, kDatabasePrefix)) {
            std::vector<std::string> lines;
            if (fault == ServerFault::FloodRecords) {
                for (const auto& camera : catalog.cameras) {
                    lines.push_back(base64Encode(camera));
                }
            }
            Answer answer(200, {});
            answer.flood =
                std::make_shared<const FloodAnswer>(*fault, flood, catalog.databaseDate, lines);
            return answer;
        }
        if (fault == ServerFault::CutShort) {
            Answer answer(200, std::string(4096, 'x'), "application/octet-stream");
            answer.announced = std::uint64_t{128} << 20U;
            return answer;
        }
        if (fault == ServerFault::Stall) {
            std::unique_lock lock(mutex);
            released.wait_for(lock, stall, [this] { return stopping; });
        } else if (fault == ServerFault::Redirect && !req.has_param("hop")) {
            return {302, "", "text/plain",
                    "http://" + host + ":" + std::to_string(port) + req.path + "?hop=1"};
        } else if (fault == ServerFault::NotFoundHtml) {
            return notFound(req.path);
        } else if (fault == ServerFault::EmptyBody) {
            return {200, "", "text/plain", {}};
        }
        if (fixed) {
            return {fixed->first, fixed->second, "text/plain", {}};
        }
        return route(req.path, fault == ServerFault::MissingFields,
                     fault == ServerFault::BadBase64);
    }

    void record(const httplib::Request& req, const Answer& answer) {
        const std::string line = "GET " + targetOf(req) + " " + std::to_string(answer.status) +
                                 " " + std::to_string(answer.size());
        const std::lock_guard lock(mutex);
        logLines.push_back(line);
        if (logFile.is_open()) {
            logFile << line << std::endl;
        }
    }
};

UpdateServerSim::UpdateServerSim(UpdateCatalog catalog)
    : m_impl(std::make_unique<Impl>(std::move(catalog))) {
    // Without httplib's default SO_REUSEPORT: a second server on a port in use fails to bind
    // instead of silently sharing the requests with the first. (Where the system has no
    // SO_REUSEPORT, httplib binds the port for exclusive use already.)
#ifdef SO_REUSEPORT
    m_impl->server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
#endif
    m_impl->server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        const Answer answer = m_impl->handle(req);
        m_impl->record(req, answer);
        res.status = answer.status;
        if (!answer.location.empty()) {
            res.set_header("Location", answer.location);
        }
        if (answer.announced > 0) {
            const auto body = std::make_shared<const std::string>(answer.body);
            res.set_content_provider(
                static_cast<std::size_t>(answer.announced), answer.contentType.c_str(),
                [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    // false once the body is out: httplib closes the connection.
                    return offset == 0 && sink.write(body->data(), body->size());
                });
        } else if (answer.flood) {
            const auto flood = answer.flood;
            res.set_content_provider(
                flood->size(), answer.contentType.c_str(),
                [flood](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    const std::string piece =
                        flood->piece(offset, std::min<std::size_t>(length, 1U << 16U));
                    return sink.write(piece.data(), piece.size());
                });
        } else if (answer.shared) {
            const auto body = answer.shared;
            res.set_content_provider(
                body->size(), answer.contentType.c_str(),
                [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    const std::size_t n = std::min(length, body->size() - offset);
                    return sink.write(body->data() + offset, n);
                });
        } else {
            res.set_content(answer.body, answer.contentType.c_str());
        }
    });
}

UpdateServerSim::~UpdateServerSim() { stop(); }

bool UpdateServerSim::start(const std::string& host, int port) {
    auto& s = m_impl->server;
    m_impl->host = host;
    if (port == 0) {
        m_impl->port = s.bind_to_any_port(host);
        if (m_impl->port <= 0) {
            return false;
        }
    } else if (s.bind_to_port(host, port)) {
        m_impl->port = port;
    } else {
        return false;
    }
    m_impl->thread = std::thread([&s] { s.listen_after_bind(); });
    for (int i = 0; i < 500 && !s.is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return s.is_running();
}

void UpdateServerSim::stop() {
    {
        const std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->released.notify_all();
    m_impl->server.stop();
    if (m_impl->thread.joinable()) {
        m_impl->thread.join();
    }
}

int UpdateServerSim::port() const { return m_impl->port; }

std::string UpdateServerSim::baseAddress() const {
    return "http://" + m_impl->host + ":" + std::to_string(m_impl->port);
}

void UpdateServerSim::addFault(ServerFault fault, const std::string& pathPrefix) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->faults.emplace_back(fault, pathPrefix);
}

void UpdateServerSim::clearFaults() {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->faults.clear();
}

void UpdateServerSim::setStallTime(std::chrono::milliseconds time) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->stallTime = time;
}

void UpdateServerSim::setFloodBytes(std::uint64_t bytes) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->floodBytes = bytes;
}

void UpdateServerSim::setAnswer(const std::string& path, std::string body, int status) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->answers[path] = {status, std::move(body)};
}

std::vector<std::string> UpdateServerSim::log() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->logLines;
}

std::vector<std::string> UpdateServerSim::requests() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->targets;
}

std::vector<std::string> UpdateServerSim::finished() const {
    const std::lock_guard lock(m_impl->mutex);
    return m_impl->finishedIds;
}

bool UpdateServerSim::setLogFile(const std::filesystem::path& path) {
    const std::lock_guard lock(m_impl->mutex);
    m_impl->logFile.open(path, std::ios::app);
    return m_impl->logFile.is_open();
}

std::string UpdateServerSim::countriesText() const { return m_impl->countries; }
std::string UpdateServerSim::databaseAnswer() const { return *m_impl->database; }

} // namespace sim
