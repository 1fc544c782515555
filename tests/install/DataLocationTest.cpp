#include "install/DataLocation.hpp"

#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A prefix with bin/ and share/detector-updater/ in a fresh temporary folder.
class DataLocationTest : public testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("data-location-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "usr/bin");
        fs::create_directories(m_root / "usr/share/detector-updater/profiles");
        unsetenv(kVariable);
    }
    void TearDown() override {
        unsetenv(kVariable);
        fs::remove_all(m_root);
    }
    static void touch(const fs::path& path) { std::ofstream(path) << "{}"; }

    static constexpr const char* kVariable = "DETECTOR_DATA_LOCATION_TEST";
    fs::path m_root;
};

TEST_F(DataLocationTest, InstalledFolderIsShareBesideBin) {
    EXPECT_EQ(DataLocation::installedFolder(m_root / "usr/bin"),
              m_root / "usr/share/detector-updater");
}

TEST_F(DataLocationTest, TheFirstThatExistsInOrder) {
    const fs::path bin = m_root / "usr/bin";
    const fs::path installed = m_root / "usr/share/detector-updater/profiles/a.json";
    const fs::path built = bin / "demo-profile.json";

    // Neither exists: the build-tree name, for the caller to report.
    EXPECT_EQ(DataLocation::find(kVariable, bin, "demo-profile.json", "profiles/a.json"), built);
    touch(installed);
    EXPECT_EQ(DataLocation::find(kVariable, bin, "demo-profile.json", "profiles/a.json"),
              installed);
    touch(built);
    EXPECT_EQ(DataLocation::find(kVariable, bin, "demo-profile.json", "profiles/a.json"), built);
    // The variable wins even when what it names is missing; an empty one counts as unset.
    setenv(kVariable, "/nowhere/profile.json", 1);
    EXPECT_EQ(DataLocation::find(kVariable, bin, "demo-profile.json", "profiles/a.json"),
              fs::path("/nowhere/profile.json"));
    setenv(kVariable, "", 1);
    EXPECT_EQ(DataLocation::find(kVariable, bin, "demo-profile.json", "profiles/a.json"), built);
}

TEST_F(DataLocationTest, ExecutableFolderHoldsThisTest) {
    EXPECT_TRUE(fs::exists(DataLocation::executableFolder() / "install-tests"));
}

} // namespace
