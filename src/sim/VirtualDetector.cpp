#include "sim/VirtualDetector.hpp"

#include <algorithm>
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
            return Answer::Stall;
        }
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
        if (takeFault(FaultKind::NoAnswer, Phase::Data)) {
            finish("no answer");
            return Answer::NoAnswer;
        }
        if (m_dataOut.size() + bytes.size() > m_expected) {
            finish("rejected: more data than announced");
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
    case State::Status:
        finish("rejected: data sent while the device was to answer");
        return Answer::Stall;
    }
    return Answer::Stall;
}

VirtualDetector::InAnswer VirtualDetector::sendLocked(std::size_t maxLength) {
    if (m_unplugged) {
        return {Answer::NoDevice, {}};
    }
    switch (m_state) {
    case State::Idle:
    case State::DataOut:
        // Nothing to say: the host waits until its time-out.
        return {Answer::NoAnswer, {}};
    case State::DataIn: {
        if (takeFault(FaultKind::NoAnswer, Phase::Data)) {
            finish("no answer");
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
        if (takeFault(FaultKind::StallStatus)) {
            finish("stalled status");
            return {Answer::Stall, {}};
        }
        if (takeFault(FaultKind::NoAnswer, Phase::Status)) {
            finish("no answer");
            return {Answer::NoAnswer, {}};
        }
        const bool failed = takeFault(FaultKind::FailStatus) != nullptr;
        const auto status = usb::packStatusWrapper(
            usb::StatusWrapper{m_tag, m_residue, static_cast<std::uint8_t>(failed ? 1 : 0)});
        finish(failed ? "failed status" : "ok");
        return {Answer::Done,
                {status.begin(),
                 status.begin() + static_cast<std::ptrdiff_t>(std::min(maxLength, status.size()))}};
    }
    }
    return {Answer::Stall, {}};
}

bool VirtualDetector::startTransaction(const usb::CommandWrapper& w, std::string& why) {
    const auto bytes = usb::packCommandWrapper(w);
    const auto& cb = w.commandBlock;
    m_current = TraceEntry{};
    m_tag = w.tag;
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
    return true;
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

const Fault* VirtualDetector::takeFault(FaultKind kind, std::optional<Phase> phase) {
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->kind != kind || (phase && it->phase != *phase) || !matches(*it)) {
            continue;
        }
        if (it->times) {
            if (*it->times <= 1) {
                m_faults.erase(it);
                // The caller only tests for presence.
                static const Fault kTaken{};
                return &kTaken;
            }
            --*it->times;
        }
        return &*it;
    }
    return nullptr;
}

void VirtualDetector::finish(const std::string& outcome) {
    m_current.outcome = outcome;
    m_trace.push_back(m_current);
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
        char line[160];
        std::snprintf(line, sizeof line, "%s %s sel=%u addr=0x%08X len=%u %s\n",
                      entry.outcome.rfind("rejected", 0) == 0 ? "wrapper"
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
