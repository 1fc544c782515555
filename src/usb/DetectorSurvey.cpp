#include "usb/DetectorSurvey.hpp"

#include "usb/BulkOnlyChannel.hpp"
#include "usb/CommandWrapper.hpp"

#include <algorithm>
#include <array>

namespace usb {
namespace {

constexpr std::size_t kProductStart = 8;
constexpr std::size_t kProductEnd = 32;

SurveyState stateOf(const UsbError& error) {
    switch (error.kind) {
    case UsbErrorKind::Busy:
        return SurveyState::Busy;
    case UsbErrorKind::NotPermitted:
        return SurveyState::NotPermitted;
    default:
        return SurveyState::Unreadable;
    }
}

void inquire(OpenedInterface& opened, SurveyedDetector& entry, std::chrono::milliseconds timeout) {
    // The same command identification sends, so the device sees nothing new; no recovery.
    std::array<std::uint8_t, 1023> answer{};
    std::array<std::uint8_t, kStatusWrapperSize> status{};
    CommandTransaction inquiry;
    inquiry.commandBlock = commandBlockOf(kInquiryTemplate);
    inquiry.direction = DataDirection::In;
    inquiry.in = answer;
    inquiry.announcedLength = announcedLength(kInquiryTemplate);
    inquiry.timeout = timeout;
    const auto carried =
        carry(opened.channel.get(), opened.transport.get(), inquiry, timeout, status, false);
    if (!carried) {
        entry.reason = "INQUIRY: the interface has no way to carry it";
        return;
    }
    const CommandResult& result = *carried;
    if (!result.ok()) {
        // The status phase keeps the device in step for the next program that opens it.
        const bool status = result.failedPhase == TransactionPhase::Status;
        entry.reason = (status ? "INQUIRY status: " : "INQUIRY: ") + result.error->message;
        if (!status) {
            return;
        }
    }
    entry.product = DetectorSurvey::productText(
        std::span<const std::uint8_t>(answer).first(std::min(result.transferred, answer.size())));
}

} // namespace

std::vector<SurveyedDetector> DetectorSurvey::survey(UsbBus& bus, std::chrono::milliseconds timeout,
                                                     std::uint16_t release) {
    std::vector<SurveyedDetector> found;
    for (auto& device : bus.takeMatched()) {
        SurveyedDetector entry;
        entry.port = device->portPath();
        entry.name = device->describe();
        entry.identity = device->identity();
        if (entry.identity.release != release) {
            entry.state = SurveyState::NotOpened;
            found.push_back(std::move(entry));
            continue;
        }
        const auto look = [&]() -> std::optional<UsbError> {
            if (auto error = device->open()) {
                return error;
            }
            if (device->kernelDriverHolds()) {
                entry.state = SurveyState::KernelDriver;
                entry.product = device->productString();
                return std::nullopt;
            }
            // The configuration is left as it is: a device that is not configured shows as
            // unreadable.
            auto opened = device->openFirstInterfaceIfFree();
            if (auto* error = std::get_if<UsbError>(&opened)) {
                return *error;
            }
            inquire(std::get<OpenedInterface>(opened), entry, timeout);
            return std::nullopt;
        };
        if (const auto error = look()) {
            entry.state = stateOf(*error);
            entry.reason = error->message;
        }
        // Dropping the device releases the interface and closes it.
        device->close();
        found.push_back(std::move(entry));
    }
    std::sort(found.begin(), found.end(),
              [](const SurveyedDetector& a, const SurveyedDetector& b) { return a.port < b.port; });
    return found;
}

const char* DetectorSurvey::stateName(SurveyState state) {
    switch (state) {
    case SurveyState::Free:
        return "free";
    case SurveyState::Busy:
        return "busy";
    case SurveyState::NotPermitted:
        return "not permitted";
    case SurveyState::Unreadable:
        return "unreadable";
    case SurveyState::KernelDriver:
        return "kernel driver";
    case SurveyState::NotOpened:
        return "not opened";
    }
    return "unreadable";
}

std::string DetectorSurvey::productText(std::span<const std::uint8_t> answer) {
    std::string text;
    for (std::size_t i = kProductStart; i < std::min(answer.size(), kProductEnd); ++i) {
        const auto c = answer[i];
        // Padding may be NUL as well as blank.
        text += c == 0 ? ' ' : c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

} // namespace usb
