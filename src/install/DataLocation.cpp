#include "install/DataLocation.hpp"

#include "install/SystemPaths.hpp"

#include <cstdlib>
#include <system_error>

#ifndef DETECTOR_DATA_FROM_BIN
#define DETECTOR_DATA_FROM_BIN "../share/detector-updater"
#endif

namespace fs = std::filesystem;

fs::path DataLocation::executableFolder() {
    const auto self = sys::executablePath();
    std::error_code error;
    return self.empty() ? fs::current_path(error) : self.parent_path();
}

fs::path DataLocation::installedFolder(const fs::path& binFolder) {
    return (binFolder / DETECTOR_DATA_FROM_BIN).lexically_normal();
}

fs::path DataLocation::find(const char* variable, const fs::path& binFolder,
                            std::string_view buildName, std::string_view installedName) {
    const char* value = variable != nullptr ? std::getenv(variable) : nullptr;
    if (value != nullptr && *value != '\0') {
        return value;
    }
    std::error_code error;
    const fs::path built = binFolder / buildName;
    if (fs::exists(built, error)) {
        return built;
    }
    const fs::path installed = installedFolder(binFolder) / installedName;
    if (fs::exists(installed, error)) {
        return installed;
    }
    return built;
}
