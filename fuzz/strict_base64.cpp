// Strict Base64 and decodingData: a valid text re-encodes to itself, every form agrees.

#include "FuzzSupport.hpp"
#include "database/Base64.hpp"
#include "database/Utf8.hpp"
#include "database/WebServer_GetDataBase.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzzing::asText(data, size);
    const auto bytes = codec::strictBase64Decode(text);
    const auto asString = codec::strictBase64DecodeText(text);
    FUZZ_CHECK(bytes.has_value() == asString.has_value());
    std::string inPlace(text);
    const auto inPlaceLength = codec::strictBase64DecodeInPlace(inPlace);
    FUZZ_CHECK(inPlaceLength.has_value() == bytes.has_value());
    const std::string decoded = WebServer_GetDataBase::decodingData(text);
    if (!bytes) {
        FUZZ_CHECK(decoded.empty());
    } else {
        const std::string_view raw(reinterpret_cast<const char*>(bytes->data()), bytes->size());
        FUZZ_CHECK(raw == *asString);
        FUZZ_CHECK(raw == std::string_view(inPlace).substr(0, *inPlaceLength));
        // Re-encoding gives the text back; only the unused low bits of the last character
        // before the padding may differ, since decoding ignores them.
        const std::string again = fuzzing::base64(raw);
        FUZZ_CHECK(again.size() == text.size());
        const std::size_t padding = text.size() - (text.find_last_not_of('=') + 1);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (padding > 0 && i + padding + 1 == text.size()) {
                const auto value = [](char c) {
                    return base64DecodeLookup[static_cast<unsigned char>(c)];
                };
                const unsigned unused = padding == 1 ? 0x03U : 0x0FU;
                FUZZ_CHECK((value(again[i]) & ~unused) == (value(text[i]) & ~unused));
            } else {
                FUZZ_CHECK(again[i] == text[i]);
            }
        }
        FUZZ_CHECK(decoded == (codec::isValidUtf8(raw) ? std::string(raw) : std::string{}));
    }
    // The in-place form used on the database answer gives what decodingData gives.
    std::string line(text);
    FUZZ_CHECK(WebServer_GetDataBase::decodingDataInPlace(line) == decoded);
    return 0;
}
