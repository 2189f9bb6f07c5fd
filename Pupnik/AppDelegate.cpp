#include "Pupnik/AppDelegate.hpp"

#include "PawletKit/Mood.hpp"

#include "Pupnik/LanguageChange.hpp"
#include "Pupnik/MenuModelBuilder.hpp"
#include "Pupnik/MessageBoxAlertPresenter.hpp"
#include "Pupnik/PetWindow/PetPanel.hpp"
#include "Pupnik/PetWindow/PetView.hpp"
#include "Pupnik/WindowCapture.hpp"
#include "app-core/ClipSelector.hpp"
#include "app-core/DebugText.hpp"
#include "app-core/Entitlements.hpp"
#include "app-core/Focus/LinuxAppIdentity.hpp"
#include "app-core/Language.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/PetSettings.hpp"
#include "app-core/PreferredLanguages.hpp"
#include "app-core/ResourceLocations.hpp"
#include "app-core/SettingsToggle.hpp"
#include "app-core/SoundCue.hpp"
#include "app-core/StatusReport.hpp"
#include "app-core/StatusText.hpp"
#include "platform/AtomicFile.hpp"
#include "platform/ChildProcessRunner.hpp"
#include "platform/Desktop/PulseAudioOutput.hpp"
#include "platform/Desktop/PulseSoundServer.hpp"
#include "platform/Desktop/QtMainLoopWait.hpp"
#include "platform/Desktop/QtScheduler.hpp"
#include "platform/Desktop/QtScreens.hpp"
#include "platform/Desktop/X11InputTime.hpp"
#include "platform/Desktop/X11WindowSystem.hpp"
#include "platform/FakeAudioOutput.hpp"
#include "platform/FakeWindowSystem.hpp"
#include "platform/FileDefaultsStore.hpp"
#include "platform/InstallLayout.hpp"
#include "platform/LocalCloudDatabase.hpp"
#include "platform/Log.hpp"
#include "platform/MemoryDefaultsStore.hpp"
#include "platform/SystemTimeZone.hpp"

#include <QCoreApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <random>
#include <unistd.h>

