#include "app/TracingBus.hpp"

#include "usb/CommandWrapper.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

// `block` has at least 6 bytes.
std::string describeCommand(std::span<const std::uint8_t> block, std::uint32_t length) {
    char text[160];
    switch (block[0]) {
    case usb::kOpMemoryRead:
    case usb::kOpMemoryWrite: {
        const std::uint32_t number = (std::uint32_t{block[2]} << 24U) |
                                     (std::uint32_t{block[3]} << 16U) |
                                     (std::uint32_t{block[4]} << 8U) | block[5];
        // The inverse of blockNumberFor: the radar version block travels as its address.
        const std::uint32_t address = number == usb::kRadarVersionBlockAddress
                                          ? number
                                          : static_cast<std::uint32_t>(number * length);
        std::snprintf(text, sizeof text, "%s sel=%u addr=0x%08X len=%u",
                      block[0] == usb::kOpMemoryRead ? "read" : "write", block[1], address, length);
        break;
    }
    case usb::kOpInquiry:
        std::snprintf(text, sizeof text, "inquiry len=%u", length);
        break;
    case usb::kOpTestUnitReady:
        std::snprintf(text, sizeof text, "test-unit-ready");
        break;
    default:
        std::snprintf(text, sizeof text, "command 0x%02X len=%u", block[0], length);
        break;
    }
    return text;
}

std::string describeWrapper(std::span<const std::uint8_t> data) {
    const auto wrapper = usb::unpackCommandWrapper(data);
    if (!wrapper) {
        return "out " + std::to_string(data.size()) + " bytes";
    }
    return describeCommand(wrapper->commandBlock, wrapper->length);
}

std::string outcome(const usb::TransferResult& result) {
    return result.ok() ? "ok" : std::string("failed: ") + result.error->message;
}

using PageCounter = std::shared_ptr<std::atomic<std::uint32_t>>;

void note(const std::shared_ptr<TraceLog>& log, const std::string& text) {
    if (log) {
        log->line("usb", text);
    }
}

std::string controlOutcome(const std::optional<usb::UsbError>& error) {
    return error ? "failed: " + error->message : "ok";
}

class TracingTransport final : public usb::UsbTransport {
public:
    TracingTransport(std::shared_ptr<usb::UsbTransport> inner, std::shared_ptr<TraceLog> log,
                     PageCounter pages)
        : m_inner(std::move(inner))
        , m_log(std::move(log))
        , m_pages(std::move(pages)) {}

    usb::TransferResult bulkWrite(std::span<const std::uint8_t> data,
                                  std::chrono::milliseconds timeout) override {
        auto result = m_inner->bulkWrite(data, timeout);
        const auto wrapper = data.size() == usb::kCommandWrapperSize
                                 ? usb::unpackCommandWrapper(data)
                                 : std::nullopt;
        if (wrapper) {
            m_write = result.ok() && wrapper->commandBlock[0] == usb::kOpMemoryWrite
                          ? WriteStage::Wrapper
                          : WriteStage::None;
        } else {
            m_write =
                result.ok() && m_write == WriteStage::Wrapper ? WriteStage::Data : WriteStage::None;
        }
        if (m_log) {
            note(m_log, (wrapper ? describeWrapper(data)
                                 : "data out " + std::to_string(data.size()) + " bytes") +
                            " " + outcome(result));
        }
        return result;
    }

    usb::TransferResult bulkRead(std::span<std::uint8_t> buffer,
                                 std::chrono::milliseconds timeout) override {
        auto result = m_inner->bulkRead(buffer, timeout);
        const auto received = buffer.first(std::min(result.transferred, buffer.size()));
        std::string what;
        if (const auto status = usb::unpackStatusWrapper(received)) {
            what = "status " + std::to_string(status->status) + " residue " +
                   std::to_string(status->residue);
        } else {
            what = "data in " + std::to_string(result.transferred) + " bytes";
        }
        if (m_write == WriteStage::Data && result.ok() && m_pages) {
            ++*m_pages;
        }
        m_write = WriteStage::None;
        note(m_log, what + " " + outcome(result));
        return result;
    }

    std::optional<usb::UsbError> clearHalt(usb::BulkPipe pipe,
                                           std::chrono::milliseconds timeout) override {
        auto error = m_inner->clearHalt(pipe, timeout);
        m_write = WriteStage::None;
        note(m_log, std::string("clear halt ") +
                        (pipe == usb::BulkPipe::In ? "bulk in" : "bulk out") + " " +
                        controlOutcome(error));
        return error;
    }

    std::optional<usb::UsbError> resetMassStorage(std::chrono::milliseconds timeout) override {
        auto error = m_inner->resetMassStorage(timeout);
        m_write = WriteStage::None;
        note(m_log, "mass storage reset " + controlOutcome(error));
        return error;
    }

private:
    enum class WriteStage { None, Wrapper, Data };

