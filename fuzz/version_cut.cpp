// The version-block cut of a device page and the update-version search in a firmware image.

#include "FuzzSupport.hpp"
#include "device/ConnectedTargetInit.hpp"
#include "server/WebServer_CheckVersion.hpp"

#include <algorithm>
#include <cctype>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::InputCursor in(data, size);
    const std::uint32_t start = 0x08000000U + (in.u32() % 0x200U) - 0x10U;
    const std::string_view rest = in.rest();
    const std::vector<std::uint8_t> bytes(rest.begin(), rest.end());

    // A cut version is "UNKNOWN" or a piece of the block's text (upper-cased).
    const std::string cut = ConnectedTargetInit::cutVersion(bytes);
    if (cut != "UNKNOWN") {
        std::string upper = ConnectedTargetInit::blockText(bytes);
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        FUZZ_CHECK(upper.find(cut) != std::string::npos);
        FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())
                       .find(ConnectedTargetInit::kVersionMarker) != std::string_view::npos);
    }

    // An update version is "UNKNOWN" or ten digits that stand in the image after the start.
    const std::string version = WebServer_CheckVersion::getUpdateVersion(bytes, start);
    if (version != WebServer_CheckVersion::kUnknown) {
        FUZZ_CHECK(version.size() == WebServer_CheckVersion::kVersionDigits);
        FUZZ_CHECK(std::all_of(version.begin(), version.end(),
                               [](char c) { return c >= '0' && c <= '9'; }));
        const std::uint32_t offset = start - 0x08000000U;
        FUZZ_CHECK(offset < bytes.size());
        FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())
                       .substr(offset)
                       .find(version) != std::string_view::npos);
    }
    return 0;
}
