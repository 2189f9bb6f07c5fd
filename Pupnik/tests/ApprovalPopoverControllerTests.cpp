#include "Pupnik/ApprovalPopoverController.hpp"

#include "app-core/ApprovalTexts.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Pupnik;
using PawletKit::ApprovalDecision;
using PawletKit::ApprovalRequest;
using PupnikCore::SummaryLine;

namespace {

QString q(std::string const& text) { return QString::fromStdString(text); }

constexpr char const* editDiff = "--- a/src/notes.txt\n"
                                 "+++ b/src/notes.txt\n"
                                 "@@ -1,3 +1,3 @@\n"
                                 " first line\n"
                                 "-second line\n"
                                 "+second line, edited\n"
                                 " third line";

ApprovalRequest editRequest(std::string const& id)
{
    ApprovalRequest r;
    r.id = id;
    r.tool = "Edit";
    r.target = "/home/dev/project/src/notes.txt";
    r.cwd = "/home/dev/project/";
    r.summary = editDiff;
    r.sessionId = "s-" + id;
    return r;
}

ApprovalRequest bashRequest(std::string const& id)
{
    ApprovalRequest r;
    r.id = id;
    r.tool = "Bash";
    r.target = "npm test";
    r.cwd = "/home/dev/web";
    r.summary = "npm test";
    return r;
}

struct Decision {
    std::string id;
    ApprovalDecision decision;
    bool operator==(Decision const&) const = default;
};

// A popover on a manual clock, its window, and a stand-in for the pet to anchor to.
struct Harness {
    Harness()
    {
        popover->onDecide = [this](std::string const& id, ApprovalDecision decision) {
            decisions.push_back({ id, decision });
            if (driverAnswersAtOnce) {
                std::erase_if(pending, [&](auto const& r) { return r.id == id; });
                popover->update(pending);
            }
        };
        popover->onOpenTerminal = [this](ApprovalRequest const& r) {
            terminalRequests.push_back(r.id);
            shownWhenTerminalOpened = controller->isVisible();
        };
        pet.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        pet.setGeometry(300, 400, 120, 96);
        pet.show();
        controller->setAnchor(&pet);
    }
    Harness(Harness const&) = delete;
    Harness& operator=(Harness const&) = delete;

    void open(std::vector<ApprovalRequest> list, bool settle = true)
    {
        pending = list;
        popover->show(list);
        if (settle)
            clock.advance(0.6);
        QCoreApplication::processEvents();
    }

    void key(int key, bool autoRepeat = false)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
        // Sent to the focused deny button, from where an unused key travels up to the popup.
        QApplication::sendEvent(controller->denyButton(), &press);
    }

    QPushButton* row(int index) const { return qobject_cast<QPushButton*>(controller->listRows().value(index + 1)); }

    Platform::ManualClock clock;
    std::shared_ptr<PupnikCore::ApprovalPopover> popover = std::make_shared<PupnikCore::ApprovalPopover>(clock);
    std::unique_ptr<ApprovalPopoverController> controller = std::make_unique<ApprovalPopoverController>(popover);
    QWidget pet;
    std::vector<ApprovalRequest> pending;
    bool driverAnswersAtOnce { true };
    std::vector<Decision> decisions;
    std::vector<std::string> terminalRequests;
    bool shownWhenTerminalOpened { true };
};

std::vector<std::pair<QString, QColor>> documentLines(QTextDocument const& document)
{
    std::vector<std::pair<QString, QColor>> lines;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QColor colour;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            colour = it.fragment().charFormat().foreground().color();
            break;
        }
        lines.emplace_back(block.text(), colour);
    }
    return lines;
}

}

