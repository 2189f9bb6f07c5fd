#include "app-core/ApprovalPopover.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace PupnikCore;
using PawletKit::ApprovalDecision;
using PawletKit::ApprovalRequest;

namespace {

ApprovalRequest request(std::string const& id)
{
    ApprovalRequest r;
    r.id = id;
    r.tool = "Edit";
    r.target = "/src/" + id + ".cpp";
    r.summary = "@@ -1 +1 @@\n-old\n+new";
    r.sessionId = "session-" + id;
    r.cwd = "/src";
    return r;
}

std::vector<ApprovalRequest> requests(std::vector<std::string> const& ids)
{
    std::vector<ApprovalRequest> list;
    for (auto const& id : ids)
        list.push_back(request(id));
    return list;
}

std::vector<std::string> ids(std::vector<ApprovalRequest> const& list)
{
    std::vector<std::string> result;
    for (auto const& r : list)
        result.push_back(r.id);
    return result;
}

// Records what the popover asks of its window, in order; "render" notes the ids and the shown one.
class RecordingPresenter final : public ApprovalPopoverPresenter {
public:
    bool shown { false };
    std::vector<std::string> calls;
    std::vector<std::string> renderedIDs;
    std::optional<std::string> renderedSelection;

    bool isShown() const override { return shown; }
    void render(std::vector<ApprovalRequest> const& list, std::optional<std::string> const& selectedID) override
    {
        calls.push_back("render " + selectedID.value_or("-"));
        renderedIDs = ids(list);
        renderedSelection = selectedID;
    }
    void present() override
    {
        calls.push_back("present");
        shown = true;
    }
    void focusDeny() override { calls.push_back("focusDeny"); }
    void dismiss() override
    {
        calls.push_back("dismiss");
        shown = false;
    }
};

struct Decision {
    std::string id;
    ApprovalDecision decision;
    bool operator==(Decision const&) const = default;
};

// A popover on a manual clock with a recording window and recording callbacks.
struct Harness {
    Harness()
    {
        popover.attach(&window);
        popover.onDecide = [this](std::string const& id, ApprovalDecision decision) { decisions.push_back({ id, decision }); };
        popover.onOpenTerminal = [this](ApprovalRequest const& r) {
            terminalRequests.push_back(r.id);
            shownWhenTerminalOpened = window.shown;
        };
    }
    Harness(Harness const&) = delete;
    Harness& operator=(Harness const&) = delete;

    // Opens the popover and lets the settle window pass.
    void openSettled(std::vector<std::string> const& list)
    {
        popover.show(requests(list));
        clock.advance(0.6);
        window.calls.clear();
    }

    Platform::ManualClock clock;
    RecordingPresenter window;
    ApprovalPopover popover { clock };
    std::vector<Decision> decisions;
    std::vector<std::string> terminalRequests;
    bool shownWhenTerminalOpened { true };
};

std::string decideCapturingLog(ApprovalPopover& popover, ApprovalDecision decision)
{
    testing::internal::CaptureStderr();
    popover.decide(decision);
    return testing::internal::GetCapturedStderr();
}

}

TEST(ApprovalPopover, Opening)
{
    struct Case {
        char const* name;
        std::vector<std::string> first; // shown first; empty means the popover was never shown
        std::optional<std::string> select; // picked while open
        bool closeBetween;
        std::vector<std::string> second;
        std::vector<std::string> expectedIDs;
        std::string expectedSelection;
        std::vector<std::string> expectedCalls; // for the second show
        bool settleRestarted;
    } const cases[] = {
        { "first opening selects the first request", {}, {}, false, { "a", "b" }, { "a", "b" }, "a", { "render a", "present", "focusDeny" }, true },
        { "an empty list opens nothing", {}, {}, false, {}, {}, "-", {}, false },
        { "an empty list keeps the stored list", { "a", "b" }, {}, true, {}, { "a", "b" }, "a", {}, false },
        { "showing while open refreshes only", { "a" }, {}, false, { "a", "b" }, { "a", "b" }, "a", { "render a", "focusDeny" }, false },
        { "reopening keeps a selection still listed", { "a", "b" }, "b", true, { "a", "b", "c" }, { "a", "b", "c" }, "b", { "render b", "present", "focusDeny" }, true },
        { "reopening without the selected request takes the first", { "a", "b" }, "b", true, { "c", "a" }, { "c", "a" }, "c", { "render c", "present", "focusDeny" }, true },
    };
    for (auto const& c : cases) {
        Harness t;
        auto& clock = t.clock;
        auto& window = t.window;
        auto& popover = t.popover;
        if (!c.first.empty())
            popover.show(requests(c.first));
        if (c.select)
            popover.select(*c.select);
        if (c.closeBetween)
            window.dismiss();
        clock.advance(3);
        auto const shownBefore = popover.shownAt();
        window.calls.clear();

        popover.show(requests(c.second));

        EXPECT_EQ(ids(popover.requests()), c.expectedIDs) << c.name;
        EXPECT_EQ(popover.selectedRequest() ? popover.selectedRequest()->id : "-", c.expectedSelection) << c.name;
        EXPECT_EQ(window.calls, c.expectedCalls) << c.name;
        EXPECT_EQ(popover.shownAt(), c.settleRestarted ? std::optional(clock.monotonic()) : shownBefore) << c.name;
    }
}

