#pragma once

#include "PawletKit/ApprovalDecision.hpp"
#include "PawletKit/ApprovalRequest.hpp"
#include "PawletKit/Environment.hpp"
#include "PawletKit/PawletState.hpp"
#include "PawletKit/SessionTarget.hpp"
#include "Pupnik/AboutAndLogin.hpp"
#include "Pupnik/AlertPresenter.hpp"
#include "Pupnik/ApprovalPopoverController.hpp"
#include "Pupnik/CloudKitPublisher.hpp"
#include "Pupnik/ConnectionActions.hpp"
#include "Pupnik/DebugReportSource.hpp"
#include "Pupnik/DebugReports.hpp"
#include "Pupnik/DemoPlayer.hpp"
#include "Pupnik/EngineDriver.hpp"
#include "Pupnik/LaunchOptions.hpp"
#include "Pupnik/LifeGuard.hpp"
#include "Pupnik/MenuBarActions.hpp"
#include "Pupnik/MenuBarController.hpp"
#include "Pupnik/OnboardingWindowController.hpp"
#include "Pupnik/PetController.hpp"
#include "Pupnik/PetWindow/PetClickReceiver.hpp"
#include "Pupnik/SessionFocuser.hpp"
#include "Pupnik/SettingsActions.hpp"
#include "Pupnik/SoundPlayer.hpp"
#include "Pupnik/SpriteStore.hpp"
#include "Pupnik/URLCommandHandler.hpp"
#include "app-core/ApprovalPopover.hpp"
#include "app-core/ClaudeConnector.hpp"
#include "app-core/Clip.hpp"
#include "app-core/ClipChoice.hpp"
#include "app-core/LaunchURLQueue.hpp"
#include "app-core/SyncStatus.hpp"
#include "platform/AudioOutput.hpp"
#include "platform/Clock.hpp"
#include "platform/CloudDatabase.hpp"
#include "platform/DefaultsStore.hpp"
#include "platform/Desktop/Screens.hpp"
#include "platform/Desktop/SignalWatcher.hpp"
#include "platform/MainLoopWait.hpp"
#include "platform/OutputMuteQuery.hpp"
#include "platform/Scheduler.hpp"
#include "platform/TimeZone.hpp"
#include "platform/WindowSystem.hpp"
#include "platform/WorkQueue.hpp"

#include <QObject>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMouseEvent;

namespace Pupnik {

// The application's hub: builds and owns every long-lived object in a fixed order at launch, hands
// each engine state to what shows it, decides what a click on the pet does, answers the tray menu
// and shuts down in order. Every callback it hands out stops calling back once it ends. Main thread only.
class AppDelegate final : public QObject, public MenuBarActions, private DebugReportSource, private PetClickReceiver {
public:
    // The suite the user's settings live in unless a launch option names another.
    static constexpr std::string_view standardSuite = "com.ardlow.pupnik";
    // How long a demo chosen from the menu plays.
    static constexpr double menuDemoSeconds = 10;

    // What the delegate runs on: the real desktop in the program, fakes in tests. Every part that
    // reads the time takes this clock and zone.
    struct Desktop {
        std::unique_ptr<Platform::Clock> clock;
        // The system's when absent.
        std::unique_ptr<Platform::TimeZone> zone;
        std::unique_ptr<Platform::Scheduler> scheduler;
        std::unique_ptr<Platform::Screens> screens;
        std::function<std::unique_ptr<PetSurface>()> makePanel;
        // Receives the signals; none leaves them alone (tests).
        std::unique_ptr<Platform::SignalWatcher> signalWatcher;
        // Message boxes when absent.
        std::unique_ptr<AlertPresenter> alerts;
        // Whether to put an icon into the tray; always when absent.
        std::optional<bool> trayAvailable;
        // Opens the feedback mail; the user's mail application when absent.
        AboutAndLogin::URLOpener openURL;
        // The windows a waiting session is found in; none (tests) means a desktop without windows.
        std::unique_ptr<Platform::WindowSystem> windows;
        // Makes the waits that keep the event loop turning; without it work runs inline (tests).
        std::function<std::unique_ptr<Platform::MainLoopWait>()> makeWait;
        // The cloud publisher's database, queue and entitlement: the local record store, a serial
        // queue and the installation's entitlement when absent.
        std::shared_ptr<Platform::CloudDatabase> cloudDatabase;
        std::function<std::unique_ptr<Platform::WorkQueue>()> makeCloudQueue;
        std::optional<bool> cloudEntitled;
        // Where the pet's sounds are heard; an output that plays nothing when absent (tests).
        std::unique_ptr<Platform::AudioOutput> audio;
        // Whether that output is muted; never when absent.
        std::shared_ptr<Platform::OutputMuteQuery> outputMute;

