// The virtual detector's command-wrapper parser: any bytes from the host, in any order of
// transfers, get answers no longer than asked for and never a crash.

#include "FuzzSupport.hpp"
#include "sim/VirtualDetector.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputCursor in(data, size);
    sim::DeviceProfile profile;
    profile.memory.push_back({0, 0x08002E00U, std::vector<std::uint8_t>(64, 0x41)});
    sim::VirtualDetector detector(profile);
    int transfers = 0;
    while (!in.empty() && transfers++ < 64) {
        const std::uint8_t op = in.byte();
        if ((op & 0x80U) != 0) {
            // Device to host, asking for up to 8 KiB.
            const std::size_t asked = static_cast<std::size_t>(op & 0x7FU) * 64U + in.byte();
            const auto answer = detector.send(asked);
            FUZZ_CHECK(answer.data.size() <= asked);
        } else {
            // Host to device: a wrapper-sized transfer patched from the input, or raw bytes.
            std::vector<std::uint8_t> bytes;
            if ((op & 0x40U) != 0) {
                bytes = {0x55, 0x53, 0x42, 0x43, 1, 2, 3, 4, 0, 1, 0, 0, 0x80, 0, 10, 0xD8,
                         0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0,    0, 0};
                for (std::size_t i = 8; i < bytes.size(); ++i) {
                    if ((in.byte() & 1U) != 0) {
                        bytes[i] = in.byte();
                    }
                }
            } else {
                const std::size_t n = static_cast<std::size_t>(op & 0x3FU) * 8U + in.byte() % 8U;
                for (std::size_t i = 0; i < n && !in.empty(); ++i) {
                    bytes.push_back(in.byte());
                }
            }
            (void)detector.receive(bytes);
        }
    }
    (void)detector.traceText();
    return 0;
}
