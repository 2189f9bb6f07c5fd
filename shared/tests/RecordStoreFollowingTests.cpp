#include "PawletKit/tests/TestSupport.hpp"
#include "helpers/SampleSnapshots.hpp"
#include "platform/LocalCloudDatabase.hpp"
#include "platform/ManualScheduler.hpp"
#include "platform/MemoryDefaultsStore.hpp"
#include "shared/CloudKitTransport.hpp"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace PawletShared;
using namespace Platform;

namespace {

// The record writer in a process of its own, driven line by line over its standard input and output.
class WriterProcess final {
public:
    explicit WriterProcess(std::filesystem::path const& folder)
    {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        std::string program = PUPNIK_RECORD_WRITER_PATH;
        std::string argument = folder.string();
        char* arguments[] = { program.data(), argument.data(), nullptr };
        int result = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, arguments, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_input = toChild[1];
        m_output = fromChild[0];
        if (result != 0)
            throw std::runtime_error("cannot start " + program);
    }
    ~WriterProcess()
    {
        ::close(m_input);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
        ::close(m_output);
    }

    void send(std::string const& command)
    {
        std::string line = command + "\n";
        ASSERT_EQ(::write(m_input, line.data(), line.size()), ssize_t(line.size()));
    }
    bool hasLine(int waitMilliseconds)
    {
        if (m_buffer.find('\n') != std::string::npos)
            return true;
        pollfd descriptor { m_output, POLLIN, 0 };
        if (::poll(&descriptor, 1, waitMilliseconds) <= 0)
            return false;
        char chunk[256];
        ssize_t got = ::read(m_output, chunk, sizeof chunk);
        if (got > 0)
            m_buffer.append(chunk, size_t(got));
        return m_buffer.find('\n') != std::string::npos;
    }
    // The next line; empty when the writer stays silent far longer than any save takes.
    std::string line()
    {
        for (int attempt = 0; attempt < 600 && !hasLine(100); ++attempt) { }
        auto end = m_buffer.find('\n');
        if (end == std::string::npos)
            return {};
        auto text = m_buffer.substr(0, end);
        m_buffer.erase(0, end + 1);
        return text;
    }

private:
    pid_t m_pid { -1 };
    int m_input { -1 };
    int m_output { -1 };
    std::string m_buffer;
};

}

TEST(RecordStoreFollowing, EachSnapshotSavedByAnotherProcessArrivesOnceAndInOrder)
{
    TestSupport::TemporaryDirectory home;
    auto folder = home.path() / "cloud" / std::string(CloudKitTransport::containerIdentifier);
    WriterProcess writer(folder);

    ManualScheduler mainThread;
    auto database = std::make_shared<LocalCloudDatabase>(folder);
    MemoryDefaultsStore defaults;
    CloudKitTransport transport(database, defaults, mainThread);
    std::vector<PetSnapshot> delivered;
    std::vector<TransportAvailability> reports;
    transport.onSnapshot = [&](PetSnapshot const& snapshot) { delivered.push_back(snapshot); };
    transport.onAvailability = [&](TransportAvailability const& availability) { reports.push_back(availability); };
    transport.start();
    mainThread.runPosted();
    EXPECT_EQ(reports, (std::vector(2, TransportAvailability::available()))) << "no record yet counts as available";

    std::vector<PetSnapshot> expected;
    for (int n = 1; n <= 8; ++n) {
        writer.send("save " + std::to_string(n));
        ASSERT_EQ(writer.line(), "saved " + std::to_string(n));
        // Saved again unchanged, and polled more than once: still one delivery.
        if (n % 2 == 0) {
            writer.send("save " + std::to_string(n));
            ASSERT_EQ(writer.line(), "saved " + std::to_string(n));
            mainThread.advance(CloudKitTransport::pollInterval);
        }
        mainThread.advance(CloudKitTransport::pollInterval);
        expected.push_back(SampleSnapshots::numbered(n));
    }
    EXPECT_EQ(delivered, expected);
    EXPECT_EQ(defaults.boolean(CloudKitTransport::subscriptionFlagKey), true);

    // While the other process saves as fast as it can, every read finds a whole record.
    writer.send("flood 400");
    std::vector<PetSnapshot> allowed { SampleSnapshots::numbered(8), SampleSnapshots::numbered(1000), SampleSnapshots::numbered(1001) };
    int reads = 0;
    while (!writer.hasLine(0)) {
        database->fetch(std::string(CloudKitTransport::recordName), [&](std::optional<CloudRecord> record, std::optional<CloudError> error) {
            ASSERT_FALSE(error) << error->description;
            auto snapshot = CloudKitTransport::snapshot(*record);
            ASSERT_TRUE(snapshot);
            EXPECT_NE(std::find(allowed.begin(), allowed.end(), *snapshot), allowed.end()) << snapshot->encoded();
        });
        ++reads;
        if (::testing::Test::HasFailure())
            break;
    }
    ASSERT_EQ(writer.line(), "flooded");
    RecordProperty("readsDuringSaves", reads);
    mainThread.advance(CloudKitTransport::pollInterval);
    ASSERT_EQ(delivered.size(), expected.size() + 1);
    EXPECT_EQ(delivered.back(), SampleSnapshots::numbered(1001));
}
