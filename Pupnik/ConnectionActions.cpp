#include "Pupnik/ConnectionActions.hpp"

#include "app-core/Localized.hpp"
#include "platform/Log.hpp"

#include <exception>

namespace Pupnik {

using PupnikCore::localized;
using PupnikCore::localizedFormat;

ConnectionActions::ConnectionActions(PupnikCore::ClaudeConnector const& connector, PawletKit::Paths paths, std::function<void()> tick,
    AlertPresenter& alerts, Platform::MainLoopWait* wait)
    : m_connector(connector)
    , m_paths(std::move(paths))
    , m_tick(std::move(tick))
    , m_alerts(alerts)
    , m_wait(wait)
{
}

bool ConnectionActions::runConnector(std::function<void()> const& work)
{
    if (!m_wait) {
        work();
        return true;
    }
    std::exception_ptr failure;
    bool const ran = m_wait->runOffMainThread([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    if (!ran) {
        Platform::Log::line("connect: still busy with the last connection change; this one is ignored");
        return false;
    }
    if (failure)
        std::rethrow_exception(failure);
    return true;
}

void ConnectionActions::connect()
{
    auto report = install();
    if (!report)
        return;
    auto body = report->backupPath == PupnikCore::ClaudeConnector::noBackup
        ? localizedFormat("connect.done.body.noBackup", { report->settingsPath })
        : localizedFormat("connect.done.body", { report->settingsPath, report->backupPath });
    m_alerts.run(Alert::notice(localized("connect.done.title"), body, Alert::Style::informational));
}

void ConnectionActions::updateHooks()
{
    auto report = install();
    if (!report)
        return;
    m_alerts.run(Alert::notice(localized("update.done.title"),
        localizedFormat("update.done.body", { std::int64_t(approvalWaitSeconds), report->backupPath }), Alert::Style::informational));
}

std::optional<PupnikCore::ClaudeConnector::InstallReport> ConnectionActions::install()
{
    std::optional<PupnikCore::ClaudeConnector::InstallReport> report;
    try {
        if (!runConnector([&] { report = m_connector.install(); }))
            return std::nullopt;
    } catch (std::exception const& error) {
        m_alerts.run(Alert::error(localized("connect.fail.title"), error));
        return std::nullopt;
    }
    if (m_tick)
        m_tick();
    return report;
}

void ConnectionActions::disconnect()
{
    auto answer = m_alerts.run(Alert { localized("disconnect.title"), localizedFormat("disconnect.body", { m_paths.base().string() }),
        Alert::Style::warning, { localized("disconnect.keep"), localized("disconnect.delete"), localized("disconnect.cancel") } });
    if (answer != Alert::firstButton && answer != Alert::secondButton)
        return;
    try {
        // Deleting takes only what we and the agent tool made: the folder may be one the user
        // named through PUPNIK_SUPPORT_DIR and hold files of theirs.
        if (!runConnector([&] { m_connector.uninstall(answer == Alert::secondButton); }))
            return;
    } catch (std::exception const& error) {
        m_alerts.run(Alert::error(localized("disconnect.fail.title"), error));
        return;
    }
    m_alerts.run(Alert::notice(localized("disconnect.done.title"), localized("disconnect.done.body"), Alert::Style::informational));
}

}
