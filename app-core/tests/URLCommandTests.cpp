#include "app-core/URLCommand.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using Kind = URLCommand::Kind;

namespace {

URL url(std::string const& text)
{
    auto parsed = URL::parse(text);
    if (!parsed)
        throw std::invalid_argument("not a URL: " + text);
    return *parsed;
}

}

TEST(URLCommand, CommandOfEachURL)
{
    struct Case {
        char const* url;
        std::optional<URLCommand> command;
    };
    auto const demo = [](Clip clip) { return URLCommand { Kind::demo, clip }; };
    auto const plain = [](Kind kind) { return URLCommand { kind, std::nullopt }; };
    for (auto const& [text, command] : {
             Case { "pupnik://demo/happy", demo(Clip::happy) },
             Case { "pupnik://demo/sick", demo(Clip::sick) },
             // Only the clip name is lower-cased.
             Case { "pupnik://demo/HAPPY", demo(Clip::happy) },
             Case { "pupnik://demo/Off", plain(Kind::unknownDemoState) },
             Case { "pupnik://Demo/happy", plain(Kind::unknown) },
             Case { "pupnik://demo/off", plain(Kind::demoOff) },
             Case { "pupnik://demo/dance", plain(Kind::unknownDemoState) },
             // A third word is ignored; empty words never count.
             Case { "pupnik://demo/run/fast", demo(Clip::run) },
             Case { "pupnik://demo//walk/", demo(Clip::walk) },
             // Without a host the path gives both words.
             Case { "pupnik:demo/idle", demo(Clip::idle) },
             Case { "pupnik:///demo/stroll", demo(Clip::stroll) },
             Case { "pupnik://demo/%68appy", demo(Clip::happy) },
             Case { "pupnik://demo/happy?x=1#y", demo(Clip::happy) },
             Case { "pupnik://debug/status", plain(Kind::debugStatus) },
             Case { "pupnik://debug/cloud-status", plain(Kind::debugCloudStatus) },
             Case { "pupnik://debug/focus-waiting", plain(Kind::debugFocusWaiting) },
             Case { "pupnik://debug/Status", plain(Kind::unknown) },
             Case { "pupnik://debug/happy", plain(Kind::unknown) },
             Case { "pupnik://feed/dog", plain(Kind::unknown) },
             // Fewer than two words: nothing at all.
             Case { "pupnik://demo", std::nullopt },
             Case { "pupnik://demo/", std::nullopt },
             Case { "pupnik:///happy", std::nullopt },
             Case { "pupnik:", std::nullopt },
             Case { "pupnik://", std::nullopt },
         }) {
        SCOPED_TRACE(text);
        EXPECT_EQ(URLCommand::from(url(text)), command);
    }
}

TEST(URLCommand, WordsAreHostThenPathComponents)
{
    EXPECT_EQ(URLCommand::words(url("pupnik://demo/a//b/")), (std::vector<std::string> { "demo", "a", "b" }));
    EXPECT_EQ(URLCommand::words(url("pupnik://user@demo:7/a")), (std::vector<std::string> { "demo", "a" }));
    EXPECT_EQ(URLCommand::words(url("pupnik:a/b%2Fc")), (std::vector<std::string> { "a", "b/c" }));
    EXPECT_TRUE(URLCommand::words(url("pupnik:///")).empty());
}
