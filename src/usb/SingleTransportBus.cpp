#include "usb/SingleTransportBus.hpp"

namespace usb {
namespace {

class TransportDevice final : public UsbDevice {
public:
    TransportDevice(std::shared_ptr<UsbTransport> transport, DeviceIdentity identity)
        : m_transport(std::move(transport))
        , m_identity(identity) {}

    DeviceIdentity identity() const override { return m_identity; }
    std::string describe() const override { return "in-process device"; }
    UsbStatus open() override { return std::nullopt; }
    void close() override {}
    std::uint8_t numberOfConfigurations() override { return 1; }
    std::optional<std::uint8_t> configurationValue(std::uint8_t index) override {
        return index == 0 ? std::optional<std::uint8_t>(1) : std::nullopt;
    }
    UsbStatus setConfiguration(std::uint8_t /*value*/) override { return std::nullopt; }
    std::variant<OpenedInterface, UsbError> openFirstInterface() override {
        return OpenedInterface{
            0x08, 0x06, {PipeDirection::In, PipeDirection::Out}, m_transport, nullptr};
    }

private:
    std::shared_ptr<UsbTransport> m_transport;
    DeviceIdentity m_identity;
};

} // namespace

SingleTransportBus::SingleTransportBus(std::shared_ptr<UsbTransport> transport,
                                       DeviceIdentity identity)
    : m_transport(std::move(transport))
    , m_identity(identity) {}

std::vector<std::unique_ptr<UsbDevice>> SingleTransportBus::takeMatched() {
    std::vector<std::unique_ptr<UsbDevice>> out;
    const std::lock_guard lock(m_mutex);
    if (!m_offered && m_transport) {
        m_offered = true;
        out.push_back(std::make_unique<TransportDevice>(m_transport, m_identity));
    }
    return out;
}

void SingleTransportBus::waitForArrival(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_wakeUp.wait_for(lock, timeout, [this] { return m_woken; });
    m_woken = false;
}

void SingleTransportBus::wake() {
    {
        const std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wakeUp.notify_all();
}

} // namespace usb
