// Device profile JSON: a bad profile is refused with std::invalid_argument, never anything
// else; a good one makes a detector whose memory holds what the profile says.

#include "FuzzSupport.hpp"
#include "sim/DeviceProfile.hpp"
#include "sim/VirtualDetector.hpp"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::DeviceProfile profile;
    try {
        profile = sim::DeviceProfile::fromJson(fuzzing::asText(data, size));
    } catch (const std::invalid_argument&) {
        return 0;
    }
    FUZZ_CHECK(profile.product.size() == 24);
    sim::VirtualDetector detector(profile);
    // Later entries overwrite earlier ones: check the last entry, which nothing overwrites.
    if (!profile.memory.empty()) {
        const sim::MemoryEntry& last = profile.memory.back();
        const std::uint32_t length = static_cast<std::uint32_t>(std::min<std::size_t>(
            last.bytes.size(), std::min<std::uint64_t>(4096, 0x100000000ULL - last.address)));
        const auto read = detector.readMemory(last.selector, last.address, length);
        FUZZ_CHECK(std::equal(read.begin(), read.end(), last.bytes.begin()));
    }
    return 0;
}
