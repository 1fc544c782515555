#pragma once
// A record and a server access whose requests a CannedHttpClient answers.

#include "CannedHttpClient.hpp"
#include "FuzzSupport.hpp"
#include "device/ConnectedTargetInfo.hpp"
#include "server/ServerAccess.hpp"

#include <memory>

namespace fuzzing {

struct ServerRun {
    std::shared_ptr<CannedHttpClient> client = std::make_shared<CannedHttpClient>();
    ConnectedTargetInfo record;

    ServerRun() {
        record.setConnectedDevice_KewordForWebAcess("KW");
        auto key = std::make_shared<List>();
        for (std::uint32_t k : {0x5AU, 0x4CU, 0x4DU, 0x20U, 0x34U, 0x38U, 0x31U, 0x30U, 0x52U}) {
            key->emplace_back(k);
        }
        record.setInfo_T_Key(key);
    }

    [[nodiscard]] server::ServerAccess access() const {
        server::ServerSettings settings;
        settings.baseAddress = "http://update.test";
        settings.probeUrl = "http://probe.test/";
        return {client, settings};
    }
};

// A failure text of the format every server client uses, on one line.
inline bool isFailureText(const std::string& text, int code) {
    const std::string prefix = "Error_Code_" + std::to_string(code) + "/ ";
    return text.rfind(prefix, 0) == 0 && text.size() > prefix.size() && text.back() == ' ' &&
           text.find('\n') == std::string::npos && text.find('\r') == std::string::npos;
}

} // namespace fuzzing
