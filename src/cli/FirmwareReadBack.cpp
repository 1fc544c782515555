#include "cli/FirmwareReadBack.hpp"

#include "app/ViewController.hpp"
#include "cli/CliTexts.hpp"
#include "cli/TextWidth.hpp"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint8_t kErased = 0xFF;

std::string hex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The stage's name as the catalogue gives it; the images are named by their firmware alone.
std::string stageName(const Localizer& texts, const std::string& name) {
    if (name == "RD verify block") {
        return texts.L("cli_rd_verify_block");
    }
    if (name == "GPS verify block") {
        return texts.L("cli_gps_verify_block");
    }
    return name;
}

// Compares `expected` (whole pages) page by page with what the device holds at `address`.
ReadBackStage compareArea(std::string name, const Bytes& expected, std::uint32_t address,
                          std::uint32_t pageSize, std::uint8_t selector,
                          MassStorageController& link, const std::function<bool()>& stopping) {
    ReadBackStage stage;
    stage.name = std::move(name);
    stage.address = address;
    stage.selector = selector;
    if (pageSize == 0 || pageSize > ViewController::kMaxPageSize) {
        return stage;
    }
    stage.pages = expected.size() / pageSize;
    Bytes page(pageSize);
    for (std::uint64_t n = 0; n < stage.pages; ++n) {
        const std::uint64_t offset = n * pageSize;
        // Device addresses wrap at 32 bits, as the write loop's do.
        const auto at = static_cast<std::uint32_t>(address + offset);
        const bool stopped = stopping && stopping();
        if (stopped || !link.ReadFromDevice(selector, at, page, pageSize, link)) {
            ++stage.differingPages;
            ++stage.unreadablePages;
            if (!stage.firstDifference) {
                stage.firstDifference = at;
            }
            continue;
        }
        for (std::uint32_t i = 0; i < pageSize; ++i) {
            if (page[i] != expected[static_cast<std::size_t>(offset + i)]) {
                ++stage.differingPages;
                if (!stage.firstDifference) {
                    stage.firstDifference = static_cast<std::uint32_t>(at + i);
                }
                break;
            }
        }
    }
    return stage;
}

// image[cutStart, cutEnd) padded with 0xFF to whole pages, as the write loop sends it.
Bytes pagedImage(const SharedBytes& image, std::uint32_t cutStart, std::uint32_t cutEnd,
                 std::uint32_t pageSize) {
    if (!image || pageSize == 0 || cutEnd < cutStart) {
        return {};
    }
    const std::uint64_t span = cutEnd - cutStart;
    const std::uint64_t total = (span + pageSize - 1) / pageSize * pageSize;
    Bytes paged(static_cast<std::size_t>(total), kErased);
    for (std::uint64_t i = 0; i < total; ++i) {
        const std::uint64_t from = cutStart + i;
        if (from < image->size()) {
            paged[static_cast<std::size_t>(i)] = (*image)[static_cast<std::size_t>(from)];
        }
    }
    return paged;
}

} // namespace

