#include "PawletKit/ApplicationLock.hpp"

#include "TestSupport.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace PawletKit;
namespace fs = std::filesystem;

TEST(ApplicationLock, HeldWhileTheHolderLives)
{
    TestSupport::TemporaryDirectory temporary;
    Paths paths = Paths::withBase(temporary.path() / "support");
    EXPECT_EQ(paths.applicationLock(), temporary.path() / "support" / "Pupnik.lock");
    EXPECT_FALSE(ApplicationLock::isHeldElsewhere(paths));
    {
        auto lock = ApplicationLock::acquire(paths);
        ASSERT_TRUE(lock);
        EXPECT_EQ(TestSupport::fileMode(paths.applicationLock()), 0600u);
        EXPECT_EQ(TestSupport::fileMode(paths.base()), 0700u);
        EXPECT_TRUE(ApplicationLock::isHeldElsewhere(paths));
        // Checks do not take the lock away, however many.
        EXPECT_TRUE(ApplicationLock::isHeldElsewhere(paths));
        // A second copy of the application finds it taken.
        EXPECT_FALSE(ApplicationLock::acquire(paths));

        ApplicationLock moved = std::move(*lock);
        lock.reset();
        EXPECT_TRUE(ApplicationLock::isHeldElsewhere(paths));
    }
    // The file stays behind, unlocked, as after a crash.
    EXPECT_TRUE(fs::exists(paths.applicationLock()));
    EXPECT_FALSE(ApplicationLock::isHeldElsewhere(paths));
    EXPECT_TRUE(ApplicationLock::acquire(paths));
}

// What others may plant at the path reads as not held, without blocking, and is never taken over.
TEST(ApplicationLock, PlantedFilesAreNotFollowed)
{
    TestSupport::TemporaryDirectory temporary;
    Paths paths = Paths::withBase(temporary.path());
    Paths elsewhere = Paths::withBase(temporary.path() / "elsewhere");
    auto held = ApplicationLock::acquire(elsewhere);
    ASSERT_TRUE(held);
    struct Case {
        char const* name;
        std::function<void()> plant;
    };
    Case const cases[] = {
        { "FIFO", [&] { ASSERT_EQ(::mkfifo(paths.applicationLock().c_str(), 0600), 0); } },
        { "link to a held lock", [&] { fs::create_symlink(elsewhere.applicationLock(), paths.applicationLock()); } },
        { "folder", [&] { fs::create_directory(paths.applicationLock()); } },
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(paths.applicationLock());
        c.plant();
        EXPECT_FALSE(ApplicationLock::isHeldElsewhere(paths));
        EXPECT_FALSE(ApplicationLock::acquire(paths));
    }
}
