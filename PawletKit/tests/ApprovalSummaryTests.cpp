#include "PawletKit/ApprovalSummary.hpp"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PawletKit;
using JSON::Value;
namespace fs = std::filesystem;

namespace {

ApprovalSummary::Result summarize(std::string_view tool, Value const& input, ApprovalSummary::FileReader const& reader = {})
{
    return ApprovalSummary::summarize(tool, &input, reader);
}

// "l1\n" ... "ln\n", with the numbered lines in `changed` written in upper case.
std::string numberedLines(int count, std::initializer_list<int> changed = {})
{
    std::string text;
    for (int i = 1; i <= count; ++i) {
        bool const upper = std::find(changed.begin(), changed.end(), i) != changed.end();
        text += (upper ? "L" : "l") + std::to_string(i) + "\n";
    }
    return text;
}

std::string lines(std::initializer_list<std::string> parts)
{
    std::string text;
    for (auto const& part : parts) {
        if (!text.empty())
            text += '\n';
        text += part;
    }
    return text;
}

std::string repeated(std::string const& piece, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

}

TEST(ApprovalSummary, EditShowsAUnifiedDiff)
{
    std::string const eAcute = "\xC3\xA9";
    std::string const eCombining = "e\xCC\x81";
    struct Case {
        char const* name;
        std::string oldText;
        std::string newText;
        std::string expected;
        int64_t leftOut;
    };
    Case const cases[] = {
        { "one line replaced", "a\nb\nc\n", "a\nB\nc\n",
            lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,3 +1,3 @@", " a", "-b", "+B", " c" }), 0 },
        { "equal texts", "a\nb\n", "a\nb\n", "", 0 },
        { "empty old side", "", "x\ny\n", lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,0 +1,2 @@", "+x", "+y" }), 0 },
        { "empty new side", "x\ny", "", lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,2 +1,0 @@", "-x", "-y" }), 0 },
        { "a lone line feed is one empty line", "\n", "a\n", lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,1 +1,1 @@", "-", "+a" }), 0 },
        { "changes seven lines apart", numberedLines(20), numberedLines(20, { 2, 19 }),
            lines({ "--- a/x.txt", "+++ b/x.txt",
                "@@ -1,5 +1,5 @@", " l1", "-l2", "+L2", " l3", " l4", " l5",
                "@@ -16,5 +16,5 @@", " l16", " l17", " l18", "-l19", "+L19", " l20" }),
            0 },
        { "six unchanged lines between share a hunk", numberedLines(20), numberedLines(20, { 2, 9 }),
            lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,12 +1,12 @@", " l1", "-l2", "+L2", " l3", " l4", " l5", " l6", " l7", " l8",
                "-l9", "+L9", " l10", " l11", " l12" }),
            0 },
        { "seven unchanged lines between split", numberedLines(20), numberedLines(20, { 2, 10 }),
            lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,5 +1,5 @@", " l1", "-l2", "+L2", " l3", " l4", " l5", "@@ -7,7 +7,7 @@", " l7",
                " l8", " l9", "-l10", "+L10", " l11", " l12", " l13" }),
            0 },
        { "insertion and removal shift the new numbers", "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\n", "new\na\nb\nc\nd\ne\nf\ng\nh\ni\nj\nl\n",
            lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,3 +1,4 @@", "+new", " a", " b", " c", "@@ -8,5 +9,4 @@", " h", " i", " j", "-k",
                " l" }),
            0 },
        { "canonically equal lines are unchanged", "caf" + eAcute + "\nx\n", "caf" + eCombining + "\ny\n",
            lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,2 +1,2 @@", " caf" + eAcute, "-x", "+y" }), 0 },
        { "case, trailing space and carriage return count", "a\nb\nc\r\n", "A\nb \nc\n",
            lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,3 +1,3 @@", "-a", "-b", "-c\r", "+A", "+b ", "+c" }), 0 },
        { "only the first 600 lines are compared", numberedLines(700), numberedLines(700, { 601, 700 }), "", 0 },
        { "50 collected lines keep 40", "", numberedLines(49),
            [] {
                std::string text = lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,0 +1,49 @@" });
                for (int i = 1; i <= 39; ++i)
                    text += "\n+l" + std::to_string(i);
                return text;
            }(),
            10 },
        { "40 collected lines are all shown", "", numberedLines(39),
            [] {
                std::string text = lines({ "--- a/x.txt", "+++ b/x.txt", "@@ -1,0 +1,39 @@" });
                for (int i = 1; i <= 39; ++i)
                    text += "\n+l" + std::to_string(i);
                return text;
            }(),
            0 },
    };
    for (auto const& c : cases) {
        auto result = summarize("Edit", Value { { "file_path", "/p/x.txt" }, { "old_string", c.oldText }, { "new_string", c.newText } });
        EXPECT_EQ(result, (ApprovalSummary::Result { "/p/x.txt", c.expected, c.leftOut > 0, c.leftOut })) << c.name << "\n"
                                                                                                          << result.summary;
    }
}

TEST(ApprovalSummary, FileEditingTools)
{
    std::vector<std::string> counted;
    ApprovalSummary::FileReader const reader = [&](std::string const& path) -> std::optional<std::string> {
        counted.push_back(path);
        if (path == "/p/exists.txt")
            return "one\ntwo\n";
        return std::nullopt;
    };
    struct Case {
        char const* tool;
        Value input;
        ApprovalSummary::Result expected;
    };
    Case const cases[] = {
        { "Edit", Value { { "old_string", "a" }, { "new_string", "b" }, { "replace_all", true } },
            { "", lines({ "--- a/file", "+++ b/file", "@@ -1,1 +1,1 @@", "-a", "+b" }) } },
        { "Edit", Value { { "file_path", "/tmp/a/" }, { "old_string", "a" }, { "new_string", 7 } },
            { "/tmp/a/", lines({ "--- a/a", "+++ b/a", "@@ -1,1 +1,1 @@", "-a", "+7" }) } },
        { "NotebookEdit", Value { { "notebook_path", "/n/nb.ipynb" }, { "cell_id", "c1" }, { "new_source", "x\ny\n" } },
            { "/n/nb.ipynb", "cell c1\n" + lines({ "--- a/nb.ipynb", "+++ b/nb.ipynb", "@@ -1,0 +1,2 @@", "+x", "+y" }) } },
        { "NotebookEdit",
            Value { { "notebook_path", "" }, { "file_path", "/f" }, { "cell_id", "" }, { "old_source", "s" }, { "old_string", "o" },
                { "new_string", "s" } },
            { "", "cell \n" } },
        { "NotebookEdit", Value { { "notebook_path", nullptr }, { "file_path", "/f/g" }, { "old_string", "o" }, { "new_string", "n" } },
            { "/f/g", lines({ "--- a/g", "+++ b/g", "@@ -1,1 +1,1 @@", "-o", "+n" }) } },
        { "Write", Value { { "file_path", "/p/exists.txt" }, { "content", "one\n2\n" } },
            { "/p/exists.txt", lines({ "--- a/exists.txt", "+++ b/exists.txt", "@@ -1,2 +1,2 @@", " one", "-two", "+2" }) } },
        { "Write", Value { { "file_path", "/p/new.txt" }, { "content", "a\nb" } }, { "/p/new.txt", lines({ "new file: /p/new.txt", "+a", "+b" }) } },
        { "Write", Value { { "file_path", "/p/new.txt" }, { "content", "" } }, { "/p/new.txt", "new file: /p/new.txt" } },
        { "Write", Value { { "content", "a" } }, { "", lines({ "new file: ", "+a" }) } },
        { "Write", Value { { "file_path", "/p/new.txt" }, { "content", numberedLines(45) } },
            { "/p/new.txt",
                [] {
                    std::string text = "new file: /p/new.txt";
                    for (int i = 1; i <= 40; ++i)
                        text += "\n+l" + std::to_string(i);
                    return text;
                }(),
                true, 5 } },
        { "MultiEdit", Value { { "file_path", "/p/m.c" }, { "edits", "not an array" } }, { "/p/m.c", "" } },
        { "MultiEdit", Value { { "file_path", "/p/m.c" }, { "edits", Value::array() } }, { "/p/m.c", "" } },
        { "MultiEdit", Value { { "file_path", "/p/m.c" }, { "edits", Value::array({ Value { { "old_string", "a\nb\n" }, { "new_string", "a\nc" } }, 5 }) } },
            { "/p/m.c", lines({ "--- edit 1/2 \xE2\x80\x94 m.c: -2 +2", "-a", "-b", "+a", "+c", "--- edit 2/2 \xE2\x80\x94 m.c: -0 +0" }) } },
    };
    for (auto const& c : cases) {
        counted.clear();
        EXPECT_EQ(summarize(c.tool, c.input, reader), c.expected) << c.tool << " " << c.input << "\n"
                                                                  << summarize(c.tool, c.input, reader).summary;
    }
    counted.clear();
    summarize("Write", Value { { "file_path", "" }, { "content", "a" } }, reader);
    EXPECT_TRUE(counted.empty());
    summarize("Write", Value { { "file_path", "/p/exists.txt" }, { "content", "a" } }, reader);
    EXPECT_EQ(counted, std::vector<std::string> { "/p/exists.txt" });
}

TEST(ApprovalSummary, MultiEditBudgetSpansEdits)
{
    Value const edit { { "old_string", numberedLines(30) }, { "new_string", numberedLines(30, { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 }) } };
    auto result = summarize("MultiEdit", Value { { "file_path", "/p/m.c" }, { "edits", Value::array({ edit, edit }) } });
    std::vector<std::string> shown;
    std::string line;
    std::istringstream stream(result.summary);
    while (std::getline(stream, line))
        shown.push_back(line);
    ASSERT_EQ(shown.size(), 42u);
    EXPECT_EQ(shown[0], "--- edit 1/2 \xE2\x80\x94 m.c: -30 +30");
    EXPECT_EQ(shown[1], "-l1");
    EXPECT_EQ(shown[30], "-l30");
    EXPECT_EQ(shown[31], "+L1");
    EXPECT_EQ(shown[40], "+L10");
    EXPECT_EQ(shown[41], "--- edit 2/2 \xE2\x80\x94 m.c: -30 +30");
    EXPECT_TRUE(result.truncated);
    EXPECT_EQ(result.truncatedLines, 80);
}

TEST(ApprovalSummary, CommandAndWebTools)
{
    struct Case {
        char const* tool;
        Value input;
        ApprovalSummary::Result expected;
    };
    Case const cases[] = {
        { "Bash", Value { { "command", "npm test" }, { "description", "Run tests" } }, { "Run tests", "npm test" } },
        { "BashOutput", Value { { "command", 5 } }, { "", "5" } },
        { "KillShell", Value { { "command", "kill" }, { "description", true } }, { "", "kill" } },
        { "WebFetch", Value { { "url", "https://x.test/a" }, { "prompt", "sum it up" } }, { "https://x.test/a", "https://x.test/a\nsum it up" } },
        { "WebFetch", Value { { "url", "https://x.test/a" }, { "prompt", "" } }, { "https://x.test/a", "https://x.test/a" } },
        { "WebSearch", Value { { "query", "weather" }, { "url", "ignored" } }, { "", "weather" } },
        { "Other", Value { { "file_path", "/a/b/c" } }, { "", R"({"file_path":"/a/b/c"})" } },
        { "Other", Value { { "b", 1 }, { "a", Value::array({ true, nullptr }) } }, { "", R"({"a":[true,null],"b":1})" } },
        { "Other", Value("not an object"), { "", "{}" } },
        { "bash", Value { { "command", "ls" } }, { "", R"({"command":"ls"})" } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(summarize(c.tool, c.input), c.expected) << c.tool << " " << c.input;
    EXPECT_EQ(ApprovalSummary::summarize("Other", nullptr, {}), (ApprovalSummary::Result { "", "{}" }));
    EXPECT_EQ(ApprovalSummary::summarize("Bash", nullptr, {}), (ApprovalSummary::Result {}));
}

TEST(ApprovalSummary, CapsCountCharactersNotBytes)
{
    std::string const eCombining = "e\xCC\x81";
    std::string const header = lines({ "--- a/f", "+++ b/f", "@@ -1,0 +1,1 @@", "+" });
    std::string const description(3000, 'd');
    struct Case {
        char const* name;
        char const* tool;
        Value input;
        std::string expectedSummary;
        bool truncated;
    };
    Case const cases[] = {
        { "2000 characters", "Bash", Value { { "command", repeated(eCombining, 2000) }, { "description", description } }, repeated(eCombining, 2000), false },
        { "2001 characters", "Bash", Value { { "command", repeated(eCombining, 2001) }, { "description", description } }, repeated(eCombining, 2000), true },
        { "2500 characters", "Bash", Value { { "command", std::string(2500, 'c') }, { "description", description } }, std::string(2000, 'c'), true },
        { "web address and prompt", "WebFetch", Value { { "url", "u" }, { "prompt", std::string(2000, 'p') } }, "u\n" + std::string(1998, 'p'), true },
        { "search", "WebSearch", Value { { "query", std::string(2001, 'q') } }, std::string(2000, 'q'), true },
        { "fallback 200", "Other", Value { { "k", std::string(192, 'v') } }, R"({"k":")" + std::string(192, 'v') + R"("})", false },
        { "fallback 201", "Other", Value { { "k", std::string(193, 'v') } }, R"({"k":")" + std::string(193, 'v') + "\"", true },
        { "whole summary 20000", "Edit", Value { { "file_path", "f" }, { "new_string", std::string(20000 - header.size(), 'x') } },
            header + std::string(20000 - header.size(), 'x'), false },
        { "whole summary 20001", "Edit", Value { { "file_path", "f" }, { "new_string", std::string(20001 - header.size(), 'x') } },
            header + std::string(20000 - header.size(), 'x'), true },
    };
    for (auto const& c : cases) {
        auto result = summarize(c.tool, c.input);
        EXPECT_EQ(result.summary, c.expectedSummary) << c.name;
        EXPECT_EQ(result.truncated, c.truncated) << c.name;
        EXPECT_EQ(result.truncatedLines, 0) << c.name;
    }
    EXPECT_EQ(summarize("Bash", Value { { "command", "x" }, { "description", description } }).target, description);
}

namespace {

// Runs the read in a child process so that a read that blocks fails the test instead of hanging it.
// Gives the child's answer (whether content came back), or nothing when it did not answer in time.
std::optional<bool> readsContentWithoutBlocking(std::string const& path)
{
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        char answer = ApprovalSummary::readTargetFile(path) ? '1' : '0';
        (void)!write(fds[1], &answer, 1);
        _exit(0);
    }
    close(fds[1]);
    pollfd waiting { fds[0], POLLIN, 0 };
    std::optional<bool> result;
    char answer = 0;
    // A watchdog for a read that never returns, far above any real read's time.
    if (poll(&waiting, 1, 10000) == 1 && read(fds[0], &answer, 1) == 1)
        result = answer == '1';
    close(fds[0]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return result;
}

class TargetFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "approval-summary-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root;
};

}

TEST_F(TargetFileTest, HostilePathsGiveNoContentWithoutBlocking)
{
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
    fs::create_directory(root / "folder");
    {
        // Sparse: claims one byte more than the cap.
        std::ofstream(root / "oversize");
        fs::resize_file(root / "oversize", ApprovalSummary::maxFileBytes + 1);
    }
    std::ofstream(root / "latin1", std::ios::binary) << "caf\xE9\n";
    fs::create_symlink(root / "fifo", root / "link-to-fifo");
    for (std::string const& path : { (root / "fifo").string(), std::string("/dev/zero"), std::string("/dev/null"), (root / "folder").string(),
             (root / "oversize").string(), (root / "missing").string(), (root / "latin1").string(), (root / "link-to-fifo").string(), std::string() })
        EXPECT_EQ(readsContentWithoutBlocking(path), false) << path;
}

TEST_F(TargetFileTest, ReadsRegularFilesUpToTheCap)
{
    std::string const atCap(static_cast<size_t>(ApprovalSummary::maxFileBytes), 'a');
    std::ofstream(root / "at-cap", std::ios::binary) << atCap;
    std::ofstream(root / "text", std::ios::binary) << "caf\xC3\xA9\nline two";
    std::ofstream(root / "empty");
    fs::create_symlink(root / "text", root / "link");
    EXPECT_EQ(ApprovalSummary::readTargetFile((root / "at-cap").string()), atCap);
    EXPECT_EQ(ApprovalSummary::readTargetFile((root / "text").string()), "caf\xC3\xA9\nline two");
    EXPECT_EQ(ApprovalSummary::readTargetFile((root / "link").string()), "caf\xC3\xA9\nline two");
    EXPECT_EQ(ApprovalSummary::readTargetFile((root / "empty").string()), "");

    std::string const over = atCap + "b\n";
    std::ofstream(root / "over", std::ios::binary) << over;
    Value const input { { "file_path", (root / "over").string() }, { "content", "x\n" } };
    auto result = ApprovalSummary::summarize("Write", &input, ApprovalSummary::readTargetFile);
    EXPECT_EQ(result.summary, "new file: " + (root / "over").string() + "\n+x");
}
