#include "sim/VirtualDetector.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace sim {
namespace {

constexpr std::size_t kInquiryAnswerLength = 36;
constexpr std::uint64_t kAddressSpace = 0x100000000ULL;

const char* operationName(Operation operation) {
    switch (operation) {
    case Operation::TestUnitReady:
        return "test-unit-ready";
    case Operation::Inquiry:
        return "inquiry";
    case Operation::Read:
        return "read";
    case Operation::Write:
        return "write";
    case Operation::ClearHalt:
        return "clear-halt";
    case Operation::Reset:
        return "reset";
    }
    return "?";
}

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFU);
    return text;
}

} // namespace

VirtualDetector::VirtualDetector(DeviceProfile profile)
    : m_profile(std::move(profile)) {
    for (const auto& entry : m_profile.memory) {
        writeLocked(entry.selector, entry.address, entry.bytes);
    }
    m_faults = m_profile.faults;
}

VirtualDetector::Answer VirtualDetector::receive(std::span<const std::uint8_t> bytes) {
    bool unpluggedNow = false;
    Answer answer = Answer::Done;
    {
        const std::lock_guard lock(m_mutex);
        answer = receiveLocked(bytes, unpluggedNow);
    }
    notifyUnplug(unpluggedNow);
    return answer;
}

VirtualDetector::InAnswer VirtualDetector::send(std::size_t maxLength) {
    const std::lock_guard lock(m_mutex);
    return sendLocked(maxLength);
}

void VirtualDetector::notifyUnplug(bool unpluggedNow) {
    if (!unpluggedNow) {
        return;
    }
    std::function<void()> listener;
    {
        const std::lock_guard lock(m_mutex);
        listener = m_unplugListener;
    }
    if (listener) {
        listener();
    }
}

VirtualDetector::Answer VirtualDetector::receiveLocked(std::span<const std::uint8_t> bytes,
                                                       bool& unpluggedNow) {
    if (m_unplugged) {
        return Answer::NoDevice;
    }
    if (m_outHalted) {
        return Answer::Stall;
    }
    switch (m_state) {
    case State::Idle: {
        const auto wrapper = usb::unpackCommandWrapper(bytes);
        std::string why;
        if (!wrapper) {
            why = bytes.size() != usb::kCommandWrapperSize
                      ? std::to_string(bytes.size()) + " bytes instead of a 31-byte wrapper"
                      : "bad signature";
        }
        if (!wrapper || !startTransaction(*wrapper, why)) {
            TraceEntry rejected;
            rejected.direction = "none";
            rejected.outcome = "rejected: " + why;
            m_trace.push_back(rejected);
            m_inHalted = true;
            m_outHalted = true;
            m_needsReset = true;
            return Answer::Stall;
        }
        // The line stands where the transaction began; finish() fills in its outcome.
        m_current.outcome = "pending";
        m_trace.push_back(m_current);
        m_currentLine = m_trace.size() - 1;
        for (const auto& fault : m_faults) {
            if (fault.kind == FaultKind::Unplug && fault.after == m_completed) {
                m_unplugged = true;
                unpluggedNow = true;
                finish("unplugged");
                break;
            }
        }
        return Answer::Done;
    }
    case State::DataOut: {
        if (m_phaseFaults.stallData) {
            stallDataPhase(m_outHalted, static_cast<std::uint32_t>(m_dataOut.size()));
            return Answer::Stall;
        }
        if (m_phaseFaults.lateData) {
            // Nothing taken now; the transaction waits for its data.
            m_phaseFaults.lateData = false;
            note("no answer");
            return Answer::NoAnswer;
        }
        if (m_dataOut.size() + bytes.size() > m_expected) {
            note("more data than announced");
            m_outHalted = true;
            m_statusCode = 2;
            m_residue = 0;
            m_state = State::Status;
            return Answer::Stall;
        }
        m_dataOut.insert(m_dataOut.end(), bytes.begin(), bytes.end());
        if (m_dataOut.size() == m_expected) {
            writeLocked(m_current.selector, m_current.address, m_dataOut);
            m_residue = 0;
            m_state = State::Status;
        }
        return Answer::Done;
    }
    case State::DataIn:
    case State::Status: {
        // The device is not listening on bulk OUT: the bytes are taken and lost.
        TraceEntry ignored;
        ignored.direction = "none";
        ignored.length = static_cast<std::uint32_t>(bytes.size());
        ignored.outcome = "ignored: a transaction is pending";
        m_trace.push_back(ignored);
        return Answer::Done;
    }
    }
    return Answer::Stall;
}

