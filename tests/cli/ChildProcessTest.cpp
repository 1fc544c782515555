// Child processes on every platform: the Windows command line's quoting, and a real child's
// arguments, output, error lines, exit status and stop request.
#include "cli/ChildProcess.hpp"

#include "install/SystemPaths.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using namespace std::chrono_literals;

TEST(ChildProcessTest, CommandLineQuotesWhatWindowsWouldSplit) {
    struct Row {
        std::vector<std::string> argv;
        std::string line;
    };
    const std::vector<Row> rows = {
        {{"plain", "a,b"}, R"(plain a,b)"},
        {{"p", ""}, R"(p "")"},
        {{"p", "two words", "tab\there"}, "p \"two words\" \"tab\there\""},
        {{"p", R"(say "hi")"}, R"(p "say \"hi\"")"},
        {{"p", R"(")"}, R"(p "\"")"},
        {{"p", R"(C:\dir\file)"}, R"(p C:\dir\file)"}, // no quote follows: literal
        {{"p", R"(a\"b)"}, R"(p "a\\\"b")"},           // doubled, then the escaped quote
        {{"p", R"(my dir\)"}, R"(p "my dir\\")"},      // before the closing quote
        {{"p", R"(a\\ b\\)"}, R"(p "a\\ b\\\\")"},     // only the trailing ones doubled
        {{"p", "Латвия", "Латвия и Литва"}, "p Латвия \"Латвия и Литва\""},
        {{R"(C:\Program Files\cli.exe)", "--x"}, R"("C:\Program Files\cli.exe" --x)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ChildProcess::commandLine(row.argv), row.line) << row.line;
    }
}

class ChildRun : public testing::Test {
protected:
    void start(const std::vector<std::string>& args) {
        const auto helper = sys::executablePath().parent_path() / DETECTOR_CHILD_HELPER;
        std::vector<std::string> argv = {sys::utf8FromPath(helper)};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string error;
        m_child = ChildProcess::start(argv, m_events, error);
        ASSERT_TRUE(m_child) << error;
    }
    // Collects until the child has ended or `until` holds; false after 30 s.
    bool run(const std::function<bool()>& until = {}) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            m_events.wait({m_child.get()}, 200ms);
            m_child->collect();
            m_child->takeErrorLines(m_lines);
            if ((until && until()) || (m_exit = m_child->finished())) {
                return true;
            }
        }
        return false;
    }

    ChildProcess::Events m_events;
    std::unique_ptr<ChildProcess> m_child;
    std::vector<std::string> m_lines;
    std::optional<ChildExit> m_exit;
};

TEST_F(ChildRun, ArgumentsArriveWholeAndOutputErrorsAndStatusComeBack) {
    const std::vector<std::string> args = {"two words", "",         R"(say "hi")",   R"(a\"b)",
                                           R"(dir\)",   "my dir\\", "Латвия и Литва"};
    std::vector<std::string> echo = {"echo"};
    echo.insert(echo.end(), args.begin(), args.end());
    ASSERT_NO_FATAL_FAILURE(start(echo));
    ASSERT_TRUE(run());
    ASSERT_TRUE(m_exit);
    EXPECT_FALSE(m_exit->signalled);
    EXPECT_EQ(m_exit->code, 7);
    EXPECT_EQ(nlohmann::json::parse(m_child->output(), nullptr, false), nlohmann::json(args))
        << m_child->output();
    EXPECT_EQ(m_lines, (std::vector<std::string>{"to standard error", "last words"}));
}

TEST_F(ChildRun, StopReachesTheChildAsCtrlCWould) {
    ASSERT_NO_FATAL_FAILURE(start({"wait-stop"}));
    ASSERT_TRUE(run([&] { return !m_lines.empty(); }));
    ASSERT_EQ(m_lines, std::vector<std::string>{"waiting"});
    m_child->stop();
    ASSERT_TRUE(run());
    ASSERT_TRUE(m_exit);
    EXPECT_EQ(m_exit->describe(), "the updater ended with status 5");
}

TEST(ChildProcessStartTest, AMissingProgramIsAnError) {
    ChildProcess::Events events;
    std::string error;
    const auto missing = sys::executablePath().parent_path() / "no-such-program.exe";
    EXPECT_FALSE(ChildProcess::start({sys::utf8FromPath(missing)}, events, error));
    EXPECT_NE(error.find("no-such-program.exe"), std::string::npos) << error;
}

} // namespace
