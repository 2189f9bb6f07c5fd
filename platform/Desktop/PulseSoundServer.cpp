#include "platform/Desktop/PulseSoundServer.hpp"

#include "platform/Log.hpp"

#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <pulse/pulseaudio.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

using Clock = std::chrono::steady_clock;

Clock::duration seconds(double value) { return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value)); }

// The main loop's own lock, so that a condition variable can wait on it with a deadline.
struct LoopLock {
    pa_threaded_mainloop* loop;
    void lock() { pa_threaded_mainloop_lock(loop); }
    void unlock() { pa_threaded_mainloop_unlock(loop); }
};

std::optional<pa_sample_format_t> sampleFormat(int bits)
{
    switch (bits) {
    case 8:
        return PA_SAMPLE_U8;
    case 16:
        return PA_SAMPLE_S16LE;
    case 32:
        return PA_SAMPLE_S32LE;
    default:
        return std::nullopt;
    }
}

// A play the caller waits for; it may give up before the answer comes.
struct Request {
    bool answered { false };
    bool took { false };
    bool abandoned { false };
};

}

struct PulseSoundServer::State {
    struct Sound {
        State* state { nullptr };
        std::string fileName;
        // Unique to this process, so that two instances never play each other's samples.
        std::string cacheName;
        pa_sample_spec spec {};
        std::string samples;
        double seconds { 0 };
        enum class Upload { none,
            uploading,
            done } upload { Upload::none };
        pa_stream* stream { nullptr };
        std::vector<std::shared_ptr<Request>> waiting;
        bool failureLogged { false };
        uint32_t sinkInput { PA_INVALID_INDEX };
        std::optional<Clock::time_point> startedAt;
    };

    // A play handed to the server; its answer comes back with this as the user data. Operations of a
    // context that fails are dropped without an answer, so the calls are kept here to be failed then.
    struct Call {
        State* state;
        Sound* sound;
        std::shared_ptr<Request> request;
    };

    std::optional<std::string> address;
    Timing timing;
    pa_threaded_mainloop* loop { nullptr };
    std::condition_variable_any answered;

    // Everything below is guarded by the main loop's lock.
    pa_context* context { nullptr };
    std::optional<Clock::time_point> lastAttempt;
    bool problemLogged { false };
    std::map<SoundId, std::unique_ptr<Sound>> sounds;
    std::list<Call> calls;
    std::optional<bool> muted;
    bool muteAsked { false };
    bool muteAskAgain { false };
    // A caller has given up waiting for this server: the next ones do not wait until it answers.
    bool stalled { false };

    pa_context_state_t contextState() const { return context ? pa_context_get_state(context) : PA_CONTEXT_FAILED; }
    bool ready() const { return contextState() == PA_CONTEXT_READY; }
    bool lost() const { return !context || !PA_CONTEXT_IS_GOOD(contextState()); }

    std::string reason() const { return context ? pa_strerror(pa_context_errno(context)) : "no connection"; }

    void heard()
    {
        stalled = false;
        answered.notify_all();
    }

