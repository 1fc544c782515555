#include "database/WebServer_GetDataBase.hpp"

#include "database/Base64.hpp"
#include "database/TextNumber.hpp"
#include "database/Utf8.hpp"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace {

constexpr std::size_t kRecordFields = 7;

void putBigEndian32(std::uint32_t value, std::span<std::uint8_t, 4> out) {
    out[0] = static_cast<std::uint8_t>(value >> 24U);
    out[1] = static_cast<std::uint8_t>(value >> 16U);
    out[2] = static_cast<std::uint8_t>(value >> 8U);
    out[3] = static_cast<std::uint8_t>(value);
}

// The device's ten record bytes. The fields are packed in unsigned arithmetic, so bits shifted
// past bit 31 are dropped and a negative value contributes its two's complement bits.
void packRecord(const DataBase& r,
                std::span<std::uint8_t, WebServer_GetDataBase::kRecordSize> out) {
    const auto t = static_cast<std::uint32_t>(codec::truncateToInt32(r.parsing_camera));
    const auto y =
        static_cast<std::uint32_t>(WebServer_GetDataBase::Converting_LatLng(r.parsing_lat));
    const std::int32_t xSigned = WebServer_GetDataBase::Converting_LatLng(r.parsing_lng);
    const auto x = static_cast<std::uint32_t>(xSigned);
    const auto h = static_cast<std::uint32_t>(codec::truncateToInt32(r.parsing_direction));
    const auto s = static_cast<std::uint32_t>(codec::truncateToInt32(r.parsing_speed) / 10);
    const auto d = static_cast<std::uint32_t>(codec::truncateToInt32(r.parsing_autodoria));

    // Bits 21..17 of the longitude; the shift of the signed value copies the sign bit.
    const auto xHigh = static_cast<std::uint32_t>(xSigned >> 17) & 0x1FU;
    const std::uint32_t a = (t << 27U) | ((y & 0x7FFFFFU) << 5U) | xHigh;
    const std::uint32_t b = (x << 15U) | (h << 6U) | (s << 2U);

    out[0] = static_cast<std::uint8_t>(b >> 16U);
    out[1] = static_cast<std::uint8_t>(b);
    out[2] = static_cast<std::uint8_t>(a >> 24U);
    out[3] = static_cast<std::uint8_t>(d >> 8U);
    out[4] = static_cast<std::uint8_t>(a >> 8U);
    out[5] = static_cast<std::uint8_t>(b >> 8U);
    out[6] = static_cast<std::uint8_t>(b >> 24U);
    out[7] = static_cast<std::uint8_t>(d);
    out[8] = static_cast<std::uint8_t>(a);
    out[9] = static_cast<std::uint8_t>(a >> 16U);
}

std::size_t imageSize(std::size_t count) {
    return WebServer_GetDataBase::kImageHeaderSize + WebServer_GetDataBase::kRecordSize * count;
}

} // namespace

std::string WebServer_GetDataBase::decodingData(std::string_view line) {
    auto text = codec::strictBase64DecodeText(line);
    if (!text || !codec::isValidUtf8(*text)) {
        return {};
    }
    return std::move(*text);
}

bool WebServer_GetDataBase::setStrData(std::span<const std::string_view> fields, DataBase& record) {
    double* const numbers[] = {&record.parsing_camera, &record.parsing_lat,
                               &record.parsing_lng,    &record.parsing_direction,
                               &record.parsing_speed,  &record.parsing_autodoria};
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        if (i >= fields.size()) {
            return false;
        }
        *numbers[i] = codec::readDecimalNumber(fields[i]);
    }
    if (fields.size() < kRecordFields) {
        return false;
    }
    record.parsing_country.assign(fields[6]);
    return true;
}

std::int32_t WebServer_GetDataBase::Converting_LatLng(double degrees) {
    return codec::truncateToInt32(degrees * 1000000.0) / 100;
}

bool WebServer_GetDataBase::Change_Hex_Format(std::int32_t count, const DataBaseList& list,
                                              std::span<std::uint8_t> buffer) {
    const std::size_t records = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (buffer.size() < imageSize(records) || list.size() < records) {
        return false;
    }
    putBigEndian32(static_cast<std::uint32_t>(count), buffer.first<4>());
    for (std::size_t j = 0; j < records; ++j) {
        if (!list[j]) {
            return false;
        }
        packRecord(*list[j], buffer.subspan(imageSize(j)).first<kRecordSize>());
    }
    return true;
}

bool WebServer_GetDataBase::ChangeSecurityCode(const ConnectedTargetInfo& record,
                                               std::span<std::uint8_t> data,
                                               std::int32_t dataLength) {
    const SharedList keyList = record.Info_T_Key();
    if (record.Info_T_key_number() != ConnectedTargetInfo::kKeyLength || !keyList ||
        keyList->size() < ConnectedTargetInfo::kKeyLength) {
        return false;
    }
    std::array<std::uint8_t, ConnectedTargetInfo::kKeyLength> key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto* number = std::get_if<std::uint32_t>(&(*keyList)[i]);
        if (number == nullptr) {
            return false; // still the placeholder: identification has not read the key
        }
        key[i] = static_cast<std::uint8_t>(*number);
    }
    const std::size_t length = dataLength > 0 ? static_cast<std::size_t>(dataLength) : 0;
    if (length > data.size()) {
        return false;
    }
    for (std::size_t p = kImageHeaderSize; p < length; ++p) {
        data[p] ^= key[(p - kImageHeaderSize) % key.size()];
    }
    return true;
}

