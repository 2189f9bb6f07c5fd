#include "PawletKit/tests/TestSupport.hpp"
#include "app-core/Entitlements.hpp"

#include <gtest/gtest.h>

using namespace PupnikCore;
using Containers = std::vector<std::string>;

TEST(Entitlements, TheInstallationListsTheApplicationsContainer)
{
    EXPECT_EQ(Entitlements::iCloudContainers(), Containers { "iCloud.com.ardlow.tailbase" });
    EXPECT_TRUE(Entitlements::hasContainer(Entitlements::containerIdentifier));
    EXPECT_FALSE(Entitlements::hasContainer("icloud.com.ardlow.tailbase"));
}

TEST(Entitlements, FilesListContainersOrNothing)
{
    struct Case {
        char const* contents;
        Containers expected;
    } const cases[] = {
        { R"({"com.apple.developer.icloud-container-identifiers":["iCloud.a","iCloud.b"]})", { "iCloud.a", "iCloud.b" } },
        { R"({"com.apple.developer.icloud-container-identifiers":"iCloud.com.ardlow.tailbase"})", { "iCloud.com.ardlow.tailbase" } },
        { R"({"com.apple.developer.icloud-container-identifiers":["iCloud.a",3]})", {} },
        { R"({"com.apple.developer.icloud-container-identifiers":{"a":1}})", {} },
        { R"({"com.apple.developer.icloud-container-identifiers":null})", {} },
        { R"({"other":["iCloud.a"]})", {} },
        { R"(["iCloud.a"])", {} },
        { "{broken", {} },
        { "", {} },
    };
    TestSupport::TemporaryDirectory folder;
    for (auto const& c : cases) {
        TestSupport::writeFile(folder.path() / "entitlements.json", c.contents);
        EXPECT_EQ(Entitlements::containersInFile(folder.path() / "entitlements.json"), c.expected) << c.contents;
    }
    EXPECT_EQ(Entitlements::containersInFile(folder.path() / "missing.json"), Containers {});
    TestSupport::writeFile(folder.path() / "huge.json", std::string(Entitlements::maxFileBytes + 1, ' ') + "{}");
    EXPECT_EQ(Entitlements::containersInFile(folder.path() / "huge.json"), Containers {});
}

TEST(Entitlements, AnExecutableElsewhereIsReadThroughItsOwnInstallation)
{
    TestSupport::TemporaryDirectory prefix;
    auto program = prefix.path() / "bin" / "Pupnik";
    TestSupport::writeFile(program, "#!/bin/sh\n");
    EXPECT_EQ(Entitlements::iCloudContainers(program), Containers {}) << "no entitlements file: none granted";
    EXPECT_FALSE(Entitlements::hasContainer("iCloud.other", program));
    TestSupport::writeFile(prefix.path() / "share" / "pupnik" / "entitlements.json",
        R"({"com.apple.developer.icloud-container-identifiers":["iCloud.other"]})");
    EXPECT_EQ(Entitlements::iCloudContainers(program), Containers { "iCloud.other" });
    EXPECT_TRUE(Entitlements::hasContainer("iCloud.other", program));
    EXPECT_FALSE(Entitlements::hasContainer(Entitlements::containerIdentifier, program));

    EXPECT_EQ(Entitlements::iCloudContainers(prefix.path() / "bin" / "missing"), std::nullopt);
    EXPECT_FALSE(Entitlements::hasContainer("iCloud.other", prefix.path() / "bin" / "missing"));
}
