#include "PawletKit/tests/TestSupport.hpp"
#include "platform/SoundServerMuteQuery.hpp"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>

using namespace Platform;
using Ending = PawletKit::ProcessRunner::Result::Ending;
namespace fs = std::filesystem;

namespace {

// Answers each command line ("wpctl get-volume @DEFAULT_AUDIO_SINK@") as scripted; an unscripted one
// fails to start. While held, every run waits until it is let go: a sound server that hangs.
class ScriptedRunner final : public PawletKit::ProcessRunner {
public:
    Result run(Request const& request) const override
    {
        std::unique_lock lock(m_mutex);
        std::string line = request.executable.filename().string();
        for (auto const& argument : request.arguments)
            line += " " + argument;
        m_runs.push_back(line);
        m_lastEnvironment = request.environment;
        m_timeouts.push_back(request.timeout);
        m_released.wait(lock, [&] { return !m_held; });
        auto found = m_answers.find(line);
        return found != m_answers.end() ? found->second : Result {};
    }

    void answer(std::string const& line, std::string output, int status = 0)
    {
        std::lock_guard lock(m_mutex);
        m_answers[line] = Result { Ending::exited, status, 0, std::move(output), {}, false };
    }
    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_released.notify_all();
    }
    std::vector<std::string> runs() const
    {
        std::lock_guard lock(m_mutex);
        return m_runs;
    }
    PawletKit::Environment lastEnvironment() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastEnvironment;
    }
    std::vector<double> timeouts() const
    {
        std::lock_guard lock(m_mutex);
        return m_timeouts;
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_released;
    bool m_held { false };
    std::map<std::string, Result> m_answers;
    mutable std::vector<std::string> m_runs;
    mutable PawletKit::Environment m_lastEnvironment;
    mutable std::vector<double> m_timeouts;
};

// A PATH folder with stand-ins for the tools named, so they are found; they are never run.
struct Tools {
    TestSupport::TemporaryDirectory folder;
    explicit Tools(std::vector<std::string> const& names)
    {
        for (auto const& name : names) {
            TestSupport::writeFile(folder.path() / name, "#!/bin/sh\nexit 1\n");
            fs::permissions(folder.path() / name, fs::perms::owner_all);
        }
    }
    PawletKit::Environment environment() const { return { { "PATH", "relative/bin:" + folder.path().string() }, { "LC_ALL", "de_DE.UTF-8" } }; }
};

constexpr char const* wpctl = "wpctl get-volume @DEFAULT_AUDIO_SINK@";
constexpr char const* pactlMute = "pactl get-sink-mute @DEFAULT_SINK@";
constexpr char const* pactlVolume = "pactl get-sink-volume @DEFAULT_SINK@";

