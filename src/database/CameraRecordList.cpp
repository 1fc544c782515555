#include "database/CameraRecordList.hpp"

#include "database/TextNumber.hpp"
#include "database/WebServer_GetDataBase.hpp"

#include <limits>
#include <new>

void CameraRecordList::pack(const DataBase& r, std::span<std::uint8_t, kDeviceBytes> out) {
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

CameraRecordList::Kind CameraRecordList::kindOf(const DataBase& record) {
    if (record.parsing_camera == kStrelkaCamera) {
        return Kind::Strelka;
    }
    return record.parsing_camera == kFakeCamera ? Kind::Fake : Kind::Other;
}

void CameraRecordList::append(const DataBase& record, std::string_view name) {
    const bool newRun = m_runs.empty() || country(size() - 1) != name;
    if (newRun && (m_names.size() + name.size() > std::numeric_limits<std::uint32_t>::max() ||
                   m_runs.size() >= std::numeric_limits<std::uint32_t>::max())) {
        throw std::bad_alloc();
    }
    const std::size_t oldBytes = m_bytes.size();
    const std::size_t oldNames = m_names.size();
    const std::size_t oldRuns = m_runs.size();
    try {
        if (newRun) {
            m_runs.push_back({static_cast<std::uint32_t>(m_names.size()),
                              static_cast<std::uint32_t>(name.size())});
            m_names.append(name);
        }
        m_bytes.resize(oldBytes + kDeviceBytes);
        pack(record, std::span(m_bytes).subspan(oldBytes).first<kDeviceBytes>());
        m_countryRuns.push_back(static_cast<std::uint32_t>(m_runs.size() - 1));
        m_kinds.push_back(kindOf(record));
    } catch (...) {
        m_bytes.resize(oldBytes);
        m_names.resize(oldNames);
        m_runs.resize(oldRuns);
        m_countryRuns.resize(m_kinds.size());
        throw;
    }
}

void CameraRecordList::clear() {
    // Swapped out rather than cleared, so that a smaller database gives the memory back.
    std::vector<std::uint8_t>().swap(m_bytes);
    std::vector<Kind>().swap(m_kinds);
    std::vector<std::uint32_t>().swap(m_countryRuns);
    std::vector<Run>().swap(m_runs);
    std::string().swap(m_names);
}

std::string_view CameraRecordList::country(std::size_t i) const {
    const Run& run = m_runs[m_countryRuns[i]];
    return std::string_view(m_names).substr(run.offset, run.length);
}
