#include "server/WebServer_GetFirmware.hpp"

#include "server/FieldAnswer.hpp"

#include <algorithm>
#include <array>

namespace {

struct ImageSlot {
    const char* name;
    std::uint8_t (ConnectedTargetInfo::*enabled)() const;
    void (ConnectedTargetInfo::*storeAddress)(const std::string&);
    void (ConnectedTargetInfo::*storeBytes)(SharedBytes);
};

// List positions 0 to 3.
const std::array<ImageSlot, 4> kSlots = {{
    {"RD firmware", &ConnectedTargetInfo::ConnectedDevice_Enable_RD_Firmware,
     &ConnectedTargetInfo::setDownload_Firmware_RD_wAdd,
     &ConnectedTargetInfo::setDownload_Firmware_RD},
    {"GPS firmware", &ConnectedTargetInfo::ConnectedDevice_Enable_GPS_Firmware,
     &ConnectedTargetInfo::setDownload_Firmware_GPS_wAdd,
     &ConnectedTargetInfo::setDownload_Firmware_GPS},
    {"audio image", &ConnectedTargetInfo::ConnectedDevice_Enable_AUDIO_Firmware,
     &ConnectedTargetInfo::setDownload_Firmware_AUDIO_wAdd,
     &ConnectedTargetInfo::setDownload_Firmware_AUDIO},
    {"display image", &ConnectedTargetInfo::ConnectedDevice_Enable_IMAGE_Firmware,
     &ConnectedTargetInfo::setDownload_Firmware_IMAGE_wAdd,
     &ConnectedTargetInfo::setDownload_Firmware_IMAGE},
}};

} // namespace

bool WebServer_GetFirmware::getFirmware(ConnectedTargetInfo& record) {
    m_fetchFailures = {};
    const server::HttpResult list =
        m_access.request(kPath, record.ConnectedDevice_KewordForWebAcess());
    const bool anyEnabled = std::any_of(kSlots.begin(), kSlots.end(), [&](const ImageSlot& slot) {
        return (record.*slot.enabled)() != 0;
    });
    // Without a list no enabled image can be had: say why the list did not come.
    if (!list.ok() && anyEnabled) {
        record.setErrorMessage(server::failureText(kErrorCode, list));
        return false;
    }
    const auto fields = server::FieldAnswer::decode(list.body);

    for (std::size_t position = 0; position < kSlots.size(); ++position) {
        const ImageSlot& slot = kSlots[position];
        if ((record.*slot.enabled)() == 0) {
            continue;
        }
        const std::string* address = fields.field(position);
        if (address == nullptr) {
            record.setErrorMessage(server::failureText(kErrorCode, "MissingField",
                                                       fields.missingReason(position) + " (" +
                                                           slot.name + " address)"));
            return false;
        }
        (record.*slot.storeAddress)(*address);
        server::HttpResult image = m_access.fetchImage(*address);
        if (image.ok()) {
            (record.*slot.storeBytes)(std::make_shared<const Bytes>(std::move(image.body)));
        } else {
            (record.*slot.storeBytes)(SharedBytes{});
            m_fetchFailures[position] = std::move(image);
        }
    }
    return true;
}

const server::HttpResult& WebServer_GetFirmware::imageFetch(std::size_t position) const {
    static const server::HttpResult kNone;
    return position < m_fetchFailures.size() ? m_fetchFailures[position] : kNone;
}