    // Connects unless connected, connecting or tried too recently.
    void connect()
    {
        if (context && !lost())
            return;
        auto const now = Clock::now();
        if (lastAttempt && now - *lastAttempt < seconds(timing.retrySeconds))
            return;
        lastAttempt = now;
        stalled = false;
        if (context)
            pa_context_unref(context);
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Pupnik");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "pupnik");
        context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), "Pupnik", properties);
        pa_proplist_free(properties);
        if (!context) {
            logProblem("could not be asked for");
            return;
        }
        pa_context_set_state_callback(context, &State::onContextState, this);
        if (pa_context_connect(context, address ? address->c_str() : nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            logProblem(reason());
    }

    void logProblem(std::string const& why)
    {
        if (problemLogged)
            return;
        problemLogged = true;
        Log::line("sound: no sound server to play to (" + why + ") — the pet stays silent until one is reachable");
    }

    static void onContextState(pa_context* context, void* data)
    {
        auto& state = *static_cast<State*>(data);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(context, &State::onEvent, &state);
            if (auto* operation = pa_context_subscribe(context, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER), nullptr, nullptr))
                pa_operation_unref(operation);
            state.askMute();
            for (auto& [id, sound] : state.sounds)
                state.upload(*sound);
            state.heard();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            state.logProblem(state.reason());
            state.muted.reset();
            state.muteAsked = state.muteAskAgain = false;
            for (auto& call : state.calls)
                call.request->answered = true;
            state.calls.clear();
            for (auto& [id, sound] : state.sounds)
                state.failWaiting(*sound);
            state.answered.notify_all();
            break;
        default:
            break;
        }
    }

    static void onEvent(pa_context*, pa_subscription_event_type_t type, uint32_t, void* data)
    {
        auto const facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SINK || facility == PA_SUBSCRIPTION_EVENT_SERVER)
            static_cast<State*>(data)->askMute();
    }

    // Mute: the server's default sink, then that sink's mute and volume. One question at a time;
    // changes meanwhile ask once more when it is answered.
    void askMute()
    {
        if (muteAsked) {
            muteAskAgain = true;
            return;
        }
        auto* operation = pa_context_get_server_info(context, &State::onServerInfo, this);
        if (!operation)
            return;
        muteAsked = true;
        pa_operation_unref(operation);
    }

    void mutedIs(bool value)
    {
        muted = value;
        muteAsked = false;
        heard();
        if (muteAskAgain) {
            muteAskAgain = false;
            askMute();
        }
    }

    static void onServerInfo(pa_context* context, pa_server_info const* info, void* data)
    {
        auto& state = *static_cast<State*>(data);
        // No default output: nothing is muted.
        if (!info || !info->default_sink_name || !*info->default_sink_name)
            return state.mutedIs(false);
        auto* operation = pa_context_get_sink_info_by_name(context, info->default_sink_name, &State::onSinkInfo, data);
        if (!operation)
            return state.mutedIs(false);
        pa_operation_unref(operation);
    }

    static void onSinkInfo(pa_context*, pa_sink_info const* info, int last, void* data)
    {
        auto& state = *static_cast<State*>(data);
        if (info) {
            // Silent below a ten-thousandth of the full volume on every channel.
            bool const silent = pa_cvolume_max(&info->volume) <= pa_volume_t(PA_VOLUME_NORM * 0.0001);
            state.muted = info->mute || silent;
        }
        if (last != 0)
            state.mutedIs(last > 0 && state.muted.value_or(false));
    }

    void upload(Sound& sound)
    {
        if (sound.upload != Sound::Upload::none || !ready())
            return;
        sound.stream = pa_stream_new(context, sound.cacheName.c_str(), &sound.spec, nullptr);
        if (!sound.stream) {
            failed(sound, reason());
            return;
        }
        pa_stream_set_state_callback(sound.stream, &State::onUploadState, &sound);
        if (pa_stream_connect_upload(sound.stream, sound.samples.size()) < 0) {
            failed(sound, reason());
            pa_stream_unref(sound.stream);
            sound.stream = nullptr;
            return;
        }
        sound.upload = Sound::Upload::uploading;
    }

    static void onUploadState(pa_stream* stream, void* data)
    {
        auto& sound = *static_cast<Sound*>(data);
        auto& state = *sound.state;
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            if (pa_stream_write(stream, sound.samples.data(), sound.samples.size(), nullptr, 0, PA_SEEK_RELATIVE) < 0
                || pa_stream_finish_upload(stream) < 0)
                pa_stream_disconnect(stream);
            break;
        case PA_STREAM_TERMINATED:
        case PA_STREAM_FAILED: {
            // Finished, failed or cut off with the connection: the stream is done with either way.
            bool const done = pa_stream_get_state(stream) == PA_STREAM_TERMINATED && state.ready();
            if (!done && state.ready())
                state.failed(sound, state.reason());
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_unref(stream);
            sound.stream = nullptr;
            sound.upload = done ? Sound::Upload::done : Sound::Upload::none;
            if (done) {
                auto waiting = std::move(sound.waiting);
                sound.waiting.clear();
                for (auto& request : waiting)
                    state.start(sound, request);
            } else {
                state.failWaiting(sound);
            }
            break;
        }
        default:
            break;
        }
    }

    void start(Sound& sound, std::shared_ptr<Request> const& request)
    {
        if (request->abandoned)
            return;
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "event");
        pa_proplist_sets(properties, PA_PROP_EVENT_ID, sound.cacheName.c_str());
        auto& call = calls.emplace_back(Call { this, &sound, request });
        auto* operation = pa_context_play_sample_with_proplist(context, sound.cacheName.c_str(), nullptr, PA_VOLUME_NORM, properties, &State::onPlayed, &call);
        pa_proplist_free(properties);
        if (!operation) {
            failed(sound, reason());
            forget(&call);
            answer(*request, false);
            return;
        }
        pa_operation_unref(operation);
    }

    static void onPlayed(pa_context* context, uint32_t sinkInput, void* data)
    {
        auto& call = *static_cast<Call*>(data);
        auto& state = *call.state;
        auto& sound = *call.sound;
        auto request = call.request;
        bool const took = sinkInput != PA_INVALID_INDEX;
        if (took) {
            sound.sinkInput = sinkInput;
            sound.startedAt = Clock::now();
        } else {
            // Gone from the cache (another client removed it, or the server's cache was emptied):
            // uploaded again for the next time.
            if (pa_context_errno(context) == PA_ERR_NOENTITY)
                sound.upload = Sound::Upload::none;
            state.failed(sound, state.reason());
        }
        state.forget(&call);
        state.answer(*request, took);
        state.upload(sound);
    }

    void forget(Call const* call)
    {
        calls.remove_if([call](Call const& kept) { return &kept == call; });
    }

    void answer(Request& request, bool took)
    {
        request.answered = true;
        request.took = took;
        heard();
    }

    void failed(Sound& sound, std::string const& why)
    {
        if (sound.failureLogged)
            return;
        sound.failureLogged = true;
        Log::line("sound: " + sound.fileName + " could not be played: " + why);
    }

    void failWaiting(Sound& sound)
    {
        for (auto& request : sound.waiting)
            request->answered = true;
        sound.waiting.clear();
        answered.notify_all();
    }

    // Waits for `done` until the deadline, unless the server already kept a caller waiting in vain.
    template<typename Done>
    bool waitFor(Done done)
    {
        if (done())
            return true;
        if (stalled)
            return false;
        LoopLock lock { loop };
        if (answered.wait_for(lock, seconds(timing.waitSeconds), done))
            return true;
        stalled = true;
        return false;
    }
};

