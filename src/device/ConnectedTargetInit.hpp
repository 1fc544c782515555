#pragma once
// Identifies the connected detector (name, edition, key, memory layout) and reads its versions.

#include "device/ConnectedTargetInfo.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class MassStorageController;

// Where a memory layout keeps the name block and the two version blocks.
struct MemoryLayout {
    std::uint32_t nameBlock;
    std::uint32_t gpsVersionBlock;
    std::uint32_t rdVersionBlock;
};

// The layouts, searched in this order.
inline constexpr std::array<MemoryLayout, 2> arrayVerifyaddress{{
    {0x08002E00, 0x08002F00, 0x08001C00},
    {0x08003600, 0x08003700, 0x00008BD0},
}};
inline constexpr std::size_t arrayVerifyaddressNum = arrayVerifyaddress.size();

// Holds no state; every result goes into the record.
class ConnectedTargetInit {
public:
    static constexpr std::string_view kProductText = "CORVANTHIS UMSCPT DEVICE";
    static constexpr std::size_t kNameBlockSize = 256;
    static constexpr std::string_view kVersionMarker = "BLOCKMARK+ZLM_CO:ALPHA&BRAVO&DELTA.2012~";
    static constexpr std::string_view kUnknown = "UNKNOWN";

    // TEST UNIT READY, INQUIRY and the name block, in that order, each only after the one before
    // succeeded. On false, ErrorMessage holds "Error_Code_101", "Error_Code_102" or
    // "Error_Code_103" for the step that failed; on true it is left alone.
    bool ConnectedDeviceInit(ConnectedTargetInfo& record, MassStorageController& link);
    // Sends TEST UNIT READY and reads its status; true when both transfers succeeded.
    bool setUsbPipe(MassStorageController& link);
    // Sends INQUIRY, reads the answer and the status; true when the answer carries the product
    // text, and then isIncludeStar tells whether a star stands right before it.
    bool getDeviceInquiryCode(ConnectedTargetInfo& record, MassStorageController& link);
    // Finds the layout whose name block holds "$$" and "ZLM", then takes the key, name, edition
    // and server keyword from it. False when no block matches or the words the name form needs
    // are missing; fields written before that keep their new values.
    bool getDeviceNameAndCheckEdition(ConnectedTargetInfo& record, MassStorageController& link);

    // Reads both version blocks into the current versions and their display texts. Always true:
    // a block that cannot be read shows "UNKNOWN".
    bool getConnectedDeviceCurrentVersion(ConnectedTargetInfo& record, MassStorageController& link);
    bool getDeviceVersion(ConnectedTargetInfo& record, MassStorageController& link);
    // The version digits of the block of `pageSize` bytes at `address`, or "UNKNOWN".
    std::string getCurrentDeviceVersion(MassStorageController& link, std::uint32_t pageSize,
                                        std::uint32_t address, std::uint8_t selector);

    // Pure parts, on bytes already read.

    // Position-independent search of an INQUIRY answer: nothing without the product text's
    // first 23 characters, else whether a star stands right before the first match.
    static std::optional<bool> findProductText(std::span<const std::uint8_t> answer);
    // The block's text: its bytes up to the first 0, one character per byte.
    static std::string blockText(std::span<const std::uint8_t> block);
    // Key, name, verify key, edition and keyword from a name block that matched.
    static bool parseNameBlock(ConnectedTargetInfo& record, std::span<const std::uint8_t> block);
    // The version digits of a version block, or "UNKNOWN".
    static std::string cutVersion(std::span<const std::uint8_t> page);
    // The characters from the first decimal digit up to the next non-digit.
    static std::string digitRun(std::string_view name);
};