bool WebServer_GetDataBase::buildScrambledImage(const ConnectedTargetInfo& record,
                                                const DataBaseList& list, Bytes& image) {
    image.assign(imageSize(list.size()), 0);
    const auto count = static_cast<std::int32_t>(list.size());
    return Change_Hex_Format(count, list, image) &&
           ChangeSecurityCode(record, image, static_cast<std::int32_t>(image.size()));
}

bool WebServer_GetDataBase::storeRecords(ConnectedTargetInfo& record, DataBaseList records) {
    m_DB_Struct = std::move(records);
    m_DB_Struct_noStrelka = DataBaseList{};
    for (const auto& r : m_DB_Struct) {
        if (r->parsing_camera != kStrelkaCamera) {
            m_DB_Struct_noStrelka.push_back(r);
        }
    }
    record.setInfo_DataBase_Count(static_cast<std::uint32_t>(m_DB_Struct.size()));
    record.setInfo_DataBase_Count_NoStrelka(
        static_cast<std::uint32_t>(m_DB_Struct_noStrelka.size()));
    if (!buildScrambledImage(record, m_DB_Struct, m_HexFormat_DB)) {
        return false;
    }
    record.setDownload_Firmware_DATABASE(std::make_shared<const Bytes>(m_HexFormat_DB));
    if (!buildScrambledImage(record, m_DB_Struct_noStrelka, m_HexFormat_DB_noStrelka)) {
        return false;
    }
    record.setDownload_Firmware_DATABASE_NoStrelka(
        std::make_shared<const Bytes>(m_HexFormat_DB_noStrelka));
    return true;
}

bool WebServer_GetDataBase::reParsingForOriginal(ConnectedTargetInfo& record) {
    m_DB_Struct_reParsing = DataBaseList{};

    // For each country name, the outcome of scanning the list in order for the first entry of
    // that name that is chosen: the first such entry decides, as a scan per record would.
    enum class Outcome { Chosen, Failure };
    const std::uint32_t total = record.Country_Total_Num();
    const SharedTextList names = record.Country_Name();
    const SharedList checked = record.Country_Checked();
    const std::size_t nameCount = names ? names->size() : 0;
    std::unordered_map<std::string_view, Outcome> outcomes;
    bool listsTooShort = nameCount < total;
    for (std::size_t c = 0; c < std::min<std::size_t>(total, nameCount); ++c) {
        const std::string_view name = (*names)[c];
        if (outcomes.count(name) != 0) {
            continue;
        }
        if (!checked || c >= checked->size()) {
            outcomes.emplace(name, Outcome::Failure);
            continue;
        }
        const auto* mark = std::get_if<std::string>(&(*checked)[c]);
        if (mark == nullptr) {
            outcomes.emplace(name, Outcome::Failure);
        } else if (*mark == "YES") {
            outcomes.emplace(name, Outcome::Chosen);
        }
    }

    const bool excludeStrelka = record.isExcludeStrelka() != 0;
    const bool excludeFake = record.isExcludeFake() != 0;
    DataBaseList chosen;
    // Records come grouped by country, so the last answer is usually the next one too.
    const std::string* lastCountry = nullptr;
    const Outcome* lastOutcome = nullptr;
    for (const auto& r : m_DB_Struct) {
        if (lastCountry == nullptr || *lastCountry != r->parsing_country) {
            const auto it = outcomes.find(r->parsing_country);
            lastCountry = &r->parsing_country;
            lastOutcome = it == outcomes.end() ? nullptr : &it->second;
        }
        if (lastOutcome == nullptr) {
            if (listsTooShort) {
                return false; // the scan would run past the end of the country list
            }
            continue;
        }
        if (*lastOutcome == Outcome::Failure) {
            return false;
        }
        if (r->parsing_camera == kStrelkaCamera && excludeStrelka) {
            continue;
        }
        if (r->parsing_camera == kFakeCamera && excludeFake) {
            continue;
        }
        chosen.push_back(r);
    }
    m_DB_Struct_reParsing = std::move(chosen);
    m_HexFormat_DB_reParsing.assign(imageSize(m_DB_Struct_reParsing.size()), 0);
    if (m_DB_Struct_reParsing.size() > kMaxRecords) {
        return false;
    }
    if (!buildScrambledImage(record, m_DB_Struct_reParsing, m_HexFormat_DB_reParsing)) {
        return false;
    }
    record.setDownload_Firmware_DATABASE(std::make_shared<const Bytes>(m_HexFormat_DB_reParsing));
    return true;
}