PulseSoundServer::PulseSoundServer(std::optional<std::string> address)
    : PulseSoundServer(std::move(address), Timing {})
{
}

PulseSoundServer::PulseSoundServer(std::optional<std::string> address, Timing timing)
    : m_state(std::make_unique<State>())
{
    auto& state = *m_state;
    state.address = std::move(address);
    state.timing = timing;
    state.loop = pa_threaded_mainloop_new();
    if (!state.loop) {
        state.logProblem("out of memory");
        return;
    }
    pa_threaded_mainloop_set_name(state.loop, "pupnik-sound");
    if (pa_threaded_mainloop_start(state.loop) < 0) {
        pa_threaded_mainloop_free(state.loop);
        state.loop = nullptr;
        state.logProblem("no thread for it");
        return;
    }
    // Reaching the server may take a moment: begun now, not on the first sound's clock.
    pa_threaded_mainloop_lock(state.loop);
    state.connect();
    pa_threaded_mainloop_unlock(state.loop);
}

PulseSoundServer::~PulseSoundServer()
{
    auto& state = *m_state;
    if (!state.loop)
        return;
    pa_threaded_mainloop_lock(state.loop);
    if (state.context) {
        // Our own leaving is not a lost server.
        pa_context_set_state_callback(state.context, nullptr, nullptr);
        pa_context_set_subscribe_callback(state.context, nullptr, nullptr);
        pa_context_disconnect(state.context);
    }
    pa_threaded_mainloop_unlock(state.loop);
    pa_threaded_mainloop_stop(state.loop);
    if (state.context)
        pa_context_unref(state.context);
    for (auto& [id, sound] : state.sounds)
        if (sound->stream) {
            pa_stream_set_state_callback(sound->stream, nullptr, nullptr);
            pa_stream_unref(sound->stream);
        }
    pa_threaded_mainloop_free(state.loop);
}

