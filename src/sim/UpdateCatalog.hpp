#pragma once
// What the simulated update server serves, as read from a catalog folder (format in README.md).

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct CatalogModel {
    std::string keyword;
    // The device-information fields in answer order (22 for a well-formed model).
    std::vector<std::string> info;
    // File names of the RD, GPS, audio and display images; empty when not offered.
    std::array<std::string, 4> firmware;
    // File name to image bytes.
    std::map<std::string, std::vector<std::uint8_t>> images;
    std::string databaseId;
};

struct UpdateCatalog {
    std::vector<CatalogModel> models;
    // Database date, YYYY-MM-DD.
    std::string databaseDate = "2016-05-12";
    // Country names in list order.
    std::vector<std::string> countries;
    // One record text per camera: "type,lat,lng,direction,speed,autodoria,country".
    std::vector<std::string> cameras;

    // Reads catalog.json, countries.csv, cameras.csv and firmware/<keyword>/<file>. nullopt with
    // `error` set when a file is missing or malformed.
    static std::optional<UpdateCatalog> load(const std::filesystem::path& folder,
                                             std::string& error);

    [[nodiscard]] const CatalogModel* model(const std::string& keyword) const;
};

} // namespace sim
