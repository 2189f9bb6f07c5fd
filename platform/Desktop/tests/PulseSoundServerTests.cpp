#include "PawletKit/tests/TestSupport.hpp"
#include "platform/Desktop/PulseSoundServer.hpp"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Platform;
namespace fs = std::filesystem;

namespace {

// A tenth of a second of a quiet tone, as the pet's files hold it.
WaveFile tone()
{
    WaveFile wave;
    wave.channels = 1;
    wave.sampleRate = 44100;
    wave.bitsPerSample = 16;
    wave.samples.assign(2 * 4410, '\x10');
    return wave;
}

// A sound server that takes connections and never says a word.
class SilentServer {
public:
    explicit SilentServer(fs::path path)
        : m_path(std::move(path))
    {
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", m_path.c_str());
        EXPECT_EQ(::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(m_socket, 8), 0);
    }
    ~SilentServer() { ::close(m_socket); }
    std::string address() const { return "unix:" + m_path.string(); }

private:
    fs::path m_path;
    int m_socket { -1 };
};

double secondsSince(std::chrono::steady_clock::time_point start) { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); }

}

// A server that hangs costs one caller one short wait: the first question waits its moment and is
// answered "not muted" / "not played", the next ones are answered at once.
TEST(PulseSoundServer, ACallerWaitsAMomentAtMostForAServerThatHangs)
{
    TestSupport::TemporaryDirectory folder;
    SilentServer silent(folder.path() / "native");
    struct Case {
        char const* question;
        std::function<bool(PulseSoundServer&, PulseSoundServer::SoundId)> ask;
    };
    for (auto const &c : std::vector<Case> {
             { "isMuted", [](PulseSoundServer&server, PulseSoundServer::SoundId) { return server.isMuted(); } },
             { "play", [](PulseSoundServer&server, PulseSoundServer::SoundId sound) { return server.play(sound); } },
         }) {
        SCOPED_TRACE(c.question);
        PulseSoundServer server(silent.address(), { .waitSeconds = 0.25, .retrySeconds = 60 });
        auto const sound = server.add("tone.wav", tone()).sound;
        ASSERT_TRUE(sound);
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(c.ask(server, *sound));
        // The moment is a quarter of a second; the rest is room for a loaded machine.
        EXPECT_LT(secondsSince(start), 1.5);
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < 5; ++i) {
            EXPECT_FALSE(server.isMuted());
            EXPECT_FALSE(server.play(*sound));
        }
        EXPECT_LT(secondsSince(start), 1.5);
    }
}

// Nothing listens where the server should be: nothing plays, nothing is muted, no caller waits, and
// one line of ours says why, however often it is asked.
TEST(PulseSoundServer, WithoutAServerSaysSoOnceAndAnswersAtOnce)
{
    TestSupport::TemporaryDirectory folder;
    testing::internal::CaptureStderr();
    {
        PulseSoundServer server("unix:" + (folder.path() / "nobody").string(), { .waitSeconds = 2, .retrySeconds = 0 });
        auto const sound = server.add("tone.wav", tone()).sound;
        ASSERT_TRUE(sound);
        auto const start = std::chrono::steady_clock::now();
        for (int i = 0; i < 3; ++i) {
            EXPECT_FALSE(server.play(*sound));
            EXPECT_FALSE(server.isPlaying(*sound));
            EXPECT_FALSE(server.isMuted());
        }
        EXPECT_LT(secondsSince(start), 1.5);
    }
    auto const said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("[Pupnik] sound: no sound server to play to (", 0), 0u) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(PulseSoundServer, RefusesWhatTheServerCannotPlay)
{
    PulseSoundServer server(std::string("unix:/nonexistent/native"));
    struct Case {
        char const* name;
        int channels;
        int bits;
        size_t bytes;
    };
    for (auto const& c : std::vector<Case> {
             { "24-bit", 1, 24, 6 },
             { "no channels", 0, 16, 4 },
             { "too many channels", 64, 16, 128 },
             { "no samples", 1, 16, 0 },
         }) {
        auto wave = tone();
        wave.channels = c.channels;
        wave.bitsPerSample = c.bits;
        wave.samples.assign(c.bytes, '\0');
        auto const added = server.add("odd.wav", wave);
        EXPECT_FALSE(added.sound) << c.name;
        EXPECT_FALSE(added.error.empty()) << c.name;
    }
}

