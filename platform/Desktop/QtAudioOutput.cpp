#include "platform/Desktop/QtAudioOutput.hpp"

#include "platform/Log.hpp"
#include "platform/WaveFile.hpp"

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <optional>

namespace Platform {

namespace {

// One decoded sound, shared by its player (main thread) and its stream (audio thread).
struct Sound {
    std::string fileName;
    QAudioFormat format;
    QByteArray samples;
    std::atomic<bool> playing { false };
    // Audio thread only.
    bool failureLogged { false };
};

// A sound's stream and what it reads; audio thread only. The buffer is declared first so that it
// outlives the sink, which lets go of it when it is destroyed.
struct Stream {
    std::unique_ptr<QBuffer> buffer;
    std::unique_ptr<QAudioSink> sink;

    // Stopped before it goes: a sink destroyed while it still rests idle after a sound (left to
    // play its end) crashed in its destructor.
    void end()
    {
        if (!sink)
            return;
        sink->disconnect();
        sink->stop();
    }
};

QAudioFormat::SampleFormat sampleFormat(int bits)
{
    switch (bits) {
    case 8:
        return QAudioFormat::UInt8;
    case 16:
        return QAudioFormat::Int16;
    default:
        return QAudioFormat::Int32;
    }
}

std::string errorText(QAudio::Error error)
{
    switch (error) {
    case QAudio::NoError:
        return "no error";
    case QAudio::OpenError:
        return "no output device (is a sound server running?)";
    case QAudio::IOError:
        return "input/output error";
    case QAudio::UnderrunError:
        return "underrun";
    case QAudio::FatalError:
        return "fatal error";
    }
    return "unknown error";
}

}

class QtAudioOutput::Engine {
public:
    Engine()
        : m_thread(new QThread)
        , m_worker(new QObject)
    {
        m_thread->setObjectName("pupnik-sound");
        m_worker->moveToThread(m_thread);
        m_thread->start();
        // Reaching the server may take a while: done here, not on the first sound's clock.
        post([] { QMediaDevices::defaultAudioOutput(); });
    }

    ~Engine()
    {
        post([streams = m_streams] {
            for (auto& [sound, stream] : *streams)
                stream.end();
            streams->clear();
            QThread::currentThread()->quit();
        });
        if (!m_thread->wait(stopWaitMilliseconds)) {
            // Stuck in the sound server: left behind rather than holding up the end of the program.
            Platform::Log::line("sound: the sound thread did not stop in time — left behind");
            return;
        }
        delete m_worker;
        delete m_thread;
    }

    bool start(std::shared_ptr<Sound> const& sound)
    {
        using namespace std::chrono;
        if (m_pending && m_pending->wait_for(seconds(0)) != std::future_status::ready)
            return false;
        auto promise = std::make_shared<std::promise<bool>>();
        m_pending = promise->get_future().share();
        post([streams = m_streams, sound, promise] { promise->set_value(startHere(*streams, *sound)); });
        if (m_pending->wait_for(duration<double>(startWaitSeconds)) != std::future_status::ready)
            return false;
        return m_pending->get();
    }

    void stop(std::shared_ptr<Sound> const& sound)
    {
        sound->playing = false;
        post([streams = m_streams, sound] {
            if (auto found = streams->find(sound.get()); found != streams->end())
                found->second.sink->stop();
        });
    }

    void forget(std::shared_ptr<Sound> const& sound)
    {
        post([streams = m_streams, sound] {
            if (auto found = streams->find(sound.get()); found != streams->end()) {
                found->second.end();
                streams->erase(found);
            }
        });
    }

private:
    template<typename Work>
    void post(Work work)
    {
        QMetaObject::invokeMethod(m_worker, std::move(work), Qt::QueuedConnection);
    }

    using Streams = std::map<Sound const*, Stream>;

    static bool startHere(Streams& streams, Sound& sound)
    {
        auto& stream = streams[&sound];
        if (!stream.sink) {
            stream.sink = std::make_unique<QAudioSink>(sound.format);
            QObject::connect(stream.sink.get(), &QAudioSink::stateChanged, stream.sink.get(), [&sound, sink = stream.sink.get()](QAudio::State state) {
                // The samples and their silence are all handed over: the stream rests until the
                // next start. Idle means handed to the sound server, not yet heard, and a stop
                // throws away what the server still holds, which on a busy machine was most of a
                // woof: the stream is stopped only once the server has had time to play it.
                if (state == QAudio::IdleState) {
                    QTimer::singleShot(idleStopMilliseconds, sink, [sink] {
                        if (sink->state() == QAudio::IdleState)
                            sink->stop();
                    });
                } else if (state == QAudio::StoppedState) {
                    sound.playing = false;
                }
            });
            stream.buffer = std::make_unique<QBuffer>();
            stream.buffer->setData(sound.samples);
        }
        stream.sink->stop();
        stream.buffer->close();
        stream.buffer->open(QIODevice::ReadOnly);
        stream.sink->start(stream.buffer.get());
        bool const started = stream.sink->error() == QAudio::NoError && stream.sink->state() != QAudio::StoppedState;
        sound.playing = started;
        if (!started && !sound.failureLogged) {
            sound.failureLogged = true;
            Platform::Log::line("sound: " + sound.fileName + " could not be played: " + errorText(stream.sink->error()));
        }
        return started;
    }

    QThread* m_thread;
    QObject* m_worker;
    // Main thread only: the start the last play() waited for.
    std::optional<std::shared_future<bool>> m_pending;
    // Audio thread only; shared with the work posted there, which may outlive us when the thread is stuck.
    std::shared_ptr<Streams> m_streams { std::make_shared<Streams>() };
};

namespace {

class QtAudioPlayer final : public AudioPlayer {
public:
    QtAudioPlayer(std::shared_ptr<QtAudioOutput::Engine> engine, std::shared_ptr<Sound> sound)
        : m_engine(std::move(engine))
        , m_sound(std::move(sound))
    {
    }
    ~QtAudioPlayer() override { m_engine->forget(m_sound); }

    bool play() override { return m_engine->start(m_sound); }
    bool isPlaying() const override { return m_sound->playing; }
    void stop() override { m_engine->stop(m_sound); }

private:
    std::shared_ptr<QtAudioOutput::Engine> m_engine;
    std::shared_ptr<Sound> m_sound;
};

}

QtAudioOutput::QtAudioOutput()
    : m_engine(std::make_shared<Engine>())
{
}

QtAudioOutput::~QtAudioOutput() = default;

AudioOutput::Opened QtAudioOutput::open(std::filesystem::path const& file)
{
    auto loaded = WaveFile::read(file);
    if (!loaded.wave)
        return { nullptr, loaded.error };
    auto const& wave = *loaded.wave;
    auto sound = std::make_shared<Sound>();
    sound->fileName = file.filename().string();
    sound->format.setSampleRate(wave.sampleRate);
    sound->format.setChannelCount(wave.channels);
    sound->format.setSampleFormat(sampleFormat(wave.bitsPerSample));
    auto const silentFrames = qsizetype(trailingSilenceSeconds * wave.sampleRate);
    sound->samples = QByteArray(wave.samples.data(), qsizetype(wave.samples.size()));
    sound->samples.append(silentFrames * wave.bytesPerFrame(), wave.bitsPerSample == 8 ? char(0x80) : char(0));
    return { std::make_unique<QtAudioPlayer>(m_engine, std::move(sound)), {} };
}

}
