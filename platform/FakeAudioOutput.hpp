#pragma once

#include "platform/AudioOutput.hpp"

#include <set>
#include <vector>

namespace Platform {

// An output that plays nothing and records what it was asked to do, for tests. The record is shared,
// so a test still reads it after handing the output over.
class FakeAudioOutput final : public AudioOutput {
public:
    struct Record {
        // What the test sets up.
        std::set<std::filesystem::path> unreadable;
        bool starts { true };

        // What happened, in order.
        std::vector<std::filesystem::path> opened;
        std::vector<std::filesystem::path> started;
        std::vector<std::filesystem::path> stopped;
        std::set<std::filesystem::path> playing;
    };

    explicit FakeAudioOutput(std::shared_ptr<Record> record = std::make_shared<Record>());

    Opened open(std::filesystem::path const& file) override;
    std::shared_ptr<Record> const& record() const { return m_record; }

private:
    std::shared_ptr<Record> m_record;
};

}