void VirtualDetector::note(const std::string& event) { m_events += event + ", "; }

void VirtualDetector::stallDataPhase(bool& halted, std::uint32_t moved) {
    m_phaseFaults.stallData = false;
    halted = true;
    note("stalled data");
    m_residue = m_current.length - std::min(moved, m_current.length);
    m_statusCode = 1;
    m_state = State::Status;
}

VirtualDetector::InAnswer VirtualDetector::sendLocked(std::size_t maxLength) {
    if (m_unplugged) {
        return {Answer::NoDevice, {}};
    }
    if (m_inHalted) {
        return {Answer::Stall, {}};
    }
    switch (m_state) {
    case State::Idle:
    case State::DataOut:
        // Nothing to say: the host waits until its time-out.
        return {Answer::NoAnswer, {}};
    case State::DataIn: {
        if (m_phaseFaults.stallData) {
            stallDataPhase(m_inHalted, static_cast<std::uint32_t>(m_dataInOffset));
            return {Answer::Stall, {}};
        }
        if (m_phaseFaults.lateData) {
            // The data stays in the endpoint for the next read.
            m_phaseFaults.lateData = false;
            note("no answer");
            return {Answer::NoAnswer, {}};
        }
        const std::size_t count = std::min(maxLength, m_dataIn.size() - m_dataInOffset);
        InAnswer answer{Answer::Done,
                        {m_dataIn.begin() + static_cast<std::ptrdiff_t>(m_dataInOffset),
                         m_dataIn.begin() + static_cast<std::ptrdiff_t>(m_dataInOffset + count)}};
        m_dataInOffset += count;
        if (m_dataInOffset == m_dataIn.size()) {
            m_state = State::Status;
        }
        return answer;
    }
    case State::Status: {
        if (m_phaseFaults.stallStatus) {
            m_phaseFaults.stallStatus = false;
            m_inHalted = true;
            note("stalled status");
            return {Answer::Stall, {}};
        }
        if (m_phaseFaults.lateStatus) {
            m_phaseFaults.lateStatus = false;
            note("no answer");
            return {Answer::NoAnswer, {}};
        }
        std::uint8_t status = m_statusCode;
        if (m_phaseFaults.phaseError) {
            status = 2;
        } else if (m_phaseFaults.failStatus) {
            status = std::max<std::uint8_t>(status, 1);
        }
        const std::uint32_t tag = m_phaseFaults.badTag ? ~m_tag : m_tag;
        const auto bytes = usb::packStatusWrapper(usb::StatusWrapper{tag, m_residue, status});
        finish(m_phaseFaults.badTag ? "bad status tag"
               : status == 2        ? "phase error"
               : status == 1        ? "failed status"
                                    : "ok");
        return {Answer::Done,
                {bytes.begin(),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(maxLength, bytes.size()))}};
    }
    }
    return {Answer::Stall, {}};
}

VirtualDetector::Answer VirtualDetector::control(std::uint8_t requestType, std::uint8_t request,
                                                 std::uint16_t value, std::uint16_t index,
                                                 std::uint16_t length) {
    const std::lock_guard lock(m_mutex);
    if (m_unplugged) {
        return Answer::NoDevice;
    }
    constexpr std::uint8_t kToEndpoint = 0x02;
    constexpr std::uint8_t kClearFeature = 0x01;
    constexpr std::uint8_t kClassToInterface = 0x21;
    constexpr std::uint8_t kMassStorageReset = 0xFF;
    if (requestType == kToEndpoint && request == kClearFeature && value == 0 && length == 0 &&
        (index == kBulkInEndpoint || index == kBulkOutEndpoint)) {
        if (m_needsReset) {
            traceControl(Operation::ClearHalt, index, "still halted: a reset must come first");
            return Answer::Done;
        }
        (index == kBulkInEndpoint ? m_inHalted : m_outHalted) = false;
        traceControl(Operation::ClearHalt, index, "ok");
        return Answer::Done;
    }
    if (requestType == kClassToInterface && request == kMassStorageReset && value == 0 &&
        index == 0 && length == 0) {
        if (m_state != State::Idle) {
            finish("reset");
        }
        m_needsReset = false;
        m_phaseFaults = {};
        traceControl(Operation::Reset, 0, "ok");
        return Answer::Done;
    }
    char text[96];
    std::snprintf(text, sizeof text, "refused: request %02X %02X %04X %04X %04X", requestType,
                  request, value, index, length);
    traceControl(Operation::Reset, index, text);
    return Answer::Stall;
}

