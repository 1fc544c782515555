#pragma once
// The camera database client: its records in memory, the device images built from them and the
// country filter the download applies before writing.

#include "database/CameraRecordList.hpp"
#include "database/DataBase.hpp"
#include "device/ConnectedTargetInfo.hpp"
#include "server/ServerAccess.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Positions of records in WebServer_GetDataBase::DB_Struct(), in answer order.
using RecordIndexList = std::vector<std::uint32_t>;

class WebServer_GetDataBase {
public:
    static constexpr const char* kIdPath = "/qvt_database/get_id/%@m";
    static constexpr const char* kCountriesPath = "/qvt_database/countries";
    static constexpr const char* kDatabasePath = "/qvt_database/get_database/%@m";
    static constexpr int kErrorCode = 401;

    // Talks to the update server the settings in force name, through the process-wide client.
    WebServer_GetDataBase() = default;
    explicit WebServer_GetDataBase(server::ServerAccess access)
        : m_access(std::move(access)) {}

    // Does nothing and returns true when the database is not offered. Otherwise requests the
    // identifier (SsId), the country list and the database for that identifier, in that order,
    // and fills the country lists, the dates, both record lists, their counts and both images.
    // False with a 401 failure text at the first country entry of fewer than four fields, a
    // header shorter than ten characters or without three date parts, an answer of fewer than
    // three lines, a record line of fewer than seven fields, or an image that cannot be built;
    // what the earlier steps stored stays. Running out of memory is a 401 failure too. The
    // database answer is walked in place: memory follows the bytes that arrived.
    bool getDatabase(ConnectedTargetInfo& record);

    // At most this many records fit the device's database memory.
    static constexpr std::uint32_t kMaxRecords = 9300;
    // Bytes of the record count in front of a device image, and of one record.
    static constexpr std::size_t kImageHeaderSize = 4;
    static constexpr std::size_t kRecordSize = 10;

    // Every record of the last database answer, in answer order.
    [[nodiscard]] const CameraRecordList& DB_Struct() const { return m_DB_Struct; }
    // Scrambled device image of DB_Struct.
    [[nodiscard]] const Bytes& HexFormat_DB() const { return m_HexFormat_DB; }
    // DB_Struct without the Strelka cameras (positions in DB_Struct).
    [[nodiscard]] const RecordIndexList& DB_Struct_noStrelka() const {
        return m_DB_Struct_noStrelka;
    }
    [[nodiscard]] const Bytes& HexFormat_DB_noStrelka() const { return m_HexFormat_DB_noStrelka; }
    // The records the user's last choice kept (positions in DB_Struct), and their image.
    [[nodiscard]] const RecordIndexList& DB_Struct_reParsing() const {
        return m_DB_Struct_reParsing;
    }
    [[nodiscard]] const Bytes& HexFormat_DB_reParsing() const { return m_HexFormat_DB_reParsing; }

    // Strict-decodes one record line and reads it as UTF-8; anything invalid gives "".
    static std::string decodingData(std::string_view line);
    // The same in place: the text overwrites the start of `line` and the result views it.
    static std::string_view decodingDataInPlace(std::span<char> line);

    // Fills `record` from the fields of a decoded record line: 0 camera type, 1 latitude,
    // 2 longitude, 3 direction, 4 speed, 5 autodoria value, 6 country; later fields are ignored.
    // Returns false when fewer than seven fields are given; the fields before the missing one
    // are stored by then. Number fields never fail: a text that is not a number reads as 0.
    static bool setStrData(std::span<const std::string_view> fields, DataBase& record);

    // Degrees to ten-thousandths of a degree, truncated toward zero.
    static std::int32_t Converting_LatLng(double degrees);

    // Writes `count` as four big-endian bytes and then `count` ten-byte records of `list` into
    // `buffer`. Returns false, leaving the buffer untouched, when the buffer is smaller than
    // 4 + 10 * count bytes or the list shorter than count; a count of 0 or less writes no record.
    static bool Change_Hex_Format(std::int32_t count, const DataBaseList& list,
                                  std::span<std::uint8_t> buffer);

    // XORs every byte from offset 4 up to dataLength with the nine-byte device key of `record`,
    // the key advancing one byte per byte. Returns false and leaves `data` unchanged when a key
    // entry is not a number yet (identification has not filled it) or dataLength exceeds `data`.
    static bool ChangeSecurityCode(const ConnectedTargetInfo& record, std::span<std::uint8_t> data,
                                   std::int32_t dataLength);

    // Takes `records` as the whole database (the last steps of a database fetch): DB_Struct and
    // DB_Struct_noStrelka, their counts and both scrambled images, with copies of the images in
    // the record. Returns false when an image cannot be built (a key entry is not a number yet);
    // what was stored before that point stays.
    bool storeRecords(ConnectedTargetInfo& record, const DataBaseList& records);

    // Keeps the records of DB_Struct whose country is chosen in record.Country_Checked ("YES"),
    // less the excluded Strelka and Fake cameras, in answer order; builds their scrambled image
    // and stores a copy in record.Download_Firmware_DATABASE. Returns false without touching the
    // record when more than 9300 records are chosen, a key entry is not a number, a reached
    // check mark is not a text, or the country lists are shorter than Country_Total_Num; the
    // chosen list and its image are replaced all the same. Running out of memory gives false.
    bool reParsingForOriginal(ConnectedTargetInfo& record);

private:
    bool fetchDatabase(ConnectedTargetInfo& record);
    bool fail(ConnectedTargetInfo& record, std::string_view kind, const std::string& reason);
    // Takes DB_Struct as the whole database: the list without Strelka cameras, the counts and
    // both images, with copies in the record.
    bool storeAll(ConnectedTargetInfo& record);
    void collectNoStrelka();
    bool chooseRecords(ConnectedTargetInfo& record);

    // Builds the scrambled device image of the records at `positions` of DB_Struct (of all of
    // them when `positions` is null) into `image`; false when the key cannot be read.
    bool buildScrambledImage(const ConnectedTargetInfo& record, const RecordIndexList* positions,
                             Bytes& image) const;

    CameraRecordList m_DB_Struct;
    Bytes m_HexFormat_DB;
    RecordIndexList m_DB_Struct_noStrelka;
    Bytes m_HexFormat_DB_noStrelka;
    RecordIndexList m_DB_Struct_reParsing;
    Bytes m_HexFormat_DB_reParsing;
    server::ServerAccess m_access;
};
