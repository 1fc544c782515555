#include "database/WebServer_GetDataBase.hpp"

#include "database/Base64.hpp"
#include "database/CountryListAnswer.hpp"
#include "database/TextNumber.hpp"
#include "database/Utf8.hpp"
#include "server/FieldAnswer.hpp"

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

namespace {

std::string_view asText(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Body as UTF-8 (else empty), strict Base64 (else empty), result as UTF-8 (else empty).
std::string strictDecodedText(const Bytes& body) {
    const std::string_view text = asText(body);
    return codec::isValidUtf8(text) ? WebServer_GetDataBase::decodingData(text) : std::string{};
}

} // namespace

bool WebServer_GetDataBase::fail(ConnectedTargetInfo& record, std::string_view kind,
                                 const std::string& reason) {
    record.setErrorMessage(server::failureText(kErrorCode, kind, reason));
    return false;
}

bool WebServer_GetDataBase::getDatabase(ConnectedTargetInfo& record) {
    if (record.ConnectedDevice_Enable_DATABASE_Firmware() == 0) {
        return true;
    }

    // Identifier: stored as received, then replaced by its decoded text.
    const server::HttpResult idAnswer =
        m_access.request(kIdPath, record.ConnectedDevice_KewordForWebAcess());
    if (!idAnswer.ok()) {
        return fail(record, server::failureKind(idAnswer.error), idAnswer.message);
    }
    record.setSsId(codec::isValidUtf8(asText(idAnswer.body)) ? std::string(asText(idAnswer.body))
                                                             : std::string{});
    const std::string ssId = strictDecodedText(idAnswer.body);
    record.setSsId(ssId);

    // Country list; the piece before the first "$" is not a country.
    const CountryListAnswer countries =
        CountryListAnswer::decode(m_access.request(kCountriesPath, {}));
    const std::vector<std::string>& entries = countries.entries();
    // A database is to be written, and without a country none can be chosen.
    if (entries.empty()) {
        return fail(record, "NoCountries", countries.noCountriesReason());
    }
    record.setCountry_Total_Num(static_cast<std::uint32_t>(entries.size()));
    auto names = std::make_shared<TextList>();
    auto cameras = std::make_shared<TextList>();
    auto strelka = std::make_shared<TextList>();
    auto fake = std::make_shared<TextList>();
    auto checked = std::make_shared<List>();
    // The lists are handed over once filled; on a failure the entries before it are kept.
    const auto publish = [&] {
        record.setCountry_Name(names);
        record.setCountry_SpeedCam_Num(cameras);
        record.setCountry_Strelka_Num(strelka);
        record.setCountry_Fake_Num(fake);
        record.setCountry_Checked(checked);
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::vector<std::string> f = CountryListAnswer::fields(entries[i]);
        if (f.size() < 4) {
            publish();
            return fail(record, "MissingCountryField",
                        "country entry " + std::to_string(i + 1) + " " +
                            server::quoted(entries[i]) + " has " + std::to_string(f.size()) +
                            " of 4 fields");
        }
        names->push_back(f[0]);
        cameras->push_back(f[1]);
        strelka->push_back(f[2]);
        fake->push_back(f[3]);
        checked->emplace_back(false);
    }
    publish();

    // Database: lines of Base64 records between a dated header and two closing lines.
    const server::HttpResult dbAnswer = m_access.request(kDatabasePath, ssId);
    if (!dbAnswer.ok()) {
        return fail(record, server::failureKind(dbAnswer.error), dbAnswer.message);
    }
    std::string body = codec::isValidUtf8(asText(dbAnswer.body))
                           ? std::string(asText(dbAnswer.body))
                           : std::string{};
    body.erase(std::remove(body.begin(), body.end(), '\r'), body.end());
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n')) + 1);
    {
        std::size_t start = 0;
        while (true) {
            const auto at = body.find('\n', start);
            lines.push_back(
                std::string_view(body).substr(start, at == std::string::npos ? at : at - start));
            if (at == std::string::npos) {
                break;
            }
            start = at + 1;
        }
    }
    m_DB_Struct = DataBaseList{};
    m_DB_Struct_noStrelka = DataBaseList{};

    const std::string_view header = lines[0];
    const std::size_t dateEnd = codec::prefixOfCharacters(header, 10);
    if (dateEnd == std::string_view::npos) {
        return fail(record, "ShortHeader",
                    "database header " + server::quoted(header) + " is shorter than 10 characters");
    }
    const std::size_t yearFrom = codec::prefixOfCharacters(header, 2);
    const std::vector<std::string> date =
        server::FieldAnswer::split(header.substr(yearFrom, dateEnd - yearFrom), '-');
    if (date.size() < 3) {
        return fail(record, "BadDate",
                    "database date " + server::quoted(header.substr(0, dateEnd)) +
                        " has fewer than 3 parts");
    }
    record.setInfo_strDate(date[2] + date[1] + date[0]);
    record.setInfo_strDate_Dongle("DB:20" + date[0] + "." + date[1] + "." + date[2] + ".0000,");

    if (lines.size() < 3) {
        return fail(record, "ShortAnswer",
                    "database answer has " + std::to_string(lines.size()) + " of at least 3 lines");
    }
    const std::size_t count = lines.size() - 3;
    DataBaseList records;
    records.reserve(count);
    for (std::size_t i = 1; i <= count; ++i) {
        const std::string text = decodingData(lines[i]);
        std::array<std::string_view, kRecordFields> fields;
        std::size_t n = 0;
        std::size_t start = 0;
        while (n < fields.size()) {
            const auto comma = text.find(',', start);
            fields[n++] = std::string_view(text).substr(
                start, comma == std::string::npos ? comma : comma - start);
            if (comma == std::string::npos) {
                break;
            }
            start = comma + 1;
        }
        auto camera = std::make_shared<DataBase>();
        if (!setStrData(std::span(fields.data(), n), *camera)) {
            // The records read so far stay in the lists; the record's counts and images do not
            // change.
            m_DB_Struct = std::move(records);
            for (const auto& r : m_DB_Struct) {
                if (r->parsing_camera != kStrelkaCamera) {
                    m_DB_Struct_noStrelka.push_back(r);
                }
            }
            return fail(record, "BadRecord",
                        "record line " + std::to_string(i) + " has " + std::to_string(n) +
                            " of 7 fields");
        }
        records.push_back(std::move(camera));
    }
    if (!storeRecords(record, std::move(records))) {
        return fail(record, "ImageBuild", "the device key has not been read");
    }
    return true;
}
