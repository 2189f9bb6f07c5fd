#include "Pupnik/LifeGuard.hpp"

#include <gtest/gtest.h>
#include <string>

using namespace Pupnik;

namespace {

struct Owner {
    std::string heard;
    int count { 0 };
    LifeGuard guard;
};

}

TEST(LifeGuard, CallbacksRunWhileTheOwnerLivesAndAnswerNothingAfter)
{
    auto owner = std::make_unique<Owner>();
    std::function<void(std::string const&)> tell = owner->guard.whileAlive([&owner = *owner](std::string const& text) { owner.heard += text; });
    std::function<int()> count = owner->guard.whileAlive([&owner = *owner] { return ++owner.count; });
    std::function<std::string()> name = owner->guard.whileAlive([] { return std::string("pet"); });

    tell("woof");
    EXPECT_EQ(owner->heard, "woof");
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(name(), "pet");

    owner->guard.end();
    tell("again");
    EXPECT_EQ(owner->heard, "woof");
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(owner->count, 1);
    EXPECT_EQ(name(), "");

    // The callbacks outlive the owner and still do nothing.
    owner.reset();
    tell("gone");
    EXPECT_EQ(count(), 0);
}

TEST(LifeGuard, ReferencesExpireWhenTheGuardEnds)
{
    Owner owner;
    std::weak_ptr<Owner> reference = owner.guard.reference(owner);
    ASSERT_FALSE(reference.expired());
    EXPECT_EQ(reference.lock().get(), &owner);
    owner.guard.end();
    EXPECT_TRUE(reference.expired());
    EXPECT_TRUE(owner.guard.reference(owner).expired());
    EXPECT_FALSE(owner.guard.whileAlive([] { return true; })());
}
