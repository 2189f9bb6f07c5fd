#include "Pupnik/DebugReports.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "Pupnik/CloudKitPublisher.hpp"
#include "Pupnik/EngineDriver.hpp"
#include "Pupnik/MenuBarController.hpp"
#include "Pupnik/PetController.hpp"
#include "Pupnik/PetWindow/PetView.hpp"
#include "Pupnik/SpriteStore.hpp"
#include "Pupnik/WindowCapture.hpp"
#include "app-core/DebugText.hpp"
#include "app-core/Focus/LinuxAppIdentity.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/PetSettings.hpp"
#include "app-core/StatusReport.hpp"
#include "app-core/StatusText.hpp"
#include "platform/Log.hpp"

#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace Pupnik {

namespace {

// Debug files are written whole or not at all; a failure leaves the file missing.
void writeDebugFile(std::filesystem::path const& path, std::string const& text)
{
    try {
        PawletKit::AtomicFile::write(path, text, 0600);
    } catch (std::exception const&) {
    }
}

std::string numbered(char const* format, int64_t count)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, static_cast<long long>(count));
    return buffer;
}

}

DebugReports::DebugReports(Services services)
    : m_services(services)
{
}

DebugReports::~DebugReports()
{
    m_lifeGuard.end();
    m_menuSnapshots.clear();
}

void DebugReports::watchSignals(Platform::SignalWatcher& watcher)
{
    watcher.watch(SIGUSR1, m_lifeGuard.whileAlive([this] { dumpStatus(); }));
    if (m_services.options.snapshotDir)
        watcher.watch(SIGUSR2, m_lifeGuard.whileAlive([this, directory = *m_services.options.snapshotDir] { snapshotMenu(directory); }));
}

std::optional<PupnikCore::SyncStatus> DebugReports::publisherStatus()
{
    auto* publisher = m_services.source.publisher();
    if (!publisher)
        return std::nullopt;
    return publisher->state();
}

void DebugReports::startTimers()
{
    auto const& options = m_services.options;
    if (options.debugCloudStatusAfter)
        m_cloudStatusTimer = m_services.scheduler.after(*options.debugCloudStatusAfter, m_lifeGuard.whileAlive([this] { reportCloudStatus(); }));
    if (options.debugFocusOnLaunch) {
        Platform::Log::line("debug: focus-on-launch in " + PupnikCore::DebugText::number(*options.debugFocusOnLaunch)
            + " s (PUPNIK_DEBUG_FOCUS_ON_LAUNCH) — this steals focus once");
        m_focusCheckTimer = m_services.scheduler.after(*options.debugFocusOnLaunch, m_lifeGuard.whileAlive([this] { focusWaiting(); }));
    }
}

void DebugReports::reportCloudStatus()
{
    auto const status = publisherStatus();
    if (!status) {
        Platform::Log::line("debug: cloud publisher absent (PUPNIK_NO_CLOUD)");
        return;
    }
    auto* pet = m_services.source.pet();
    bool const sync = pet ? pet->settings().syncToDevices : PupnikCore::PetSettings {}.syncToDevices;
    Platform::Log::line(std::string("debug: cloud sync setting=") + (sync ? "true" : "false") + " status line = "
        + PupnikCore::SyncStatus::menuText(status, sync, PawletKit::Date::fromSeconds(m_services.clock.now()), PupnikCore::Localizer::shared(),
            m_services.zone));
    if (auto* publisher = m_services.source.publisher())
        publisher->debugCloudStatus();
}

void DebugReports::debugStatus()
{
    auto const model = m_services.source.makeMenuModel();
    std::optional<std::string_view> waitingApp;
    if (model.waitingAppName)
        waitingApp = *model.waitingAppName;
    Platform::Log::line("debug: status line = "
        + PupnikCore::DebugText::escaped(PupnikCore::StatusText::headline(model.state, model.connection,
            PawletKit::Date::fromSeconds(m_services.clock.now()), PupnikCore::Localizer::shared(), m_services.zone, waitingApp)));
    for (auto const& target : m_services.source.waitingTargets())
        Platform::Log::line("debug: waiting " + PupnikCore::DebugText::waitingFields(target, true));
}

