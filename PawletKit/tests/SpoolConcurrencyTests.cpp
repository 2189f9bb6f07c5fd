#include "PawletKit/SpoolReader.hpp"
#include "PawletKit/SpoolWriter.hpp"

#include "TestSupport.hpp"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace PawletKit;
using TestSupport::TemporaryDirectory;

namespace {

constexpr int writerCount = 16;
constexpr int eventsPerWriter = 2000;
// Writers stay at most this many lines ahead of the reader, so that however fast either side runs in a
// given build, the reader gets through the file in many polls and rotates it many times.
constexpr int64_t linesInFlight = 1500;

// Shared between the test and its writer processes.
struct Progress {
    std::atomic<int64_t> written { 0 };
    std::atomic<int64_t> received { 0 };
};
static_assert(std::atomic<int64_t>::is_always_lock_free);

SpoolEvent eventOf(int writer, int sequence)
{
    JSON::Value data { { "cwd", "/work/project" }, { "tool_use_id", std::to_string(writer) + "-" + std::to_string(sequence) } };
    return SpoolEvent(1, sequence, "PreToolUse", std::nullopt, "w" + std::to_string(writer), data);
}

// Runs in a forked child: waits for the start signal, then appends its events the way the agent tool
// does, one open, write and close per line.
[[noreturn]] void runWriter(Paths const& paths, int writer, int startSignal, Progress& progress)
{
    char go;
    if (::read(startSignal, &go, 1) != 0)
        ::_exit(3);
    try {
        SpoolWriter spool(paths);
        for (int sequence = 0; sequence < eventsPerWriter; ++sequence) {
            while (progress.written.load() - progress.received.load() > linesInFlight)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            spool.append(eventOf(writer, sequence));
            ++progress.written;
        }
    } catch (...) {
        ::_exit(2);
    }
    ::_exit(0);
}

}

// Real writer processes append to one file while the reader follows it and rotates it many times over.
TEST(SpoolConcurrency, EveryEventFromManyWriterProcessesArrivesExactlyOnce)
{
    TemporaryDirectory temporary;
    Paths paths = Paths::withBase(temporary.path());
    SpoolReader reader(paths, 128 * 1024);

    void* shared = ::mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    Progress* progress = new (shared) Progress;

    int startPipe[2];
    ASSERT_EQ(::pipe(startPipe), 0);
    std::vector<pid_t> children;
    for (int writer = 0; writer < writerCount; ++writer) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(startPipe[1]);
            runWriter(paths, writer, startPipe[0], *progress);
        }
        children.push_back(child);
    }
    ::close(startPipe[0]);
    ::close(startPipe[1]);

    std::vector<SpoolEvent> received;
    auto collect = [&] {
        for (auto& event : reader.poll())
            received.push_back(std::move(event));
        progress->received = static_cast<int64_t>(received.size());
    };
    size_t running = children.size();
    while (running > 0) {
        collect();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (auto& child : children) {
            int status = 0;
            if (child > 0 && ::waitpid(child, &status, WNOHANG) == child) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer failed: " << status;
                child = 0;
                --running;
            }
        }
    }
    // Every writer has closed its descriptor: what remains is in the current file or a retained one.
    collect();
    collect();

    std::map<std::string, int> seen;
    for (auto const& event : received) {
        auto id = event.stringAt({ "tool_use_id" }).value_or("?");
        ++seen[id];
        auto dash = id.find('-');
        ASSERT_NE(dash, std::string::npos) << id;
        EXPECT_EQ(event, eventOf(std::stoi(id.substr(0, dash)), std::stoi(id.substr(dash + 1))));
    }
    std::string missing;
    for (int writer = 0; writer < writerCount; ++writer)
        for (int sequence = 0; sequence < eventsPerWriter; ++sequence)
            if (!seen.contains(std::to_string(writer) + "-" + std::to_string(sequence)) && missing.size() < 200)
                missing += " " + std::to_string(writer) + "-" + std::to_string(sequence);
    EXPECT_EQ(missing, "") << "after " << reader.rotations() << " rotations";
    int duplicates = 0;
    for (auto const& [id, count] : seen)
        duplicates += count > 1;
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(seen.size(), size_t(writerCount * eventsPerWriter));
    EXPECT_EQ(received.size(), size_t(writerCount * eventsPerWriter));
    EXPECT_EQ(reader.droppedLines(), 0);
    EXPECT_GE(reader.rotations(), 5);
    ::munmap(shared, sizeof(Progress));
}
