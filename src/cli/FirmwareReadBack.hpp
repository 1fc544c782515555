#pragma once
// Reads back from the detector what an update would write and compares it, writing nothing.

#include "app/Localizer.hpp"
#include "device/ConnectedTargetInfo.hpp"
#include "usb/MassStorageController.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct ReadBackStage {
    std::string name; // "RD", "GPS", "RD verify block", "GPS verify block"
    std::uint32_t address = 0;
    std::uint32_t selector = 0;
    std::uint64_t pages = 0;
    std::uint64_t differingPages = 0;
    // Pages whose read failed; each is also a differing page.
    std::uint64_t unreadablePages = 0;
    // The first device address whose byte differs (a failed read: its page's address).
    std::optional<std::uint32_t> firstDifference;
    // False for what an update of this model does not write (the device information disables
    // its stage): not read, and not a difference.
    bool written = true;

    [[nodiscard]] bool same() const { return differingPages == 0; }
};

// The database is not compared (it depends on the choice of countries); its header is read.
struct DatabaseHeader {
    // False when an update of this model writes no database: then it is not read.
    bool written = true;
    bool readable = false;
    // The low 16 bits of the record count as the header holds them.
    std::uint16_t count = 0;
    // Bytes 2 and 3 are the complement of bytes 0 and 1.
    bool complementHolds = false;
};

class FirmwareReadBack {
public:
    // Compares the device's memory with what the download sequence would write for the filled
    // record: the RD and GPS images from their cut starts, padded with 0xFF to whole pages, with
    // the same selectors, and the RD and GPS verify blocks (the GPS one and the database header
    // only when the device information enables the database, as the update writes them only
    // then). `stopping` is asked between pages;
    // once it says so the rest is not read (and counts as unreadable). Nothing is written.
    static FirmwareReadBack compare(const ConnectedTargetInfo& record, MassStorageController& link,
                                    const std::function<bool()>& stopping = {});

    [[nodiscard]] const std::vector<ReadBackStage>& stages() const { return m_stages; }
    [[nodiscard]] const DatabaseHeader& databaseHeader() const { return m_header; }
    [[nodiscard]] bool allSame() const;
    // One line per stage and one for the database header, in the catalogue's language.
    [[nodiscard]] std::string text(const Localizer& texts) const;
    [[nodiscard]] nlohmann::json json() const;

private:
    std::vector<ReadBackStage> m_stages;
    DatabaseHeader m_header;
};