PulseSoundServer::Added PulseSoundServer::add(std::string const& fileName, WaveFile const& wave)
{
    auto const format = sampleFormat(wave.bitsPerSample);
    pa_sample_spec spec { format.value_or(PA_SAMPLE_INVALID), uint32_t(wave.sampleRate), uint8_t(wave.channels) };
    if (!format || wave.channels <= 0 || wave.channels > int(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&spec))
        return { std::nullopt, "a sample format the sound server does not take" };
    if (wave.samples.empty())
        return { std::nullopt, "no samples" };
    auto& state = *m_state;
    if (!state.loop)
        return { std::nullopt, "no sound server" };
    auto sound = std::make_unique<State::Sound>();
    sound->state = &state;
    sound->fileName = fileName;
    sound->spec = spec;
    sound->samples = wave.samples;
    sound->seconds = double(wave.samples.size()) / double(pa_frame_size(&spec)) / double(wave.sampleRate);
    pa_threaded_mainloop_lock(state.loop);
    SoundId const id = state.sounds.empty() ? 1 : state.sounds.rbegin()->first + 1;
    sound->cacheName = "pupnik-" + std::to_string(::getpid()) + "-" + std::to_string(id) + "-" + fileName;
    auto& kept = *state.sounds.emplace(id, std::move(sound)).first->second;
    state.upload(kept);
    pa_threaded_mainloop_unlock(state.loop);
    return { id, {} };
}

bool PulseSoundServer::play(SoundId id)
{
    auto& state = *m_state;
    if (!state.loop)
        return false;
    pa_threaded_mainloop_lock(state.loop);
    state.connect();
    auto found = state.sounds.find(id);
    auto request = std::make_shared<Request>();
    if (found != state.sounds.end() && !state.lost()) {
        auto& sound = *found->second;
        if (state.ready() && sound.upload == State::Sound::Upload::done) {
            state.start(sound, request);
        } else {
            // Played once the server is reached and has the sound, if the caller still waits then.
            sound.waiting.push_back(request);
            state.upload(sound);
        }
    } else {
        request->answered = true;
    }
    state.waitFor([&] { return request->answered; });
    request->abandoned = true;
    bool const took = request->answered && request->took;
    pa_threaded_mainloop_unlock(state.loop);
    return took;
}

bool PulseSoundServer::isPlaying(SoundId id) const
{
    auto& state = *m_state;
    if (!state.loop)
        return false;
    pa_threaded_mainloop_lock(state.loop);
    bool playing = false;
    if (auto found = state.sounds.find(id); found != state.sounds.end()) {
        auto const& sound = *found->second;
        playing = sound.startedAt && Clock::now() - *sound.startedAt < seconds(sound.seconds);
    }
    pa_threaded_mainloop_unlock(state.loop);
    return playing;
}

void PulseSoundServer::stop(SoundId id)
{
    auto& state = *m_state;
    if (!state.loop)
        return;
    pa_threaded_mainloop_lock(state.loop);
    if (auto found = state.sounds.find(id); found != state.sounds.end()) {
        auto& sound = *found->second;
        if (sound.sinkInput != PA_INVALID_INDEX && state.ready())
            if (auto* operation = pa_context_kill_sink_input(state.context, sound.sinkInput, nullptr, nullptr))
                pa_operation_unref(operation);
        sound.sinkInput = PA_INVALID_INDEX;
        sound.startedAt.reset();
    }
    pa_threaded_mainloop_unlock(state.loop);
}

bool PulseSoundServer::isMuted()
{
    auto& state = *m_state;
    if (!state.loop)
        return false;
    pa_threaded_mainloop_lock(state.loop);
    state.connect();
    state.waitFor([&] { return state.muted.has_value() || state.lost(); });
    bool const muted = state.muted.value_or(false);
    pa_threaded_mainloop_unlock(state.loop);
    return muted;
}

}