TEST(ApprovalPopover, ShowingOpensOnTheListTheUpdatesKept)
{
    Harness t;
    t.popover.show();
    EXPECT_TRUE(t.window.calls.empty());
    EXPECT_FALSE(t.popover.shownAt());

    t.popover.update(requests({ "a", "b" }));
    EXPECT_TRUE(t.window.calls.empty());
    t.popover.show();
    EXPECT_EQ(t.window.renderedIDs, (std::vector<std::string> { "a", "b" }));
    EXPECT_EQ(t.window.calls, (std::vector<std::string> { "render a", "present", "focusDeny" }));
    EXPECT_EQ(t.popover.shownAt(), t.clock.monotonic());

    // Closed, and then every request was answered elsewhere: the next click opens nothing.
    t.window.dismiss();
    t.popover.update({});
    t.window.calls.clear();
    t.popover.show();
    EXPECT_TRUE(t.window.calls.empty());
}

TEST(ApprovalPopover, Updates)
{
    struct Case {
        char const* name;
        bool open;
        std::vector<std::string> next;
        std::vector<std::string> expectedCalls;
        std::string expectedSelection;
        bool settleRestarted;
        bool shownAfter;
    } const cases[] = {
        { "a request added behind the selection", true, { "a", "b", "c" }, { "render b" }, "b", false, true },
        { "a request removed behind the selection", true, { "b" }, { "render b" }, "b", false, true },
        { "the selected request removed", true, { "a", "c" }, { "render a" }, "a", true, true },
        { "the selected request replaced", true, { "d" }, { "render d" }, "d", true, true },
        { "nothing left", true, {}, { "dismiss" }, "-", false, false },
        { "while closed only remembered", false, { "c" }, {}, "c", false, false },
        { "while closed nothing left", false, {}, {}, "-", false, false },
    };
    for (auto const& c : cases) {
        Harness t;
        auto& clock = t.clock;
        auto& window = t.window;
        auto& popover = t.popover;
        popover.show(requests({ "a", "b" }));
        popover.select("b");
        if (!c.open)
            window.dismiss();
        clock.advance(3);
        auto const shownBefore = popover.shownAt();
        window.calls.clear();

        popover.update(requests(c.next));

        EXPECT_EQ(ids(popover.requests()), c.next) << c.name;
        EXPECT_EQ(window.calls, c.expectedCalls) << c.name;
        EXPECT_EQ(popover.selectedRequest() ? popover.selectedRequest()->id : "-", c.expectedSelection) << c.name;
        EXPECT_EQ(popover.shownAt(), c.settleRestarted ? std::optional(clock.monotonic()) : shownBefore) << c.name;
        EXPECT_EQ(window.shown, c.shownAfter) << c.name;
    }
}

TEST(ApprovalPopover, PickingAnotherRowRestartsTheSettleWindowAndTheSameRowDoesNot)
{
    Harness t;
    auto& popover = t.popover;
    auto& window = t.window;
    auto& decisions = t.decisions;
    t.openSettled({ "a", "b", "c" });

    popover.select("a");
    EXPECT_TRUE(window.calls.empty());
    EXPECT_EQ(decideCapturingLog(popover, ApprovalDecision::allow), "");
    ASSERT_EQ(decisions, (std::vector<Decision> { { "a", ApprovalDecision::allow } }));

    popover.select("c");
    EXPECT_EQ(window.calls, (std::vector<std::string> { "render c" }));
    EXPECT_EQ(window.renderedSelection, "c");
    t.clock.advance(0.3);
    EXPECT_NE(decideCapturingLog(popover, ApprovalDecision::deny), "");
    t.clock.advance(0.2);
    popover.decide(ApprovalDecision::deny);
    EXPECT_EQ(decisions.back(), (Decision { "c", ApprovalDecision::deny }));
}

