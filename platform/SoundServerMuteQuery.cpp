#include "platform/SoundServerMuteQuery.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Platform {

struct SoundServerMuteQuery::State {
    using Clock = std::chrono::steady_clock;

    std::shared_ptr<PawletKit::ProcessRunner const> runner;
    PawletKit::Environment environment;
    Timing timing;

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable answered;
    bool requested { false };
    bool busy { false };
    bool stopping { false };
    uint64_t answers { 0 };
    bool lastAnswer { false };
    std::optional<Clock::time_point> answeredAt;
    std::optional<Clock::time_point> askedAt;
    std::thread worker;

    Clock::duration seconds(double value) const { return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value)); }
    bool inUse(Clock::time_point now) const { return askedAt && now - *askedAt < seconds(timing.inUseSeconds); }
};

namespace {

std::string_view trimmed(std::string_view text)
{
    auto const first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    auto const last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<double> number(std::string_view text)
{
    double value = 0;
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::filesystem::path> onPath(std::string_view tool, PawletKit::Environment const& environment)
{
    auto const path = environment.find("PATH");
    std::string const folders = path != environment.end() ? path->second : "/usr/local/bin:/usr/bin:/bin";
    std::istringstream in(folders);
    std::string folder;
    while (std::getline(in, folder, ':')) {
        if (folder.empty() || folder.front() != '/')
            continue;
        auto candidate = std::filesystem::path(folder) / tool;
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::nullopt;
}

}

SoundServerMuteQuery::SoundServerMuteQuery(std::shared_ptr<PawletKit::ProcessRunner const> runner, PawletKit::Environment environment)
    : SoundServerMuteQuery(std::move(runner), std::move(environment), Timing {})
{
}

SoundServerMuteQuery::SoundServerMuteQuery(std::shared_ptr<PawletKit::ProcessRunner const> runner, PawletKit::Environment environment, Timing timing)
    : m_state(std::make_shared<State>())
{
    m_state->runner = std::move(runner);
    m_state->environment = std::move(environment);
    m_state->environment["LC_ALL"] = "C";
    m_state->timing = timing;
    // The thread holds the state, so a tool that is still running when we go finishes against it.
    m_state->worker = std::thread([state = m_state] {
        std::unique_lock lock(state->mutex);
        auto const due = [&] { return state->requested || state->stopping; };
        for (;;) {
            if (state->answeredAt && state->inUse(State::Clock::now())) {
                if (!state->wake.wait_until(lock, *state->answeredAt + state->seconds(state->timing.renewSeconds), due)
                    && !state->inUse(State::Clock::now()))
                    continue;
            } else {
                // A question after a quiet spell starts the renewals again.
                state->wake.wait(lock, [&] { return due() || (state->answeredAt && state->inUse(State::Clock::now())); });
                if (!due())
                    continue;
            }
            if (state->stopping)
                return;
            state->requested = false;
            state->busy = true;
            lock.unlock();
            bool const muted = ask(*state);
            lock.lock();
            state->busy = false;
            state->lastAnswer = muted;
            state->answeredAt = State::Clock::now();
            ++state->answers;
            state->answered.notify_all();
        }
    });
}

SoundServerMuteQuery::~SoundServerMuteQuery()
{
    bool busy = false;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        busy = m_state->busy;
    }
    m_state->wake.notify_all();
    if (busy)
        m_state->worker.detach();
    else
        m_state->worker.join();
}

bool SoundServerMuteQuery::isMuted()
{
    auto& state = *m_state;
    std::unique_lock lock(state.mutex);
    auto const now = State::Clock::now();
    bool const wasInUse = state.inUse(now);
    state.askedAt = now;
    if (!wasInUse)
        // The worker may be resting without a renewal due: it looks again.
        state.wake.notify_all();
    if (state.answeredAt && now - *state.answeredAt < state.seconds(state.timing.keepSeconds))
        return state.lastAnswer;
    if (state.busy || state.requested)
        // Being found out already: a tool that hangs costs one caller one short wait only.
        return state.lastAnswer;
    state.requested = true;
    state.wake.notify_all();
    auto const asked = state.answers;
    state.answered.wait_for(lock, state.seconds(state.timing.waitSeconds), [&] { return state.answers > asked; });
    return state.lastAnswer;
}

bool SoundServerMuteQuery::ask(State& state)
{
    auto run = [&](std::filesystem::path const& tool, std::vector<std::string> arguments) -> std::optional<std::string> {
        PawletKit::ProcessRunner::Request request;
        request.executable = tool;
        request.arguments = std::move(arguments);
        request.environment = state.environment;
        request.timeout = state.timing.toolTimeout;
        request.maxOutputBytes = 4096;
        auto const result = state.runner->run(request);
        if (result.ending != PawletKit::ProcessRunner::Result::Ending::exited || result.status != 0)
            return std::nullopt;
        return result.standardOutput;
    };

    if (auto const wpctl = onPath("wpctl", state.environment))
        if (auto const output = run(*wpctl, { "get-volume", "@DEFAULT_AUDIO_SINK@" }))
            if (auto const muted = wpctlMuted(*output))
                return *muted;
    auto const pactl = onPath("pactl", state.environment);
    if (!pactl)
        return false;
    if (auto const output = run(*pactl, { "get-sink-mute", "@DEFAULT_SINK@" }))
        if (pactlMute(*output) == true)
            return true;
    if (auto const output = run(*pactl, { "get-sink-volume", "@DEFAULT_SINK@" }))
        if (auto const silent = pactlSilentVolume(*output))
            return *silent;
    return false;
}

std::optional<bool> SoundServerMuteQuery::wpctlMuted(std::string_view output)
{
    auto const line = trimmed(output.substr(0, output.find('\n')));
    constexpr std::string_view prefix = "Volume: ";
    if (!line.starts_with(prefix))
        return std::nullopt;
    auto rest = line.substr(prefix.size());
    auto const space = rest.find(' ');
    auto const volume = number(rest.substr(0, space));
    if (!volume || *volume < 0)
        return std::nullopt;
    bool const mutedMark = space != std::string_view::npos && trimmed(rest.substr(space)) == "[MUTED]";
    return mutedMark || *volume <= silentVolume;
}

std::optional<bool> SoundServerMuteQuery::pactlMute(std::string_view output)
{
    auto const line = trimmed(output.substr(0, output.find('\n')));
    if (line == "Mute: yes")
        return true;
    if (line == "Mute: no")
        return false;
    return std::nullopt;
}

std::optional<bool> SoundServerMuteQuery::pactlSilentVolume(std::string_view output)
{
    // Every channel reads "<name>: <raw> / <percent>% / <dB> dB"; the raw value counts, 65536 is full.
    auto const line = trimmed(output.substr(0, output.find('\n')));
    constexpr std::string_view prefix = "Volume: ";
    if (!line.starts_with(prefix))
        return std::nullopt;
    auto rest = line.substr(prefix.size());
    int channels = 0;
    bool silent = true;
    while (!rest.empty()) {
        auto const comma = rest.find(',');
        auto const channel = trimmed(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view {} : rest.substr(comma + 1);
        auto const colon = channel.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
        auto const values = trimmed(channel.substr(colon + 1));
        auto const raw = number(trimmed(values.substr(0, values.find('/'))));
        if (!raw || *raw < 0)
            return std::nullopt;
        ++channels;
        if (*raw / 65536.0 > silentVolume)
            silent = false;
    }
    if (channels == 0)
        return std::nullopt;
    return silent;
}

}
