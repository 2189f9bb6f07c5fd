#include "app-core/ClickClassifier.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace PupnikCore;
using Kind = ClickClassifier::Kind;

namespace {
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
}

TEST(ClickClassifier, LimitsAreInclusiveAndAnythingNotFiniteIsADrag)
{
    struct Case {
        double distance;
        double duration;
        Kind expected;
    } const cases[] = {
        { 0, 0, Kind::click },
        { 6, 0.4, Kind::click },
        { 6, 0, Kind::click },
        { 0, 0.4, Kind::click },
        { std::nextafter(6.0, 0.0), std::nextafter(0.4, 0.0), Kind::click },
        { std::nextafter(6.0, 7.0), 0.4, Kind::drag },
        { 6, std::nextafter(0.4, 1.0), Kind::drag },
        { 6.01, 0.4, Kind::drag },
        { 6, 0.41, Kind::drag },
        { 6.01, 0.41, Kind::drag },
        { 100, 0.1, Kind::drag },
        { 1, 3, Kind::drag },
        { infinity, 0.1, Kind::drag },
        { 1, infinity, Kind::drag },
        { -infinity, 0.1, Kind::drag },
        { 1, -infinity, Kind::drag },
        { notANumber, 0.1, Kind::drag },
        { 1, notANumber, Kind::drag },
        { notANumber, notANumber, Kind::drag },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(ClickClassifier::classify(c.distance, c.duration, 6, 0.4), c.expected) << c.distance << ", " << c.duration;
        // The pet view's limits are the same numbers.
        EXPECT_EQ(ClickClassifier::classify(c.distance, c.duration), c.expected) << c.distance << ", " << c.duration;
    }
}

TEST(ClickClassifier, LimitsThatAreNotNumbersAllowNoClick)
{
    struct Case {
        double maxDistance;
        double maxDuration;
        Kind expected;
    } const cases[] = {
        { notANumber, 0.4, Kind::drag },
        { 6, notANumber, Kind::drag },
        { infinity, infinity, Kind::click },
        { 0, 0, Kind::click },
        { -1, 0.4, Kind::drag },
    };
    for (auto const& c : cases)
        EXPECT_EQ(ClickClassifier::classify(0, 0, c.maxDistance, c.maxDuration), c.expected) << c.maxDistance << ", " << c.maxDuration;
}
