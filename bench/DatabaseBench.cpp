// Throughput of the camera-database work: image building, record line decoding, the filter.

#include "database/Base64.hpp"
#include "database/WebServer_GetDataBase.hpp"

#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

std::string base64(const std::string& text) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    for (; i + 3 <= text.size(); i += 3) {
        const unsigned v = (b[i] << 16U) | (b[i + 1] << 8U) | b[i + 2];
        for (int s = 18; s >= 0; s -= 6) {
            out += kAlphabet[(v >> static_cast<unsigned>(s)) & 63U];
        }
    }
    if (text.size() - i == 1) {
        const unsigned v = b[i] << 16U;
        out += {kAlphabet[v >> 18U], kAlphabet[(v >> 12U) & 63U], '=', '='};
    } else if (text.size() - i == 2) {
        const unsigned v = (b[i] << 16U) | (b[i + 1] << 8U);
        out += {kAlphabet[v >> 18U], kAlphabet[(v >> 12U) & 63U], kAlphabet[(v >> 6U) & 63U], '='};
    }
    return out;
}

std::vector<std::string> countryNames(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back("Country " + std::to_string(i));
    }
    return names;
}

// Realistic records: grouped by country as the server sends them, a mix of camera types.
DataBaseList makeRecords(int count, int countries) {
    std::mt19937 rng(7);
    const auto names = countryNames(countries);
    DataBaseList list;
    list.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        auto r = std::make_shared<DataBase>();
        r->parsing_camera = static_cast<double>(rng() % 12);
        r->parsing_lat = 40.0 + (rng() % 300000) / 10000.0;
        r->parsing_lng = 20.0 + (rng() % 600000) / 10000.0;
        r->parsing_direction = static_cast<double>(rng() % 360);
        r->parsing_speed = static_cast<double>(rng() % 130);
        r->parsing_autodoria = static_cast<double>(rng() % 2000);
        r->parsing_country = names[static_cast<std::size_t>(i) * names.size() / count];
        list.push_back(std::move(r));
    }
    return list;
}

std::shared_ptr<ConnectedTargetInfo> keyedRecord() {
    auto record = std::make_shared<ConnectedTargetInfo>();
    List key;
    for (std::uint32_t b : {0x5A, 0x4C, 0x4D, 0x20, 0x34, 0x38, 0x31, 0x30, 0x52}) {
        key.emplace_back(b);
    }
    record->setInfo_T_Key(std::make_shared<const List>(std::move(key)));
    return record;
}

void BM_HexFormat(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const DataBaseList records = makeRecords(count, 50);
    Bytes image(4 + 10 * records.size());
    for (auto _ : state) {
        WebServer_GetDataBase::Change_Hex_Format(count, records, image);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_HexFormat)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DecodeRecordLines(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const DataBaseList records = makeRecords(count, 50);
    std::vector<std::string> lines;
    for (const auto& r : records) {
        lines.push_back(base64(
            std::to_string(static_cast<int>(r->parsing_camera)) + "," +
            std::to_string(r->parsing_lat) + "," + std::to_string(r->parsing_lng) + "," +
            std::to_string(static_cast<int>(r->parsing_direction)) + "," +
            std::to_string(static_cast<int>(r->parsing_speed)) + "," +
            std::to_string(static_cast<int>(r->parsing_autodoria)) + "," + r->parsing_country));
    }
    for (auto _ : state) {
        for (const auto& line : lines) {
            const std::string text = WebServer_GetDataBase::decodingData(line);
            std::string_view fields[8];
            std::size_t n = 0;
            std::size_t start = 0;
            while (n < 8) {
                const auto comma = text.find(',', start);
                fields[n++] = std::string_view(text).substr(start, comma - start);
                if (comma == std::string::npos) {
                    break;
                }
                start = comma + 1;
            }
            DataBase record;
            WebServer_GetDataBase::setStrData(std::span(fields, n), record);
            benchmark::DoNotOptimize(record);
        }
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DecodeRecordLines)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReParsing(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const auto countries = static_cast<int>(state.range(1));
    auto record = keyedRecord();
    WebServer_GetDataBase db;
    db.storeRecords(*record, makeRecords(count, countries));
    auto names = std::make_shared<TextList>(countryNames(countries));
    auto checked = std::make_shared<List>();
    for (int c = 0; c < countries; ++c) {
        // Ten chosen, spread over the list so the scan cannot stop early.
        checked->emplace_back(std::string(c % (countries / 10) == 0 ? "YES" : "NO"));
    }
    record->setCountry_Name(names);
    record->setCountry_Checked(checked);
    record->setCountry_Total_Num(static_cast<std::uint32_t>(countries));
    for (auto _ : state) {
        // 10 of 50 countries of 100,000 records is 20,000 records: over the device's limit, so
        // the filter itself is measured; the image is built when the choice fits.
        benchmark::DoNotOptimize(db.reParsingForOriginal(*record));
    }
    state.counters["chosen"] = static_cast<double>(db.DB_Struct_reParsing().size());
}
BENCHMARK(BM_ReParsing)->Args({100000, 50})->Unit(benchmark::kMillisecond);

} // namespace