TEST(ApprovalPopoverController, OneRequestShowsNoList)
{
    Harness h;
    h.open({ editRequest("a") });

    ASSERT_TRUE(h.controller->isVisible());
    EXPECT_TRUE(h.controller->listBox()->isHidden());
    EXPECT_TRUE(h.controller->listRows().isEmpty());
    EXPECT_EQ(h.controller->toolLabel()->text(), "Edit");
    EXPECT_EQ(h.controller->targetLabel()->text(), q("notes.txt  \xC2\xB7  project"));
    EXPECT_EQ(h.controller->textView()->toPlainText(), editDiff);
    EXPECT_TRUE(h.controller->truncationLabel()->isHidden());
    EXPECT_EQ(h.controller->allowButton()->text(), q(PupnikCore::localized("approval.allow")));
    EXPECT_EQ(h.controller->denyButton()->text(), q(PupnikCore::localized("approval.deny")));
    EXPECT_EQ(h.controller->terminalButton()->text(), q(PupnikCore::localized("approval.terminal")));
    EXPECT_EQ(QApplication::focusWidget(), h.controller->denyButton());
}

TEST(ApprovalPopoverController, ButtonsFollowTheLanguageChosenAfterTheWindowWasBuilt)
{
    auto& localizer = PupnikCore::Localizer::shared();
    auto const before = localizer.choice();
    std::vector<std::string> const english { "en-US" };
    localizer.setChoice(PupnikCore::Language::en, english);
    Harness h;
    // As at start with a stored language: the window exists before the language is read.
    localizer.setChoice(PupnikCore::Language::de, english);
    // A change heard before any request was shown, while the views are not built yet.
    h.controller->relocalize();
    h.open({ bashRequest("a") });
    std::vector<QString> const german { h.controller->denyButton()->text(), h.controller->terminalButton()->text(), h.controller->allowButton()->text() };
    localizer.setChoice(PupnikCore::Language::fr, english);
    h.controller->relocalize();
    std::vector<QString> const french { h.controller->denyButton()->text(), h.controller->terminalButton()->text(), h.controller->allowButton()->text() };
    localizer.setChoice(before, english);

    EXPECT_EQ(german, (std::vector<QString> { q("Ablehnen"), q("Terminal öffnen"), q("Erlauben") }));
    EXPECT_EQ(french[0], q("Refuser"));
}

TEST(ApprovalPopoverController, TwoRequestsListBothAndARowSelects)
{
    Harness h;
    h.open({ editRequest("a"), bashRequest("b") });

    EXPECT_FALSE(h.controller->listBox()->isHidden());
    auto rows = h.controller->listRows();
    ASSERT_EQ(rows.size(), 3);
    auto* heading = qobject_cast<QLabel*>(rows[0]);
    ASSERT_TRUE(heading);
    EXPECT_EQ(heading->text(), q(PupnikCore::ApprovalTexts::heading(2)));
    EXPECT_EQ(h.row(0)->text(), q("\xE2\x96\xB8  Edit  notes.txt"));
    EXPECT_EQ(h.row(1)->text(), q("   Bash  npm test"));
    EXPECT_GT(h.row(0)->font().weight(), h.row(1)->font().weight());

    h.row(1)->click();

    EXPECT_EQ(h.popover->selectedID(), "b");
    EXPECT_EQ(h.row(0)->text(), q("   Edit  notes.txt"));
    EXPECT_EQ(h.row(1)->text(), q("\xE2\x96\xB8  Bash  npm test"));
    EXPECT_EQ(h.controller->toolLabel()->text(), "Bash");
    EXPECT_EQ(h.controller->targetLabel()->text(), q("npm test  \xC2\xB7  web"));
    EXPECT_EQ(h.controller->textView()->toPlainText(), "npm test");
    // Picking a row starts a new settle window.
    h.controller->allowButton()->click();
    EXPECT_TRUE(h.decisions.empty());
}

