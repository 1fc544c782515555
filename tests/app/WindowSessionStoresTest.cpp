#include "app/LastChoiceStore.hpp"
#include "app/RunLogFolder.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() /
               ("detector-stores-" +
                std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

void touch(const fs::path& file, const std::string& text = {}) { std::ofstream(file) << text; }

TEST(RunLogFolder, KeepsTheNewestTwentyInTheOrderTheyRan) {
    struct Case {
        const char* pattern; // %02d: 0..24, in the order the runs ran
        std::string firstKept;
        std::string newName;
    };
    const Case cases[] = {
        {"run-20200101-0000%02d-000.log", "run-20200101-000006-000.log", "run-000001_"},
        // The clock stepped back since: the earlier runs carry later times.
        {"run-20991231-2359%02d-000.log", "run-20991231-235906-000.log", "run-000001_"},
        {"run-0000%02d_20991231-235900-000.log", "run-000006_20991231-235900-000.log",
         "run-000025_"},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        for (int i = 0; i < 25; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, c.pattern, i);
            touch(dir.path / name);
        }
        touch(dir.path / "notes.txt");
        RunLogFolder folder(dir.path);
        fs::path path;
        const auto log = folder.openRun(path);
        ASSERT_TRUE(log) << c.pattern;
        log->line("flow", "hello");
        const auto kept = folder.runs();
        ASSERT_EQ(kept.size(), 20U) << c.pattern;
        // The six oldest went; the new run is the newest.
        EXPECT_EQ(kept.front(), c.firstKept) << c.pattern;
        EXPECT_EQ(dir.path / kept.back(), path) << c.pattern;
        EXPECT_TRUE(kept.back().starts_with(c.newName)) << kept.back();
        EXPECT_TRUE(fs::exists(path)) << c.pattern;
        EXPECT_TRUE(fs::exists(dir.path / "notes.txt"));
    }
}

TEST(FileLastChoiceStore, KeepsNamesWithAnyBytesAndRefusesForeignFiles) {
    const TempDir dir;
    const fs::path file = dir.path / "sub" / "last-choice.txt";
    FileLastChoiceStore store(file);
    EXPECT_FALSE(store.load()) << "nothing stored yet";
    const LastChoice choice({"Latvija", "Line\nbreak=\\n", "Россия"}, true, false);
    store.save(choice);
    const auto loaded = FileLastChoiceStore(file).load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->countries(), choice.countries());
    EXPECT_TRUE(loaded->excludeStrelka());
    EXPECT_FALSE(loaded->excludeFake());
    EXPECT_FALSE(fs::exists(fs::path(file) += ".new"));

    for (const char* text : {"", "something else\ncountry=Latvija\n",
                             "detector-updater last choice 1\ncountry=bad\\escape\n",
                             "detector-updater last choice 1\nexcludeFake=1\n"}) {
        touch(file, text);
        EXPECT_FALSE(store.load()) << text;
    }
}

} // namespace
