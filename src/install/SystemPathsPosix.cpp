#include "install/SystemPaths.hpp"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <unistd.h>

namespace sys {

std::filesystem::path executablePath() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

std::optional<std::string> cannotWriteIn(const std::filesystem::path& folder) {
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        return std::strerror(errno);
    }
    return std::nullopt;
}

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

} // namespace sys