TEST(ApprovalPopoverController, SummaryColouredByDiffRole)
{
    Harness h;
    QPalette const palette = h.controller->textView()->palette();
    auto const document = h.controller->attributedSummary(std::string(editDiff) + "\n+++ c\n++x\n--y\n---\n@@ z\n +a\n -b");
    struct Line {
        char const* text;
        SummaryLine::Tone tone;
    } const expected[] = {
        { "--- a/src/notes.txt", SummaryLine::Tone::secondary },
        { "+++ b/src/notes.txt", SummaryLine::Tone::secondary },
        { "@@ -1,3 +1,3 @@", SummaryLine::Tone::secondary },
        { " first line", SummaryLine::Tone::plain },
        { "-second line", SummaryLine::Tone::removed },
        { "+second line, edited", SummaryLine::Tone::added },
        { " third line", SummaryLine::Tone::plain },
        { "+++ c", SummaryLine::Tone::secondary },
        { "++x", SummaryLine::Tone::added },
        { "--y", SummaryLine::Tone::removed },
        { "---", SummaryLine::Tone::secondary },
        { "@@ z", SummaryLine::Tone::secondary },
        { " +a", SummaryLine::Tone::plain },
        { " -b", SummaryLine::Tone::plain },
    };
    auto const lines = documentLines(*document);
    ASSERT_EQ(lines.size(), std::size(expected));
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].first, expected[i].text);
        EXPECT_EQ(lines[i].second, ApprovalPopoverController::toneColour(expected[i].tone, palette)) << expected[i].text;
    }
    // Four roles that can be told apart: green additions, red removals, dimmed headers.
    QColor const added = ApprovalPopoverController::toneColour(SummaryLine::Tone::added, palette);
    QColor const removed = ApprovalPopoverController::toneColour(SummaryLine::Tone::removed, palette);
    QColor const plain = ApprovalPopoverController::toneColour(SummaryLine::Tone::plain, palette);
    QColor const secondary = ApprovalPopoverController::toneColour(SummaryLine::Tone::secondary, palette);
    EXPECT_GT(added.green(), added.red());
    EXPECT_GT(removed.red(), removed.green());
    EXPECT_NE(secondary, plain);
    EXPECT_EQ(plain, palette.color(QPalette::Text));

    auto const empty = documentLines(*h.controller->attributedSummary(""));
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].first, q(PupnikCore::localized("approval.noSummary")));
}

TEST(ApprovalPopoverController, TruncationNote)
{
    struct Case {
        bool truncated;
        int64_t lines;
        std::optional<std::string> expected;
    } const cases[] = {
        { false, 4, std::nullopt },
        { true, 0, PupnikCore::localized("approval.truncated.short") },
        { true, 12, PupnikCore::localizedFormat("approval.truncated", { int64_t(12) }) },
    };
    for (auto const& c : cases) {
        Harness h;
        auto r = editRequest("a");
        r.truncated = c.truncated;
        r.truncatedLines = c.lines;
        h.open({ r });
        EXPECT_EQ(h.controller->truncationLabel()->isHidden(), !c.expected) << c.lines;
        if (c.expected) {
            EXPECT_EQ(h.controller->truncationLabel()->text(), q(*c.expected)) << c.lines;
        }
    }
}

TEST(ApprovalPopoverController, SizeAndScrolling)
{
    std::string manyLines;
    for (int i = 0; i < 200; ++i)
        manyLines += "+line " + std::to_string(i) + "\n";
    std::string const longLine = "+" + std::string(400, 'x');
    struct Case {
        char const* name;
        std::string summary;
        int minimumSummary;
        int maximumSummary;
        bool scrollsDown;
        bool scrollsSideways;
    } const cases[] = {
        { "one short line", "ls", 72, 72, false, false },
        { "a small diff shows whole", editDiff, 72, 259, false, false },
        { "two hundred lines", manyLines, 260, 260, true, false },
        { "one long line is not wrapped", longLine, 72, 259, false, true },
    };
    for (auto const& c : cases) {
        Harness h;
        auto r = editRequest("a");
        r.summary = c.summary;
        h.open({ r, bashRequest("b") });
        QCoreApplication::processEvents();
        auto* text = h.controller->textView();
        EXPECT_EQ(h.controller->width(), 460) << c.name;
        EXPECT_GE(h.controller->height(), 160) << c.name;
        EXPECT_GE(text->height(), c.minimumSummary) << c.name;
        EXPECT_LE(text->height(), c.maximumSummary) << c.name;
        EXPECT_EQ(text->verticalScrollBar()->maximum() > 0, c.scrollsDown) << c.name;
        EXPECT_EQ(text->horizontalScrollBar()->maximum() > 0, c.scrollsSideways) << c.name;
        EXPECT_EQ(text->document()->blockCount(), text->document()->lineCount()) << c.name;
    }
}

