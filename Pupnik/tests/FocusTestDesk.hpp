#pragma once

#include "PawletKit/ChildProcessRunner.hpp"
#include "PawletKit/ProcessTable.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "PawletKit/tests/TestSupport.hpp"
#include "Pupnik/ScriptedAlertPresenter.hpp"
#include "Pupnik/SessionFocuser.hpp"
#include "platform/Clock.hpp"
#include "platform/FakeWindowSystem.hpp"
#include "platform/ManualScheduler.hpp"

#include <cstring>
#include <map>
#include <sstream>
#include <thread>

namespace Pupnik::FocusTest {

// A made-up process table: names, parents and working directories of the processes a test needs.
class FakeProcessTable final : public PawletKit::ProcessTable {
public:
    void add(int32_t pid, std::string const& name, int32_t parent, std::optional<std::string> cwd = std::nullopt)
    {
        m_stat[pid] = std::to_string(pid) + " (" + name + ") S " + std::to_string(parent) + " " + std::to_string(pid) + " "
            + std::to_string(pid) + " 0 -1 4194560 1178 0 0 0 3 1 0 0 20 0 1 0 4853\n";
        if (cwd)
            m_cwd[pid] = *cwd;
    }

    std::optional<size_t> readStat(int32_t pid, std::span<char> buffer) const override { return copy(m_stat, pid, buffer); }
    std::optional<size_t> readCommandLine(int32_t, std::span<char>) const override { return std::nullopt; }
    std::optional<size_t> readWorkingDirectoryLink(int32_t pid, std::span<char> buffer) const override { return copy(m_cwd, pid, buffer); }

private:
    static std::optional<size_t> copy(std::map<int32_t, std::string> const& table, int32_t pid, std::span<char> buffer)
    {
        auto it = table.find(pid);
        if (it == table.end())
            return std::nullopt;
        size_t count = std::min(it->second.size(), buffer.size());
        std::memcpy(buffer.data(), it->second.data(), count);
        return count;
    }

    std::map<int32_t, std::string> m_stat;
    std::map<int32_t, std::string> m_cwd;
};

// Waits the way the application does, without an event loop: work runs on a thread of its own and is
// joined, and every slice of pumping moves the manual clock on and lets the test act.
class ScriptedWait final : public Platform::MainLoopWait {
public:
    explicit ScriptedWait(Platform::ManualClock& clock)
        : m_clock(clock)
    {
    }

    std::function<void()> onPump;
    // Runs on the main thread while work runs on its own.
    std::function<void()> whileWorking;
    int pumps { 0 };
    int workOffMainThread { 0 };

    void pump(double seconds) override
    {
        ++pumps;
        m_clock.advance(seconds);
        if (onPump)
            onPump();
    }
    bool runOffMainThread(std::function<void()> const& work) override
    {
        if (m_working)
            return false;
        m_working = true;
        auto const caller = std::this_thread::get_id();
        std::thread worker([&] {
            if (std::this_thread::get_id() != caller)
                ++workOffMainThread;
            work();
        });
        if (whileWorking)
            whileWorking();
        worker.join();
        m_working = false;
        return true;
    }

private:
    Platform::ManualClock& m_clock;
    bool m_working { false };
};

// A desktop of fakes and a folder of stand-in command-line tools (scripts found on PATH that record
// how they were called), with the focuser on top.
struct Desk {
    Platform::FakeWindowSystem windows;
    Platform::ManualScheduler scheduler;
    Platform::ManualClock clock;
    ScriptedWait wait { clock };
    ScriptedAlertPresenter alerts;
    FakeProcessTable processes;
    TestSupport::TemporaryDirectory folder;
    std::filesystem::path tools { folder.path() / "bin" };
    std::filesystem::path calls { folder.path() / "calls" };
    PawletKit::Environment extraEnvironment;
    std::unique_ptr<SessionFocuser> focuser;

    explicit Desk(PawletKit::Environment extra = {})
        : extraEnvironment(std::move(extra))
    {
        std::filesystem::create_directories(tools);
        std::filesystem::create_directories(folder.path() / "home");
        focuser = std::make_unique<SessionFocuser>(SessionFocuser::Services {
            windows, scheduler, wait, clock, alerts, std::make_shared<PawletKit::ChildProcessRunner>(), environment(), [] { return 42u; },
            &processes });
    }

    PawletKit::Environment environment() const
    {
        PawletKit::Environment environment = extraEnvironment;
        environment["PATH"] = tools.string();
        environment["HOME"] = (folder.path() / "home").string();
        environment["TOOL_CALLS"] = calls.string();
        return environment;
    }

    // A tool that records its name and arguments, one line a call, then runs the body.
    void tool(std::string const& name, std::string const& body)
    {
        auto path = tools / name;
        TestSupport::writeFile(path, "#!/bin/sh\n/bin/echo \"" + name + " $*\" >> \"$TOOL_CALLS\"\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    std::vector<std::string> toolCalls() const
    {
        std::vector<std::string> lines;
        std::istringstream text(std::filesystem::exists(calls) ? TestSupport::readFile(calls) : std::string());
        for (std::string line; std::getline(text, line);)
            lines.push_back(line);
        return lines;
    }

    void window(Platform::WindowId id, int32_t pid, std::string const& wmClass, std::string const& title, size_t stacking = 0)
    {
        Platform::ManagedWindow w;
        w.id = id;
        w.pid = pid;
        w.wmInstance = wmClass;
        w.wmClass = wmClass;
        w.title = title;
        w.stackingOrder = stacking;
        windows.managed.push_back(std::move(w));
    }

    // Asks for the targets and lets the whole request run; the outcome, when one came.
    std::optional<SessionFocuser::Outcome> focus(std::vector<PawletKit::SessionTarget> const& targets, bool* placed = nullptr)
    {
        std::optional<SessionFocuser::Outcome> outcome;
        bool answer = focuser->focus(targets, [&](SessionFocuser::Outcome const& o) { outcome = o; });
        if (placed)
            *placed = answer;
        scheduler.advance(2);
        return outcome;
    }
};

inline PawletKit::SessionTarget target(std::string sid, std::vector<int32_t> pids, std::optional<std::string> tty = std::nullopt,
    std::optional<std::string> cwd = std::nullopt)
{
    PawletKit::SessionTarget t;
    t.sid = std::move(sid);
    t.pids = std::move(pids);
    t.tty = std::move(tty);
    t.cwd = std::move(cwd);
    return t;
}

}
