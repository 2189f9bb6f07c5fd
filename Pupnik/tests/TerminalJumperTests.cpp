#include "Pupnik/tests/FocusTestDesk.hpp"
#include "app-core/Focus/GhosttyPlan.hpp"
#include "platform/Desktop/QtMainLoopWait.hpp"

#include <QTimer>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace Pupnik;
using namespace Pupnik::FocusTest;

namespace {

// A pseudo-terminal as a terminal emulator holds it: what a program writes to the session's side
// is read here. Raw, so the bytes arrive exactly as written.
class PseudoTerminal final {
public:
    PseudoTerminal()
    {
        termios raw {};
        cfmakeraw(&raw);
        if (::openpty(&m_master, &m_slave, nullptr, &raw, nullptr) != 0)
            return;
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
        std::string device = ::ttyname(m_slave);
        m_tty = device.substr(std::string("/dev/").size());
    }
    ~PseudoTerminal()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }
    PseudoTerminal(PseudoTerminal const&) = delete;
    PseudoTerminal& operator=(PseudoTerminal const&) = delete;

    bool isOpen() const { return m_master >= 0 && !m_tty.empty(); }
    // "pts/N"
    std::string const& tty() const { return m_tty; }
    int session() const { return m_slave; }

    // Everything written so far and not yet read.
    std::string drain()
    {
        std::string bytes;
        char buffer[4096];
        for (;;) {
            ssize_t got = ::read(m_master, buffer, sizeof buffer);
            if (got <= 0)
                break;
            bytes.append(buffer, size_t(got));
        }
        return bytes;
    }

private:
    int m_master { -1 };
    int m_slave { -1 };
    std::string m_tty;
};

constexpr Platform::WindowId first = 0x700001;
constexpr Platform::WindowId second = 0x700002;
constexpr Platform::WindowId third = 0x700003;

// Ghostty with three windows whose titles tell nothing about the session.
void ghosttyWithThreeWindows(Desk& desk)
{
    desk.processes.add(700, "ghostty", 1);
    desk.window(first, 700, "com.mitchellh.ghostty", "zsh", 1);
    desk.window(second, 700, "com.mitchellh.ghostty", "\xF0\x9F\x94\x94 claude", 2);
    desk.window(third, 700, "com.mitchellh.ghostty", "zsh", 3);
}

}

TEST(TerminalJumper, TheTitleProbeFindsTheWindowThroughARealTerminalAndRestoresItsTitle)
{
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.isOpen());
    Desk desk;
    ghosttyWithThreeWindows(desk);
    std::string const marker = PupnikCore::GhosttyPlan::probeToken([] { return 42u; });
    std::string const markerSequence = "\x1B]2;" + marker + "\x1B\\";
    std::string seen;
    // The terminal emulator: once the session's program has printed the marker as its title, the
    // window of that session shows it.
    desk.wait.onPump = [&] {
        seen += terminal.drain();
        if (seen == markerSequence)
            desk.windows.find(second)->title = marker;
    };
    auto result = desk.focuser->jumper().ghostty(700, terminal.tty(), std::nullopt);
    EXPECT_EQ(result, "ghostty(raised:probe/expected)");
    seen += terminal.drain();
    // The marker, then the window's old title without its bell, each as one whole sequence.
    EXPECT_EQ(seen, markerSequence + "\x1B]2;claude\x1B\\");
    EXPECT_EQ(desk.focuser->jumper().raisedWindow(), second);
    EXPECT_EQ(desk.windows.active, second);
    EXPECT_EQ(desk.wait.pumps, 1);
}

TEST(TerminalJumper, AProbeNoWindowAnswersEndsAfterASecondAndLeavesTheTitleAlone)
{
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.isOpen());
    Desk desk;
    ghosttyWithThreeWindows(desk);
    double const started = desk.clock.monotonic();
    testing::internal::CaptureStderr();
    auto result = desk.focuser->jumper().ghostty(700, terminal.tty(), std::nullopt);
    std::string const log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, "ghostty(probe-timeout)");
    // One second in slices of 0.04 s.
    double const waited = desk.clock.monotonic() - started;
    EXPECT_GE(waited, TerminalJumper::probeLimit);
    EXPECT_LT(waited, TerminalJumper::probeLimit + 2 * TerminalJumper::probeSlice);
    EXPECT_EQ(terminal.drain(), "\x1B]2;pawlet-0000002a\x1B\\");
    EXPECT_NE(log.find("focus: Ghostty title probe on " + terminal.tty() + " found no window within 1.0 s; if a window is still titled pawlet-0000002a"),
        std::string::npos)
        << log;
    EXPECT_EQ(desk.focuser->jumper().raisedWindow(), std::nullopt);
    EXPECT_TRUE(desk.windows.sent.empty());
}