// Polls for up to ten seconds.
template<typename Condition>
bool eventually(Condition condition)
{
    for (int i = 0; i < 1000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

}

TEST(SoundServerMuteQuery, ReadsTheToolsAnswers)
{
    struct Case {
        std::string_view output;
        std::optional<bool> muted;
    };
    for (auto const& [output, muted] : std::vector<Case> {
             { "Volume: 0.40\n", false },
             { "Volume: 0.40 [MUTED]\n", true },
             { "Volume: 0.00\n", true },
             { "Volume: 1.50\n", false },
             { "Volume: -0.1\n", std::nullopt },
             { "Volume: loud\n", std::nullopt },
             { "Error: no default sink\n", std::nullopt },
             { "", std::nullopt },
         }) {
        EXPECT_EQ(SoundServerMuteQuery::wpctlMuted(output), muted) << output;
    }
    for (auto const& [output, muted] : std::vector<Case> {
             { "Mute: yes\n", true },
             { "Mute: no\n", false },
             { "Mute: maybe\n", std::nullopt },
             { "", std::nullopt },
         }) {
        EXPECT_EQ(SoundServerMuteQuery::pactlMute(output), muted) << output;
    }
    for (auto const& [output, muted] : std::vector<Case> {
             { "Volume: front-left: 0 /   0% / -inf dB,   front-right: 0 /   0% / -inf dB\n        balance 0.00\n", true },
             { "Volume: front-left: 0 /   0% / -inf dB,   front-right: 26214 /  40% / -23.88 dB\n", false },
             { "Volume: mono: 65536 / 100% / 0.00 dB\n        balance 0.00\n", false },
             // 0.0001 of full scale is 6.5 steps: 6 is silent, 13 (0.0002) is not.
             { "Volume: mono: 6 / 0% / -100 dB\n", true },
             { "Volume: mono: 13 / 0% / -90 dB\n", false },
             { "Volume: mono: x / 0% / -90 dB\n", std::nullopt },
             { "Volume: \n", std::nullopt },
             { "Failure: No such entity\n", std::nullopt },
         }) {
        EXPECT_EQ(SoundServerMuteQuery::pactlSilentVolume(output), muted) << output;
    }
}

TEST(SoundServerMuteQuery, AsksWpctlThenPactlAndAFailureMeansNotMuted)
{
    struct Case {
        char const* name;
        std::vector<std::string> tools;
        std::vector<std::tuple<char const*, char const*, int>> answers;
        bool muted;
        std::vector<std::string> runs;
    };
    for (auto const& c : std::vector<Case> {
             { "wpctl muted", { "wpctl", "pactl" }, { { wpctl, "Volume: 0.40 [MUTED]\n", 0 } }, true, { wpctl } },
             { "wpctl heard", { "wpctl", "pactl" }, { { wpctl, "Volume: 0.40\n", 0 } }, false, { wpctl } },
             { "wpctl fails, pactl muted", { "wpctl", "pactl" }, { { wpctl, "", 1 }, { pactlMute, "Mute: yes\n", 0 } }, true,
                 { wpctl, pactlMute } },
             { "no wpctl, pactl at zero volume", { "pactl" },
                 { { pactlMute, "Mute: no\n", 0 }, { pactlVolume, "Volume: mono: 0 / 0% / -inf dB\n", 0 } }, true, { pactlMute, pactlVolume } },
             { "pactl's mute fails, its volume is heard", { "pactl" }, { { pactlVolume, "Volume: mono: 65536 / 100% / 0.00 dB\n", 0 } }, false,
                 { pactlMute, pactlVolume } },
             { "everything fails", { "wpctl", "pactl" }, {}, false, { wpctl, pactlMute, pactlVolume } },
             { "no tools", {}, {}, false, {} },
         }) {
        SCOPED_TRACE(c.name);
        Tools tools(c.tools);
        auto runner = std::make_shared<ScriptedRunner>();
        for (auto const& [line, output, status] : c.answers)
            runner->answer(line, output, status);
        SoundServerMuteQuery query(runner, tools.environment(), { .waitSeconds = 30 });
        EXPECT_EQ(query.isMuted(), c.muted);
        EXPECT_EQ(runner->runs(), c.runs);
        if (!c.runs.empty()) {
            EXPECT_EQ(runner->lastEnvironment().at("LC_ALL"), "C");
            EXPECT_EQ(runner->timeouts().front(), 2);
        }
    }
}

TEST(SoundServerMuteQuery, KeepsAnAnswerAndRenewsItWhileAsked)
{
    Tools tools({ "pactl" });
    auto runner = std::make_shared<ScriptedRunner>();
    runner->answer(pactlMute, "Mute: no\n");
    runner->answer(pactlVolume, "Volume: mono: 65536 / 100% / 0.00 dB\n");
    {
        SoundServerMuteQuery query(runner, tools.environment(), { .keepSeconds = 600, .renewSeconds = 600, .waitSeconds = 30 });
        EXPECT_FALSE(query.isMuted());
        runner->answer(pactlMute, "Mute: yes\n");
        // Kept: asked again, the tools are not run again.
        EXPECT_FALSE(query.isMuted());
        EXPECT_EQ(runner->runs().size(), 2u);
    }
    // Renewed without anyone waiting: the user's mute is seen by the next question at once.
    runner->answer(pactlMute, "Mute: no\n");
    SoundServerMuteQuery query(runner, tools.environment(), { .keepSeconds = 600, .renewSeconds = 0.05, .waitSeconds = 30 });
    EXPECT_FALSE(query.isMuted());
    runner->answer(pactlMute, "Mute: yes\n");
    auto const runsBefore = runner->runs().size();
    EXPECT_TRUE(eventually([&] { return runner->runs().size() >= runsBefore + 2; }));
    EXPECT_TRUE(query.isMuted());
}

TEST(SoundServerMuteQuery, AHangingToolHoldsNoCallerUp)
{
    Tools tools({ "wpctl" });
    auto runner = std::make_shared<ScriptedRunner>();
    runner->answer(wpctl, "Volume: 0.40 [MUTED]\n");
    runner->hold();
    auto query = std::make_unique<SoundServerMuteQuery>(runner, tools.environment());
    // Not known yet: not muted. Neither call waits for the tool, and only one run is under way.
    EXPECT_FALSE(query->isMuted());
    EXPECT_FALSE(query->isMuted());
    EXPECT_EQ(runner->runs().size(), 1u);
    // Once the server answers, the answer is taken.
    runner->release();
    EXPECT_TRUE(eventually([&] { return query->isMuted(); }));

    // Going away while a tool hangs does not wait for it; the tool finishes on its own later.
    auto second = std::make_unique<SoundServerMuteQuery>(runner, tools.environment(), SoundServerMuteQuery::Timing { .keepSeconds = 0 });
    runner->hold();
    EXPECT_FALSE(second->isMuted());
    EXPECT_TRUE(eventually([&] { return runner->runs().size() == 2; }));
    second.reset();
    runner->release();
}