TEST(ApprovalPopoverController, ButtonsAndKeys)
{
    struct Case {
        char const* name;
        bool settled;
        std::function<void(Harness&)> act;
        std::vector<Decision> decisions;
        bool shownAfter;
        std::vector<std::string> terminal;
    } const cases[] = {
        { "allow button", true, [](Harness& h) { h.controller->allowButton()->click(); }, { { "a", ApprovalDecision::allow } }, false, {} },
        { "deny button", true, [](Harness& h) { h.controller->denyButton()->click(); }, { { "a", ApprovalDecision::deny } }, false, {} },
        { "Return answers nothing", true, [](Harness& h) { h.key(Qt::Key_Return); }, {}, true, {} },
        { "keypad Enter answers nothing", true, [](Harness& h) { h.key(Qt::Key_Enter); }, {}, true, {} },
        { "Escape closes", true, [](Harness& h) { h.key(Qt::Key_Escape); }, {}, false, {} },
        { "allow button too soon", false, [](Harness& h) { h.controller->allowButton()->click(); }, {}, true, {} },
        { "terminal button at once", false, [](Harness& h) { h.controller->terminalButton()->click(); }, {}, false, { "a" } },
    };
    for (auto const& c : cases) {
        Harness h;
        h.open({ editRequest("a") }, c.settled);
        testing::internal::CaptureStderr();
        c.act(h);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(h.decisions, c.decisions) << c.name;
        EXPECT_EQ(h.controller->isVisible(), c.shownAfter) << c.name;
        EXPECT_EQ(h.popover->isShown(), c.shownAfter) << c.name;
        EXPECT_EQ(h.terminalRequests, c.terminal) << c.name;
        if (!c.terminal.empty()) {
            EXPECT_FALSE(h.shownWhenTerminalOpened) << c.name;
        }
    }
}

TEST(ApprovalPopoverController, TwoRequestsAnsweredOneAfterTheOther)
{
    Harness h;
    h.open({ editRequest("a"), bashRequest("b") });

    h.controller->allowButton()->click();
    ASSERT_TRUE(h.controller->isVisible());
    EXPECT_EQ(h.controller->toolLabel()->text(), "Bash");
    EXPECT_TRUE(h.controller->listBox()->isHidden());

    // The request that moved up waits out its own settle window.
    testing::internal::CaptureStderr();
    h.controller->allowButton()->click();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(h.decisions, (std::vector<Decision> { { "a", ApprovalDecision::allow } }));
    EXPECT_TRUE(h.controller->isVisible());

    h.clock.advance(0.6);
    h.controller->allowButton()->click();
    EXPECT_EQ(h.decisions, (std::vector<Decision> { { "a", ApprovalDecision::allow }, { "b", ApprovalDecision::allow } }));
    EXPECT_FALSE(h.controller->isVisible());
}

