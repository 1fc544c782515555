#include "server/WebServer_GetDeviceInfo.hpp"

#include "database/Utf8.hpp"
#include "server/FieldAnswer.hpp"

#include <array>

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

enum class Rule { Hex, Bool, Location, UpdateType };
using Store = void (*)(ConnectedTargetInfo&, std::uint32_t);

struct FieldSpec {
    Rule rule;
    Store store;
    const char* name;
};

// Position order of the answer; every field is stored before the next one is read.
const std::array<FieldSpec, WebServer_GetDeviceInfo::kFieldCount> kFields = {{
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_GPS_App_StartAddress(v); },
     "GPS start address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_GPS_App_EndAddress(v); },
     "GPS end address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_GPS_App_PageSize(v); },
     "GPS page size"},
    {Rule::Bool,
     [](ConnectedTargetInfo& r, std::uint32_t v) {
         r.setConnectedDevice_Enable_GPS_Firmware(static_cast<std::uint8_t>(v));
     },
     "GPS enable"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_RD_App_StartAddress(v); },
     "RD start address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_RD_App_EndAddress(v); },
     "RD end address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_RD_App_PageSize(v); },
     "RD page size"},
    {Rule::Bool,
     [](ConnectedTargetInfo& r, std::uint32_t v) {
         r.setConnectedDevice_Enable_RD_Firmware(static_cast<std::uint8_t>(v));
     },
     "RD enable"},
    {Rule::Hex,
     [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_DataBase_SaveCountAddress(v); },
     "database count address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_DataBase_SaveAddress(v); },
     "database address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_DataBase_PageSize(v); },
     "database page size"},
    {Rule::Bool,
     [](ConnectedTargetInfo& r, std::uint32_t v) {
         r.setConnectedDevice_Enable_DATABASE_Firmware(static_cast<std::uint8_t>(v));
     },
     "database enable"},
    {Rule::Location,
     [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_DataBase_SaveLocation(v); },
     "database location"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_Audio_SaveAddress(v); },
     "audio address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_Audio_PageSize(v); },
     "audio page size"},
    {Rule::Bool,
     [](ConnectedTargetInfo& r, std::uint32_t v) {
         r.setConnectedDevice_Enable_AUDIO_Firmware(static_cast<std::uint8_t>(v));
     },
     "audio enable"},
    {Rule::Location,
     [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_Audio_SaveLocation(v); },
     "audio location"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_Image_SaveAddress(v); },
     "display image address"},
    {Rule::Hex, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_Image_PageSize(v); },
     "display image page size"},
    {Rule::Bool,
     [](ConnectedTargetInfo& r, std::uint32_t v) {
         r.setConnectedDevice_Enable_IMAGE_Firmware(static_cast<std::uint8_t>(v));
     },
     "display image enable"},
    {Rule::Location,
     [](ConnectedTargetInfo& r, std::uint32_t v) { r.setInfo_Image_SaveLocation(v); },
     "display image location"},
    {Rule::UpdateType, [](ConnectedTargetInfo& r, std::uint32_t v) { r.setUpdateType(v); },
     "update type"},
}};

constexpr std::size_t kLastGpsField = 3;
constexpr std::size_t kLastRdField = 7;

} // namespace

std::optional<std::uint32_t> WebServer_GetDeviceInfo::StringToHex(std::string_view text) {
    const std::size_t skip = codec::prefixOfCharacters(text, 2);
    if (skip == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(skip);
    while (!rest.empty() &&
           (rest.front() == ' ' || rest.front() == '\t' || rest.front() == '\n' ||
            rest.front() == '\r' || rest.front() == '\v' || rest.front() == '\f')) {
        rest.remove_prefix(1);
    }
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
        hexValue(rest[2]) >= 0) {
        rest.remove_prefix(2);
    }
    std::uint64_t value = 0;
    for (const char c : rest) {
        const int digit = hexValue(c);
        if (digit < 0) {
            break;
        }
        value = (value << 4U) | static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFULL) {
            return 0xFFFFFFFFU; // saturates; the remaining digits cannot bring it back
        }
    }
    return static_cast<std::uint32_t>(value);
}

bool WebServer_GetDeviceInfo::StringToBool(std::string_view text) {
    return equalsIgnoringCase(text, "true");
}

std::uint32_t WebServer_GetDeviceInfo::ParsingSaveLocation(std::string_view text) {
    return equalsIgnoringCase(text, "MCU") ? 0U : 1U;
}

std::uint32_t WebServer_GetDeviceInfo::ParsingUpdateType(std::string_view text) {
    static constexpr std::array<std::string_view, 4> kTypes = {"MERIDIAN", "ONLY RD", "DONGLE",
                                                               "8BIT RD"};
    for (std::size_t i = 0; i < kTypes.size(); ++i) {
        if (equalsIgnoringCase(text, kTypes[i])) {
            return static_cast<std::uint32_t>(i + 1);
        }
    }
    return 0;
}

bool WebServer_GetDeviceInfo::getDeviceInfo(ConnectedTargetInfo& record) const {
    const server::HttpResult answer =
        m_access.request(kPath, record.ConnectedDevice_KewordForWebAcess());
    // A request that failed says so, instead of failing later on an empty field 0.
    if (!answer.ok()) {
        record.setErrorMessage(server::failureText(kErrorCode, answer));
        return false;
    }
    const auto fields = server::FieldAnswer::decode(answer.body);
    const auto fail = [&](std::string_view kind, const std::string& reason) {
        record.setErrorMessage(server::failureText(kErrorCode, kind, reason));
        return false;
    };

    for (std::size_t position = 0; position < kFields.size(); ++position) {
        const FieldSpec& entry = kFields[position];
        const std::string* field = fields.field(position);
        if (field == nullptr) {
            return fail("MissingField", fields.missingReason(position) + " (" + entry.name + ")");
        }
        std::uint32_t value = 0;
        switch (entry.rule) {
        case Rule::Hex: {
            const auto hex = StringToHex(*field);
            if (!hex) {
                return fail("ShortHexField", "field " + std::to_string(position) + " (" +
                                                 entry.name + ") " + server::quoted(*field) +
                                                 " has fewer than 2 characters");
            }
            value = *hex;
            break;
        }
        case Rule::Bool:
            value = StringToBool(*field) ? 1U : 0U;
            break;
        case Rule::Location:
            value = ParsingSaveLocation(*field);
            break;
        case Rule::UpdateType:
            value = ParsingUpdateType(*field);
            break;
        }
        entry.store(record, value);

        // Unsigned subtraction: a start below the image base wraps to an offset past any image.
        if (position == kLastGpsField) {
            record.setInfo_GPS_Binary_Cut_StartAddress(record.Info_GPS_App_StartAddress() -
                                                       kImageBase);
            record.setInfo_GPS_Binary_Cut_EndAddress(record.Info_GPS_App_EndAddress() - kImageBase);
        } else if (position == kLastRdField) {
            const std::uint32_t start = record.Info_RD_App_StartAddress();
            record.setInfo_RD_Binary_Cut_StartAddress(
                start == kRdCutFromStart ? 0U : start - kImageBase);
            record.setInfo_RD_Binary_Cut_EndAddress(record.Info_RD_App_EndAddress() - kImageBase);
        }
    }
    return true;
}