TEST(ApprovalPopover, ClicksInsideTheSettleWindowAreRefused)
{
    struct Case {
        char const* name;
        std::function<void(Harness&)> setUp;
        ApprovalDecision decision;
        bool accepted;
    } const cases[] = {
        { "0.3 s after opening", [](auto& t) { t.popover.show(requests({ "a" })); t.clock.advance(0.3); }, ApprovalDecision::allow, false },
        // Half a second, to the millisecond on either side.
        { "0.499 s after opening", [](auto& t) { t.popover.show(requests({ "a" })); t.clock.advance(0.499); }, ApprovalDecision::allow, false },
        { "0.5 s after opening", [](auto& t) { t.popover.show(requests({ "a" })); t.clock.advance(0.5); }, ApprovalDecision::allow, true },
        { "0.501 s after opening", [](auto& t) { t.popover.show(requests({ "a" })); t.clock.advance(0.501); }, ApprovalDecision::deny, true },
        { "0.6 s after opening", [](auto& t) { t.popover.show(requests({ "a" })); t.clock.advance(0.6); }, ApprovalDecision::deny, true },
        { "0.499 s after a row was picked", [](auto& t) { t.openSettled({ "a", "b" }); t.popover.select("b"); t.clock.advance(0.499); },
            ApprovalDecision::deny, false },
        { "0.5 s after a row was picked", [](auto& t) { t.openSettled({ "a", "b" }); t.popover.select("b"); t.clock.advance(0.5); },
            ApprovalDecision::deny, true },
        { "at once after a row was picked", [](auto& t) { t.openSettled({ "a", "b" }); t.popover.select("b"); }, ApprovalDecision::deny, false },
        { "at once after the selected request went away",
            [](auto& t) { t.openSettled({ "a", "b" }); t.popover.update(requests({ "b" })); }, ApprovalDecision::allow, false },
        { "a request added does not restart it",
            [](auto& t) { t.openSettled({ "a" }); t.popover.update(requests({ "a", "b" })); }, ApprovalDecision::allow, true },
        // A button pressed through some other road before the popover ever opened.
        { "never opened", [](auto& t) { t.popover.update(requests({ "a" })); t.clock.advance(5); }, ApprovalDecision::deny, false },
        // The settle window runs on monotonic time: the wall clock may be set back or forward meanwhile.
        { "wall clock set forward an hour",
            [](auto& t) { t.popover.show(requests({ "a" })); t.clock.setNow(t.clock.now() + 3600); }, ApprovalDecision::allow, false },
        { "wall clock set back an hour",
            [](auto& t) { t.popover.show(requests({ "a" })); t.clock.advance(0.6); t.clock.setNow(t.clock.now() - 3600); }, ApprovalDecision::allow, true },
    };
    for (auto const& c : cases) {
        Harness t;
        c.setUp(t);
        bool const shownBefore = t.window.shown;
        std::string const log = decideCapturingLog(t.popover, c.decision);
        if (c.accepted) {
            ASSERT_EQ(t.decisions.size(), 1u) << c.name;
            EXPECT_EQ(t.decisions.front().decision, c.decision) << c.name;
            EXPECT_EQ(log, "") << c.name;
        } else {
            EXPECT_TRUE(t.decisions.empty()) << c.name;
            EXPECT_EQ(log, "[Pupnik] approval: ignored a " + std::string(c.decision.rawValue()) + " that arrived within the settle window\n") << c.name;
            EXPECT_EQ(t.window.shown, shownBefore) << c.name;
        }
    }
}

// The driver writes the reply and hands the shortened list back into update() before onDecide
// returns, as the application wires it.
TEST(ApprovalPopover, DecidingWithTheDriverAnsweringAtOnce)
{
    struct Case {
        char const* name;
        std::vector<std::string> pending;
        ApprovalDecision decision;
        bool stillShown;
        std::vector<std::string> listedAfter;
        std::string selectedAfter;
    } const cases[] = {
        { "the only request", { "a" }, ApprovalDecision::allow, false, {}, "-" },
        { "one of two", { "a", "b" }, ApprovalDecision::allow, true, { "b" }, "b" },
        { "one of three, denied", { "a", "b", "c" }, ApprovalDecision::deny, true, { "b", "c" }, "b" },
    };
    for (auto const& c : cases) {
        Harness t;
        std::vector<ApprovalRequest> pending = requests(c.pending);
        t.popover.onDecide = [&](std::string const& id, ApprovalDecision decision) {
            t.decisions.push_back({ id, decision });
            std::erase_if(pending, [&](auto const& r) { return r.id == id; });
            t.popover.update(pending);
        };
        t.openSettled(c.pending);

        t.popover.decide(c.decision);

        EXPECT_EQ(t.decisions, (std::vector<Decision> { { "a", c.decision } })) << c.name;
        EXPECT_EQ(t.window.shown, c.stillShown) << c.name;
        EXPECT_EQ(ids(t.popover.requests()), c.listedAfter) << c.name;
        EXPECT_EQ(t.popover.selectedRequest() ? t.popover.selectedRequest()->id : "-", c.selectedAfter) << c.name;
        if (c.stillShown) {
            // The next request waits out a settle window of its own.
            EXPECT_EQ(t.window.renderedSelection, c.selectedAfter) << c.name;
            EXPECT_EQ(t.popover.shownAt(), t.clock.monotonic()) << c.name;
        }
    }
}