TEST(ApprovalPopoverController, AnchoredAboveThePetOrBelowWithoutRoom)
{
    Harness h;
    QRect const available = h.pet.screen()->availableGeometry();
    struct Case {
        char const* name;
        int petY;
        bool above;
    } const cases[] = {
        { "room above", available.bottom() - 150, true },
        { "at the top of the screen", available.top(), false },
    };
    for (auto const& c : cases) {
        h.controller->dismiss();
        h.pet.move(available.left() + 200, c.petY);
        QCoreApplication::processEvents();
        h.open({ editRequest("a") });
        QRect const pet(h.pet.mapToGlobal(QPoint(0, 0)), h.pet.size());
        QRect const popup = h.controller->frameGeometry();
        if (c.above) {
            EXPECT_LE(popup.bottom(), pet.top()) << c.name;
        } else {
            EXPECT_GE(popup.top(), pet.bottom()) << c.name;
        }
        EXPECT_NEAR(popup.center().x(), pet.center().x(), 1) << c.name;
    }
}

TEST(ApprovalPopoverController, AgentTextsShowAsTyped)
{
    Harness h;
    auto a = editRequest("a");
    a.tool = "<b>Bash</b>";
    a.target = "R&D <i>notes</i>";
    h.open({ a, bashRequest("b") });

    EXPECT_EQ(h.controller->toolLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(h.controller->targetLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(h.controller->toolLabel()->text(), "<b>Bash</b>");
    // A button shows "&&" as one ampersand and takes no shortcut from it.
    EXPECT_EQ(h.row(0)->text(), q("\xE2\x96\xB8  <b>Bash</b>  R&&D <i>notes</i>"));
}

TEST(ApprovalPopoverController, EmptyListOpensNothing)
{
    Harness h;
    h.popover->show();
    EXPECT_FALSE(h.controller->isVisible());
    EXPECT_FALSE(h.popover->shownAt());
}

TEST(ApprovalPopoverController, EitherSideMayGoFirst)
{
    {
        Harness h;
        h.open({ editRequest("a") });
        h.controller.reset();
        EXPECT_EQ(h.popover->presenter(), nullptr);
        h.popover->update({ editRequest("a"), bashRequest("b") });
        EXPECT_FALSE(h.popover->isShown());
    }
    {
        Platform::ManualClock clock;
        auto popover = std::make_shared<PupnikCore::ApprovalPopover>(clock);
        ApprovalPopoverController controller(popover);
        bool decided = false;
        popover->onDecide = [&](auto const&, auto) { decided = true; };
        popover.reset();
        controller.allowButton()->click();
        EXPECT_FALSE(decided);
    }
}

// Looks at the pixels: the diff's colours reach the screen, and a plain command shows none of them.
TEST(ApprovalPopoverController, DiffColoursOnScreen)
{
    auto countPixels = [](QImage const& image, std::function<bool(QColor const&)> const& test) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += test(image.pixelColor(x, y)) ? 1 : 0;
        }
        return count;
    };
    auto greenish = [](QColor const& c) { return c.green() > c.red() + 50 && c.green() > c.blue() + 30; };
    auto reddish = [](QColor const& c) { return c.red() > c.green() + 80 && c.red() > c.blue() + 60; };

    QDir().mkpath(PUPNIK_BUILD_DIR "/test-output");
    struct Case {
        char const* name;
        std::vector<ApprovalRequest> requests;
        bool coloured;
    } const cases[] = {
        { "approval-popover-diff", { editRequest("a") }, true },
        { "approval-popover-two", { editRequest("a"), bashRequest("b") }, true },
        { "approval-popover-command", { bashRequest("b") }, false },
    };
    for (auto const& c : cases) {
        Harness h;
        h.open(c.requests);
        QImage const whole = h.controller->grab().toImage();
        whole.save(QStringLiteral(PUPNIK_BUILD_DIR "/test-output/%1.png").arg(c.name));
        QImage const summary = whole.copy(h.controller->textView()->geometry());
        EXPECT_EQ(countPixels(summary, greenish) > 0, c.coloured) << c.name;
        EXPECT_EQ(countPixels(summary, reddish) > 0, c.coloured) << c.name;
        // Text is drawn at all.
        EXPECT_GT(countPixels(summary, [](QColor const& c) { return c.lightness() < 100; }), 0) << c.name;
    }
}
