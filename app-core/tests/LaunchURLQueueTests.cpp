#include "app-core/LaunchURLQueue.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;

namespace {

URL url(std::string const& text)
{
    auto parsed = URL::parse(text);
    if (!parsed)
        throw std::invalid_argument("not a URL: " + text);
    return *parsed;
}

std::vector<std::string> texts(std::vector<URL> const& urls)
{
    std::vector<std::string> result;
    for (auto const& u : urls)
        result.push_back(u.absoluteString());
    return result;
}

std::vector<URL> numbered(int first, int count)
{
    std::vector<URL> urls;
    for (int i = first; i < first + count; ++i)
        urls.push_back(url("pupnik://demo/" + std::to_string(i)));
    return urls;
}

}

TEST(LaunchURLQueue, StartsCollectingAndEmpty)
{
    LaunchURLQueue queue;
    EXPECT_FALSE(queue.isReady());
    EXPECT_TRUE(queue.pending().empty());
    EXPECT_EQ(queue.dropped(), 0);
    EXPECT_EQ(LaunchURLQueue::scheme, "pupnik");
    EXPECT_EQ(LaunchURLQueue::maxPending, 32u);
    EXPECT_EQ(queue, LaunchURLQueue());
}

TEST(LaunchURLQueue, FortyBeforeLaunchKeepThirtyTwoAndCountEight)
{
    LaunchURLQueue queue;
    // In batches of different sizes, so the limit applies across batches and inside one.
    EXPECT_TRUE(queue.accept(numbered(0, 5)).empty());
    EXPECT_TRUE(queue.accept(numbered(5, 25)).empty());
    EXPECT_TRUE(queue.accept(numbered(30, 10)).empty());
    EXPECT_EQ(queue.pending().size(), 32u);
    EXPECT_EQ(queue.dropped(), 8);
    EXPECT_EQ(texts(queue.pending()), texts(numbered(0, 32)));

    auto released = queue.markReady();
    EXPECT_EQ(texts(released), texts(numbered(0, 32)));
    EXPECT_TRUE(queue.isReady());
    EXPECT_TRUE(queue.pending().empty());
    EXPECT_EQ(queue.dropped(), 8) << "the count survives the release";
    EXPECT_TRUE(queue.markReady().empty()) << "released once only";
    EXPECT_EQ(queue.dropped(), 8);
}

TEST(LaunchURLQueue, OnlyTheApplicationsSchemeInAnyCase)
{
    struct Case {
        char const* text;
        bool ours;
    } const cases[] = {
        { "pupnik://demo/happy", true },
        { "PUPNIK://demo/happy", true },
        { "PupNik://debug/status", true },
        { "pupnik:demo/off", true },
        { "https://example.com/", false },
        { "pupnikx://demo/happy", false },
        { "pupni://demo/happy", false },
        { "file:///tmp/pupnik", false },
        { "x-pupnik://demo", false },
    };
    for (auto const& c : cases) {
        LaunchURLQueue before;
        EXPECT_TRUE(before.accept({ url(c.text) }).empty()) << c.text;
        EXPECT_EQ(before.pending().size(), c.ours ? 1u : 0u) << c.text;
        EXPECT_EQ(before.dropped(), 0) << c.text << ": another scheme is not counted";

        LaunchURLQueue after;
        after.markReady();
        EXPECT_EQ(after.accept({ url(c.text) }).size(), c.ours ? 1u : 0u) << c.text;
        EXPECT_TRUE(after.pending().empty());
    }
}

TEST(LaunchURLQueue, OtherSchemesDoNotTakePlacesOrCount)
{
    LaunchURLQueue queue;
    auto ours = numbered(0, 31);
    queue.accept(ours);
    queue.accept({ url("https://example.com/1"), url("mailto:a@b.c"), url("pupnik://demo/last"), url("https://example.com/2") });
    EXPECT_EQ(queue.pending().size(), 32u);
    EXPECT_EQ(queue.pending().back().absoluteString(), "pupnik://demo/last");
    EXPECT_EQ(queue.dropped(), 0);
    queue.accept({ url("https://example.com/3"), url("pupnik://demo/over") });
    EXPECT_EQ(queue.dropped(), 1);
}

TEST(LaunchURLQueue, AfterLaunchPassesMixedBatchesStraightThroughInOrder)
{
    LaunchURLQueue queue;
    queue.accept({ url("pupnik://demo/early") });
    EXPECT_EQ(texts(queue.markReady()), std::vector<std::string> { "pupnik://demo/early" });
    auto const ready = queue;

    EXPECT_EQ(texts(queue.accept({ url("pupnik://demo/a"), url("pupnik://demo/b") })),
        (std::vector<std::string> { "pupnik://demo/a", "pupnik://demo/b" }));
    EXPECT_EQ(texts(queue.accept({ url("https://a.example/"), url("PUPNIK://demo/c"), url("mailto:x@y.z"), url("pupnik://debug/status") })),
        (std::vector<std::string> { "PUPNIK://demo/c", "pupnik://debug/status" }));
    // Far more than would ever wait: nothing is held back or counted once ready.
    EXPECT_EQ(queue.accept(numbered(0, 100)).size(), 100u);
    EXPECT_EQ(queue, ready) << "passing through leaves the queue as it was";
}

TEST(LaunchURLQueue, TextsThatAreNotURLsAreTurnedAwayUncounted)
{
    std::string const hostile[] = {
        "demo/happy",
        "pupnik://demo/hap py",
        "pupnik://demo/happy\n",
        std::string("pupnik://demo\0/x", 16),
        "pupnik://demo/\x1b]0;title\x07",
        "pupnik://demo/" + std::string(1 << 20, 'a'),
        "",
        "https://example.com/",
    };
    for (bool ready : { false, true }) {
        LaunchURLQueue queue;
        if (ready)
            queue.markReady();
        EXPECT_TRUE(queue.acceptTexts(hostile).empty());
        EXPECT_TRUE(queue.pending().empty());
        EXPECT_EQ(queue.dropped(), 0);
    }

    std::vector<std::string> mixed { "pupnik://demo/one", "not a url", "PUPNIK://demo/two", "pupnik://demo/" + std::string(1 << 20, 'b') };
    LaunchURLQueue queue;
    EXPECT_TRUE(queue.acceptTexts(mixed).empty());
    EXPECT_EQ(texts(queue.markReady()), (std::vector<std::string> { "pupnik://demo/one", "PUPNIK://demo/two" }));
    EXPECT_EQ(texts(queue.acceptTexts(mixed)), (std::vector<std::string> { "pupnik://demo/one", "PUPNIK://demo/two" }));
}

TEST(LaunchURLQueue, EqualityLooksAtAllThreeFields)
{
    LaunchURLQueue a;
    LaunchURLQueue b;
    a.accept({ url("pupnik://demo/x") });
    EXPECT_NE(a, b);
    b.accept({ url("pupnik://demo/y") });
    EXPECT_NE(a, b) << "different URLs";
    LaunchURLQueue c;
    c.accept({ url("pupnik://demo/x") });
    EXPECT_EQ(a, c);
    c.markReady();
    LaunchURLQueue d;
    d.markReady();
    EXPECT_EQ(c, d);
    d.accept(numbered(0, 3));
    EXPECT_EQ(c, d) << "a ready queue does not change";
    LaunchURLQueue full;
    full.accept(numbered(0, 33));
    LaunchURLQueue fullToo;
    fullToo.accept(numbered(0, 32));
    EXPECT_NE(full, fullToo) << "dropped differs";
}
