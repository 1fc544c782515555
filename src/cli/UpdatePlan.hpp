#pragma once
// What an update would write, computed from the filled record without touching the device.

#include "app/Localizer.hpp"
#include "database/WebServer_GetDataBase.hpp"
#include "device/ConnectedTargetInfo.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct PlanBlock {
    std::string what;
    // The catalogue's name of the block, for the printed plan.
    std::string textKey;
    std::uint32_t address = 0;
    std::uint32_t selector = 0;
    std::uint32_t length = 0;
};

struct PlanStage {
    std::string name; // "RD", "GPS", "DB"
    std::uint64_t imageBytes = 0;
    std::uint32_t address = 0;
    std::uint32_t pageSize = 0;
    std::uint32_t selector = 0;
    std::uint32_t cutStart = 0;
    std::uint32_t cutEnd = 0;
    std::uint64_t pages = 0;
    std::uint64_t bytesWritten = 0;
    std::vector<PlanBlock> blocks;
    // The database stage before a choice of countries: its size is unknown.
    bool sizeKnown = true;
};

class UpdatePlan {
public:
    // The stages in writing order, as the download sequence decides them from the record.
    // `databaseRecords` is the number of camera records of the chosen countries; nothing
    // leaves the database stage's size open.
    static UpdatePlan fromRecord(const ConnectedTargetInfo& record,
                                 std::optional<std::uint32_t> databaseRecords);

    // The number of records the database rebuild will keep for the dialog's check marks and
    // exclusions: the rebuild itself, run on a scratch record, so the count is that of the image
    // to be written, not the dialog's total of the counts the server announced. Nothing when
    // the rebuild would fail. Leaves `record` untouched; the client's rebuilt list is replaced.
    static std::optional<std::uint32_t> rebuiltRecords(const ConnectedTargetInfo& record,
                                                       WebServer_GetDataBase& database,
                                                       const std::vector<std::string>& checked,
                                                       bool excludeStrelka, bool excludeFake);

    [[nodiscard]] const std::vector<PlanStage>& stages() const { return m_stages; }
    // Seconds of fixed pauses the write loop and the stages would take.
    [[nodiscard]] double pauseSeconds() const;
    // The plan as the command line prints it, in the catalogue's language.
    [[nodiscard]] std::string text(const Localizer& texts) const;
    [[nodiscard]] nlohmann::json json() const;

    std::string gpsVersion;
    std::string rdVersion;
    std::string rdVerifyText;
    std::string gpsVerifyText;

private:
    std::vector<PlanStage> m_stages;
};
