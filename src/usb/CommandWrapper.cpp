#include "usb/CommandWrapper.hpp"

#include <algorithm>

namespace usb {
namespace {

constexpr std::array<std::uint8_t, 4> kCommandSignature{0x55, 0x53, 0x42, 0x43}; // "USBC"
constexpr std::array<std::uint8_t, 4> kStatusSignature{0x55, 0x53, 0x42, 0x53};  // "USBS"

void putLittle32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8U);
    out[2] = static_cast<std::uint8_t>(value >> 16U);
    out[3] = static_cast<std::uint8_t>(value >> 24U);
}

std::uint32_t getLittle32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8U) |
           (static_cast<std::uint32_t>(in[2]) << 16U) | (static_cast<std::uint32_t>(in[3]) << 24U);
}

} // namespace

std::uint32_t wrapperTag(const CommandWrapperBytes& wrapper) { return getLittle32(&wrapper[4]); }

CommandWrapperBytes packCommandWrapper(const CommandWrapper& wrapper) {
    CommandWrapperBytes out{};
    std::copy(kCommandSignature.begin(), kCommandSignature.end(), out.begin());
    putLittle32(&out[4], wrapper.tag);
    writeWrapperLength(out, wrapper.length);
    out[11] = wrapper.lengthFourthByte;
    out[12] = wrapper.flags;
    out[13] = wrapper.lun;
    out[14] = wrapper.commandBlockLength;
    std::copy(wrapper.commandBlock.begin(), wrapper.commandBlock.end(), out.begin() + 15);
    return out;
}

std::optional<CommandWrapper> unpackCommandWrapper(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kCommandWrapperSize ||
        !std::equal(kCommandSignature.begin(), kCommandSignature.end(), bytes.begin())) {
        return std::nullopt;
    }
    CommandWrapper w;
    w.tag = getLittle32(&bytes[4]);
    w.length = (static_cast<std::uint32_t>(bytes[8]) << 16U) |
               (static_cast<std::uint32_t>(bytes[9]) << 8U) | bytes[10];
    w.lengthFourthByte = bytes[11];
    w.flags = bytes[12];
    w.lun = bytes[13];
    w.commandBlockLength = bytes[14];
    std::copy(bytes.begin() + 15, bytes.end(), w.commandBlock.begin());
    return w;
}

StatusWrapperBytes packStatusWrapper(const StatusWrapper& status) {
    StatusWrapperBytes out{};
    std::copy(kStatusSignature.begin(), kStatusSignature.end(), out.begin());
    putLittle32(&out[4], status.tag);
    putLittle32(&out[8], status.residue);
    out[12] = status.status;
    return out;
}

std::optional<StatusWrapper> unpackStatusWrapper(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kStatusWrapperSize ||
        !std::equal(kStatusSignature.begin(), kStatusSignature.end(), bytes.begin())) {
        return std::nullopt;
    }
    return StatusWrapper{getLittle32(&bytes[4]), getLittle32(&bytes[8]), bytes[12]};
}

void writeWrapperLength(CommandWrapperBytes& wrapper, std::uint32_t length) {
    wrapper[8] = static_cast<std::uint8_t>(length >> 16U);
    wrapper[9] = static_cast<std::uint8_t>(length >> 8U);
    wrapper[10] = static_cast<std::uint8_t>(length);
}

std::uint32_t announcedLength(const CommandWrapperBytes& wrapper) {
    return (std::uint32_t{wrapper[8]} << 16U) | (std::uint32_t{wrapper[9]} << 8U) | wrapper[10];
}

std::span<const std::uint8_t> commandBlockOf(const CommandWrapperBytes& wrapper) {
    return std::span<const std::uint8_t>(wrapper).subspan(
        15, std::min<std::size_t>(wrapper[14], kCommandBlockSize));
}

std::uint32_t blockNumberFor(std::uint32_t address, std::uint32_t length) {
    if (address == kRadarVersionBlockAddress) {
        return address;
    }
    return length == 0 ? 0 : address / length;
}

void writeMemoryCommand(CommandWrapperBytes& wrapper, std::uint8_t selector, std::uint32_t block) {
    wrapper[15 + 1] = selector;
    wrapper[15 + 2] = static_cast<std::uint8_t>(block >> 24U);
    wrapper[15 + 3] = static_cast<std::uint8_t>(block >> 16U);
    wrapper[15 + 4] = static_cast<std::uint8_t>(block >> 8U);
    wrapper[15 + 5] = static_cast<std::uint8_t>(block);
}

} // namespace usb
