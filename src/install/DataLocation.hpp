#pragma once
// Where a binary finds its data files, in the build tree and once installed.

#include <filesystem>
#include <string_view>

class DataLocation {
public:
    // The folder that holds the running binary, or the working folder when the system does not
    // tell.
    static std::filesystem::path executableFolder();

    // The installed data folder of a binary in binFolder: binFolder/../share/detector-updater
    // (the relative path follows the install layout chosen at configure time); on Windows
    // binFolder itself.
    static std::filesystem::path installedFolder(const std::filesystem::path& binFolder);

    // The first that applies: the environment variable when set and not empty (returned even
    // when it names nothing, so the error names what the user asked for); binFolder/buildName
    // when it exists (the build tree); installedFolder(binFolder)/installedName when it exists.
    // Else binFolder/buildName, which the caller reports as missing.
    static std::filesystem::path find(const char* variable, const std::filesystem::path& binFolder,
                                      std::string_view buildName, std::string_view installedName);
};
