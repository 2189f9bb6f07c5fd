#include "PawletKit/tests/TestSupport.hpp"
#include "platform/WaveFile.hpp"

#include <gtest/gtest.h>

using namespace Platform;

namespace {

std::string little(uint32_t value, int size)
{
    std::string bytes;
    for (int i = 0; i < size; ++i)
        bytes.push_back(char((value >> (8 * i)) & 0xff));
    return bytes;
}

std::string chunk(std::string const& id, std::string const& body, std::optional<uint32_t> declared = std::nullopt)
{
    std::string bytes = id + little(declared.value_or(uint32_t(body.size())), 4) + body;
    if (body.size() % 2)
        bytes.push_back('\0');
    return bytes;
}

std::string format(int encoding, int channels, int rate, int bits)
{
    int const frame = channels * bits / 8;
    return chunk("fmt ",
        little(uint32_t(encoding), 2) + little(uint32_t(channels), 2) + little(uint32_t(rate), 4) + little(uint32_t(rate * frame), 4)
            + little(uint32_t(frame), 2) + little(uint32_t(bits), 2));
}

std::string riff(std::string const& chunks) { return "RIFF" + little(uint32_t(4 + chunks.size()), 4) + "WAVE" + chunks; }

}

TEST(WaveFile, ReadsPlainPcmAndRefusesTheRest)
{
    std::string const samples = "\x01\x02\x03\x04\x05\x06\x07\x08";
    struct Case {
        char const* name;
        std::string bytes;
        std::string samples;
        int channels;
        int bits;
        std::string error;
    };
    for (auto const& c : std::vector<Case> {
             { "16-bit mono", riff(format(1, 1, 44100, 16) + chunk("data", samples)), samples, 1, 16, "" },
             { "8-bit stereo after an odd-sized chunk", riff(format(1, 2, 22050, 8) + chunk("LIST", "abc") + chunk("data", samples)), samples, 2,
                 8, "" },
             // Cut short: the whole frames that are there (one 4-byte frame of 16-bit stereo of the 6 bytes).
             { "cut short", riff(format(1, 2, 44100, 16) + chunk("data", samples.substr(0, 6), 800)).substr(0, 44 + 6), samples.substr(0, 4), 2,
                 16, "" },
             { "not RIFF", "RIFX" + riff(format(1, 1, 44100, 16)).substr(4), "", 0, 0, "not a WAV file" },
             { "floating point", riff(format(3, 1, 44100, 32) + chunk("data", samples)), "", 0, 0, "the WAV file is not plain PCM (format 3)" },
             { "24-bit", riff(format(1, 1, 44100, 24) + chunk("data", samples)), "", 0, 0, "the WAV file has 24 bits per sample" },
             { "no channels", riff(format(1, 0, 44100, 16) + chunk("data", samples)), "", 0, 0, "the WAV file has 0 channels" },
             { "absurd rate", riff(format(1, 1, 7, 16) + chunk("data", samples)), "", 0, 0, "the WAV file's sample rate 7 is not supported" },
             { "data first", riff(chunk("data", samples) + format(1, 1, 44100, 16)), "", 0, 0, "the WAV data comes before its format" },
             { "no data", riff(format(1, 1, 44100, 16)), "", 0, 0, "the WAV file holds no samples" },
             { "empty data", riff(format(1, 1, 44100, 16) + chunk("data", "")), "", 0, 0, "the WAV file holds no samples" },
             { "short format", riff(chunk("fmt ", "abcd") + chunk("data", samples)), "", 0, 0, "the WAV format chunk is too short" },
             { "empty", "", "", 0, 0, "not a WAV file" },
         }) {
        SCOPED_TRACE(c.name);
        auto const loaded = WaveFile::parse(c.bytes);
        EXPECT_EQ(loaded.error, c.error);
        ASSERT_EQ(loaded.wave.has_value(), c.error.empty());
        if (loaded.wave) {
            EXPECT_EQ(loaded.wave->samples, c.samples);
            EXPECT_EQ(loaded.wave->channels, c.channels);
            EXPECT_EQ(loaded.wave->bitsPerSample, c.bits);
        }
    }
}

TEST(WaveFile, ReadsAFileAndRefusesOneTooLargeOrAbsent)
{
    TestSupport::TemporaryDirectory folder;
    auto const good = folder.path() / "woof.wav";
    TestSupport::writeFile(good, riff(format(1, 1, 48000, 16) + chunk("data", std::string(96000, '\x10'))));
    auto const loaded = WaveFile::read(good);
    ASSERT_TRUE(loaded.wave) << loaded.error;
    EXPECT_EQ(loaded.wave->sampleRate, 48000);
    EXPECT_EQ(loaded.wave->samples.size(), 96000u);

    auto const large = folder.path() / "large.wav";
    TestSupport::writeFile(large, riff(format(1, 1, 48000, 16) + chunk("data", std::string(WaveFile::maxFileBytes, '\0'))));
    EXPECT_EQ(WaveFile::read(large).error, "the file is larger than 16 MB");

    EXPECT_EQ(WaveFile::read(folder.path() / "absent.wav").error, "No such file or directory");
}
