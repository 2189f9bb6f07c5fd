#include "Pupnik/OnboardingView.hpp"
#include "Pupnik/OnboardingWindow.hpp"
#include "Pupnik/OnboardingWindowController.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Pupnik;
using PupnikCore::Language;
using PupnikCore::localized;

namespace {

QString text(char const* key) { return QString::fromStdString(localized(key)); }

void press(QWidget* target, Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &up);
}

void deleteLaterNow() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class Onboarding : public testing::Test {
protected:
    void SetUp() override { PupnikCore::Localizer::shared().setChoice(Language::en, {}); }
    void TearDown() override { PupnikCore::Localizer::shared().setChoice(Language::en, {}); }

    // Shows the window with callbacks that record what ran, and whether the window was still there.
    void show(std::string const& tag = "")
    {
        m_controller.show([this, tag] { record("connect" + tag); }, [this, tag] { record("later" + tag); });
    }
    void record(std::string const& what)
    {
        m_ran.push_back(what);
        m_windowWhenRun.push_back(m_controller.window());
    }

    OnboardingWindowController m_controller;
    std::vector<std::string> m_ran;
    std::vector<OnboardingWindow*> m_windowWhenRun;
};

}

TEST_F(Onboarding, EachWayOutClosesTheWindowBeforeItsCallback)
{
    struct Case {
        char const* name;
        std::function<void(OnboardingWindow*)> act;
        char const* ran;
    };
    Case const cases[] = {
        { "Return", [](OnboardingWindow* window) { press(window, Qt::Key_Return); }, "connect" },
        { "Enter", [](OnboardingWindow* window) { press(window, Qt::Key_Enter); }, "connect" },
        { "Return with the later button focused", [](OnboardingWindow* window) { press(window->view()->laterButton(), Qt::Key_Return); }, "connect" },
        { "Escape", [](OnboardingWindow* window) { press(window, Qt::Key_Escape); }, "later" },
        { "connect button", [](OnboardingWindow* window) { window->view()->connectButton()->click(); }, "connect" },
        { "later button", [](OnboardingWindow* window) { window->view()->laterButton()->click(); }, "later" },
        { "Space on the focused later button", [](OnboardingWindow* window) { press(window->view()->laterButton(), Qt::Key_Space); }, "later" },
    };
    for (auto const& test : cases) {
        SCOPED_TRACE(test.name);
        m_ran.clear();
        m_windowWhenRun.clear();
        show();
        QPointer<OnboardingWindow> window = m_controller.window();
        ASSERT_TRUE(window);
        EXPECT_TRUE(window->isVisible());

        test.act(window);

        EXPECT_EQ(m_ran, std::vector<std::string> { test.ran });
        EXPECT_EQ(m_windowWhenRun, std::vector<OnboardingWindow*> { nullptr });
        EXPECT_EQ(m_controller.window(), nullptr);
        deleteLaterNow();
        EXPECT_FALSE(window) << "the closed window is released";
    }
}

TEST_F(Onboarding, TheCloseBoxOnlyHidesTheWindow)
{
    show();
    auto window = m_controller.window();
    window->close();
    deleteLaterNow();
    EXPECT_TRUE(m_ran.empty());
    EXPECT_EQ(m_controller.window(), window);
    EXPECT_FALSE(window->isVisible());

    show("-again");
    EXPECT_EQ(m_controller.window(), window);
    EXPECT_TRUE(window->isVisible());
    press(window, Qt::Key_Escape);
    EXPECT_EQ(m_ran, std::vector<std::string> { "later-again" });
}

TEST_F(Onboarding, ShowingTwiceKeepsOneWindowAndTheNewCallbacks)
{
    show("-first");
    auto window = m_controller.window();
    show("-second");
    EXPECT_EQ(m_controller.window(), window);
    press(window, Qt::Key_Return);
    EXPECT_EQ(m_ran, std::vector<std::string> { "connect-second" });
}

TEST_F(Onboarding, ShowsTitleIntroSixPointsAndTwoButtons)
{
    show();
    auto window = m_controller.window();
    EXPECT_EQ(window->windowTitle(), text("onboarding.title"));
    EXPECT_EQ(window->width(), 440);
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());

    QStringList shown;
    for (auto label : window->view()->findChildren<QLabel*>())
        shown << label->text();
    QStringList expected { text("onboarding.title"), text("onboarding.intro") };
    for (auto key : { "onboarding.p1", "onboarding.p2", "onboarding.p3", "onboarding.p4", "onboarding.p5", "onboarding.p6" })
        expected << QStringLiteral("•") << text(key);
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(window->view()->laterButton()->text(), text("onboarding.later"));
    EXPECT_EQ(window->view()->connectButton()->text(), text("onboarding.connect"));
    EXPECT_TRUE(window->view()->connectButton()->isDefault());
    EXPECT_LT(window->view()->laterButton()->x(), window->view()->connectButton()->x());
}

TEST_F(Onboarding, RelocalizingSpeaksTheNewLanguageAndStillFitsEveryLine)
{
    m_controller.relocalize();
    EXPECT_EQ(m_controller.window(), nullptr);

    show();
    auto window = m_controller.window();
    auto english = window->windowTitle();
    // German runs long: the wrapped texts must still show whole.
    PupnikCore::Localizer::shared().setChoice(Language::de, {});
    m_controller.relocalize();
    deleteLaterNow();
    EXPECT_EQ(m_controller.window(), window);
    EXPECT_EQ(window->windowTitle(), text("onboarding.title"));
    EXPECT_NE(window->windowTitle(), english);
    EXPECT_EQ(window->view()->connectButton()->text(), text("onboarding.connect"));
    EXPECT_EQ(window->findChildren<OnboardingView*>().size(), 1);

    window->layout()->activate();
    for (auto label : window->view()->findChildren<QLabel*>()) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        EXPECT_LE(label->mapTo(window, QPoint(0, label->height())).y(), window->height());
    }

    press(window, Qt::Key_Return);
    EXPECT_EQ(m_ran, std::vector<std::string> { "connect" });
}
