// The database fetch end to end: three requests to a loopback server, 100,000 record lines
// decoded and both device images built.

#include "database/WebServer_GetDataBase.hpp"
#include "server/CurlHttpClient.hpp"
#include "sim/UpdateServerSim.hpp"

#include <cstdio>
#include <fstream>
#include <string>

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

// A detector of keyword "KW" with its scrambling key, asking for the database.
void prepareDatabaseRecord(ConnectedTargetInfo& record) {
    List key;
    for (std::uint32_t b : {0x5A, 0x4C, 0x4D, 0x20, 0x34, 0x38, 0x31, 0x30, 0x52}) {
        key.emplace_back(b);
    }
    record.setInfo_T_Key(std::make_shared<const List>(std::move(key)));
    record.setConnectedDevice_KewordForWebAcess("KW");
    record.setConnectedDevice_Enable_DATABASE_Firmware(1);
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
    prepareDatabaseRecord(record);
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

// Peak resident set of this process in bytes since the last reset (Linux).
std::uint64_t peakResident() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoull(line.substr(6)) * 1024U;
        }
    }
    return 0;
}

void resetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Memory follows the bytes that arrived: the fetch of a flooded answer (line feeds, valid
// records, one endless line) should peak below twice the answer plus 64 MB. `peakOverAnswer`
// is the growth of the peak resident set during the fetch divided by the answer's size.
void BM_GetDatabaseFlood(benchmark::State& state) {
    const sim::ServerFault modes[] = {sim::ServerFault::FloodLines, sim::ServerFault::FloodRecords,
                                      sim::ServerFault::LongLine};
    const auto mode = modes[state.range(0)];
    const auto bytes = static_cast<std::uint64_t>(state.range(1)) * 1000000U;
    sim::UpdateServerSim server(catalogOf(20000));
    server.addFault(mode);
    server.setFloodBytes(bytes);
    if (!server.start("127.0.0.1", 0)) {
        state.SkipWithError("cannot start the loopback server");
        return;
    }
    server::ServerSettings settings;
    settings.baseAddress = server.baseAddress();
    ConnectedTargetInfo record;
    prepareDatabaseRecord(record);
    double growth = 0;
    for (auto _ : state) {
        WebServer_GetDataBase db({std::make_shared<server::CurlHttpClient>(), settings});
        resetPeakResident();
        const std::uint64_t before = peakResident();
        benchmark::DoNotOptimize(db.getDatabase(record));
        growth = static_cast<double>(peakResident() - before);
    }
    state.counters["peakOverAnswer"] = growth / static_cast<double>(bytes);
    state.counters["records"] = record.Info_DataBase_Count();
}
BENCHMARK(BM_GetDatabaseFlood)
    ->ArgsProduct({{0, 1, 2}, {50}})
    ->ArgNames({"mode", "MB"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
