// What only Windows can show of the child processes: the station's log is not inherited.
#include "cli/ChildProcess.hpp"
#include "install/SystemPaths.hpp"

#include <filesystem>

#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

namespace {

TEST(ChildProcessWinTest, TheLogHandleIsNotInheritable) {
    const auto path = std::filesystem::temp_directory_path() / "child-process-log-Журнал.jsonl";
    std::FILE* log = ChildProcess::openAppendingUninherited(sys::utf8FromPath(path));
    ASSERT_NE(log, nullptr);
    DWORD flags = 0;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(log)));
    EXPECT_NE(GetHandleInformation(handle, &flags), 0);
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0U);
    std::fclose(log);
    std::filesystem::remove(path);
}

} // namespace
