#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/AboutAndLogin.hpp"
#include "Pupnik/ScriptedAlertPresenter.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"

#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace Pupnik;
using Platform::AutostartEntry;
using Platform::InstallLayout;
using PupnikCore::localized;
using PupnikCore::localizedFormat;
using TestSupport::readFile;
using TestSupport::writeFile;
namespace fs = std::filesystem;

namespace {

class Login : public testing::Test {
protected:
    void SetUp() override { PupnikCore::Localizer::shared().setChoice(PupnikCore::Language::en, {}); }

    fs::path root() const { return m_root.path(); }
    fs::path prefix() const { return root() / "opt" / "pupnik"; }
    fs::path program() const { return prefix() / "bin" / "Pupnik"; }
    fs::path autostartFile() const { return root() / "config" / "autostart" / "pupnik.desktop"; }

    // A prefix laid out as an installation: the program and its desktop entry.
    InstallLayout installed() const
    {
        writeFile(program(), "");
        writeFile(prefix() / "share" / "applications" / "pupnik.desktop", "[Desktop Entry]\n");
        return InstallLayout::aroundExecutable(program());
    }

    AboutAndLogin actions(std::optional<InstallLayout> layout)
    {
        return AboutAndLogin(LaunchAtLogin(std::move(layout), AutostartEntry(autostartFile())), BuildInfo { "2.3.4", "77" }, m_alerts,
            [this](QUrl const& url) { m_opened.push_back(url); });
    }

    ScriptedAlertPresenter m_alerts;
    std::vector<QUrl> m_opened;

private:
    TestSupport::TemporaryDirectory m_root;
};

}

TEST_F(Login, OnlyAnInstalledCopyCanStartAtLogin)
{
    struct Case {
        char const* name;
        std::function<std::optional<InstallLayout>()> layout;
        bool available;
    };
    Case const cases[] = {
        { "installed", [this] { return installed(); }, true },
        { "the build tree", [] { return InstallLayout::aroundExecutable(fs::path(PUPNIK_BUILD_DIR) / "bin" / "Pupnik"); }, false },
        { "a build tree that staged a desktop entry",
            [this] {
                auto layout = installed();
                writeFile(prefix() / "CMakeCache.txt", "");
                return layout;
            },
            false },
        { "a loose executable", [this] { return InstallLayout::aroundExecutable(root() / "Downloads" / "Pupnik"); }, false },
        { "no executable known", [] { return std::optional<InstallLayout>(); }, false },
    };
    for (auto const& test : cases) {
        SCOPED_TRACE(test.name);
        fs::remove_all(root() / "opt");
        m_alerts = ScriptedAlertPresenter();
        auto about = actions(test.layout());
        EXPECT_EQ(about.launchAtLogin().isAvailable(), test.available);

        about.toggleLogin();

        if (test.available) {
            EXPECT_TRUE(m_alerts.shown().empty());
            EXPECT_TRUE(about.launchAtLogin().isEnabled());
            about.toggleLogin();
        } else {
            ASSERT_EQ(m_alerts.shown().size(), 1u);
            EXPECT_EQ(m_alerts.shown()[0],
                Alert::notice(localized("login.fail.title"), localized("login.fail.needsBundle"), Alert::Style::warning));
        }
        EXPECT_FALSE(fs::exists(autostartFile()));
    }
}

TEST_F(Login, TogglingWritesAndRemovesTheAutostartEntry)
{
    auto about = actions(installed());
    about.toggleLogin();
    EXPECT_EQ(AutostartEntry(autostartFile()).status(), AutostartEntry::Status::enabled);
    auto entry = readFile(autostartFile());
    EXPECT_NE(entry.find("\nExec=" + AutostartEntry::execValue(program()).value_or("?") + "\n"), std::string::npos) << entry;
    EXPECT_EQ(TestSupport::fileMode(autostartFile()), 0644u);

    about.toggleLogin();
    EXPECT_FALSE(fs::exists(autostartFile()));
    EXPECT_TRUE(fs::is_directory(autostartFile().parent_path()));
    EXPECT_TRUE(m_alerts.shown().empty());
}

TEST_F(Login, AnEntrySwitchedOffElsewhereIsSwitchedOnAgain)
{
    writeFile(autostartFile(), "[Desktop Entry]\nExec=/old/Pupnik\nHidden=true\n");
    auto about = actions(installed());
    EXPECT_FALSE(about.launchAtLogin().isEnabled());
    about.toggleLogin();
    EXPECT_TRUE(about.launchAtLogin().isEnabled());
    EXPECT_EQ(readFile(autostartFile()), *AutostartEntry::contents(program()));
}

TEST_F(Login, AFailureIsTheErrorAlertAndChangesNothing)
{
    // A file where the autostart folder belongs (this also holds for root, who may write anywhere).
    writeFile(autostartFile().parent_path(), "not a folder");
    auto about = actions(installed());
    about.toggleLogin();
    ASSERT_EQ(m_alerts.shown().size(), 1u);
    auto const& alert = m_alerts.shown()[0];
    EXPECT_EQ(alert.title, localized("login.fail.title"));
    EXPECT_EQ(alert.style, Alert::Style::critical);
    EXPECT_EQ(alert.buttons, std::vector<std::string> { localized("ok") });
    EXPECT_FALSE(alert.text.empty());
    EXPECT_EQ(readFile(autostartFile().parent_path()), "not a folder");
}

TEST_F(Login, AboutShowsVersionBuildAndTheFixedTexts)
{
    actions(std::nullopt).about();
    ASSERT_EQ(m_alerts.shown().size(), 1u);
    auto const& alert = m_alerts.shown()[0];
    EXPECT_EQ(alert.title, localizedFormat("about.version", { std::string("2.3.4"), std::string("77") }));
    EXPECT_LT(alert.title.find("2.3.4"), alert.title.find("77"));
    EXPECT_EQ(alert.text, localized("about.privacy") + "\n\n" + localized("about.feedback") + "\n" + localized("about.closing"));
    EXPECT_EQ(alert.style, Alert::Style::informational);
    EXPECT_EQ(alert.buttons, std::vector<std::string> { localized("ok") });
}

TEST_F(Login, FeedbackOpensAMailToTheMakers)
{
    actions(std::nullopt).feedback();
    ASSERT_EQ(m_opened.size(), 1u);
    auto const& url = m_opened[0];
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path().toStdString(), AboutAndLogin::feedbackAddress);
    EXPECT_EQ(QUrlQuery(url).queryItemValue("subject", QUrl::FullyDecoded), QString::fromUtf8("Pupnik 反馈"));
    EXPECT_TRUE(m_alerts.shown().empty());
}
