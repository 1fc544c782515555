#include "app/UpdateSchedule.hpp"

#include "app/ViewController.hpp"

#include <numeric>

namespace {

void addStage(std::vector<double>& pauses, std::uint64_t pageCount, std::uint32_t selector) {
    const double perPage = selector == 1 ? ViewController::kSelectorOnePageSeconds
                                         : ViewController::kSelectorZeroPageSeconds;
    pauses.insert(pauses.end(), static_cast<std::size_t>(pageCount * 2), perPage);
    pauses.push_back(ViewController::kStepSeconds);
}

} // namespace

std::uint64_t UpdateSchedule::pages(std::uint32_t cutStart, std::uint32_t cutEnd,
                                    std::uint32_t pageSize) {
    if (pageSize == 0 || pageSize > ViewController::kMaxPageSize || cutEnd < cutStart) {
        return 0;
    }
    return (std::uint64_t{cutEnd} - cutStart + pageSize - 1) / pageSize;
}

std::vector<double> UpdateSchedule::downloadPauses(const ConnectedTargetInfo& record) {
    std::vector<double> pauses;
    if (record.ConnectedDevice_Enable_RD_Firmware() != 0) {
        const auto count =
            record.Download_Firmware_RD()
                ? pages(record.Info_RD_Binary_Cut_StartAddress(),
                        record.Info_RD_Binary_Cut_EndAddress(), record.Info_RD_App_PageSize())
                : 0;
        addStage(pauses, count, 1);
    }
    // The GPS stage always runs.
    const auto gpsPages =
        record.Download_Firmware_GPS()
            ? pages(record.Info_GPS_Binary_Cut_StartAddress(),
                    record.Info_GPS_Binary_Cut_EndAddress(), record.Info_GPS_App_PageSize())
            : 0;
    addStage(pauses, gpsPages, record.isIncludeStar() != 0 ? 1 : 0);
    if (record.ConnectedDevice_Enable_DATABASE_Firmware() != 0) {
        const SharedBytes image = record.Download_Firmware_DATABASE();
        const auto count = image ? pages(4, static_cast<std::uint32_t>(image->size()),
                                         record.Info_DataBase_PageSize())
                                 : 0;
        addStage(pauses, count, 0);
    }
    return pauses;
}

double UpdateSchedule::secondsLeft(const std::vector<double>& pauses, std::size_t made) {
    if (made >= pauses.size()) {
        return 0.0;
    }
    return std::accumulate(pauses.begin() + static_cast<std::ptrdiff_t>(made), pauses.end(), 0.0);
}
