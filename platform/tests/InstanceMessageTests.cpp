#include "platform/InstanceMessage.hpp"

#include <gtest/gtest.h>

using Platform::InstanceMessage;
using Problem = InstanceMessage::Problem;

namespace {

std::string messageOf(size_t count)
{
    std::string message(InstanceMessage::header);
    for (size_t i = 0; i < count; ++i)
        message += "pupnik://demo/" + std::to_string(i) + "\n";
    return message;
}

}

TEST(InstanceMessage, EncodesWhatDecodesBackAndRefusesWhatCouldNot)
{
    std::vector<std::string> const urls { "pupnik://demo/happy", "PUPNIK:debug/status", "pupnik://demo/caf\xc3\xa9" };
    auto const message = InstanceMessage::encode(urls);
    ASSERT_TRUE(message);
    EXPECT_EQ(*message, "pupnik-urls 1\npupnik://demo/happy\nPUPNIK:debug/status\npupnik://demo/caf\xc3\xa9\n\n");
    auto const decoded = InstanceMessage::decode(*message);
    EXPECT_EQ(decoded.problem, std::nullopt);
    EXPECT_EQ(decoded.urls, urls);
    EXPECT_EQ(InstanceMessage::encode({}), std::string("pupnik-urls 1\n\n"));

    struct Case {
        char const* name;
        std::vector<std::string> urls;
        bool encodes;
    } const cases[] = {
        { "64 URLs", std::vector<std::string>(64, "pupnik://demo/run"), true },
        { "65 URLs", std::vector<std::string>(65, "pupnik://demo/run"), false },
        { "an empty one", { "pupnik://demo/run", "" }, false },
        { "a line break", { "pupnik://demo/run\npupnik://demo/off" }, false },
        { "a space", { "pupnik://demo/ run" }, false },
        { "a control character", { std::string("pupnik://demo/\x01run") }, false },
        { "a delete", { "pupnik://demo/\x7frun" }, false },
        { "a NUL", { std::string("pupnik://demo/\0run", 18) }, false },
        { "just under the size", { std::string(InstanceMessage::maxBytes - 16, 'a') }, true },
        { "over the size", { std::string(40000, 'a'), std::string(40000, 'b') }, false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(InstanceMessage::encode(c.urls).has_value(), c.encodes) << c.name;
}

TEST(InstanceMessage, DecodesOnlyWholeSoundMessagesAndRefusesEarly)
{
    struct Case {
        char const* name;
        std::string received;
        std::optional<Problem> problem;
        size_t urls;
    } const cases[] = {
        { "nothing yet", "", Problem::incomplete, 0 },
        { "part of the header", "pupnik-ur", Problem::incomplete, 0 },
        { "header only", "pupnik-urls 1\n", Problem::incomplete, 0 },
        { "a URL without the end", "pupnik-urls 1\npupnik://demo/happy\n", Problem::incomplete, 0 },
        { "half a URL", "pupnik-urls 1\npupnik://de", Problem::incomplete, 0 },
        { "no URLs", "pupnik-urls 1\n\n", std::nullopt, 0 },
        { "one URL", "pupnik-urls 1\npupnik://demo/happy\n\n", std::nullopt, 1 },
        { "64 URLs", messageOf(64) + "\n", std::nullopt, 64 },
        { "a 65th URL arriving", messageOf(64) + "pupnik://de", Problem::tooManyURLs, 0 },
        { "65 URLs", messageOf(65) + "\n", Problem::tooManyURLs, 0 },
        { "another header", "pupnik-urls 2\n\n", Problem::malformed, 0 },
        { "another protocol", "GET / HTTP/1.1\r\n", Problem::malformed, 0 },
        { "a short wrong start", "GET", Problem::malformed, 0 },
        { "bytes after the end", "pupnik-urls 1\n\nmore", Problem::malformed, 0 },
        { "a carriage return", "pupnik-urls 1\npupnik://demo/happy\r\n\n", Problem::malformed, 0 },
        { "a space", "pupnik-urls 1\npupnik://demo/ happy\n\n", Problem::malformed, 0 },
        { "a NUL", std::string("pupnik-urls 1\npupnik://\0\n\n", 25), Problem::malformed, 0 },
        { "just the size", "pupnik-urls 1\n" + std::string(InstanceMessage::maxBytes - 16, 'a') + "\n\n", std::nullopt, 1 },
        { "over the size without an end", "pupnik-urls 1\n" + std::string(InstanceMessage::maxBytes, 'a'), Problem::tooLarge, 0 },
        { "over the size with an end", "pupnik-urls 1\n" + std::string(InstanceMessage::maxBytes - 15, 'a') + "\n\n", Problem::tooLarge, 0 },
    };
    for (auto const& c : cases) {
        auto const decoded = InstanceMessage::decode(c.received);
        EXPECT_EQ(decoded.problem, c.problem) << c.name;
        EXPECT_EQ(decoded.urls.size(), c.urls) << c.name;
    }
}

TEST(InstanceMessage, RefusalsSayWhy)
{
    EXPECT_EQ(InstanceMessage::refusal(Problem::tooLarge), "refused: the message is larger than 64 KiB\n");
    EXPECT_EQ(InstanceMessage::refusal(Problem::tooManyURLs), "refused: more than 64 URLs\n");
    EXPECT_EQ(InstanceMessage::refusal(Problem::malformed), "refused: the message is malformed\n");
}
