#include "cli/UpdatePlan.hpp"

#include "cli/CliTexts.hpp"
#include "cli/TextWidth.hpp"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint32_t kRdVerifyAddress = 0x08001C00;
constexpr std::uint32_t kRdVerifyLength = 1024;
constexpr std::uint32_t kDatabaseHeaderAddress = 0x0801FF00;
constexpr std::uint32_t kDatabaseHeaderLength = 256;
constexpr std::uint32_t kGpsVerifyLength = 256;
constexpr std::uint32_t kDatabaseRecordBytes = 10;
constexpr std::uint32_t kDatabaseCountBytes = 4;

void cover(PlanStage& stage) {
    const std::uint64_t span = stage.cutEnd >= stage.cutStart ? stage.cutEnd - stage.cutStart : 0;
    if (stage.pageSize == 0) {
        stage.pages = 0;
        stage.bytesWritten = 0;
        return;
    }
    stage.pages = (span + stage.pageSize - 1) / stage.pageSize;
    stage.bytesWritten = stage.pages * stage.pageSize;
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

std::uint64_t sizeOf(const SharedBytes& bytes) { return bytes ? bytes->size() : 0; }

PlanStage stage(const char* name, std::uint64_t imageBytes, std::uint32_t address,
                std::uint32_t pageSize, std::uint32_t selector, std::uint32_t cutStart,
                std::uint32_t cutEnd) {
    PlanStage made;
    made.name = name;
    made.imageBytes = imageBytes;
    made.address = address;
    made.pageSize = pageSize;
    made.selector = selector;
    made.cutStart = cutStart;
    made.cutEnd = cutEnd;
    return made;
}

} // namespace

UpdatePlan UpdatePlan::fromRecord(const ConnectedTargetInfo& record,
                                  std::optional<std::uint32_t> databaseRecords) {
    UpdatePlan plan;
    plan.gpsVersion = record.ConnectedDevice_Version_GPS_Update_detail();
    plan.rdVersion = record.ConnectedDevice_Version_RD_Update_detail();
    plan.rdVerifyText = record.VerifyBlock_RD_UpdateData().value_or("");
    plan.gpsVerifyText = record.VerifyBlock_GPS_UpdateData().value_or("");

    if (record.ConnectedDevice_Enable_RD_Firmware() != 0) {
        auto rd =
            stage("RD", sizeOf(record.Download_Firmware_RD()), record.Info_RD_App_StartAddress(),
                  record.Info_RD_App_PageSize(), 1, record.Info_RD_Binary_Cut_StartAddress(),
                  record.Info_RD_Binary_Cut_EndAddress());
        cover(rd);
        rd.blocks.push_back(
            {"RD verify block", "cli_rd_verify_block", kRdVerifyAddress, 1, kRdVerifyLength});
        plan.m_stages.push_back(rd);
    }
    // The GPS image is always written, whatever the version decision said.
    auto gps =
        stage("GPS", sizeOf(record.Download_Firmware_GPS()), record.Info_GPS_App_StartAddress(),
              record.Info_GPS_App_PageSize(), record.isIncludeStar() != 0 ? 1U : 0U,
              record.Info_GPS_Binary_Cut_StartAddress(), record.Info_GPS_Binary_Cut_EndAddress());
    cover(gps);
    plan.m_stages.push_back(gps);

    if (record.ConnectedDevice_Enable_DATABASE_Firmware() != 0) {
        auto db = stage("DB", 0, record.Info_DataBase_SaveAddress(),
                        record.Info_DataBase_PageSize(), 0, kDatabaseCountBytes, 0);
        db.sizeKnown = databaseRecords.has_value();
        const std::uint64_t records = databaseRecords.value_or(0);
        db.imageBytes = kDatabaseCountBytes + records * kDatabaseRecordBytes;
        db.cutEnd = static_cast<std::uint32_t>(db.imageBytes);
        cover(db);
        db.blocks.push_back({"database header block", "cli_database_header_block",
                             kDatabaseHeaderAddress, 0, kDatabaseHeaderLength});
        db.blocks.push_back({"GPS verify block", "cli_gps_verify_block",
                             record.Info_VerifyBlock_GPS_Address(), 0, kGpsVerifyLength});
        plan.m_stages.push_back(db);
    }
    return plan;
}

double UpdatePlan::pauseSeconds() const {
    double seconds = 0.0;
    for (const auto& stage : m_stages) {
        const double perPage = stage.selector == 1 ? 0.30 : 0.14;
        seconds += static_cast<double>(stage.pages) * perPage + 1.0;
    }
    return seconds;
}