void DebugReports::focusWaiting()
{
    debugStatus();
    bool const placed = m_services.focuser.focus(m_services.source.waitingTargets(),
        m_lifeGuard.whileAlive([this](SessionFocuser::Outcome const& outcome) { reportFocusOutcome(outcome); }));
    if (!placed)
        Platform::Log::line("debug: nothing waiting / no locatable target");
}

std::string DebugReports::frontmostDescription()
{
    auto& windows = m_services.windows;
    std::optional<Platform::ManagedWindow> front;
    if (auto const active = windows.activeWindow())
        for (auto const& window : windows.windows())
            if (window.id == *active)
                front = window;
    if (!front)
        return "? [-] pid 0";
    PupnikCore::LinuxAppIdentity identity { front->wmInstance, front->wmClass, std::nullopt };
    if (front->pid > 0) {
        std::ifstream comm("/proc/" + std::to_string(front->pid) + "/comm");
        std::string name;
        if (std::getline(comm, name) && !name.empty())
            identity.executableName = name;
    }
    using PupnikCore::DebugText::escaped;
    return escaped(identity.displayName().value_or("?")) + " [" + escaped(identity.bundleIdentifier().value_or("-")) + "] pid "
        + std::to_string(front->pid);
}

void DebugReports::reportFocusOutcome(SessionFocuser::Outcome const& outcome)
{
    auto const frontmost = frontmostDescription();
    auto const description = PupnikCore::DebugText::escaped(outcome.description());
    Platform::Log::line("debug: frontmost now " + frontmost);
    Platform::Log::line("debug: focus outcome " + description);
    if (!m_services.options.snapshotDir)
        return;
    auto const& directory = *m_services.options.snapshotDir;
    auto const label = numbered("focus-%02lld", ++m_snapshotCount);
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    writeDebugFile(directory / (label + "-focus.txt"), "frontmost=" + frontmost + "\n" + "outcome=" + description + "\n" + windowListText());
    if (auto* pet = m_services.source.pet())
        pet->writeSnapshot(directory, label);
}

std::string DebugReports::windowListText()
{
    auto& windows = m_services.windows;
    if (!windows.isSupported())
        return PupnikCore::DebugText::windowList(std::nullopt);
    return PupnikCore::DebugText::windowList(windows.windows());
}

void DebugReports::startApprovalDebugTimer()
{
    Platform::Log::line("debug: waiting for a click-to-approve request (PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH)");
    // Replacing the handle stops a timer started before, so only one ever waits.
    m_approvalDebugTimer = m_services.scheduler.repeating(0.25, m_lifeGuard.whileAlive([this] {
        auto const requests = m_services.source.pendingApprovals();
        if (requests.empty() || m_services.approvalPopover.isShown())
            return;
        openApprovalForDebug(requests);
    }));
}

void DebugReports::openApprovalForDebug(std::vector<PawletKit::ApprovalRequest> const& requests)
{
    m_approvalDebugTimer.reset();
    std::string ids;
    for (auto const& request : requests)
        ids += (ids.empty() ? "" : ",") + request.id;
    Platform::Log::line("debug: opening the approval popover for " + std::to_string(requests.size()) + " request(s): " + ids);
    m_services.approvalPopover.show(requests);
    if (auto* pet = m_services.source.pet())
        pet->movementPaused = true;
    m_approvalPressTimer = m_services.scheduler.after(0.9, m_lifeGuard.whileAlive([this] {
        auto const& options = m_services.options;
        if (options.snapshotDir) {
            writeMenuSnapshot(*options.snapshotDir, "approve-popover");
            Platform::Log::line("debug: wrote approve-popover-menu.png to " + options.snapshotDir->string());
        }
        auto& window = m_services.approvalPopoverWindow;
        Platform::Log::line("debug: approval buttons: " + window.denyButton()->text().toStdString() + " | " + window.terminalButton()->text().toStdString()
            + " | " + window.allowButton()->text().toStdString());
        if (!options.debugApprove)
            return;
        bool const allow = *options.debugApprove == PawletKit::ApprovalDecision::allow;
        Platform::Log::line(std::string("debug: clicking ") + (allow ? "allow" : "deny"));
        // Through the button, so the popover's own path (its settle window included) decides.
        if (auto* button = allow ? window.allowButton() : window.denyButton())
            button->click();
    }));
}

