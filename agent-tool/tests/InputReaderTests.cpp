#include "PawletKit/FileDescriptor.hpp"
#include "agent-tool/InputReader.hpp"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace AgentTool;

namespace {

struct Pipe {
    PawletKit::FileDescriptor readEnd;
    PawletKit::FileDescriptor writeEnd;

    Pipe()
    {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        readEnd = PawletKit::FileDescriptor(fds[0]);
        writeEnd = PawletKit::FileDescriptor(fds[1]);
    }
};

bool writeAll(int fd, std::string const& bytes)
{
    size_t offset = 0;
    while (offset < bytes.size()) {
        ssize_t written = ::write(fd, bytes.data() + offset, bytes.size() - offset);
        if (written <= 0)
            return false;
        offset += static_cast<size_t>(written);
    }
    return true;
}

}

TEST(InputReader, ReadsUntilEndOfInput)
{
    Pipe pipe;
    std::string const input = R"({"session_id":"s1"})";
    ASSERT_TRUE(writeAll(pipe.writeEnd.get(), input));
    pipe.writeEnd.reset();
    EXPECT_EQ(InputReader::read(pipe.readEnd.get(), { InputReader::hookCap, 500, 2000 }), input);
}

TEST(InputReader, SilentWriterGivesNothing)
{
    Pipe pipe;
    EXPECT_EQ(InputReader::read(pipe.readEnd.get(), { InputReader::hookCap, 50, 2000 }), "");
}

TEST(InputReader, StalledWriterIsCutOffAtTheTotalLimit)
{
    // The writer keeps the pipe open and trickles bytes; the reader must return on its own.
    Pipe pipe;
    std::atomic<bool> stop { false };
    std::thread writer([&] {
        while (!stop) {
            if (::write(pipe.writeEnd.get(), "x", 1) != 1)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::string read = InputReader::read(pipe.readEnd.get(), { InputReader::hookCap, 100, 300 });
    bool writerStillRunning = !stop;
    stop = true;
    writer.join();
    EXPECT_TRUE(writerStillRunning);
    EXPECT_FALSE(read.empty());
    EXPECT_EQ(read.find_first_not_of('x'), std::string::npos);
}

TEST(InputReader, CutsAtTheCapAndDrainsTheRest)
{
    Pipe pipe;
    std::string const input(70'000, 'a');
    bool written = false;
    std::thread writer([&] {
        written = writeAll(pipe.writeEnd.get(), input);
        pipe.writeEnd.reset();
    });
    std::string read = InputReader::read(pipe.readEnd.get(), { InputReader::hookCap, 2000, 10'000 });
    writer.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(read.size(), InputReader::hookCap);
    // The drain read everything: nothing is left in the pipe.
    char byte;
    EXPECT_EQ(::read(pipe.readEnd.get(), &byte, 1), 0);
}

TEST(InputReader, LargerCapReadsEverything)
{
    Pipe pipe;
    std::string const input(70'000, 'b');
    std::thread writer([&] {
        writeAll(pipe.writeEnd.get(), input);
        pipe.writeEnd.reset();
    });
    std::string read = InputReader::read(pipe.readEnd.get(), { InputReader::permissionRequestCap, 2000, 10'000 });
    writer.join();
    EXPECT_EQ(read, input);
}

TEST(InputReader, TerminalGivesNothingAtOnce)
{
    PawletKit::FileDescriptor master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.isValid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0)
        GTEST_SKIP() << "no pseudo-terminal available";
    PawletKit::FileDescriptor terminal(::open(::ptsname(master.get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(terminal.isValid());
    ASSERT_TRUE(writeAll(master.get(), "typed\n"));
    EXPECT_EQ(InputReader::read(terminal.get(), { InputReader::hookCap, 60'000, 60'000 }), "");
}

TEST(InputReader, ClosedDescriptorGivesNothing)
{
    EXPECT_EQ(InputReader::read(-1, { InputReader::hookCap, 500, 2000 }), "");
}
