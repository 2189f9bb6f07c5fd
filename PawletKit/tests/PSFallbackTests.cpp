#include "PawletKit/PSFallback.hpp"

#include "TestSupport.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace PawletKit;
namespace fs = std::filesystem;

namespace {

fs::path script(TestSupport::TemporaryDirectory const& directory, std::string const& body)
{
    fs::path const path = directory.path() / "ps";
    TestSupport::writeFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

}

TEST(PSFallback, ParsesPidCPUAndCommand)
{
    struct Case {
        std::string text;
        std::vector<ProcessSample> expected;
    };
    Case const cases[] = {
        { "  501  12.5 /usr/local/bin/aider\n", { { "aider", 501, 12.5 } } },
        { "501 12.5 aider", { { "aider", 501, 12.5 } } },
        { "501 0.0 /Applications/My Tools/bin/aider\n", { { "aider", 501, 0 } } },
        { "501 1 /opt/aider dir/not aider\n", {} },
        { "501 1    /usr/bin/aider  \t\n", { { "aider", 501, 1 } } },
        { "501 1 /usr/bin/aider/\n", { { "aider", 501, 1 } } },
        { "501 12.5\n", {} },
        { "501 12.5 \n", {} },
        { "abc 12.5 aider\n", {} },
        { "501 lots aider\n", {} },
        { "501x 1 aider\n", {} },
        { "99999999999 1 aider\n", {} },
        { "501 1 Aider\n", {} },
        { "\n\n1 2 gemini\n\n3 4 aider\n5 6 bash\n", { { "gemini", 1, 2 }, { "aider", 3, 4 } } },
        { "", {} },
    };
    ProcessNames const names { "aider", "gemini" };
    for (auto const& c : cases)
        EXPECT_EQ(PSFallback::parsePS(c.text, names), c.expected) << c.text;
    EXPECT_TRUE(PSFallback::parsePS("501 1 aider\n", {}).empty());
}

TEST(PSFallback, RunsTheProgramWithPlainFigures)
{
    TestSupport::TemporaryDirectory temporary;
    // The C locale, so no decimal comma can hide a figure; the column request as asked.
    PSFallback::Limits limits;
    limits.program = script(temporary, "echo \"7 1.5 /x/$LC_ALL\"\necho \"8 2.5 $1/$2\"\n");
    EXPECT_EQ(PSFallback::sampleWithPS({ "C", "pid=,pcpu=,comm=" }, limits),
        (std::vector<ProcessSample> { { "C", 7, 1.5 }, { "pid=,pcpu=,comm=", 8, 2.5 } }));
    limits.program = temporary.path() / "missing";
    EXPECT_TRUE(PSFallback::sampleWithPS({ "C" }, limits).empty());
}

TEST(PSFallback, AHangingProgramIsKilledAndItsCompleteLinesKept)
{
    TestSupport::TemporaryDirectory temporary;
    PSFallback::Limits limits;
    // Long enough for a loaded machine to start the script and let it print; the hang is what ends it.
    limits.timeoutSeconds = 3;
    limits.program = script(temporary, "printf '1 10 aider\\n2 20 aider\\n3 3'\nexec sleep 600\n");
    EXPECT_EQ(PSFallback::sampleWithPS({ "aider" }, limits), (std::vector<ProcessSample> { { "aider", 1, 10 }, { "aider", 2, 20 } }));
    // One that closes its output but lingers is not waited for either.
    limits.program = script(temporary, "echo '4 40 aider'\nexec sleep 600 >/dev/null\n");
    EXPECT_EQ(PSFallback::sampleWithPS({ "aider" }, limits), (std::vector<ProcessSample> { { "aider", 4, 40 } }));
}

TEST(PSFallback, OutputIsBounded)
{
    TestSupport::TemporaryDirectory temporary;
    PSFallback::Limits limits;
    limits.maxOutputBytes = 64 * 1024;
    limits.program = script(temporary, "exec yes '1 1 aider'\n");
    auto samples = PSFallback::sampleWithPS({ "aider" }, limits);
    EXPECT_GT(samples.size(), 0u);
    EXPECT_LE(samples.size(), limits.maxOutputBytes / std::string("1 1 aider\n").size());
}

TEST(PSFallback, RealPSFindsThisProcess)
{
    if (access("/bin/ps", X_OK) != 0)
        GTEST_SKIP() << "no /bin/ps";
    std::string comm;
    {
        FILE* file = fopen("/proc/self/comm", "r");
        ASSERT_TRUE(file);
        char buffer[64] = {};
        ASSERT_TRUE(fgets(buffer, sizeof buffer, file));
        fclose(file);
        comm = buffer;
        comm.erase(comm.find_last_not_of('\n') + 1);
    }
    auto samples = PSFallback::sampleWithPS({ comm });
    bool found = false;
    for (auto const& sample : samples)
        found |= sample.pid == getpid() && sample.name == comm;
    EXPECT_TRUE(found) << comm;
}