void VirtualDetector::traceControl(Operation operation, std::uint32_t endpoint,
                                   const std::string& outcome) {
    TraceEntry entry;
    entry.operation = operation;
    entry.direction = "none";
    entry.address = endpoint;
    entry.outcome = outcome;
    m_trace.push_back(entry);
}

bool VirtualDetector::startTransaction(const usb::CommandWrapper& w, std::string& why) {
    const auto bytes = usb::packCommandWrapper(w);
    const auto& cb = w.commandBlock;
    m_current = TraceEntry{};
    m_tag = w.tag;
    m_events.clear();
    m_statusCode = 0;
    m_phaseFaults = {};
    switch (cb[0]) {
    case usb::kOpTestUnitReady:
        if (bytes != usb::kTestUnitReadyTemplate) {
            why = "TEST UNIT READY wrapper differs from the expected bytes";
            return false;
        }
        m_current.operation = Operation::TestUnitReady;
        m_current.direction = "none";
        m_current.length = w.length;
        m_residue = w.length; // announced data-out that never comes
        m_state = State::Status;
        decidePhaseFaults(false);
        return true;
    case usb::kOpInquiry: {
        if (bytes != usb::kInquiryTemplate) {
            why = "INQUIRY wrapper differs from the expected bytes";
            return false;
        }
        m_current.operation = Operation::Inquiry;
        m_current.direction = "in";
        m_current.length = w.length;
        m_dataIn.assign(kInquiryAnswerLength, 0);
        m_dataIn[1] = 0x80; // removable
        m_dataIn[2] = 0x02;
        m_dataIn[3] = 0x02;
        m_dataIn[4] = static_cast<std::uint8_t>(kInquiryAnswerLength - 5);
        std::copy_n(m_profile.product.begin(), std::min<std::size_t>(24, m_profile.product.size()),
                    m_dataIn.begin() + 8);
        std::copy_n("1.00", 4, m_dataIn.begin() + 32);
        m_dataInOffset = 0;
        m_residue = w.length - static_cast<std::uint32_t>(kInquiryAnswerLength);
        m_state = State::DataIn;
        decidePhaseFaults(true);
        return true;
    }
    case usb::kOpMemoryRead:
    case usb::kOpMemoryWrite:
        break;
    default:
        why = "unknown operation code 0x" + hexByte(cb[0]);
        return false;
    }
    const bool read = cb[0] == usb::kOpMemoryRead;
    if (w.tag != (read ? usb::kCommandReadTag : usb::kCommandWriteTag)) {
        why = "tag is not the fixed tag of this command";
    } else if (w.lengthFourthByte != 0) {
        why = "length byte 11 is 0x" + hexByte(w.lengthFourthByte) + ", not 0";
    } else if (w.length == 0 || w.length > usb::kMaxTransferLength) {
        why = "length " + std::to_string(w.length) + " (bytes 8-10, high first) outside 1..4096";
    } else if (w.flags != (read ? usb::kFlagDataIn : usb::kFlagDataOut)) {
        why = "flags 0x" + hexByte(w.flags) + " do not match the direction";
    } else if (w.lun != 0) {
        why = "logical unit is not 0";
    } else if (w.commandBlockLength != 12) {
        why = "command-block length " + std::to_string(w.commandBlockLength) + ", not 12";
    } else if (cb[1] > 1) {
        why = "memory selector " + std::to_string(cb[1]) + " does not exist";
    } else if (cb[6] != 0 || cb[7] != 0 || cb[8] != 0x01 ||
               std::any_of(cb.begin() + 9, cb.end(), [](std::uint8_t b) { return b != 0; })) {
        why = "command-block bytes 6-15 are not 00 00 01 00...";
    }
    const std::uint32_t block = (static_cast<std::uint32_t>(cb[2]) << 24U) |
                                (static_cast<std::uint32_t>(cb[3]) << 16U) |
                                (static_cast<std::uint32_t>(cb[4]) << 8U) | cb[5];
    const std::uint64_t address = block == usb::kRadarVersionBlockAddress
                                      ? block
                                      : static_cast<std::uint64_t>(block) * w.length;
    if (why.empty() && address + w.length > kAddressSpace) {
        why = "block " + std::to_string(block) + " lies beyond the 32-bit address space";
    }
    if (!why.empty()) {
        return false;
    }
    m_current.operation = read ? Operation::Read : Operation::Write;
    m_current.direction = read ? "in" : "out";
    m_current.selector = cb[1];
    m_current.address = static_cast<std::uint32_t>(address);
    m_current.length = w.length;
    if (read) {
        m_dataIn = readLocked(cb[1], address, w.length);
        for (const auto& fault : m_faults) {
            if (fault.kind == FaultKind::CorruptRead && fault.address && matches(fault) &&
                *fault.address >= address && *fault.address < address + w.length) {
                m_dataIn[*fault.address - address] ^= 0x01U;
            }
        }
        m_dataInOffset = 0;
        m_residue = 0;
        m_state = State::DataIn;
    } else {
        m_dataOut.clear();
        m_expected = w.length;
        m_state = State::DataOut;
    }
    decidePhaseFaults(true);
    return true;
}

