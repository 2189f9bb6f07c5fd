#include "PawletKit/ProcInfo.hpp"

#include <gtest/gtest.h>

using namespace PawletKit;
using JSON::Value;

TEST(ProcInfo, ReadsTheProcMemberLeniently)
{
    struct Case {
        char const* json;
        std::optional<ProcInfo> expected;
    };
    Case const cases[] = {
        { R"J({"pids": [0, -1, 3.7, "12", true], "names": ["zsh", 5], "tty": null})J", ProcInfo({ 3, 12 }, { "zsh" }, std::nullopt) },
        { R"J({"names": ["zsh"], "tty": "ttys001"})J", std::nullopt },
        { R"J({"pids": [0, 2147483648, 9.3e18, "x"]})J", std::nullopt },
        { R"J({"pids": [2147483647, 1], "tty": "ttys001/"})J", ProcInfo({ 2147483647, 1 }, {}, std::nullopt) },
        { R"J({"pids": [5], "names": "zsh", "tty": "pts/3"})J", ProcInfo({ 5 }, {}, "pts/3") },
        { R"J({"pids": "5"})J", std::nullopt },
        { R"J([5])J", std::nullopt },
        { R"J({"pids": [1,2,3,4,5,6,7,8,9,10], "names": ["a","b","c","d","e","f","g","h","i"], "tty": 5})J",
            ProcInfo({ 1, 2, 3, 4, 5, 6, 7, 8 }, { "a", "b", "c", "d", "e", "f", "g", "h" }, std::nullopt) },
    };
    for (auto const& c : cases) {
        Value value = JSON::parse(c.json);
        EXPECT_EQ(ProcInfo::fromJSON(&value), c.expected) << c.json;
    }
    EXPECT_EQ(ProcInfo::fromJSON(nullptr), std::nullopt);
}

TEST(ProcInfo, KeepsItsLimits)
{
    std::string longName(70, 'n');
    std::vector<std::string> names(9, longName);
    ProcInfo info({ 1, 2, 3, 4, 5, 6, 7, 8, 9 }, names, "ttys003");
    EXPECT_EQ(info.pids.size(), 8u);
    ASSERT_EQ(info.names.size(), 8u);
    for (auto const& name : info.names)
        EXPECT_EQ(name, std::string(64, 'n'));
    EXPECT_EQ(info.tty, "ttys003");

    EXPECT_EQ(ProcInfo({ 1 }, {}, std::nullopt).jsonObject(), JSON::parse(R"J({"pids": [1], "names": [], "tty": null})J"));
    Value round = ProcInfo({ 7, 9 }, { "claude", "bash" }, "pts/4").jsonObject();
    EXPECT_EQ(round, JSON::parse(R"J({"pids": [7, 9], "names": ["claude", "bash"], "tty": "pts/4"})J"));
    EXPECT_EQ(ProcInfo::fromJSON(&round), ProcInfo({ 7, 9 }, { "claude", "bash" }, "pts/4"));
}

TEST(ProcInfo, TerminalNames)
{
    struct Case {
        std::string name;
        bool valid;
    };
    Case const cases[] = {
        { "ttys000", true },
        { "ttyp1", true },
        { "tty1", true },
        { "ttyS0", true },
        { "pts/0", true },
        { "pts/12345", true },
        { "tty" + std::string(29, 'a'), true },
        { "tty" + std::string(30, 'a'), false },
        { "pts/" + std::string(28, '1'), true },
        { "pts/" + std::string(29, '1'), false },
        { "tty", false },
        { "console", false },
        { "/dev/ttys000", false },
        { "/dev/pts/1", false },
        { "ttys-1", false },
        { "tty.1", false },
        { "tty 1", false },
        { "ttyé", false },
        { "ttys00/", false },
        { "pts/", false },
        { "pts/1/2", false },
        { "pts/a", false },
        { "pts/1 ", false },
        { "../pts/1", false },
        { std::string("tty1\0", 5), false },
        { "", false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ProcInfo::isValidTTYName(c.name), c.valid) << c.name;
}
