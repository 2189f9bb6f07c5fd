#pragma once

#include "PawletKit/Paths.hpp"
#include "Pupnik/AlertPresenter.hpp"
#include "app-core/ClaudeConnector.hpp"
#include "platform/MainLoopWait.hpp"

#include <functional>

namespace Pupnik {

// The user's three ways to change the hook connection: connect, update the hooks and disconnect.
// Each runs the connector and tells the outcome in an alert; a connect or update that succeeded then
// runs one engine tick, so the menu shows the new connection at once. With a waiter the connector
// works off the main thread (its self-test may take seconds) while the pet keeps going, and a second
// action meanwhile is refused. The connector, the presenter and the waiter must outlive the actions.
// Main thread only.
class ConnectionActions final {
public:
    // Permission requests wait this long for an answer once the hooks are up to date.
    static constexpr int approvalWaitSeconds = 120;

    // `tick` runs the engine driver once; it does nothing while there is no driver (a demo clip).
    ConnectionActions(PupnikCore::ClaudeConnector const& connector, PawletKit::Paths paths, std::function<void()> tick, AlertPresenter& alerts,
        Platform::MainLoopWait* wait = nullptr);

    void connect();
    void updateHooks();
    void disconnect();

private:
    std::optional<PupnikCore::ClaudeConnector::InstallReport> install();
    // Runs the connector's work, off the main thread when there is a waiter; false when refused
    // because another action still runs. What the work throws is thrown here.
    bool runConnector(std::function<void()> const& work);

    PupnikCore::ClaudeConnector const& m_connector;
    PawletKit::Paths m_paths;
    std::function<void()> m_tick;
    AlertPresenter& m_alerts;
    Platform::MainLoopWait* m_wait;
};

}