void VirtualDetector::decidePhaseFaults(bool hasDataPhase) {
    if (hasDataPhase) {
        m_phaseFaults.stallData = takeFault(FaultKind::StallData);
        m_phaseFaults.lateData = takeFault(FaultKind::NoAnswer, Phase::Data);
    }
    m_phaseFaults.stallStatus = takeFault(FaultKind::StallStatus);
    m_phaseFaults.lateStatus = takeFault(FaultKind::NoAnswer, Phase::Status);
    m_phaseFaults.failStatus = takeFault(FaultKind::FailStatus);
    m_phaseFaults.phaseError = takeFault(FaultKind::PhaseError);
    m_phaseFaults.badTag = takeFault(FaultKind::BadStatus);
}

bool VirtualDetector::matches(const Fault& fault) const {
    if (fault.operation && *fault.operation != m_current.operation) {
        return false;
    }
    if (fault.selector && *fault.selector != m_current.selector) {
        return false;
    }
    // A corrupt read matches any read covering its address; checked by the caller.
    if (fault.kind != FaultKind::CorruptRead && fault.address &&
        *fault.address != m_current.address) {
        return false;
    }
    if (fault.kind == FaultKind::CorruptRead && m_current.operation != Operation::Read) {
        return false;
    }
    return true;
}

bool VirtualDetector::takeFault(FaultKind kind, std::optional<Phase> phase) {
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->kind != kind || (phase && it->phase != *phase) || !matches(*it)) {
            continue;
        }
        if (it->times) {
            if (*it->times <= 1) {
                m_faults.erase(it);
                return true;
            }
            --*it->times;
        }
        return true;
    }
    return false;
}

void VirtualDetector::finish(const std::string& outcome) {
    m_current.outcome = m_events + outcome;
    m_events.clear();
    if (m_currentLine < m_trace.size()) {
        m_trace[m_currentLine] = m_current;
    } else {
        m_trace.push_back(m_current);
    }
    m_currentLine = SIZE_MAX;
    ++m_completed;
    m_state = State::Idle;
    m_dataIn.clear();
    m_dataOut.clear();
}

usb::TransferResult VirtualDetector::bulkWrite(std::span<const std::uint8_t> data,
                                               std::chrono::milliseconds timeout) {
    usb::TransferResult result;
    switch (receive(data)) {
    case Answer::Done:
        result.transferred = data.size();
        break;
    case Answer::Stall:
        result.error = usb::UsbError{usb::UsbErrorKind::Stall, "virtual detector stalled a " +
                                                                   std::to_string(data.size()) +
                                                                   "-byte write"};
        break;
    case Answer::NoDevice:
        result.error = usb::UsbError{usb::UsbErrorKind::NoDevice, "virtual detector unplugged"};
        break;
    case Answer::NoAnswer:
        result.error =
            usb::UsbError{usb::UsbErrorKind::Timeout, "virtual detector took no data within " +
                                                          std::to_string(timeout.count()) + " ms"};
        break;
    }
    return result;
}

