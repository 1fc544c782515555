// The database fetch end to end: three requests to a loopback server, 100,000 record lines
// decoded and both device images built.

#include "database/WebServer_GetDataBase.hpp"
#include "sim/UpdateServerSim.hpp"

#include <cstdio>

#include <benchmark/benchmark.h>

namespace {

sim::UpdateCatalog catalogOf(int cameras) {
    sim::UpdateCatalog c;
    auto& m = c.models.emplace_back();
    m.keyword = "KW";
    m.databaseId = "DB1";
    for (int i = 0; i < 50; ++i) {
        c.countries.push_back("Country " + std::to_string(i));
    }
    std::uint32_t state = 7;
    const auto next = [&state] { return state = state * 1664525U + 1013904223U; };
    char line[128];
    for (int i = 0; i < cameras; ++i) {
        std::snprintf(line, sizeof line, "%u,%.6f,%.6f,%u,%u,%u,Country %d", next() % 12U,
                      40.0 + (next() % 300000U) / 10000.0, 20.0 + (next() % 600000U) / 10000.0,
                      next() % 360U, next() % 130U, next() % 2000U, i * 50 / cameras);
        c.cameras.emplace_back(line);
    }
    return c;
}

void BM_GetDatabase(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    sim::UpdateServerSim server(catalogOf(count));
    if (!server.start("127.0.0.1", 0)) {
        state.SkipWithError("cannot start the loopback server");
        return;
    }
    server::ServerSettings settings;
    settings.baseAddress = server.baseAddress();
    WebServer_GetDataBase db({std::make_shared<server::CurlHttpClient>(), settings});
    ConnectedTargetInfo record;
    List key;
    for (std::uint32_t b : {0x5A, 0x4C, 0x4D, 0x20, 0x34, 0x38, 0x31, 0x30, 0x52}) {
        key.emplace_back(b);
    }
    record.setInfo_T_Key(std::make_shared<const List>(std::move(key)));
    record.setConnectedDevice_KewordForWebAcess("KW");
    record.setConnectedDevice_Enable_DATABASE_Firmware(1);
    for (auto _ : state) {
        if (!db.getDatabase(record)) {
            state.SkipWithError(record.ErrorMessage().c_str());
            break;
        }
        benchmark::DoNotOptimize(record.Download_Firmware_DATABASE());
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["records"] = record.Info_DataBase_Count();
}
BENCHMARK(BM_GetDatabase)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
