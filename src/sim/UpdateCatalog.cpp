#include "sim/UpdateCatalog.hpp"

#include "install/SystemPaths.hpp"

#include <fstream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

namespace sim {

namespace {

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Data lines of a CSV file: the header line and empty lines dropped, CR removed.
std::vector<std::string> dataLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (header) {
            header = false;
            continue;
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace

const CatalogModel* UpdateCatalog::model(const std::string& keyword) const {
    for (const auto& m : models) {
        if (m.keyword == keyword) {
            return &m;
        }
    }
    return nullptr;
}

std::optional<UpdateCatalog> UpdateCatalog::load(const std::filesystem::path& folder,
                                                 std::string& error) {
    try {
        const auto manifest = readFile(folder / "catalog.json");
        if (!manifest) {
            error = "cannot read " + sys::utf8FromPath(folder / "catalog.json");
            return std::nullopt;
        }
        const auto json = nlohmann::json::parse(*manifest);
        UpdateCatalog catalog;
        const auto& db = json.at("database");
        catalog.databaseDate = db.at("date").get<std::string>();
        for (const char* key : {"countries", "cameras"}) {
            const auto path = folder / db.at(key).get<std::string>();
            const auto text = readFile(path);
            if (!text) {
                error = "cannot read " + sys::utf8FromPath(path);
                return std::nullopt;
            }
            (std::string(key) == "countries" ? catalog.countries : catalog.cameras) =
                dataLines(*text);
        }
        for (const auto& m : json.at("models")) {
            CatalogModel model;
            model.keyword = m.at("keyword").get<std::string>();
            model.info = m.at("info").get<std::vector<std::string>>();
            model.databaseId = m.value("database_id", std::string{});
            const auto& fw = m.at("firmware");
            const char* slots[] = {"rd", "gps", "audio", "image"};
            for (std::size_t i = 0; i < model.firmware.size(); ++i) {
                model.firmware[i] = fw.value(slots[i], std::string{});
                const std::string& name = model.firmware[i];
                if (name.empty()) {
                    continue;
                }
                // Both become parts of a path inside the catalog folder and nothing more.
                const std::string* const parts[] = {&model.keyword, &name};
                for (const std::string* part : parts) {
                    if (part->empty() || *part == "." || *part == ".." ||
                        part->find_first_of("/\\") != std::string::npos ||
                        part->find('\0') != std::string::npos) {
                        error = "bad firmware path part '" + *part + "'";
                        return std::nullopt;
                    }
                }
                const auto path = folder / "firmware" / model.keyword / name;
                const auto bytes = readFile(path);
                if (!bytes) {
                    error = "cannot read " + sys::utf8FromPath(path);
                    return std::nullopt;
                }
                model.images[name] = std::vector<std::uint8_t>(bytes->begin(), bytes->end());
            }
            catalog.models.push_back(std::move(model));
        }
        return catalog;
    } catch (const std::exception& e) {
        error = std::string("malformed catalog: ") + e.what();
        return std::nullopt;
    }
}

} // namespace sim