usb::TransferResult VirtualDetector::bulkRead(std::span<std::uint8_t> buffer,
                                              std::chrono::milliseconds timeout) {
    usb::TransferResult result;
    auto answer = send(buffer.size());
    switch (answer.answer) {
    case Answer::Done:
        std::copy(answer.data.begin(), answer.data.end(), buffer.begin());
        result.transferred = answer.data.size();
        break;
    case Answer::Stall:
        result.error = usb::UsbError{usb::UsbErrorKind::Stall, "virtual detector stalled a read"};
        break;
    case Answer::NoDevice:
        result.error = usb::UsbError{usb::UsbErrorKind::NoDevice, "virtual detector unplugged"};
        break;
    case Answer::NoAnswer:
        result.error =
            usb::UsbError{usb::UsbErrorKind::Timeout, "virtual detector sent nothing within " +
                                                          std::to_string(timeout.count()) + " ms"};
        break;
    }
    return result;
}

namespace {

std::optional<usb::UsbError> controlError(VirtualDetector::Answer answer, const char* what) {
    switch (answer) {
    case VirtualDetector::Answer::Done:
        return std::nullopt;
    case VirtualDetector::Answer::Stall:
        return usb::UsbError{usb::UsbErrorKind::Stall,
                             std::string("virtual detector refused ") + what};
    case VirtualDetector::Answer::NoDevice:
        return usb::UsbError{usb::UsbErrorKind::NoDevice, "virtual detector unplugged"};
    case VirtualDetector::Answer::NoAnswer:
        break;
    }
    return usb::UsbError{usb::UsbErrorKind::Timeout,
                         std::string("virtual detector did not answer ") + what};
}

} // namespace

std::optional<usb::UsbError> VirtualDetector::clearHalt(usb::BulkPipe pipe,
                                                        std::chrono::milliseconds /*timeout*/) {
    return controlError(
        control(0x02, 0x01, 0, pipe == usb::BulkPipe::In ? kBulkInEndpoint : kBulkOutEndpoint, 0),
        "a clear-halt");
}

std::optional<usb::UsbError>
VirtualDetector::resetMassStorage(std::chrono::milliseconds /*timeout*/) {
    return controlError(control(0x21, 0xFF, 0, 0, 0), "the mass storage reset");
}

void VirtualDetector::writeMemory(std::uint8_t selector, std::uint32_t address,
                                  std::span<const std::uint8_t> bytes) {
    const std::lock_guard lock(m_mutex);
    writeLocked(selector, address, bytes);
}

std::vector<std::uint8_t> VirtualDetector::readMemory(std::uint8_t selector, std::uint32_t address,
                                                      std::uint32_t length) const {
    const std::lock_guard lock(m_mutex);
    return readLocked(selector, address, length);
}

void VirtualDetector::writeLocked(std::uint8_t selector, std::uint64_t address,
                                  std::span<const std::uint8_t> bytes) {
    if (selector > 1) {
        return;
    }
    auto& memory = m_memory[selector];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint64_t at = address + i;
        if (at >= kAddressSpace) {
            break;
        }
        auto [page, inserted] = memory.try_emplace(at / 4096);
        if (inserted) {
            page->second.fill(0xFF);
        }
        page->second[at % 4096] = bytes[i];
    }
}

std::vector<std::uint8_t> VirtualDetector::readLocked(std::uint8_t selector, std::uint64_t address,
                                                      std::uint32_t length) const {
    std::vector<std::uint8_t> out(length, 0xFF);
    if (selector > 1) {
        return out;
    }
    const auto& memory = m_memory[selector];
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint64_t at = address + i;
        const auto page = memory.find(at / 4096);
        if (page != memory.end()) {
            out[i] = page->second[at % 4096];
        }
    }
    return out;
}