TEST(TerminalJumper, ATerminalThatCannotTakeTheWholeSequenceIsAFailure)
{
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.isOpen());
    Desk desk;
    auto& jumper = desk.focuser->jumper();
    std::string const sequence = PupnikCore::GhosttyPlan::titleSequence("pawlet-0000002a");
    EXPECT_TRUE(jumper.writeToTTY(sequence, terminal.tty()));
    EXPECT_EQ(terminal.drain(), sequence);

    // A terminal emulator that stopped reading: its buffer fills up. The kernel moves written bytes
    // on towards the reading side in the background, so the buffer is full only once a few rounds,
    // some time apart, take nothing more.
    ::fcntl(terminal.session(), F_SETFL, O_NONBLOCK);
    std::string const filler(4096, 'x');
    for (int quietRounds = 0; quietRounds < 3;) {
        bool took = false;
        while (::write(terminal.session(), filler.data(), filler.size()) > 0)
            took = true;
        while (::write(terminal.session(), filler.data(), 1) > 0)
            took = true;
        quietRounds = took ? 0 : quietRounds + 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    testing::internal::CaptureStderr();
    EXPECT_FALSE(jumper.writeToTTY(sequence, terminal.tty()));
    std::string const log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("/dev/" + terminal.tty()), std::string::npos) << log;

    struct Row {
        char const* tty;
        char const* log;
    };
    Row const rows[] = {
        // Never opened: not a terminal name.
        { "../etc/passwd", "" },
        { "pts/x", "" },
        { "pts/987654", "[Pupnik] focus: cannot open /dev/pts/987654 (No such file or directory)\n" },
    };
    for (auto const& row : rows) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(jumper.writeToTTY(sequence, row.tty)) << row.tty;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.log) << row.tty;
    }
}

