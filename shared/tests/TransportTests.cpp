#include "shared/IdleTransport.hpp"
#include "shared/TransportSelector.hpp"

#include <gtest/gtest.h>

using namespace PawletShared;

TEST(TransportAvailability, EqualByCaseAndReason)
{
    EXPECT_EQ(TransportAvailability::unavailable("noTransport"), TransportAvailability::unavailable("noTransport"));
    EXPECT_NE(TransportAvailability::unavailable("noTransport"), TransportAvailability::unavailable("network"));
    EXPECT_NE(TransportAvailability::unavailable(""), TransportAvailability::unknown());
    EXPECT_NE(TransportAvailability::unknown(), TransportAvailability::available());
}

TEST(TransportSelector, DemoRequestsThenCloudThenDemoFallback)
{
    struct Case {
        bool demoRequested, demoForced, cloudUsable, demoFallback;
        TransportKind expected;
    } const cases[] = {
        { true, false, true, false, TransportKind::demo },
        { false, true, true, true, TransportKind::demo },
        { false, false, true, true, TransportKind::cloud },
        { false, false, false, true, TransportKind::demo },
        { false, false, false, false, TransportKind::idle },
    };
    for (auto const& c : cases)
        EXPECT_EQ(TransportSelector::choose(c.demoRequested, c.demoForced, c.cloudUsable, c.demoFallback), c.expected)
            << c.demoRequested << c.demoForced << c.cloudUsable << c.demoFallback;
}

TEST(IdleTransport, ReportsNoTransportOnEveryStartAndNeverDelivers)
{
    IdleTransport transport;
    transport.start(); // no callback set: nothing to do, nothing fails
    std::vector<TransportAvailability> reports;
    transport.onAvailability = [&](TransportAvailability const& availability) { reports.push_back(availability); };
    transport.onSnapshot = [](PetSnapshot const&) { FAIL() << "the idle transport delivered a snapshot"; };
    transport.start();
    transport.refresh();
    transport.stop();
    transport.start();
    EXPECT_EQ(reports, std::vector<TransportAvailability>(2, TransportAvailability::unavailable("noTransport")));
}
