#pragma once

#include "Pupnik/ApprovalPopoverController.hpp"
#include "Pupnik/DebugReportSource.hpp"
#include "Pupnik/LaunchOptions.hpp"
#include "Pupnik/LifeGuard.hpp"
#include "Pupnik/MenuSnapshot.hpp"
#include "Pupnik/SessionFocuser.hpp"
#include "app-core/ApprovalPopover.hpp"
#include "app-core/SyncStatus.hpp"
#include "platform/Clock.hpp"
#include "platform/Desktop/SignalWatcher.hpp"
#include "platform/Scheduler.hpp"
#include "platform/TimeZone.hpp"
#include "platform/WindowSystem.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Pupnik {

// Reports and captures for developers and automated checks: the status report (SIGUSR1), the menu
// snapshot (SIGUSR2), the cloud status, the debug focus request and its outcome, and the timer that
// opens the approval popover by itself. None runs unless asked for. Main thread only.
class DebugReports final {
public:
    struct Services {
        DebugReportSource& source;
        LaunchOptions const& options;
        Platform::Scheduler& scheduler;
        Platform::Clock const& clock;
        Platform::TimeZone const& zone;
        Platform::WindowSystem& windows;
        SessionFocuser& focuser;
        PupnikCore::ApprovalPopover& approvalPopover;
        ApprovalPopoverController& approvalPopoverWindow;
    };

    explicit DebugReports(Services services);
    ~DebugReports();
    DebugReports(DebugReports const&) = delete;
    DebugReports& operator=(DebugReports const&) = delete;

    // SIGUSR1 dumps the status; SIGUSR2 snapshots the menu when a snapshot folder is set.
    void watchSignals(Platform::SignalWatcher& watcher);
    // The cloud status and focus checks the launch options ask for, after their delays.
    void startTimers();

    void debugStatus();
    void reportCloudStatus();
    // The first placeable waiting session to the front, reported.
    void focusWaiting();
    void reportFocusOutcome(SessionFocuser::Outcome const& outcome);
    // Waits for a permission request, opens the popover for it and, when asked, presses a button.
    void startApprovalDebugTimer();
    bool approvalDebugTimerRunning() const { return m_approvalDebugTimer != nullptr; }
    std::string statusReport();
    // The status report on standard error and, with a snapshot folder, into it with the pet's images.
    void dumpStatus();
    // Opens the status menu, drives it with the debug menu keys and captures it into the folder.
    void snapshotMenu(std::filesystem::path const& directory);
    int64_t snapshotCount() const { return m_snapshotCount; }

private:
    void openApprovalForDebug(std::vector<PawletKit::ApprovalRequest> const& requests);
    void writeMenuSnapshot(std::filesystem::path const& directory, std::string const& label);
    std::string windowListText();
    std::string frontmostDescription();
    // Absent without a cloud publisher.
    std::optional<PupnikCore::SyncStatus> publisherStatus();

    Services m_services;
    // Shared by every numbered debug snapshot; the first is 1.
    int64_t m_snapshotCount { 0 };
    std::unique_ptr<Platform::ScheduledWork> m_cloudStatusTimer;
    std::unique_ptr<Platform::ScheduledWork> m_focusCheckTimer;
    std::unique_ptr<Platform::ScheduledWork> m_approvalDebugTimer;
    std::unique_ptr<Platform::ScheduledWork> m_approvalPressTimer;
    std::vector<std::unique_ptr<MenuSnapshot>> m_menuSnapshots;
    LifeGuard m_lifeGuard;
};

}
