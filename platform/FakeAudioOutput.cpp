#include "platform/FakeAudioOutput.hpp"

namespace Platform {

namespace {

class FakePlayer final : public AudioPlayer {
public:
    FakePlayer(std::filesystem::path file, std::shared_ptr<FakeAudioOutput::Record> record)
        : m_file(std::move(file))
        , m_record(std::move(record))
    {
    }

    bool play() override
    {
        m_record->started.push_back(m_file);
        if (!m_record->starts)
            return false;
        m_record->playing.insert(m_file);
        return true;
    }
    bool isPlaying() const override { return m_record->playing.contains(m_file); }
    void stop() override
    {
        m_record->stopped.push_back(m_file);
        m_record->playing.erase(m_file);
    }

private:
    std::filesystem::path m_file;
    std::shared_ptr<FakeAudioOutput::Record> m_record;
};

}

FakeAudioOutput::FakeAudioOutput(std::shared_ptr<Record> record)
    : m_record(std::move(record))
{
}

AudioOutput::Opened FakeAudioOutput::open(std::filesystem::path const& file)
{
    m_record->opened.push_back(file);
    if (m_record->unreadable.contains(file))
        return { nullptr, "not a WAV file" };
    return { std::make_unique<FakePlayer>(file, m_record), {} };
}

}
