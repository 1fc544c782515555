#pragma once
// Camera records kept compactly: each record's ten device bytes, its camera class and country.

#include "database/DataBase.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A database answer may hold millions of records, so a record costs 15 bytes here instead of a
// shared object: the device image needs only its ten bytes, the country filter only its country
// and whether it is a Strelka or a Fake camera. Records of one country usually follow each other,
// so a country name is stored once per run of equal names.
class CameraRecordList {
public:
    enum class Kind : std::uint8_t { Other, Strelka, Fake };
    static constexpr std::size_t kDeviceBytes = 10;

    // The device's ten record bytes of `record`, unscrambled. Bits shifted past bit 31 are
    // dropped and negative values contribute their two's complement bits.
    static void pack(const DataBase& record, std::span<std::uint8_t, kDeviceBytes> out);
    static Kind kindOf(const DataBase& record);

    // Appends `record`; may throw std::bad_alloc, leaving the list as it was.
    void append(const DataBase& record) { append(record, record.parsing_country); }
    // Appends `record` with `country` in place of its own.
    void append(const DataBase& record, std::string_view country);
    void clear();

    [[nodiscard]] std::size_t size() const { return m_kinds.size(); }
    [[nodiscard]] bool empty() const { return m_kinds.empty(); }
    [[nodiscard]] std::span<const std::uint8_t, kDeviceBytes> deviceBytes(std::size_t i) const {
        return std::span(m_bytes).subspan(i * kDeviceBytes).first<kDeviceBytes>();
    }
    [[nodiscard]] Kind kind(std::size_t i) const { return m_kinds[i]; }
    [[nodiscard]] std::string_view country(std::size_t i) const;
    // Records with the same run number have the same country (the converse need not hold).
    [[nodiscard]] std::uint32_t countryRun(std::size_t i) const { return m_countryRuns[i]; }

private:
    struct Run {
        std::uint32_t offset;
        std::uint32_t length;
    };

    std::vector<std::uint8_t> m_bytes;
    std::vector<Kind> m_kinds;
    std::vector<std::uint32_t> m_countryRuns;
    std::vector<Run> m_runs;
    std::string m_names;
};
