#pragma once
// A simulated update server on a free loopback port and the client settings that reach it.

#include "server/HttpClient.hpp"
#include "server/ServerAccess.hpp"
#include "sim/UpdateServerSim.hpp"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace server_testing {

// The 22 device-information fields of a plain model, as a server writes them.
inline std::vector<std::string> plainInfo() {
    return {"0x08004000", "0x08010000", "0x800",      "true",    "0x08003000", "0x0800C000",
            "0x200",      "true",       "0x00000000", "0x4",     "0x1000",     "true",
            "FLASH",      "0x00100000", "0x100",      "false",   "FLASH",      "0x00200000",
            "0x100",      "false",      "MCU",        "ORIGINAL"};
}

inline sim::CatalogModel model(std::string keyword, std::vector<std::string> info) {
    sim::CatalogModel m;
    m.keyword = std::move(keyword);
    m.info = std::move(info);
    m.databaseId = m.keyword + "-DB";
    return m;
}

class SimServer {
public:
    explicit SimServer(sim::UpdateCatalog catalog,
                       std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
        : m_sim(std::move(catalog)) {
        EXPECT_TRUE(m_sim.start("127.0.0.1", 0));
        m_client = server::makeSystemHttpClient();
        m_settings.baseAddress = m_sim.baseAddress();
        m_settings.probeUrl = m_sim.baseAddress() + "/probe";
        m_settings.requestTimeout = timeout;
        m_settings.probeTimeout = timeout;
    }

    sim::UpdateServerSim& sim() { return m_sim; }
    server::HttpClient& client() { return *m_client; }
    server::ServerSettings& settings() { return m_settings; }
    [[nodiscard]] server::ServerAccess access() const { return {m_client, m_settings}; }

private:
    sim::UpdateServerSim m_sim;
    std::shared_ptr<server::HttpClient> m_client;
    server::ServerSettings m_settings;
};

} // namespace server_testing
