#pragma once
// The one place of the detector's wire format: command wrapper, status wrapper, templates.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace usb {

inline constexpr std::size_t kCommandWrapperSize = 31;
inline constexpr std::size_t kStatusWrapperSize = 13;
inline constexpr std::size_t kCommandBlockSize = 16;
// The largest data phase of one memory read or write, and the size of the staging areas.
inline constexpr std::uint32_t kMaxTransferLength = 4096;
// The radar version block of one memory layout lies here; it is sent as its own block number.
inline constexpr std::uint32_t kRadarVersionBlockAddress = 35792;

inline constexpr std::uint8_t kFlagDataIn = 0x80;
inline constexpr std::uint8_t kFlagDataOut = 0x00;
inline constexpr std::uint8_t kOpTestUnitReady = 0x00;
inline constexpr std::uint8_t kOpInquiry = 0x12;
inline constexpr std::uint8_t kOpMemoryRead = 0xD8;
inline constexpr std::uint8_t kOpMemoryWrite = 0xDA;

inline constexpr std::uint32_t kCommandReadTag = 0x1409C010;
inline constexpr std::uint32_t kCommandWriteTag = 0x08071840;
inline constexpr std::uint32_t kTestUnitReadyTag = 0x13F4A500;
inline constexpr std::uint32_t kInquiryTag = 0x1409C010;

using CommandWrapperBytes = std::array<std::uint8_t, kCommandWrapperSize>;
using StatusWrapperBytes = std::array<std::uint8_t, kStatusWrapperSize>;

// A command wrapper taken apart. The data-transfer length travels in bytes 8-10, most
// significant first, and byte 11 is always 0 (not the little-endian order of the published
// Bulk-Only Transport); `lengthFourthByte` keeps byte 11 so that a parser can insist on it.
struct CommandWrapper {
    std::uint32_t tag = 0;
    std::uint32_t length = 0; // 24 bits
    std::uint8_t lengthFourthByte = 0;
    std::uint8_t flags = 0;
    std::uint8_t lun = 0;
    std::uint8_t commandBlockLength = 0;
    std::array<std::uint8_t, kCommandBlockSize> commandBlock{};

    bool operator==(const CommandWrapper&) const = default;
};

// The 13-byte status wrapper ("USBS", tag, residue, status), little-endian as published.
struct StatusWrapper {
    std::uint32_t tag = 0;
    std::uint32_t residue = 0;
    std::uint8_t status = 0; // 0 passed, 1 failed, 2 phase error

    bool operator==(const StatusWrapper&) const = default;
};

// Bits above 23 of `length` do not fit the wire and are dropped.
CommandWrapperBytes packCommandWrapper(const CommandWrapper& wrapper);
// Nothing unless `bytes` is exactly 31 bytes starting with "USBC".
std::optional<CommandWrapper> unpackCommandWrapper(std::span<const std::uint8_t> bytes);

StatusWrapperBytes packStatusWrapper(const StatusWrapper& status);
// Nothing unless `bytes` is exactly 13 bytes starting with "USBS".
std::optional<StatusWrapper> unpackStatusWrapper(std::span<const std::uint8_t> bytes);

// The tag a packed wrapper carries (bytes 4-7, little-endian).
std::uint32_t wrapperTag(const CommandWrapperBytes& wrapper);

// Writes bytes 8, 9 and 10 (bits 16-23, 8-15, 0-7); byte 11 is left alone.
void writeWrapperLength(CommandWrapperBytes& wrapper, std::uint32_t length);
// The length bytes 8-10 announce.
std::uint32_t announcedLength(const CommandWrapperBytes& wrapper);
// The command block a packed wrapper carries: byte 14's count (at most 16) from byte 15 on, a
// view into `wrapper`.
std::span<const std::uint8_t> commandBlockOf(const CommandWrapperBytes& wrapper);

// Block number of a memory command: address / length, except that the radar version block's
// address is sent as itself. `length` must not be 0.
std::uint32_t blockNumberFor(std::uint32_t address, std::uint32_t length);

// Puts the selector into command-block byte 1 and the block number, big-endian, into bytes 2-5.
void writeMemoryCommand(CommandWrapperBytes& wrapper, std::uint8_t selector, std::uint32_t block);

// The templates byte for byte: signature, tag (little-endian), length in bytes 8-10 (most
// significant first), byte 11 zero, flags, unit, command-block length, command block.
// The memory read and write templates as they are before their first call.
inline constexpr CommandWrapperBytes kCommandReadTemplate{
    0x55, 0x53, 0x42, 0x43, 0x10, 0xC0, 0x09, 0x14, 0x00, 0x01, 0x00, 0x00, 0x80, 0x00, 0x0C, 0xD8,
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr CommandWrapperBytes kCommandWriteTemplate{
    0x55, 0x53, 0x42, 0x43, 0x40, 0x18, 0x07, 0x08, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x0C, 0xDA,
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
// Sent unchanged by identification. TEST UNIT READY announces 1024 bytes of data-out that never
// follow; INQUIRY carries 0x80 in byte 2 and an allocation length of 136 under a 1024-byte wrapper.
inline constexpr CommandWrapperBytes kTestUnitReadyTemplate{
    0x55, 0x53, 0x42, 0x43, 0x00, 0xA5, 0xF4, 0x13, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
inline constexpr CommandWrapperBytes kInquiryTemplate{
    0x55, 0x53, 0x42, 0x43, 0x10, 0xC0, 0x09, 0x14, 0x00, 0x04, 0x00, 0x00, 0x80, 0x00, 0x0C, 0x12,
    0x00, 0x80, 0x00, 0x88, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

} // namespace usb