        static Desktop real();
    };

    // Which of the click's roads was taken; a road whose owner is not built yet does nothing.
    enum class ClickRoad {
        approvalPopover,
        sessionFocus,
        menu,
    };

    // The environment is the process's: the defaults folder and the hook connector read it.
    AppDelegate(LaunchOptions options, PawletKit::Environment environment, Desktop desktop, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    void installSignalSources();
    // The one modal error alert: critical, the title, the error's text, one "ok" button.
    void showError(std::string const& title, std::exception const& error);

    void startDriver();
    void handleState(PawletKit::PawletState const& state);
    ClickRoad handlePetClick(QMouseEvent const& event);
    void showPetContextMenu(QMouseEvent const& event);
    std::vector<PawletKit::SessionTarget> waitingTargets() const override;
    std::vector<PawletKit::ApprovalRequest> pendingApprovals() const override;
    void answerApproval(std::string const& id, PawletKit::ApprovalDecision decision);
    void openTerminal(PawletKit::ApprovalRequest const& request);
    // The waiting sessions of the request's session, else all of them.
    std::vector<PawletKit::SessionTarget> terminalTargets(PawletKit::ApprovalRequest const& request) const;
    // Shows the demo clip in force instead of the live state.
    void applyDemo(PupnikCore::Clip clip);
    // Until stopDemo, or for the seconds given.
    void playDemo(PupnikCore::Clip clip, std::optional<double> seconds);
    // Back to the launch demo clip, else to the live state at once.
    void stopDemo();
    // URLs as they arrive from outside (program arguments); before launch has completed they wait.
    void openURLs(std::vector<std::string> const& texts);
    void handle(std::vector<PupnikCore::URL> const& urls);

    // Reports and captures for developers and automated checks.
    DebugReports& debugReports() { return *m_debugReports; }

    // The tray menu's model and its choices, called by the menu directly.
    PupnikCore::MenuModel makeMenuModel() override;
    void toggleVisible() override;
    void togglePinned() override;
    void toggleTop() override;
    void toggleDiscreet() override;
    void toggleSounds() override;
    void previewSound() override;
    void setHeight(double points) override;
    void setSkin(PupnikCore::Skin skin) override;
    void setLanguage(std::optional<PupnikCore::Language> language) override;
    void demo(std::optional<PupnikCore::Clip> clip) override;
    void toggleLogin() override;
    void connect() override;
    void disconnect() override;
    void updateHooks() override;
    void toggleCodex() override;
    void toggleProcess() override;
    void toggleSync() override;
    void feedback() override;
    void about() override;
    void quit() override;

    LaunchOptions const& options() const { return m_options; }
    Platform::DefaultsStore& defaults() { return *m_defaults; }
    SpriteStore* sprites() { return m_sprites.get(); }
    PetController* pet() override { return m_pet.get(); }
    EngineDriver* driver() override { return m_driver.get(); }
    PupnikCore::ClaudeConnector* connector() { return m_connector.get(); }
    PupnikCore::ApprovalPopover& approvalPopover() { return *m_approvalPopover; }
    ApprovalPopoverController& approvalPopoverWindow() { return *m_approvalPopoverWindow; }
    bool sawFirstState() const { return m_sawFirstState; }
    PawletKit::PawletState const& lastState() const { return m_lastState; }
    std::optional<PupnikCore::Clip> demoClip() const { return m_demo->clip(); }
    DemoPlayer const& demoPlayer() const { return *m_demo; }
    PupnikCore::LaunchURLQueue const& urlQueue() const { return m_urlQueue; }
    MenuBarController* menuBar() override { return m_menuBar.get(); }
    OnboardingWindowController& onboarding() { return m_onboarding; }
    SessionFocuser& focuser() { return *m_focuser; }
    // Absent when cloud publishing is switched off. The demo hands it its states through update().
    CloudKitPublisher* publisher() override { return m_publisher.get(); }
    SoundPlayer& sounds() { return *m_sounds; }

private:
    std::optional<std::filesystem::path> spriteDirectory() const;
    void buildMenuBar();
    void startPublisher();
    void offerOnboarding();
    void petClicked(QMouseEvent const& event) override;
    void petRightClicked(QMouseEvent const& event) override;
    // The menu, refreshed, at the pointer over the pet.
    void popUpMenu(QMouseEvent const& event);
    // The pet's tooltip from the last state and the pending requests; a demo's says nothing.
    void refreshPetTooltip();
    SettingsActions::Hooks settingsHooks();
    std::unique_ptr<Platform::MainLoopWait> makeWait() const;
    void showLiveState();
    // What shows a state: the choice to the pet and its tooltip (none leaves the pet as it is), the
    // publisher's record and the tray badge.
    void present(PawletKit::PawletState const& state, std::optional<PupnikCore::ClipChoice> choice);
    bool hooksUpgradeNeeded() const override;
    bool systemOutputSilent() const override;

    LaunchOptions m_options;
    PawletKit::Environment m_environment;
    Desktop m_desktop;
    std::unique_ptr<Platform::DefaultsStore> m_defaults;
    std::unique_ptr<SpriteStore> m_sprites;
    std::unique_ptr<PetController> m_pet;
    std::unique_ptr<EngineDriver> m_driver;
    std::unique_ptr<CloudKitPublisher> m_publisher;
    std::unique_ptr<PupnikCore::ClaudeConnector> m_connector;
    // Shared only so that the window's buttons can hold it weakly.
    std::shared_ptr<PupnikCore::ApprovalPopover> m_approvalPopover;
    std::unique_ptr<ApprovalPopoverController> m_approvalPopoverWindow;
    bool m_sawFirstState { false };
    PawletKit::PawletState m_lastState;
    std::unique_ptr<DemoPlayer> m_demo;
    PupnikCore::LaunchURLQueue m_urlQueue;
    std::unique_ptr<AlertPresenter> m_alerts;
    OnboardingWindowController m_onboarding;
    std::unique_ptr<Platform::MainLoopWait> m_focusWait;
    std::unique_ptr<SessionFocuser> m_focuser;
    std::unique_ptr<SoundPlayer> m_sounds;
    std::unique_ptr<DebugReports> m_debugReports;
    std::unique_ptr<URLCommandHandler> m_urlCommands;
    // Connection changes wait on their own, so a focus request never holds one up.
    std::unique_ptr<Platform::MainLoopWait> m_connectionWait;
    // The menu's actions, built once; each looks up the part it drives when it runs.
    SettingsActions m_settingsActions;
    AboutAndLogin m_aboutAndLogin;
    // Built with the connector.
    std::optional<ConnectionActions> m_connectionActions;
    // Holds the delegate as its actions through the guard; the delegate ends it first.
    std::unique_ptr<MenuBarController> m_menuBar;
    LifeGuard m_lifeGuard;
};

}
