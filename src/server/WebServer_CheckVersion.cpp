#include "server/WebServer_CheckVersion.hpp"

#include "server/FieldAnswer.hpp"

#include <algorithm>

namespace {

constexpr std::uint32_t kImageBase = 0x08000000;
// Of a GPS version only the characters from this index on are compared and written.
constexpr std::size_t kGpsCompareFrom = 6;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string tail(const std::string& text, std::size_t from) {
    return from < text.size() ? text.substr(from) : std::string{};
}

} // namespace

std::string WebServer_CheckVersion::getUpdateVersion(std::span<const std::uint8_t> image,
                                                     std::uint32_t startAddress) {
    const std::uint32_t start = startAddress - kImageBase;
    if (image.size() < kMarkerSearchLength || start > image.size() - kMarkerSearchLength) {
        return kUnknown;
    }
    const auto marker = kBlockMarker.substr(0, kMarkerSearchLength);
    const auto from = image.begin() + static_cast<std::ptrdiff_t>(start);
    const auto found =
        std::search(from, image.end(), marker.begin(), marker.end(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    if (found == image.end()) {
        return kUnknown;
    }
    const auto available = static_cast<std::size_t>(image.end() - found);
    const auto blockEnd = found + static_cast<std::ptrdiff_t>(std::min(kBlockLength, available));
    const auto textEnd = std::find(found, blockEnd, std::uint8_t{0});
    const std::string text(found, textEnd);

    // The third ":"-piece: from after the second ":" to the next one or the end.
    const auto first = text.find(':');
    const auto second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) {
        return kUnknown;
    }
    const auto third = text.find(':', second + 1);
    std::string piece =
        text.substr(second + 1, third == std::string::npos ? third : third - second - 1);
    std::transform(piece.begin(), piece.end(), piece.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });

    // The last run of at least four digits: the last digit with three digit predecessors.
    for (std::size_t i = piece.size(); i-- > 3;) {
        if (isDigit(piece[i]) && isDigit(piece[i - 1]) && isDigit(piece[i - 2]) &&
            isDigit(piece[i - 3])) {
            std::size_t begin = i - 3;
            while (begin > 0 && isDigit(piece[begin - 1])) {
                --begin;
            }
            const std::size_t length = i + 1 - begin;
            return length == kVersionDigits ? piece.substr(begin, length) : std::string(kUnknown);
        }
    }
    return kUnknown;
}

bool WebServer_CheckVersion::CheckUpdateVersion(ConnectedTargetInfo& record) {
    const auto versionOf = [](const SharedBytes& image, std::uint32_t start) {
        return image ? getUpdateVersion(*image, start) : std::string(kUnknown);
    };
    const std::string gps =
        versionOf(record.Download_Firmware_GPS(), record.Info_GPS_App_StartAddress());
    record.setConnectedDevice_Version_GPS_Update(gps);
    if (gps == kUnknown) {
        return false;
    }
    const std::string rd =
        versionOf(record.Download_Firmware_RD(), record.Info_RD_App_StartAddress());
    record.setConnectedDevice_Version_RD_Update(rd);
    return rd != kUnknown;
}

std::string WebServer_CheckVersion::noVersionText(const ConnectedTargetInfo& record,
                                                  const server::HttpResult& gpsFetch,
                                                  const server::HttpResult& rdFetch) {
    constexpr int kCode = 501;
    const bool gps = record.ConnectedDevice_Version_GPS_Update() == kUnknown;
    const std::string name = gps ? "GPS" : "RD";
    const server::HttpResult& fetch = gps ? gpsFetch : rdFetch;
    if (!fetch.ok()) {
        return server::failureText(kCode, server::failureKind(fetch.error),
                                   name + " image: " + fetch.message);
    }
    const SharedBytes image = gps ? record.Download_Firmware_GPS() : record.Download_Firmware_RD();
    const std::string address =
        gps ? record.Download_Firmware_GPS_wAdd() : record.Download_Firmware_RD_wAdd();
    if (!image) {
        return server::failureText(kCode, "NoVersion",
                                   "no " + name + " image was downloaded (none offered)");
    }
    return server::failureText(kCode, "NoVersion",
                               name + " image (" + std::to_string(image->size()) + " bytes from " +
                                   address + ") holds no version block");
}

bool WebServer_CheckVersion::SetUpdateOption(ConnectedTargetInfo& record) {
    const std::string gpsCurrent = record.ConnectedDevice_Version_GPS_Current();
    const std::string gpsUpdate = record.ConnectedDevice_Version_GPS_Update();
    if (gpsCurrent == kUnknown) {
        record.setConnectedDevice_Enable_GPS_Firmware(1);
    } else if (gpsCurrent.size() < kGpsCompareFrom || gpsUpdate.size() < kGpsCompareFrom) {
        record.setConnectedDevice_Version_GPS_Current(kUnknown);
        record.setConnectedDevice_Enable_GPS_Firmware(1);
    } else {
        record.setConnectedDevice_Enable_GPS_Firmware(
            tail(gpsCurrent, kGpsCompareFrom) != tail(gpsUpdate, kGpsCompareFrom) ? 1 : 0);
    }

    const std::string rdCurrent = record.ConnectedDevice_Version_RD_Current();
    const std::string rdUpdate = record.ConnectedDevice_Version_RD_Update();
    record.setConnectedDevice_Enable_RD_Firmware(
        rdCurrent == kUnknown || rdCurrent != rdUpdate ? 1 : 0);

    const std::string key = record.ConnectedDevice_Name_forVerify();
    const std::string gpsDetail =
        key + "GX" + record.Info_strDate() + tail(gpsUpdate, kGpsCompareFrom);
    const std::string rdDetail = key + "RD" + rdUpdate;
    record.setConnectedDevice_Version_GPS_Update_detail(gpsDetail);
    record.setConnectedDevice_Version_RD_Update_detail(rdDetail);
    record.setVerifyBlock_GPS_UpdateData(std::string(kBlockMarker) + "$:" + gpsDetail);
    record.setVerifyBlock_RD_UpdateData(std::string(kBlockMarker) + "$:" + rdDetail);
    return true;
}
