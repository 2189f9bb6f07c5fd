#include "platform/Log.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// What Log::line writes to standard error, caught in a temporary file.
std::string loggedBy(std::string_view text)
{
    std::FILE* file = std::tmpfile();
    if (!file)
        return "no temporary file";
    int const saved = ::dup(STDERR_FILENO);
    ::dup2(::fileno(file), STDERR_FILENO);
    Platform::Log::line(text);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::string written;
    std::rewind(file);
    char buffer[256];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        written.append(buffer, count);
    std::fclose(file);
    return written;
}

}

TEST(Log, AValueFromOutsideStaysOnItsLine)
{
    struct Case {
        std::string text;
        std::string written;
    };
    Case const cases[] {
        { "codex: sessions folder /tmp/x\n[Pupnik] forged\x1b[2J", "[Pupnik] codex: sessions folder /tmp/x\\n[Pupnik] forged\\u{1B}[2J\n" },
        { "a\rb\tc\x7f"
          "d",
            "[Pupnik] a\\rb\\tc\\u{7F}d\n" },
        // The C1 controls (U+0080 to U+009F) as UTF-8; other characters pass as they are.
        { "x\xc2\x9b"
          "31m — Пупник \\n",
            "[Pupnik] x\\u{9B}31m — Пупник \\n\n" },
        { "", "[Pupnik] \n" },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(loggedBy(c.text), c.written);
    }
}