// The terminal emulator reads slowly and its buffer runs short in the middle of a write: that
// write is a failure, told in the log, and the writes that went through whole are all that counted.
TEST(TerminalJumper, AWriteTheTerminalTookOnlyPartOfIsAFailure)
{
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.isOpen());
    Desk desk;
    auto& jumper = desk.focuser->jumper();
    // A length the buffer's size is no multiple of, so a write lands across its end.
    std::string const text(997, 'x');
    size_t whole = 0;
    std::optional<size_t> partial;
    std::string lastLog;
    // The kernel moves bytes on towards the reading side in the background: the buffer is full
    // only once a few rounds, some time apart, take nothing.
    for (int quietRounds = 0; quietRounds < 3 && !partial;) {
        testing::internal::CaptureStderr();
        bool const wrote = jumper.writeToTTY(text, terminal.tty());
        lastLog = testing::internal::GetCapturedStderr();
        if (wrote) {
            ++whole;
            quietRounds = 0;
            continue;
        }
        std::string const prefix = "[Pupnik] focus: /dev/" + terminal.tty() + " took only ";
        if (lastLog.starts_with(prefix)) {
            partial = std::stoul(lastLog.substr(prefix.size()));
            EXPECT_EQ(lastLog, prefix + std::to_string(*partial) + " of 997 bytes\n");
        }
        ++quietRounds;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(partial) << "no write was taken in part; last: " << lastLog;
    EXPECT_GT(*partial, 0u);
    EXPECT_LT(*partial, text.size());

    std::string arrived;
    for (int quietRounds = 0; quietRounds < 3;) {
        std::string const more = terminal.drain();
        arrived += more;
        quietRounds = more.empty() ? quietRounds + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(arrived.size(), whole * text.size() + *partial);
}

TEST(TerminalJumper, GhosttyWindowsAreChosenByTheirTitlesBeforeAnyProbe)
{
    struct Row {
        char const* name;
        std::vector<std::pair<std::string, bool>> windows;
        std::optional<std::string> tty;
        std::optional<std::string> cwd;
        std::string result;
        std::optional<Platform::WindowId> raised;
    };
    Row const rows[] = {
        { "the only window", { { "zsh", false } }, "pts/3", std::nullopt, "ghostty(raised:only-window)", first },
        { "the only one not minimised", { { "zsh", true }, { "vim", false } }, "pts/3", std::nullopt, "ghostty(raised:only-window)", second },
        { "the terminal in the title", { { "zsh pts/31", false }, { "zsh pts/3", false } }, "pts/3", std::nullopt,
            "ghostty(raised:tty-in-title)", second },
        { "the folder in the title", { { "~/notes", false }, { "~/Project", false } }, std::nullopt, "/home/me/project",
            "ghostty(raised:cwd-basename-in-title)", second },
        { "nothing tells, no terminal to probe", { { "zsh", false }, { "zsh", false } }, std::nullopt, "/home/me/project",
            "ghostty(ambiguous)", std::nullopt },
        { "a terminal that is not there", { { "zsh", false }, { "zsh", false } }, "pts/987654", std::nullopt,
            "ghostty(probe-write-failed)", std::nullopt },
    };
    for (auto const& row : rows) {
        Desk desk;
        desk.processes.add(700, "ghostty", 1);
        Platform::WindowId id = first;
        for (auto const& [title, minimised] : row.windows) {
            desk.window(id++, 700, "com.mitchellh.ghostty", title);
            desk.windows.managed.back().isMinimized = minimised;
        }
        testing::internal::CaptureStderr();
        EXPECT_EQ(desk.focuser->jumper().ghostty(700, row.tty, row.cwd), row.result) << row.name;
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(desk.focuser->jumper().raisedWindow(), row.raised) << row.name;
        EXPECT_EQ(desk.wait.pumps, 0) << row.name;
    }
    Desk empty;
    EXPECT_EQ(empty.focuser->jumper().ghostty(700, "pts/3", std::nullopt), "ghostty(no-windows)");
}

TEST(TerminalJumper, TheDispatchAnswersForEveryJump)
{
    Desk desk;
    auto& jumper = desk.focuser->jumper();
    EXPECT_EQ(jumper.jump(PupnikCore::TerminalJump {}, 1), "activate-only");
    EXPECT_EQ(jumper.jump(PupnikCore::TerminalJump::AppleScript { "tell" }, 1), "applescript(handled-by-focuser)");
    EXPECT_EQ(jumper.jump(PupnikCore::TerminalJump::Editor { PupnikCore::TerminalApp::cursor, "relative/path" }, 1), "cursor(cli-missing)");
    desk.tool("cursor", "exit 0");
    EXPECT_EQ(jumper.jump(PupnikCore::TerminalJump::Editor { PupnikCore::TerminalApp::cursor, "relative/path" }, 1), "cursor(bad-cwd)");
    EXPECT_EQ(jumper.jump(PupnikCore::TerminalJump::Editor { PupnikCore::TerminalApp::cursor, "/home/me/line\nbreak" }, 1), "cursor(bad-cwd)");
    EXPECT_TRUE(desk.toolCalls().empty());
}

TEST(TerminalJumper, OnlyAnExecutableFileIsATool)
{
    TestSupport::TemporaryDirectory folder;
    auto const plain = folder.path() / "plain";
    auto const runnable = folder.path() / "runnable";
    auto const directory = folder.path() / "directory";
    TestSupport::writeFile(plain, "#!/bin/sh\n");
    TestSupport::writeFile(runnable, "#!/bin/sh\n");
    std::filesystem::permissions(runnable, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(directory);
    EXPECT_EQ(TerminalJumper::firstExecutable({ folder.path() / "missing", plain, directory, runnable }), runnable);
    EXPECT_EQ(TerminalJumper::firstExecutable({ plain, directory }), std::nullopt);
}

// The editor's launcher hands the pipe to something it started, or hangs with it: the jump ends at
// the time limit at the latest, nothing of it is left running, and the pet keeps moving meanwhile.
TEST(TerminalJumper, AnEditorLauncherThatKeepsThePipeOpenIsCutOffWithNothingLeftRunning)
{
    struct Row {
        char const* name;
        char const* launcher;
        char const* result;
    };
    Row const rows[] = {
        { "the launcher exits, what it started holds the pipe", "/bin/sleep 300 & echo $! > \"$TOOL_CALLS.child\"; exit 0",
            "vscode(reuse-window)" },
        { "the launcher waits for what it started", "/bin/sleep 300 & echo $! > \"$TOOL_CALLS.child\"; wait", "vscode(failed)" },
    };
    for (auto const& row : rows) {
        Platform::FakeWindowSystem windows;
        Platform::SystemClock clock;
        Platform::QtMainLoopWait wait;
        ScriptedAlertPresenter alerts;
        Desk desk;
        desk.tool("code", row.launcher);
        TerminalJumper jumper({ windows, wait, clock, alerts, std::make_shared<PawletKit::ChildProcessRunner>(), desk.environment(), {} });

        int ticks = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++ticks; });
        heartbeat.start(20);
        auto const started = std::chrono::steady_clock::now();
        testing::internal::CaptureStderr();
        auto result = jumper.editor(PupnikCore::TerminalApp::vscode, "/home/me/project");
        testing::internal::GetCapturedStderr();
        double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        heartbeat.stop();

        EXPECT_EQ(result, row.result) << row.name;
        EXPECT_LT(seconds, 10) << row.name << ": waited for the process left behind";
        EXPECT_GT(ticks, 5) << row.name << ": the event loop stood still while the launcher ran";
        std::ifstream childFile(desk.calls.string() + ".child");
        pid_t child = 0;
        ASSERT_TRUE(childFile >> child) << row.name;
        bool gone = false;
        for (int attempt = 0; attempt < 200 && !gone; ++attempt) {
            std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
            std::string pid, name, state;
            gone = !(stat >> pid >> name >> state) || state == "Z";
            if (!gone)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(gone) << row.name << ": pid " << child << " still runs";
    }
}