void DebugReports::writeMenuSnapshot(std::filesystem::path const& directory, std::string const& label) { WindowCapture::write(directory, label); }

std::string DebugReports::statusReport()
{
    auto& source = m_services.source;
    auto const now = PawletKit::Date::fromSeconds(m_services.clock.now());
    auto& localizer = PupnikCore::Localizer::shared();
    PupnikCore::StatusReport report;
    report.now = now;
    report.pid = ::getpid();
    report.launched = source.pet() != nullptr;
    report.language = std::string(localizer.language().rawValue());
    if (auto const choice = localizer.choice())
        report.languageChoice = std::string(choice->rawValue());
    if (auto const override_ = localizer.launchOverride())
        report.languageOverride = std::string(override_->rawValue());
    report.model = source.makeMenuModel();
    report.systemOutputSilent = source.systemOutputSilent();
    report.cloud = publisherStatus();
    if (auto* driver = source.driver()) {
        auto const& codex = driver->codex();
        report.driver = PupnikCore::StatusReport::Driver { driver->eventsSeen(), driver->codexEventsSeen(), driver->processEventsSeen(),
            codex.isAvailable(), driver->codexEnabled, codex.baseDir().string(), codex.statusText(), codex.trackedPaths() };
    }
    report.waiting = source.waitingTargets();
    report.approvals = source.pendingApprovals();
    report.popoverShown = m_services.approvalPopover.isShown();
    report.hooksUpgradeNeeded = source.hooksUpgradeNeeded();
    return report.text(localizer, m_services.zone);
}

void DebugReports::dumpStatus()
{
    auto const report = statusReport();
    std::string_view rest = report;
    while (!rest.empty()) {
        auto const end = rest.find('\n');
        auto const line = rest.substr(0, end);
        if (!line.empty())
            Platform::Log::line("debug: " + std::string(line));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    if (!m_services.options.snapshotDir)
        return;
    auto const& directory = *m_services.options.snapshotDir;
    auto* pet = m_services.source.pet();
    auto const clip = pet ? std::string(PupnikCore::rawValue(pet->choice().clip)) : std::string("none");
    auto const name = numbered("snap-%02lld-", ++m_snapshotCount) + clip;
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    writeDebugFile(directory / (name + "-status.txt"), report);
    if (pet)
        pet->writeSnapshot(directory, name);
    auto* menuBar = m_services.source.menuBar();
    if (menuBar && menuBar->statusItem() && !menuBar->statusItem()->icon().isNull())
        SpriteStore::writeIconPNG(SpriteStore::menuBarIcon(menuBar->iconSprite(), menuBar->badgeShown().value_or(false)),
            directory / (name + "-icon.png"));
}

void DebugReports::snapshotMenu(std::filesystem::path const& directory)
{
    std::erase_if(m_menuSnapshots, [](auto const& snapshot) { return snapshot->isFinished(); });
    auto const label = numbered("menu-%02lld", ++m_snapshotCount);
    QMenu* menu = nullptr;
    std::optional<QRect> anchor;
    if (auto* menuBar = m_services.source.menuBar()) {
        menuBar->update(m_services.source.makeMenuModel());
        menu = menuBar->menu();
        if (auto* item = menuBar->statusItem(); item && item->isVisible() && item->geometry().isValid() && !item->geometry().isEmpty())
            anchor = item->geometry();
    }
    // Without a tray the menu opens where the pet is, as a right click on it would.
    QPoint fallback;
    auto* pet = m_services.source.pet();
    if (pet && pet->view()) {
        pet->panel().syncPlace();
        fallback = pet->view()->mapToGlobal(pet->view()->rect().center());
    }
    MenuSnapshot::Hooks hooks;
    hooks.capture = m_lifeGuard.whileAlive([this, directory](std::string const& name) { writeMenuSnapshot(directory, name); });
    hooks.petSnapshot = m_lifeGuard.whileAlive([this, directory](std::string const& name) {
        if (auto* pet = m_services.source.pet())
            pet->writeSnapshot(directory, name);
    });
    auto snapshot = std::make_unique<MenuSnapshot>(m_services.scheduler, m_services.clock, menu, anchor, fallback, m_services.options.debugMenuKeys,
        label, std::move(hooks));
    snapshot->start();
    m_menuSnapshots.push_back(std::move(snapshot));
}

}