std::string VirtualDetector::intelHex(std::uint8_t selector) const {
    const std::lock_guard lock(m_mutex);
    std::ostringstream out;
    const auto record = [&out](std::uint16_t offset, std::uint8_t type,
                               std::span<const std::uint8_t> data) {
        unsigned sum = data.size() + (offset >> 8U) + (offset & 0xFFU) + type;
        out << ':' << hexByte(data.size()) << hexByte(offset >> 8U) << hexByte(offset)
            << hexByte(type);
        for (const auto b : data) {
            out << hexByte(b);
            sum += b;
        }
        out << hexByte((0x100U - (sum & 0xFFU)) & 0xFFU) << '\n';
    };
    if (selector <= 1) {
        std::int64_t upper = -1;
        for (const auto& [pageNumber, page] : m_memory[selector]) {
            for (std::size_t row = 0; row < page.size(); row += 16) {
                const auto rowBytes = std::span<const std::uint8_t>(page).subspan(row, 16);
                if (std::all_of(rowBytes.begin(), rowBytes.end(),
                                [](std::uint8_t b) { return b == 0xFF; })) {
                    continue;
                }
                const std::uint64_t address = pageNumber * 4096 + row;
                const auto high = static_cast<std::int64_t>(address >> 16U);
                if (high != upper) {
                    const std::uint8_t ext[2] = {static_cast<std::uint8_t>(high >> 8),
                                                 static_cast<std::uint8_t>(high)};
                    record(0, 0x04, ext);
                    upper = high;
                }
                record(static_cast<std::uint16_t>(address & 0xFFFFU), 0x00, rowBytes);
            }
        }
    }
    record(0, 0x01, {});
    return out.str();
}

bool VirtualDetector::dumpIntelHex(const std::filesystem::path& folder,
                                   const std::string& stem) const {
    for (std::uint8_t selector = 0; selector < 2; ++selector) {
        std::ofstream out(folder / (stem + "-selector" + std::to_string(selector) + ".hex"),
                          std::ios::binary | std::ios::trunc);
        out << intelHex(selector);
        if (!out) {
            return false;
        }
    }
    return true;
}

std::vector<TraceEntry> VirtualDetector::trace() const {
    const std::lock_guard lock(m_mutex);
    return m_trace;
}

std::string VirtualDetector::traceText() const {
    const std::lock_guard lock(m_mutex);
    std::string out;
    for (const auto& entry : m_trace) {
        char line[200];
        if (entry.operation == Operation::ClearHalt) {
            std::snprintf(line, sizeof line, "clear-halt ep=0x%02X %s\n", entry.address,
                          entry.outcome.c_str());
            out += line;
            continue;
        }
        if (entry.operation == Operation::Reset) {
            // A request the device does not know is listed with the resets, as "control".
            out += (entry.outcome.rfind("refused", 0) == 0 ? "control " : "reset ") +
                   entry.outcome + "\n";
            continue;
        }
        std::snprintf(line, sizeof line, "%s %s sel=%u addr=0x%08X len=%u %s\n",
                      entry.outcome.rfind("rejected", 0) == 0 ||
                              entry.outcome.rfind("ignored", 0) == 0
                          ? "wrapper"
                          : operationName(entry.operation),
                      entry.direction.c_str(), entry.selector, entry.address, entry.length,
                      entry.outcome.c_str());
        out += line;
    }
    return out;
}

void VirtualDetector::clearTrace() {
    const std::lock_guard lock(m_mutex);
    m_trace.clear();
    m_currentLine = SIZE_MAX;
}

void VirtualDetector::addFault(const Fault& fault) {
    const std::lock_guard lock(m_mutex);
    m_faults.push_back(fault);
}

void VirtualDetector::clearFaults() {
    const std::lock_guard lock(m_mutex);
    m_faults.clear();
}

void VirtualDetector::unplug() {
    const std::lock_guard lock(m_mutex);
    m_unplugged = true;
}

bool VirtualDetector::unplugged() const {
    const std::lock_guard lock(m_mutex);
    return m_unplugged;
}

void VirtualDetector::setUnplugListener(std::function<void()> listener) {
    const std::lock_guard lock(m_mutex);
    m_unplugListener = std::move(listener);
}

bool VirtualDetector::acceptsConfiguration() const {
    const std::lock_guard lock(m_mutex);
    return std::none_of(m_faults.begin(), m_faults.end(),
                        [](const Fault& f) { return f.kind == FaultKind::RefuseConfiguration; });
}

bool VirtualDetector::acceptsClaim() const {
    const std::lock_guard lock(m_mutex);
    return std::none_of(m_faults.begin(), m_faults.end(),
                        [](const Fault& f) { return f.kind == FaultKind::RefuseInterface; });
}

std::uint16_t VirtualDetector::release() const {
    const std::lock_guard lock(m_mutex);
    return m_profile.release;
}

std::size_t VirtualDetector::completedTransactions() const {
    const std::lock_guard lock(m_mutex);
    return m_completed;
}

} // namespace sim