namespace Pupnik {

namespace {

std::unique_ptr<Platform::DefaultsStore> openSuite(PawletKit::Environment const& environment, std::string_view suite)
{
    return Platform::FileDefaultsStore::open(Platform::FileDefaultsStore::defaultFolder(environment), suite);
}

}

AppDelegate::Desktop AppDelegate::Desktop::real()
{
    Desktop desktop;
    desktop.clock = std::make_unique<Platform::SystemClock>();
    desktop.zone = std::make_unique<Platform::SystemTimeZone>();
    // Work posted to the event loop needs an object that lives as long as the loop.
    desktop.scheduler = std::make_unique<Platform::QtScheduler>(QCoreApplication::instance());
    desktop.screens = std::make_unique<Platform::QtScreens>();
    desktop.makePanel = [] { return std::make_unique<PetPanel>(); };
    desktop.signalWatcher = std::make_unique<Platform::SignalWatcher>();
    desktop.alerts = std::make_unique<MessageBoxAlertPresenter>();
    // Activation requests carry the time of the click that asked for them.
    auto inputTime = std::make_shared<Platform::X11InputTime>();
    desktop.windows = std::make_unique<Platform::X11WindowSystem>([inputTime] { return inputTime->lastInputTime(); });
    desktop.makeWait = [] { return std::make_unique<Platform::QtMainLoopWait>(); };
    auto soundServer = std::make_shared<Platform::PulseSoundServer>();
    desktop.audio = std::make_unique<Platform::PulseAudioOutput>(soundServer);
    desktop.outputMute = soundServer;
    return desktop;
}

AppDelegate::AppDelegate(LaunchOptions options, PawletKit::Environment environment, Desktop desktop, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_environment(std::move(environment))
    , m_desktop(std::move(desktop))
    , m_defaults(openSuite(m_environment, standardSuite))
    , m_approvalPopover(std::make_shared<PupnikCore::ApprovalPopover>(*m_desktop.clock))
    , m_approvalPopoverWindow(std::make_unique<ApprovalPopoverController>(m_approvalPopover))
    , m_alerts(m_desktop.alerts ? std::move(m_desktop.alerts) : std::make_unique<MessageBoxAlertPresenter>())
    , m_settingsActions(settingsHooks())
    , m_aboutAndLogin(LaunchAtLogin::forRunningProgram(m_environment), BuildInfo::current(), *m_alerts, m_desktop.openURL)
{
    // The standard suite's name is fixed and valid; a store in memory only keeps the pet going should
    // the folder ever be unusable.
    if (!m_defaults)
        m_defaults = std::make_unique<Platform::MemoryDefaultsStore>();
    if (!m_desktop.zone)
        m_desktop.zone = std::make_unique<Platform::SystemTimeZone>();
    // None given (tests): a desktop without windows, so no session is ever placed.
    if (!m_desktop.windows)
        m_desktop.windows = std::make_unique<Platform::FakeWindowSystem>();
    m_focusWait = makeWait();
    m_connectionWait = makeWait();
    m_focuser = std::make_unique<SessionFocuser>(SessionFocuser::Services { *m_desktop.windows, *m_desktop.scheduler, *m_focusWait,
        *m_desktop.clock, *m_alerts, std::make_shared<Platform::ChildProcessRunner>(), m_environment,
        [random = std::make_shared<std::mt19937>(std::random_device {}())] { return static_cast<uint32_t>((*random)()); } });
    m_sounds = std::make_unique<SoundPlayer>(
        m_desktop.audio ? std::move(m_desktop.audio) : std::make_unique<Platform::FakeAudioOutput>(), m_desktop.outputMute, *m_desktop.clock);
    m_demo = std::make_unique<DemoPlayer>(*m_desktop.scheduler, m_options.demoClip,
        DemoPlayer::Hooks { m_lifeGuard.whileAlive([this](PupnikCore::Clip clip) { applyDemo(clip); }),
            m_lifeGuard.whileAlive([this] { showLiveState(); }) });
    m_urlCommands.playDemo = m_lifeGuard.whileAlive([this](PupnikCore::Clip clip) { playDemo(clip, std::nullopt); });
    m_urlCommands.stopDemo = m_lifeGuard.whileAlive([this] { stopDemo(); });
    m_urlCommands.debugStatus = m_lifeGuard.whileAlive([this] { debugStatus(); });
    m_urlCommands.reportCloudStatus = m_lifeGuard.whileAlive([this] { reportCloudStatus(); });
    m_urlCommands.focusWaiting = m_lifeGuard.whileAlive([this] { focusWaitingForDebug(); });
}

std::unique_ptr<Platform::MainLoopWait> AppDelegate::makeWait() const
{
    if (m_desktop.makeWait)
        return m_desktop.makeWait();
    return std::make_unique<Platform::InlineMainLoopWait>();
}

AppDelegate::~AppDelegate()
{
    // Nothing calls back from here on; the driver, the menu and the pet would otherwise reach
    // members that go before them.
    m_lifeGuard.end();
    m_menuSnapshots.clear();
    m_demo.reset();
    m_menuBar.reset();
    m_onboarding.close();
    m_driver.reset();
    m_publisher.reset();
    m_pet.reset();
    // Its sound thread is given a bounded moment to stop.
    m_sounds.reset();
}

void AppDelegate::applicationWillFinishLaunching()
{
    if (m_options.defaultsSuite)
        if (auto suite = openSuite(m_environment, *m_options.defaultsSuite))
            m_defaults = std::move(suite);

    auto const settings = PupnikCore::PetSettings::load(*m_defaults);
    std::optional<PupnikCore::Language> choice;
    if (settings.language)
        choice = PupnikCore::Language::fromCode(*settings.language);
    PupnikCore::Localizer::shared().configure(choice, m_options.language, PupnikCore::PreferredLanguages::fromEnvironment(m_environment));
}

std::optional<std::filesystem::path> AppDelegate::spriteDirectory() const
{
    std::optional<std::filesystem::path> directory = m_options.spritesDir;
    if (!directory)
        if (auto const& bundle = PupnikCore::resourceBundle())
            directory = *bundle / "Sprites";
    std::error_code error;
    if (directory && !std::filesystem::exists(*directory, error))
        directory.reset();
    return directory;
}

void AppDelegate::applicationDidFinishLaunching()
{
    installSignalSources();

    m_sprites = std::make_unique<SpriteStore>(spriteDirectory());

    auto settings = PupnikCore::PetSettings::load(*m_defaults);
    if (m_options.demoSkin)
        settings.skin = *m_options.demoSkin;

    m_pet = std::make_unique<PetController>(*m_sprites, std::move(settings), *m_defaults, m_options.debugFrameFile, m_desktop.makePanel(),
        PetController::Environment { *m_desktop.screens, *m_desktop.scheduler, *m_desktop.clock });
    m_pet->onRightClick = m_lifeGuard.whileAlive([this](QMouseEvent const& event) { showPetContextMenu(event); });
    m_pet->onClick = m_lifeGuard.whileAlive([this](QMouseEvent const& event) { handlePetClick(event); });
    m_approvalPopoverWindow->setAnchor(m_pet->view());
    m_approvalPopoverWindow->beforePlacing = m_lifeGuard.whileAlive([this] {
        if (m_pet)
            m_pet->panel().syncPlace();
    });

    m_approvalPopover->onDecide = m_lifeGuard.whileAlive(
        [this](std::string const& id, PawletKit::ApprovalDecision decision) { answerApproval(id, decision); });
    m_approvalPopover->onOpenTerminal = m_lifeGuard.whileAlive([this](PawletKit::ApprovalRequest const& request) { openTerminal(request); });
    m_focuser->jumper().showsExplanation = !m_options.noModals;

    m_connector = std::make_unique<PupnikCore::ClaudeConnector>(m_options.claudeSettingsURL, m_options.paths,
        PupnikCore::ClaudeConnector::defaultHelperCandidates(), m_environment, *m_desktop.clock);
    // A connect or update that worked shows at once: one tick brings the driver up to date.
    auto tick = [this] {
        if (m_driver)
            m_driver->tick();
    };
    m_connectionActions.emplace(*m_connector, m_options.paths, tick, *m_alerts, m_connectionWait.get());

    buildMenuBar();
    if (m_options.noCloud)
        Platform::Log::line("cloud: PUPNIK_NO_CLOUD set — publisher disabled");
    else
        startPublisher();
    startDebugTimers();

    if (m_options.demoClip) {
        m_demo->play(*m_options.demoClip);
    } else {
        startDriver();
    }

    if (m_options.debugOpenApprovalOnLaunch)
        startApprovalDebugTimer();
    offerOnboarding();

    auto const queued = m_urlQueue.markReady();
    if (!queued.empty())
        Platform::Log::line("url: draining " + std::to_string(queued.size()) + " URL(s) queued during launch");
    handle(queued);
}

void AppDelegate::buildMenuBar()
{
    MenuBarController::Services services;
    services.trayAvailable = m_desktop.trayAvailable;
    services.loginStatus = m_lifeGuard.whileAlive([this] {
        auto const& login = m_aboutAndLogin.launchAtLogin();
        if (!login.isAvailable())
            return PupnikCore::LoginItemStatus::unavailable;
        return login.isEnabled() ? PupnikCore::LoginItemStatus::enabled : PupnikCore::LoginItemStatus::notRegistered;
    });
    m_menuBar = std::make_unique<MenuBarController>(m_sprites->frame(PupnikCore::Skin::geo, PupnikCore::Clip::idle, 0),
        &SpriteStore::menuBarIconImage, *m_desktop.clock, *m_desktop.zone, std::move(services));
    m_menuBar->setActions(m_lifeGuard.reference<MenuBarActions>(*this));
}

void AppDelegate::startPublisher()
{
    auto const& container = CloudKitPublisher::containerIdentifier();
    bool const entitled = m_desktop.cloudEntitled.value_or(PupnikCore::Entitlements::hasContainer(PupnikCore::Entitlements::containerIdentifier));
    CloudKitPublisher::Services services;
    services.database = m_desktop.cloudDatabase;
    if (!services.database && entitled)
        if (auto folder = Platform::LocalCloudDatabase::folderFor(m_options.paths, container))
            services.database = std::make_shared<Platform::LocalCloudDatabase>(*folder);
    services.clock = m_desktop.clock.get();
    services.mainThread = m_desktop.scheduler.get();
    if (m_desktop.makeCloudQueue)
        services.queue = m_desktop.makeCloudQueue();
    bool const enabled = m_pet ? m_pet->settings().syncToDevices : true;
    m_publisher = std::make_unique<CloudKitPublisher>(enabled, entitled && services.database, std::move(services));
    m_publisher->start();
}

void AppDelegate::offerOnboarding()
{
    if (m_options.skipOnboarding || m_options.demoClip || (m_connector && m_connector->isConnected()))
        return;
    m_onboarding.show(m_lifeGuard.whileAlive([this] { connect(); }), [] {});
}

void AppDelegate::installSignalSources()
{
    auto* watcher = m_desktop.signalWatcher.get();
    if (!watcher)
        return;
    // Termination goes through the application's quit, so the orderly shutdown always runs.
    watcher->watch(SIGTERM, [] { QCoreApplication::quit(); });
    watcher->watch(SIGUSR1, m_lifeGuard.whileAlive([this] { dumpStatus(); }));
    if (m_options.snapshotDir)
        watcher->watch(SIGUSR2, m_lifeGuard.whileAlive([this, directory = *m_options.snapshotDir] { snapshotMenu(directory); }));
}

void AppDelegate::applicationWillTerminate()
{
    if (m_driver)
        m_driver->stop();
    if (m_publisher)
        m_publisher->stop();
    if (m_pet)
        m_pet->persist();
    // Every change reaches the suite's file when it is made; nothing is left to flush.
}

void AppDelegate::showError(std::string const& title, std::exception const& error)
{
    m_alerts->run(Alert::error(title, error));
}

void AppDelegate::startDriver()
{
    EngineDriver::Sources sources;
    sources.codexSessionsDir = m_options.codexSessionsDir;
    auto driver = std::make_unique<EngineDriver>(m_options.paths, std::move(sources), *m_desktop.scheduler, *m_desktop.clock);
    if (m_pet) {
        driver->codexEnabled = m_pet->settings().sourceCodex;
        driver->processEnabled = m_pet->settings().sourceProcess;
    }
    driver->claudeHooksInstalled = m_lifeGuard.whileAlive([this] { return m_connector && m_connector->isConnected(); });
    driver->onState = m_lifeGuard.whileAlive([this](PawletKit::PawletState const& state) { handleState(state); });
    driver->onApprovals = m_lifeGuard.whileAlive(
        [this](std::vector<PawletKit::ApprovalRequest> const& requests) { m_approvalPopover->update(requests); });
    driver->start();
    m_driver = std::move(driver);
}

void AppDelegate::handleState(PawletKit::PawletState const& state)
{
    auto const previousMood = m_lastState.mood;
    bool const first = !m_sawFirstState;
    m_sawFirstState = true;
    m_lastState = state;
    if (!m_pet)
        return;

    if (!first && !demoClip()) {
        bool const soundsOn = m_pet->settings().sounds;
        if (auto const cue = PupnikCore::SoundCue::sound(previousMood, state.mood, soundsOn)) {
            auto const outcome = m_sounds->play(*cue, soundsOn);
            Platform::Log::line("sound: " + std::string(PawletKit::rawValue(previousMood)) + " → " + std::string(PawletKit::rawValue(state.mood))
                + " " + outcome);
        }
    }
    if (m_publisher)
        m_publisher->update(state, m_pet->settings().skin);

    if (!demoClip()) {
        m_pet->applyIfChanged(PupnikCore::ClipSelector::choice(state));
        refreshPetTooltip();
        // The pet stands still under an open approval popover.
        m_pet->movementPaused = m_approvalPopover->isShown();
    }
    if (m_menuBar)
        m_menuBar->setBadge(PupnikCore::StatusText::showsBadge(state.mood, m_pet->settings().discreet));
}

AppDelegate::ClickRoad AppDelegate::handlePetClick(QMouseEvent const& event)
{
    // A pending request wins: the approval popover opens over the pet. Its buttons ignore presses
    // during a short settle window, so the rest of this click or a double click answers nothing.
    // The popover holds the driver's list already.
    if (!pendingApprovals().empty()) {
        m_approvalPopover->show();
        return ClickRoad::approvalPopover;
    }
    if (m_focuser->focus(waitingTargets()))
        return ClickRoad::sessionFocus;
    // Otherwise the status menu pops up at the click.
    popUpMenu(event);
    return ClickRoad::menu;
}

void AppDelegate::showPetContextMenu(QMouseEvent const& event)
{
    // Also the only road to the menu where the desktop has no tray.
    popUpMenu(event);
}

void AppDelegate::popUpMenu(QMouseEvent const& event)
{
    if (!m_menuBar)
        return;
    m_menuBar->update(makeMenuModel());
    m_menuBar->menu()->popup(event.globalPosition().toPoint());
}

std::vector<PawletKit::SessionTarget> AppDelegate::waitingTargets() const
{
    std::vector<PawletKit::SessionTarget> targets;
    if (m_options.debugWaitingTarget)
        targets.push_back(*m_options.debugWaitingTarget);
    if (demoClip() || !m_driver)
        return targets;
    for (auto& target : m_driver->engine().sessionTargets(PawletKit::Date::fromSeconds(m_desktop.clock->now())))
        targets.push_back(std::move(target));
    return targets;
}

std::vector<PawletKit::ApprovalRequest> AppDelegate::pendingApprovals() const
{
    if (demoClip() || !m_driver)
        return {};
    return m_driver->pendingApprovals();
}

void AppDelegate::answerApproval(std::string const& id, PawletKit::ApprovalDecision decision)
{
    if (m_driver && m_driver->answer(id, decision))
        return;
    Platform::Log::line("approval: " + id + " could not be answered (already gone?)");
}

std::vector<PawletKit::SessionTarget> AppDelegate::terminalTargets(PawletKit::ApprovalRequest const& request) const
{
    auto targets = waitingTargets();
    std::erase_if(targets, [&](auto const& target) { return target.sid != request.sessionId; });
    if (targets.empty())
        targets = waitingTargets();
    return targets;
}

void AppDelegate::openTerminal(PawletKit::ApprovalRequest const& request)
{
    m_focuser->focus(terminalTargets(request));
}

void AppDelegate::applyDemo(PupnikCore::Clip clip)
{
    if (!m_pet)
        return;
    auto const state = PupnikCore::ClipSelector::demoState(clip);
    m_pet->applyIfChanged(
        clip == PupnikCore::Clip::sick ? PupnikCore::ClipChoice { PupnikCore::Clip::sick, 1.0 } : PupnikCore::ClipSelector::choice(state));
    refreshPetTooltip();
    if (m_publisher)
        m_publisher->update(state, m_pet->settings().skin);
    if (m_menuBar)
        m_menuBar->setBadge(PupnikCore::StatusText::showsBadge(state.mood, m_pet->settings().discreet));
}

void AppDelegate::playDemo(PupnikCore::Clip clip, std::optional<double> seconds) { m_demo->play(clip, seconds); }

void AppDelegate::stopDemo() { m_demo->stop(); }

void AppDelegate::showLiveState()
{
    if (!m_driver)
        startDriver();
    // Shown at once, without waiting for the driver's next tick.
    handleState(m_driver ? m_driver->engine().state(PawletKit::Date::fromSeconds(m_desktop.clock->now())) : m_lastState);
}

void AppDelegate::openURLs(std::vector<std::string> const& texts) { handle(m_urlQueue.acceptTexts(texts)); }

void AppDelegate::handle(std::vector<PupnikCore::URL> const& urls) { m_urlCommands.handle(urls); }

void AppDelegate::refreshPetTooltip()
{
    if (!m_pet)
        return;
    bool const waiting = !demoClip() && m_lastState.mood == PawletKit::Mood::poop;
    m_pet->updateTooltip(waiting, !pendingApprovals().empty());
}

PupnikCore::MenuModel AppDelegate::makeMenuModel()
{
    MenuModelInputs inputs;
    inputs.lastState = m_lastState;
    inputs.demoClip = demoClip();
    inputs.petSettings = m_pet ? &m_pet->settings() : nullptr;
    inputs.defaults = m_defaults.get();
    inputs.connector = m_connector.get();
    inputs.driver = m_driver.get();
    inputs.options = &m_options;
    inputs.waitingAppName = [this] { return m_focuser->appName(waitingTargets()); };
    if (m_publisher)
        inputs.syncStatus = [this] { return std::optional(m_publisher->state()); };
    return MenuModelBuilder::makeMenuModel(inputs);
}

SettingsActions::Hooks AppDelegate::settingsHooks()
{
    // The actions are the delegate's own: their hooks may hold it plainly.
    SettingsActions::Hooks hooks;
    hooks.liveSettings = [this]() -> PupnikCore::PetSettings* { return m_pet ? &m_pet->settings() : nullptr; };
    hooks.persist = [this] {
        if (m_pet)
            m_pet->persist();
    };
    hooks.defaults = [this]() -> Platform::DefaultsStore const* { return m_defaults.get(); };
    hooks.setCodexEnabled = [this](bool on) {
        if (m_driver)
            m_driver->codexEnabled = on;
    };
    hooks.setProcessEnabled = [this](bool on) {
        if (m_driver)
            m_driver->processEnabled = on;
    };
    hooks.setSyncEnabled = [this](bool on) {
        if (m_publisher)
            m_publisher->setEnabled(on);
    };
    hooks.stopSounds = [this] { m_sounds->stopAll(); };
    hooks.playSound = [this](PupnikCore::PetSound sound, bool enabled) { return m_sounds->play(sound, enabled); };
    hooks.reapplyState = [this] {
        if (demoClip())
            applyDemo(*demoClip());
        else
            handleState(m_lastState);
    };
    return hooks;
}

void AppDelegate::toggleVisible()
{
    if (m_pet)
        m_pet->setVisible(!m_pet->settings().visible);
}

void AppDelegate::togglePinned() { m_settingsActions.toggle(PupnikCore::SettingsToggle::pinned); }

void AppDelegate::toggleTop()
{
    if (m_pet)
        m_pet->setAlwaysOnTop(!m_pet->settings().alwaysOnTop);
}

void AppDelegate::toggleDiscreet() { m_settingsActions.toggle(PupnikCore::SettingsToggle::discreet); }

void AppDelegate::toggleSounds() { m_settingsActions.toggle(PupnikCore::SettingsToggle::sounds); }

void AppDelegate::previewSound() { m_settingsActions.previewSound(); }

void AppDelegate::setHeight(double points)
{
    if (m_pet)
        m_pet->setHeight(points);
}

void AppDelegate::setSkin(PupnikCore::Skin skin)
{
    if (m_pet)
        m_pet->setSkin(skin);
}

void AppDelegate::setLanguage(std::optional<PupnikCore::Language> language)
{
    LanguageChange change;
    change.storeChoice = [this, language](std::optional<std::string> const&) {
        if (m_pet)
            m_pet->setLanguage(language);
    };
    change.preferredLanguages = PupnikCore::PreferredLanguages::fromEnvironment(m_environment);
    change.menuBar = m_menuBar.get();
    change.makeMenuModel = [this] { return makeMenuModel(); };
    change.refreshPetTooltip = [this] { refreshPetTooltip(); };
    change.relocalizeOnboarding = [this] { m_onboarding.relocalize(); };
    change.apply(language);
}

void AppDelegate::demo(std::optional<PupnikCore::Clip> clip)
{
    if (clip)
        playDemo(*clip, menuDemoSeconds);
    else
        stopDemo();
}

void AppDelegate::toggleLogin()
{
    m_aboutAndLogin.toggleLogin();
    if (m_menuBar)
        m_menuBar->updateLoginItem();
}

void AppDelegate::feedback() { m_aboutAndLogin.feedback(); }

void AppDelegate::about() { m_aboutAndLogin.about(); }

void AppDelegate::connect()
{
    if (m_connectionActions)
        m_connectionActions->connect();
}

void AppDelegate::disconnect()
{
    if (m_connectionActions)
        m_connectionActions->disconnect();
}

void AppDelegate::updateHooks()
{
    if (m_connectionActions)
        m_connectionActions->updateHooks();
}

void AppDelegate::toggleCodex() { m_settingsActions.toggle(PupnikCore::SettingsToggle::codex); }

void AppDelegate::toggleProcess() { m_settingsActions.toggle(PupnikCore::SettingsToggle::process); }

void AppDelegate::toggleSync() { m_settingsActions.toggle(PupnikCore::SettingsToggle::sync); }

void AppDelegate::quit() { QCoreApplication::quit(); }

namespace {

// Debug files are written whole or not at all; a failure leaves the file missing.
void writeDebugFile(std::filesystem::path const& path, std::string const& text)
{
    try {
        Platform::AtomicFile::write(path, text, 0600);
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

std::optional<PupnikCore::SyncStatus> AppDelegate::publisherStatus() const
{
    if (!m_publisher)
        return std::nullopt;
    return m_publisher->state();
}

bool AppDelegate::systemOutputSilent() const { return m_sounds->isSystemOutputMuted(); }

void AppDelegate::startDebugTimers()
{
    if (m_options.debugCloudStatusAfter)
        m_cloudStatusTimer = m_desktop.scheduler->after(*m_options.debugCloudStatusAfter, m_lifeGuard.whileAlive([this] { reportCloudStatus(); }));
    if (m_options.debugFocusOnLaunch) {
        Platform::Log::line("debug: focus-on-launch in " + PupnikCore::DebugText::number(*m_options.debugFocusOnLaunch)
            + " s (PUPNIK_DEBUG_FOCUS_ON_LAUNCH) — this steals focus once");
        m_focusCheckTimer = m_desktop.scheduler->after(*m_options.debugFocusOnLaunch, m_lifeGuard.whileAlive([this] { focusWaitingForDebug(); }));
    }
}

void AppDelegate::reportCloudStatus()
{
    auto const status = publisherStatus();
    if (!status) {
        Platform::Log::line("debug: cloud publisher absent (PUPNIK_NO_CLOUD)");
        return;
    }
    bool const sync = m_pet ? m_pet->settings().syncToDevices : PupnikCore::PetSettings {}.syncToDevices;
    Platform::Log::line(std::string("debug: cloud sync setting=") + (sync ? "true" : "false") + " status line = "
        + PupnikCore::SyncStatus::menuText(status, sync, PawletKit::Date::fromSeconds(m_desktop.clock->now()),
            PupnikCore::Localizer::shared(), *m_desktop.zone));
    if (m_publisher)
        m_publisher->debugCloudStatus();
}

void AppDelegate::debugStatus()
{
    auto const model = makeMenuModel();
    std::optional<std::string_view> waitingApp;
    if (model.waitingAppName)
        waitingApp = *model.waitingAppName;
    Platform::Log::line("debug: status line = "
        + PupnikCore::DebugText::escaped(PupnikCore::StatusText::headline(model.state, model.connection,
            PawletKit::Date::fromSeconds(m_desktop.clock->now()), PupnikCore::Localizer::shared(), *m_desktop.zone, waitingApp)));
    for (auto const& target : waitingTargets())
        Platform::Log::line("debug: waiting " + PupnikCore::DebugText::waitingFields(target, true));
}

void AppDelegate::focusWaitingForDebug()
{
    debugStatus();
    bool const placed = m_focuser->focus(waitingTargets(), m_lifeGuard.whileAlive([this](SessionFocuser::Outcome const& outcome) {
        reportFocusOutcome(outcome);
    }));
    if (!placed)
        Platform::Log::line("debug: nothing waiting / no locatable target");
}

std::string AppDelegate::frontmostDescription()
{
    auto& windows = *m_desktop.windows;
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

void AppDelegate::reportFocusOutcome(SessionFocuser::Outcome const& outcome)
{
    auto const frontmost = frontmostDescription();
    auto const description = PupnikCore::DebugText::escaped(outcome.description());
    Platform::Log::line("debug: frontmost now " + frontmost);
    Platform::Log::line("debug: focus outcome " + description);
    if (!m_options.snapshotDir)
        return;
    auto const& directory = *m_options.snapshotDir;
    auto const label = numbered("focus-%02lld", ++m_snapshotCount);
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    writeDebugFile(directory / (label + "-focus.txt"), "frontmost=" + frontmost + "\n" + "outcome=" + description + "\n" + windowListText());
    if (m_pet)
        m_pet->writeSnapshot(directory, label);
}

std::string AppDelegate::windowListText()
{
    auto& windows = *m_desktop.windows;
    if (!windows.isSupported())
        return PupnikCore::DebugText::windowList(std::nullopt);
    return PupnikCore::DebugText::windowList(windows.windows());
}

void AppDelegate::startApprovalDebugTimer()
{
    Platform::Log::line("debug: waiting for a click-to-approve request (PUPNIK_DEBUG_OPEN_APPROVAL_ON_LAUNCH)");
    // Replacing the handle stops a timer started before, so only one ever waits.
    m_approvalDebugTimer = m_desktop.scheduler->repeating(0.25, m_lifeGuard.whileAlive([this] {
        auto const requests = pendingApprovals();
        if (requests.empty() || m_approvalPopover->isShown())
            return;
        openApprovalForDebug(requests);
    }));
}

void AppDelegate::openApprovalForDebug(std::vector<PawletKit::ApprovalRequest> const& requests)
{
    m_approvalDebugTimer.reset();
    std::string ids;
    for (auto const& request : requests)
        ids += (ids.empty() ? "" : ",") + request.id;
    Platform::Log::line("debug: opening the approval popover for " + std::to_string(requests.size()) + " request(s): " + ids);
    m_approvalPopover->show(requests);
    if (m_pet)
        m_pet->movementPaused = true;
    m_approvalPressTimer = m_desktop.scheduler->after(0.9, m_lifeGuard.whileAlive([this] {
        if (m_options.snapshotDir) {
            writeMenuSnapshot(*m_options.snapshotDir, "approve-popover");
            Platform::Log::line("debug: wrote approve-popover-menu.png to " + m_options.snapshotDir->string());
        }
        if (!m_options.debugApprove)
            return;
        bool const allow = *m_options.debugApprove == PawletKit::ApprovalDecision::allow;
        Platform::Log::line(std::string("debug: clicking ") + (allow ? "allow" : "deny"));
        // Through the button, so the popover's own path (its settle window included) decides.
        if (auto* button = allow ? m_approvalPopoverWindow->allowButton() : m_approvalPopoverWindow->denyButton())
            button->click();
    }));
}

void AppDelegate::writeMenuSnapshot(std::filesystem::path const& directory, std::string const& label) { WindowCapture::write(directory, label); }

std::string AppDelegate::statusReport()
{
    auto const now = PawletKit::Date::fromSeconds(m_desktop.clock->now());
    auto& localizer = PupnikCore::Localizer::shared();
    PupnikCore::StatusReport report;
    report.now = now;
    report.pid = ::getpid();
    report.launched = m_pet != nullptr;
    report.language = std::string(localizer.language().rawValue());
    if (auto const choice = localizer.choice())
        report.languageChoice = std::string(choice->rawValue());
    if (auto const override_ = localizer.launchOverride())
        report.languageOverride = std::string(override_->rawValue());
    report.model = makeMenuModel();
    report.systemOutputSilent = systemOutputSilent();
    report.cloud = publisherStatus();
    if (m_driver) {
        auto const& codex = m_driver->codex();
        report.driver = PupnikCore::StatusReport::Driver { m_driver->eventsSeen(), m_driver->codexEventsSeen(), m_driver->processEventsSeen(),
            codex.isAvailable(), m_driver->codexEnabled, codex.baseDir().string(), codex.statusText(), codex.trackedPaths() };
    }
    report.waiting = waitingTargets();
    report.approvals = pendingApprovals();
    report.popoverShown = m_approvalPopover->isShown();
    report.hooksUpgradeNeeded = m_connector && m_connector->needsHookUpgrade();
    return report.text(localizer, *m_desktop.zone);
}

void AppDelegate::dumpStatus()
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
    if (!m_options.snapshotDir)
        return;
    auto const& directory = *m_options.snapshotDir;
    auto const clip = m_pet ? std::string(PupnikCore::rawValue(m_pet->choice().clip)) : std::string("none");
    auto const name = numbered("snap-%02lld-", ++m_snapshotCount) + clip;
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    writeDebugFile(directory / (name + "-status.txt"), report);
    if (m_pet)
        m_pet->writeSnapshot(directory, name);
    if (m_menuBar && m_menuBar->statusItem() && !m_menuBar->statusItem()->icon().isNull())
        SpriteStore::writeIconPNG(SpriteStore::menuBarIcon(m_menuBar->iconSprite(), m_menuBar->badgeShown().value_or(false)),
            directory / (name + "-icon.png"));
}

void AppDelegate::snapshotMenu(std::filesystem::path const& directory)
{
    std::erase_if(m_menuSnapshots, [](auto const& snapshot) { return snapshot->isFinished(); });
    auto const label = numbered("menu-%02lld", ++m_snapshotCount);
    QMenu* menu = nullptr;
    std::optional<QRect> anchor;
    if (m_menuBar) {
        m_menuBar->update(makeMenuModel());
        menu = m_menuBar->menu();
        if (auto* item = m_menuBar->statusItem(); item && item->isVisible() && item->geometry().isValid() && !item->geometry().isEmpty())
            anchor = item->geometry();
    }
    // Without a tray the menu opens where the pet is, as a right click on it would.
    QPoint fallback;
    if (m_pet && m_pet->view()) {
        m_pet->panel().syncPlace();
        fallback = m_pet->view()->mapToGlobal(m_pet->view()->rect().center());
    }
    MenuSnapshot::Hooks hooks;
    hooks.capture = m_lifeGuard.whileAlive([this, directory](std::string const& name) { writeMenuSnapshot(directory, name); });
    hooks.petSnapshot = m_lifeGuard.whileAlive([this, directory](std::string const& name) {
        if (m_pet)
            m_pet->writeSnapshot(directory, name);
    });
    auto snapshot = std::make_unique<MenuSnapshot>(*m_desktop.scheduler, *m_desktop.clock, menu, anchor, fallback, m_options.debugMenuKeys, label,
        std::move(hooks));
    snapshot->start();
    m_menuSnapshots.push_back(std::move(snapshot));
}

}