std::string UpdatePlan::text(const Localizer& texts) const {
    std::string out;
    for (const auto& stage : m_stages) {
        const std::initializer_list<std::string> values = {
            stage.name,         std::to_string(stage.imageBytes), hex(stage.cutStart),
            hex(stage.cutEnd),  std::to_string(stage.pages),      std::to_string(stage.pageSize),
            hex(stage.address), std::to_string(stage.selector)};
        out += "  " + TextWidth::padRight(stage.name, 3) + "  " +
               CliTexts::fill(texts.L(stage.sizeKnown ? "cli_plan_stage" : "cli_plan_stage_open"),
                              values) +
               "\n";
        for (const auto& block : stage.blocks) {
            out += "       " +
                   CliTexts::fill(texts.L("cli_plan_block"),
                                  {texts.L(block.textKey), std::to_string(block.length),
                                   hex(block.address), std::to_string(block.selector)}) +
                   "\n";
        }
    }
    out += "  " + CliTexts::fill(texts.L("cli_plan_versions"), {gpsVersion, rdVersion}) + "\n";
    if (!rdVerifyText.empty()) {
        out += "  " + CliTexts::fill(texts.L("cli_plan_rd_verify"), {rdVerifyText}) + "\n";
    }
    if (!gpsVerifyText.empty()) {
        out += "  " + CliTexts::fill(texts.L("cli_plan_gps_verify"), {gpsVerifyText}) + "\n";
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.0f", pauseSeconds());
    out += "  " + CliTexts::fill(texts.L("cli_plan_pauses"), {seconds}) + "\n";
    return out;
}

nlohmann::json UpdatePlan::json() const {
    auto stages = nlohmann::json::array();
    for (const auto& stage : m_stages) {
        auto blocks = nlohmann::json::array();
        for (const auto& block : stage.blocks) {
            blocks.push_back({{"what", block.what},
                              {"address", block.address},
                              {"selector", block.selector},
                              {"length", block.length}});
        }
        nlohmann::json entry = {{"stage", stage.name},
                                {"address", stage.address},
                                {"pageSize", stage.pageSize},
                                {"selector", stage.selector},
                                {"blocks", blocks}};
        if (stage.sizeKnown) {
            entry["imageBytes"] = stage.imageBytes;
            entry["cutStart"] = stage.cutStart;
            entry["cutEnd"] = stage.cutEnd;
            entry["pages"] = stage.pages;
            entry["bytesWritten"] = stage.bytesWritten;
        }
        stages.push_back(entry);
    }
    return {{"stages", stages},
            {"gpsVersion", gpsVersion},
            {"rdVersion", rdVersion},
            {"rdVerifyText", rdVerifyText},
            {"gpsVerifyText", gpsVerifyText},
            {"pauseSeconds", pauseSeconds()}};
}

std::optional<std::uint32_t> UpdatePlan::rebuiltRecords(const ConnectedTargetInfo& record,
                                                        WebServer_GetDataBase& database,
                                                        const std::vector<std::string>& checked,
                                                        bool excludeStrelka, bool excludeFake) {
    ConnectedTargetInfo scratch;
    scratch.setCountry_Total_Num(record.Country_Total_Num());
    scratch.setCountry_Name(record.Country_Name());
    auto marks = std::make_shared<List>();
    for (const auto& mark : checked) {
        marks->emplace_back(mark);
    }
    marks->resize(std::max<std::size_t>(marks->size(), record.Country_Total_Num()),
                  ListEntry{std::string("NO")});
    scratch.setCountry_Checked(std::move(marks));
    scratch.setIsExcludeStrelka(excludeStrelka ? 1 : 0);
    scratch.setIsExcludeFake(excludeFake ? 1 : 0);
    scratch.setInfo_T_key_number(record.Info_T_key_number());
    scratch.setInfo_T_Key(record.Info_T_Key());
    if (!database.reParsingForOriginal(scratch)) {
        return std::nullopt;
    }
    const SharedBytes image = scratch.Download_Firmware_DATABASE();
    if (!image || image->size() < 4) {
        return std::nullopt;
    }
    return (std::uint32_t{(*image)[0]} << 24U) | (std::uint32_t{(*image)[1]} << 16U) |
           (std::uint32_t{(*image)[2]} << 8U) | (*image)[3];
}