    std::shared_ptr<usb::UsbTransport> m_inner;
    std::shared_ptr<TraceLog> m_log;
    PageCounter m_pages;
    WriteStage m_write = WriteStage::None;
};

// A driver's whole transactions: one line each, and a memory write counted once it went through.
class TracingChannel final : public usb::CommandChannel {
public:
    TracingChannel(std::shared_ptr<usb::CommandChannel> inner, std::shared_ptr<TraceLog> log,
                   PageCounter pages)
        : m_inner(std::move(inner))
        , m_log(std::move(log))
        , m_pages(std::move(pages)) {}

    usb::CommandResult transact(const usb::CommandTransaction& transaction) override {
        auto result = m_inner->transact(transaction);
        std::array<std::uint8_t, usb::kCommandBlockSize> block{};
        const auto given =
            transaction.commandBlock.first(std::min(transaction.commandBlock.size(), block.size()));
        std::copy(given.begin(), given.end(), block.begin());
        if (result.ok() && block[0] == usb::kOpMemoryWrite &&
            result.transferred == transaction.out.size() && m_pages) {
            ++*m_pages;
        }
        note(m_log, describeCommand(block, transaction.announcedLength) + " moved " +
                        std::to_string(result.transferred) + " " +
                        (result.ok() ? "ok" : "failed: " + result.error->message));
        return result;
    }

private:
    std::shared_ptr<usb::CommandChannel> m_inner;
    std::shared_ptr<TraceLog> m_log;
    PageCounter m_pages;
};

class TracingDevice final : public usb::UsbDevice {
public:
    TracingDevice(std::unique_ptr<usb::UsbDevice> inner, std::shared_ptr<TraceLog> log,
                  PageCounter pages)
        : m_inner(std::move(inner))
        , m_log(std::move(log))
        , m_pages(std::move(pages)) {}

    usb::DeviceIdentity identity() const override { return m_inner->identity(); }
    std::string describe() const override { return m_inner->describe(); }
    std::string portPath() const override { return m_inner->portPath(); }
    usb::UsbStatus open() override { return logged("open", m_inner->open()); }
    void close() override { m_inner->close(); }
    std::uint8_t numberOfConfigurations() override { return m_inner->numberOfConfigurations(); }
    std::optional<std::uint8_t> configurationValue(std::uint8_t index) override {
        return m_inner->configurationValue(index);
    }
    usb::UsbStatus setConfiguration(std::uint8_t value) override {
        return logged("set configuration " + std::to_string(value),
                      m_inner->setConfiguration(value));
    }
    std::variant<usb::OpenedInterface, usb::UsbError> openFirstInterface() override {
        return traced(m_inner->openFirstInterface());
    }
    std::variant<usb::OpenedInterface, usb::UsbError> openFirstInterfaceIfFree() override {
        return traced(m_inner->openFirstInterfaceIfFree());
    }
    bool kernelDriverHolds() override { return m_inner->kernelDriverHolds(); }
    std::string productString() override { return m_inner->productString(); }

private:
    std::variant<usb::OpenedInterface, usb::UsbError>
    traced(std::variant<usb::OpenedInterface, usb::UsbError> result) {
        if (auto* opened = std::get_if<usb::OpenedInterface>(&result)) {
            note(m_log, describe() + ": claimed interface 0");
            if (opened->transport) {
                opened->transport =
                    std::make_shared<TracingTransport>(opened->transport, m_log, m_pages);
            }
            if (opened->channel) {
                opened->channel = std::make_shared<TracingChannel>(opened->channel, m_log, m_pages);
            }
        } else {
            note(m_log, describe() + ": claiming interface 0 failed: " +
                            std::get<usb::UsbError>(result).message);
        }
        return result;
    }

    usb::UsbStatus logged(const std::string& what, usb::UsbStatus status) {
        note(m_log, describe() + ": " + what + (status ? ": " + status->message : " ok"));
        return status;
    }

    std::unique_ptr<usb::UsbDevice> m_inner;
    std::shared_ptr<TraceLog> m_log;
    PageCounter m_pages;
};

} // namespace

TracingBus::TracingBus(std::shared_ptr<usb::UsbBus> inner, std::shared_ptr<TraceLog> log,
                       std::shared_ptr<std::atomic<std::uint32_t>> memoryWrites)
    : m_inner(std::move(inner))
    , m_log(std::move(log))
    , m_memoryWrites(std::move(memoryWrites)) {}

std::vector<std::unique_ptr<usb::UsbDevice>> TracingBus::takeMatched() {
    auto devices = m_inner->takeMatched();
    for (auto& device : devices) {
        const auto port = device->portPath();
        note(m_log, "matched " + device->describe() + (port.empty() ? "" : " at " + port));
        device = std::make_unique<TracingDevice>(std::move(device), m_log, m_memoryWrites);
    }
    return devices;
}

void TracingBus::waitForArrival(std::chrono::milliseconds timeout) {
    m_inner->waitForArrival(timeout);
}

void TracingBus::wake() { m_inner->wake(); }
