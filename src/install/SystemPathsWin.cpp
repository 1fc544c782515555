#include "install/SystemPaths.hpp"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

namespace sys {

std::filesystem::path executablePath() {
    // Long paths may exceed MAX_PATH; the call truncates silently, so grow until it fits.
    std::vector<wchar_t> name(MAX_PATH);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            return std::filesystem::path(std::wstring(name.data(), length));
        }
        name.resize(name.size() * 2);
    }
    return {};
}

std::optional<std::string> cannotWriteIn(const std::filesystem::path& folder) {
    // Access rights on Windows are lists the access() call does not read: try it.
    const auto probe =
        folder / (".detector-updater-" + std::to_string(GetCurrentProcessId()) + ".tmp");
    std::FILE* file = _wfopen(probe.c_str(), L"w");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(file);
    std::error_code ignored;
    std::filesystem::remove(probe, ignored);
    return std::nullopt;
}

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
    const std::string narrow(mode);
    const std::wstring wideMode(narrow.begin(), narrow.end());
    return _wfopen(path.c_str(), wideMode.c_str());
}

} // namespace sys
