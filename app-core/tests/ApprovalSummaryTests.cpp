#include "app-core/ApprovalSummary.hpp"
#include "app-core/ApprovalTexts.hpp"
#include "app-core/Localized.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using Tone = SummaryLine::Tone;

TEST(ApprovalSummary, LineTones)
{
    struct Case {
        char const* line;
        Tone expected;
    } const cases[] = {
        { "+++ b/notes.txt", Tone::secondary },
        { "+++", Tone::secondary },
        { "--- a/notes.txt", Tone::secondary },
        { "----", Tone::secondary },
        { "@@ -1,3 +1,4 @@", Tone::secondary },
        { "+added", Tone::added },
        { "++twice", Tone::added },
        { "+", Tone::added },
        { "-removed", Tone::removed },
        { "--twice", Tone::removed },
        { "-", Tone::removed },
        { " context", Tone::plain },
        { " +indented", Tone::plain },
        { "@ one at sign", Tone::plain },
        { "", Tone::plain },
        { "npm test", Tone::plain },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ApprovalSummary::tone(c.line), c.expected) << c.line;
}

TEST(ApprovalSummary, SplitsAtEveryLineFeed)
{
    struct Case {
        char const* summary;
        std::vector<SummaryLine> expected;
    } const cases[] = {
        { "--- a/x\n+++ b/x\n@@ -1 +1 @@\n-old\n+new\n same",
            { { "--- a/x", Tone::secondary }, { "+++ b/x", Tone::secondary }, { "@@ -1 +1 @@", Tone::secondary }, { "-old", Tone::removed },
                { "+new", Tone::added }, { " same", Tone::plain } } },
        { "ls -la", { { "ls -la", Tone::plain } } },
        { "a\n", { { "a", Tone::plain }, { "", Tone::plain } } },
        { "\n\n", { { "", Tone::plain }, { "", Tone::plain }, { "", Tone::plain } } },
        { "+a\r\n-b", { { "+a\r", Tone::added }, { "-b", Tone::removed } } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ApprovalSummary::lines(c.summary), c.expected) << c.summary;
}

TEST(ApprovalSummary, EmptySummarySaysSo)
{
    auto const lines = ApprovalSummary::lines("");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines.front().text, localized("approval.noSummary"));
    EXPECT_NE(lines.front().text, "approval.noSummary");
    EXPECT_EQ(lines.front().tone, Tone::plain);
}

TEST(ApprovalTexts, TargetAndRows)
{
    struct Case {
        char const* name;
        std::string target;
        std::string cwd;
        std::string targetLine;
        std::string row;
    } const cases[] = {
        { "path target and project", "/home/u/project/notes.txt", "/home/u/project/", "notes.txt  \xC2\xB7  project", "notes.txt" },
        { "no target", "", "/home/u/project/", "project", "project" },
        { "command target", "npm test", "/work/app", "npm test  \xC2\xB7  app", "npm test" },
        { "target at the root", "/notes.txt", "/", "notes.txt", "notes.txt" },
        { "neither", "", "", "", "" },
    };
    for (auto const& c : cases) {
        PawletKit::ApprovalRequest r;
        r.id = "r1";
        r.tool = "Edit";
        r.target = c.target;
        r.cwd = c.cwd;
        EXPECT_EQ(ApprovalTexts::targetLine(r), c.targetLine) << c.name;
        EXPECT_EQ(ApprovalTexts::rowTitle(r, true), "\xE2\x96\xB8  Edit  " + c.row) << c.name;
        EXPECT_EQ(ApprovalTexts::rowTitle(r, false), "   Edit  " + c.row) << c.name;
    }
}

TEST(ApprovalTexts, TruncationNoteAndHeading)
{
    struct Case {
        bool truncated;
        int64_t lines;
        std::optional<std::string> expected;
    } const cases[] = {
        { false, 0, std::nullopt },
        { false, 12, std::nullopt },
        { true, 0, localized("approval.truncated.short") },
        { true, -3, localized("approval.truncated.short") },
        { true, 1, localizedFormat("approval.truncated", { int64_t(1) }) },
        { true, 12, localizedFormat("approval.truncated", { int64_t(12) }) },
    };
    for (auto const& c : cases) {
        PawletKit::ApprovalRequest r;
        r.truncated = c.truncated;
        r.truncatedLines = c.lines;
        EXPECT_EQ(ApprovalTexts::truncationNote(r), c.expected) << c.truncated << " " << c.lines;
    }
    PawletKit::ApprovalRequest cut;
    cut.truncated = true;
    cut.truncatedLines = 12;
    auto const twelve = ApprovalTexts::truncationNote(cut);
    ASSERT_TRUE(twelve);
    EXPECT_NE(twelve->find("12"), std::string::npos);
    EXPECT_NE(ApprovalTexts::heading(3).find("3"), std::string::npos);
    EXPECT_EQ(ApprovalTexts::heading(3), localizedFormat("approval.many", { int64_t(3) }));
}
