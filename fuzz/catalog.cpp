// The catalog loader: catalog.json, countries.csv and cameras.csv cut from the input; a bad
// catalog is an error text, a good one serves its answers.

#include "FuzzSupport.hpp"
#include "sim/UpdateCatalog.hpp"
#include "sim/UpdateServerSim.hpp"

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

void write(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One folder per process; each input rewrites its three files. In memory where the system
    // has a tmpfs: on a disk, every truncating rewrite is flushed, which cost three quarters of
    // the run time.
    static const std::filesystem::path folder = [] {
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        auto dir = base / ("detector-fuzz-catalog-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir / "firmware");
        return dir;
    }();
    fuzzing::InputCursor in(data, size);
    write(folder / "catalog.json", in.piece('\x01'));
    write(folder / "countries.csv", in.piece('\x01'));
    write(folder / "cameras.csv", in.rest());
    std::string error;
    const auto catalog = sim::UpdateCatalog::load(folder, error);
    if (!catalog) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (const auto& model : catalog->models) {
        for (const auto& name : model.firmware) {
            FUZZ_CHECK(name.empty() || model.images.count(name) == 1);
        }
    }
    const sim::UpdateServerSim server(*catalog);
    (void)server.countriesText();
    (void)server.databaseAnswer();
    return 0;
}