TEST(ApprovalPopover, DecidingWithTheListArrivingLater)
{
    struct Case {
        char const* name;
        std::vector<std::string> pending;
        bool stillShown;
    } const cases[] = {
        { "the only request closes the popover", { "a" }, false },
        { "one of two keeps it open on the same row", { "a", "b" }, true },
        { "one of three keeps it open on the same row", { "a", "b", "c" }, true },
    };
    for (auto const& c : cases) {
        Harness t;
        t.openSettled(c.pending);

        t.popover.decide(ApprovalDecision::deny);

        EXPECT_EQ(t.decisions, (std::vector<Decision> { { "a", ApprovalDecision::deny } })) << c.name;
        EXPECT_EQ(t.window.shown, c.stillShown) << c.name;
        EXPECT_EQ(ids(t.popover.requests()), c.pending) << c.name;
        EXPECT_EQ(t.popover.selectedRequest()->id, "a") << c.name;
    }
}

TEST(ApprovalPopover, NothingToDecideWithAnEmptyList)
{
    Harness t;
    t.popover.update({});
    t.clock.advance(5);
    EXPECT_EQ(decideCapturingLog(t.popover, ApprovalDecision::allow), "");
    t.popover.openTerminal();
    EXPECT_TRUE(t.decisions.empty());
    EXPECT_TRUE(t.terminalRequests.empty());
}

TEST(ApprovalPopover, MissingCallbacksAreSkipped)
{
    Harness t;
    t.popover.onDecide = nullptr;
    t.popover.onOpenTerminal = nullptr;
    t.openSettled({ "a" });
    t.popover.decide(ApprovalDecision::allow);
    EXPECT_FALSE(t.window.shown);
    t.popover.show(requests({ "a" }));
    t.popover.openTerminal();
    EXPECT_FALSE(t.window.shown);
}

TEST(ApprovalPopover, TerminalButtonClosesFirstAndIgnoresTheSettleWindow)
{
    Harness t;
    t.popover.show(requests({ "a", "b" }));
    t.clock.advance(0.6);
    t.popover.select("b");

    t.popover.openTerminal();

    EXPECT_EQ(t.terminalRequests, (std::vector<std::string> { "b" }));
    EXPECT_FALSE(t.shownWhenTerminalOpened);
    EXPECT_FALSE(t.window.shown);
    EXPECT_TRUE(t.decisions.empty());
    // Closing forgets nothing: a later opening comes back to the same request.
    EXPECT_EQ(t.popover.selectedID(), "b");
}

TEST(ApprovalPopover, EscapeKey)
{
    struct Case {
        char const* name;
        bool open;
        bool settled;
        bool handled;
        bool shownAfter;
        size_t decisions;
    } const cases[] = {
        { "Escape closes the open popover", true, true, true, false, 0 },
        { "Escape inside the settle window closes too", true, false, true, false, 0 },
        { "Escape while closed goes on to the application", false, true, false, false, 0 },
    };
    for (auto const& c : cases) {
        Harness t;
        t.popover.show(requests({ "a" }));
        if (c.settled)
            t.clock.advance(0.6);
        if (!c.open)
            t.window.dismiss();

        testing::internal::CaptureStderr();
        bool const handled = t.popover.handleEscape();
        testing::internal::GetCapturedStderr();

        EXPECT_EQ(handled, c.handled) << c.name;
        EXPECT_EQ(t.window.shown, c.shownAfter) << c.name;
        EXPECT_EQ(t.decisions.size(), c.decisions) << c.name;
        if (c.decisions) {
            EXPECT_EQ(t.decisions.front(), (Decision { "a", ApprovalDecision::allow })) << c.name;
        }
    }
}

TEST(ApprovalPopover, WithoutAWindowNothingIsShown)
{
    Platform::ManualClock clock;
    ApprovalPopover popover(clock);
    popover.show(requests({ "a" }));
    EXPECT_FALSE(popover.isShown());
    EXPECT_FALSE(popover.handleEscape());
    popover.update({});
    EXPECT_TRUE(popover.requests().empty());
}

TEST(ApprovalPopover, SelectedRequest)
{
    auto const list = requests({ "a", "b" });
    struct Case {
        std::optional<std::string> id;
        std::vector<ApprovalRequest> list;
        std::string expected;
    } const cases[] = {
        { "b", list, "b" },
        { "gone", list, "a" },
        { std::nullopt, list, "a" },
        { "a", {}, "-" },
    };
    for (auto const& c : cases) {
        auto const* picked = ApprovalPopover::pick(c.list, c.id);
        EXPECT_EQ(picked ? picked->id : "-", c.expected) << c.id.value_or("none");
    }
}
