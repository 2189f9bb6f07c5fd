#pragma once

#include "PawletKit/Paths.hpp"
#include "Pupnik/AlertPresenter.hpp"
#include "app-core/ClaudeConnector.hpp"

#include <functional>

namespace Pupnik {

// The user's three ways to change the hook connection: connect, update the hooks and disconnect.
// Each runs the connector synchronously and tells the outcome in an alert; a connect or update that
// succeeded then runs one engine tick, so the menu shows the new connection at once. The connector
// and the presenter must outlive the actions. Main thread only.
class ConnectionActions final {
public:
    // Permission requests wait this long for an answer once the hooks are up to date.
    static constexpr int approvalWaitSeconds = 120;

    // `tick` runs the engine driver once; it does nothing while there is no driver (a demo clip).
    ConnectionActions(PupnikCore::ClaudeConnector const& connector, PawletKit::Paths paths, std::function<void()> tick, AlertPresenter& alerts);

    void connect();
    void updateHooks();
    void disconnect();

private:
    std::optional<PupnikCore::ClaudeConnector::InstallReport> install();

    PupnikCore::ClaudeConnector const& m_connector;
    PawletKit::Paths m_paths;
    std::function<void()> m_tick;
    AlertPresenter& m_alerts;
};

}