namespace {

// A PulseAudio server of the test's own with one null sink, "test", the default output.
class PrivateServer {
public:
    PrivateServer()
    {
        // Made before the fork: the child only execs.
        std::vector<std::string> const arguments { "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
            "-L", "module-null-sink sink_name=test rate=44100 channels=1", "-L",
            "module-native-protocol-unix auth-anonymous=1 socket=" + (m_folder.path() / "native").string() };
        std::vector<std::string> environment { "PULSE_RUNTIME_PATH=" + m_folder.path().string(), "PULSE_STATE_PATH=" + m_folder.path().string(),
            "HOME=" + m_folder.path().string() };
        if (char const* path = std::getenv("PATH"))
            environment.push_back(std::string("PATH=") + path);
        auto pointers = [](std::vector<std::string> const& texts) {
            std::vector<char*> list;
            for (auto const& text : texts)
                list.push_back(const_cast<char*>(text.c_str()));
            list.push_back(nullptr);
            return list;
        };
        auto argv = pointers(arguments);
        auto envp = pointers(environment);
        m_pid = ::fork();
        if (m_pid == 0) {
            // Its warnings (run as root, no D-Bus) are not the test's.
            int const quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 2);
            ::execvpe("pulseaudio", argv.data(), envp.data());
            ::_exit(127);
        }
        for (int i = 0; i < 2000 && !answers("info"); ++i)
            ::usleep(10'000);
        EXPECT_TRUE(answers("info")) << "the private sound server did not start (is pulseaudio installed?)";
    }
    ~PrivateServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    std::string address() const { return "unix:" + (m_folder.path() / "native").string(); }
    // pactl against this server; whether it succeeded.
    bool answers(std::string const& arguments) const { return run(arguments).has_value(); }
    std::optional<std::string> run(std::string const& arguments) const
    {
        auto const output = m_folder.path() / "pactl.out";
        std::string const command = "PULSE_SERVER='" + address() + "' pactl " + arguments + " >'" + output.string() + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0)
            return std::nullopt;
        return TestSupport::readFile(output);
    }

private:
    TestSupport::TemporaryDirectory m_folder;
    pid_t m_pid { -1 };
};

template<typename Condition>
bool within(double seconds, Condition condition)
{
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ::usleep(20'000);
    }
    return true;
}

}

// Played means the server took it: a sound gone from the server's cache is refused with the
// server's reason, said once, and sent again for the next time.
TEST(PulseSoundServer, PlaysFromTheServersCacheAndSaysPlayedOnlyWhenTheServerTookIt)
{
    PrivateServer private_;
    // Room for a loaded machine: a wait that ends early would read as a refusal.
    PulseSoundServer server(private_.address(), { .waitSeconds = 10, .retrySeconds = 5 });
    auto const sound = server.add("tone.wav", tone()).sound;
    ASSERT_TRUE(sound);
    EXPECT_TRUE(server.play(*sound));
    EXPECT_TRUE(server.isPlaying(*sound));
    auto const samples = private_.run("list samples short").value_or("");
    auto const name = samples.substr(samples.find('\t') + 1, samples.find('\t', samples.find('\t') + 1) - samples.find('\t') - 1);
    ASSERT_NE(name.find("tone.wav"), std::string::npos) << samples;

    testing::internal::CaptureStderr();
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(private_.answers("remove-sample " + name));
        EXPECT_FALSE(server.play(*sound)) << round;
        EXPECT_TRUE(within(10, [&] { return server.play(*sound); })) << round;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Pupnik] sound: tone.wav could not be played: No such entity\n");
}

TEST(PulseSoundServer, FollowsTheMuteAndVolumeOfTheDefaultOutput)
{
    PrivateServer private_;
    PulseSoundServer server(private_.address(), { .waitSeconds = 10, .retrySeconds = 5 });
    EXPECT_FALSE(server.isMuted());
    struct Case {
        char const* change;
        bool muted;
    };
    for (auto const& c : std::vector<Case> {
             { "set-sink-mute test 1", true },
             { "set-sink-mute test 0", false },
             { "set-sink-volume test 0", true },
             // 0.0002 of the full volume is not silent.
             { "set-sink-volume test 13", false },
             { "set-sink-volume test 6", true },
             { "set-sink-volume test 65536", false },
         }) {
        ASSERT_TRUE(private_.answers(c.change)) << c.change;
        EXPECT_TRUE(within(10, [&] { return server.isMuted() == c.muted; })) << c.change;
    }
}
