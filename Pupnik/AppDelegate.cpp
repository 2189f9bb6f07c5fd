#include "Pupnik/AppDelegate.hpp"

#include "PawletKit/Mood.hpp"

#include "PawletKit/ChildProcessRunner.hpp"
#include "Pupnik/LanguageChange.hpp"
#include "Pupnik/MenuModelBuilder.hpp"
#include "Pupnik/MessageBoxAlertPresenter.hpp"
#include "Pupnik/PetWindow/PetPanel.hpp"
#include "Pupnik/PetWindow/PetView.hpp"
#include "app-core/ClipSelector.hpp"
#include "app-core/Entitlements.hpp"
#include "app-core/Language.hpp"
#include "app-core/Localized.hpp"
#include "app-core/Localizer.hpp"
#include "app-core/PetSettings.hpp"
#include "app-core/PreferredLanguages.hpp"
#include "app-core/ResourceLocations.hpp"
#include "app-core/SettingsToggle.hpp"
#include "app-core/SoundCue.hpp"
#include "app-core/StatusText.hpp"
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
#include <csignal>
#include <random>

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
        *m_desktop.clock, *m_alerts, std::make_shared<PawletKit::ChildProcessRunner>(), m_environment,
        [random = std::make_shared<std::mt19937>(std::random_device {}())] { return static_cast<uint32_t>((*random)()); } });
    m_sounds = std::make_unique<SoundPlayer>(
        m_desktop.audio ? std::move(m_desktop.audio) : std::make_unique<Platform::FakeAudioOutput>(), m_desktop.outputMute, *m_desktop.clock);
    m_demo = std::make_unique<DemoPlayer>(*m_desktop.scheduler, m_options.demoClip,
        DemoPlayer::Hooks { m_lifeGuard.whileAlive([this](PupnikCore::Clip clip) { applyDemo(clip); }),
            m_lifeGuard.whileAlive([this] { showLiveState(); }) });
    m_debugReports = std::make_unique<DebugReports>(DebugReports::Services { *this, m_options, *m_desktop.scheduler, *m_desktop.clock,
        *m_desktop.zone, *m_desktop.windows, *m_focuser, *m_approvalPopover, *m_approvalPopoverWindow });
    m_urlCommands = std::make_unique<URLCommandHandler>(*m_demo, *m_debugReports);
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
    m_urlCommands.reset();
    m_debugReports.reset();
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
    m_pet->setClickReceiver(this);
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
    m_debugReports->startTimers();

    if (m_options.demoClip) {
        m_demo->play(*m_options.demoClip);
    } else {
        startDriver();
    }

    if (m_options.debugOpenApprovalOnLaunch)
        m_debugReports->startApprovalDebugTimer();
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
    m_debugReports->watchSignals(*watcher);
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
    // A demo keeps its own clip on the pet while the live state still reaches the publisher and badge.
    if (demoClip()) {
        present(state, std::nullopt);
        return;
    }
    present(state, PupnikCore::ClipSelector::choice(state));
    // The pet stands still under an open approval popover.
    m_pet->movementPaused = m_approvalPopover->isShown();
}

void AppDelegate::present(PawletKit::PawletState const& state, std::optional<PupnikCore::ClipChoice> choice)
{
    if (!m_pet)
        return;
    if (choice) {
        m_pet->applyIfChanged(*choice);
        refreshPetTooltip();
    }
    if (m_publisher)
        m_publisher->update(state, m_pet->settings().skin);
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

void AppDelegate::petClicked(QMouseEvent const& event) { handlePetClick(event); }

void AppDelegate::petRightClicked(QMouseEvent const& event) { showPetContextMenu(event); }

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
    auto const state = PupnikCore::ClipSelector::demoState(clip);
    present(state,
        clip == PupnikCore::Clip::sick ? PupnikCore::ClipChoice { PupnikCore::Clip::sick, 1.0 } : PupnikCore::ClipSelector::choice(state));
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

void AppDelegate::handle(std::vector<PupnikCore::URL> const& urls) { m_urlCommands->handle(urls); }

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
    change.relocalizeApprovalPopover = [this] { m_approvalPopoverWindow->relocalize(); };
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

bool AppDelegate::hooksUpgradeNeeded() const { return m_connector && m_connector->needsHookUpgrade(); }

bool AppDelegate::systemOutputSilent() const { return m_sounds->isSystemOutputMuted(); }

}