FirmwareReadBack FirmwareReadBack::compare(const ConnectedTargetInfo& record,
                                           MassStorageController& link,
                                           const std::function<bool()>& stopping) {
    FirmwareReadBack result;
    const std::uint32_t rdPage = record.Info_RD_App_PageSize();
    const std::uint32_t gpsPage = record.Info_GPS_App_PageSize();
    result.m_stages.push_back(compareArea(
        "RD",
        pagedImage(record.Download_Firmware_RD(), record.Info_RD_Binary_Cut_StartAddress(),
                   record.Info_RD_Binary_Cut_EndAddress(), rdPage),
        record.Info_RD_App_StartAddress(), rdPage, 1, link, stopping));
    result.m_stages.push_back(compareArea(
        "GPS",
        pagedImage(record.Download_Firmware_GPS(), record.Info_GPS_Binary_Cut_StartAddress(),
                   record.Info_GPS_Binary_Cut_EndAddress(), gpsPage),
        record.Info_GPS_App_StartAddress(), gpsPage, record.isIncludeStar() != 0 ? 1 : 0, link,
        stopping));
    result.m_stages.push_back(compareArea(
        "RD verify block",
        ViewController::verifyBlock(record.VerifyBlock_RD_UpdateData().value_or(std::string{}),
                                    ViewController::kRdVerifyBlockLength),
        ViewController::kRdVerifyBlockAddress, ViewController::kRdVerifyBlockLength, 1, link,
        stopping));
    // The database stage writes the GPS verify block and the header; without it, neither.
    if (record.ConnectedDevice_Enable_DATABASE_Firmware() == 0) {
        ReadBackStage block;
        block.name = "GPS verify block";
        block.address = record.Info_VerifyBlock_GPS_Address();
        block.written = false;
        result.m_stages.push_back(block);
        result.m_header.written = false;
        return result;
    }
    result.m_stages.push_back(compareArea(
        "GPS verify block",
        ViewController::verifyBlock(record.VerifyBlock_GPS_UpdateData().value_or(std::string{}),
                                    ViewController::kGpsVerifyBlockLength),
        record.Info_VerifyBlock_GPS_Address(), ViewController::kGpsVerifyBlockLength, 0, link,
        stopping));

    Bytes header(ViewController::kDatabaseHeaderLength);
    if (!(stopping && stopping()) &&
        link.ReadFromDevice(0, ViewController::kDatabaseHeaderAddress, header,
                            ViewController::kDatabaseHeaderLength, link)) {
        result.m_header.readable = true;
        result.m_header.count = static_cast<std::uint16_t>(header[0] | (header[1] << 8U));
        result.m_header.complementHolds =
            header[2] == (header[0] ^ 0xFFU) && header[3] == (header[1] ^ 0xFFU);
    }
    return result;
}

bool FirmwareReadBack::allSame() const {
    for (const auto& stage : m_stages) {
        if (stage.written && (!stage.same() || stage.pages == 0)) {
            return false;
        }
    }
    return !m_stages.empty();
}

std::string FirmwareReadBack::text(const Localizer& texts) const {
    const std::string headerName = texts.L("cli_verify_database_header");
    std::size_t width = TextWidth::of(headerName);
    for (const auto& s : m_stages) {
        width = std::max(width, TextWidth::of(stageName(texts, s.name)));
    }
    const auto count = [](std::uint64_t n) { return std::to_string(n); };
    std::string out;
    for (const auto& s : m_stages) {
        std::string result;
        if (!s.written) {
            result = texts.L("cli_verify_not_written");
        } else if (s.pages == 0) {
            result = texts.L("cli_verify_nothing");
        } else if (s.same()) {
            result = CliTexts::fill(texts.L("cli_verify_same"), {count(s.pages), hex32(s.address)});
        } else {
            result =
                CliTexts::fill(texts.L("cli_verify_stage_differs"),
                               {hex32(s.firstDifference.value_or(s.address)),
                                count(s.differingPages), count(s.pages), count(s.unreadablePages)});
        }
        out += "  " + TextWidth::padRight(stageName(texts, s.name), width) + " " + result + "\n";
    }
    std::string header = texts.L("cli_verify_unreadable");
    if (!m_header.written) {
        header = texts.L("cli_verify_not_written");
    } else if (m_header.readable) {
        header = CliTexts::fill(
            texts.L(m_header.complementHolds ? "cli_verify_records" : "cli_verify_check_bytes"),
            {count(m_header.count)});
    }
    out += "  " + TextWidth::padRight(headerName, width) + " " + header + "\n";
    return out;
}

nlohmann::json FirmwareReadBack::json() const {
    auto stages = nlohmann::json::array();
    for (const auto& s : m_stages) {
        nlohmann::json stage = {{"stage", s.name},
                                {"result", !s.written     ? "not written"
                                           : s.pages == 0 ? "empty"
                                           : s.same()     ? "same"
                                                          : "differs"},
                                {"address", s.address},
                                {"selector", s.selector},
                                {"pages", s.pages},
                                {"differingPages", s.differingPages},
                                {"unreadablePages", s.unreadablePages}};
        stage["firstDifference"] =
            s.firstDifference ? nlohmann::json(*s.firstDifference) : nlohmann::json(nullptr);
        stages.push_back(stage);
    }
    nlohmann::json header = {{"readable", m_header.readable}, {"written", m_header.written}};
    if (m_header.readable) {
        header["records"] = m_header.count;
        header["checkBytesMatch"] = m_header.complementHolds;
    }
    return {{"stages", stages}, {"databaseHeader", header}, {"allSame", allSame()}};
}
