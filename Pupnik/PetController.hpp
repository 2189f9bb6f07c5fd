#pragma once

#include "Pupnik/PetWindow/PetSurface.hpp"
#include "Pupnik/SpriteStore.hpp"
#include "app-core/ClipChoice.hpp"
#include "app-core/Language.hpp"
#include "app-core/PetSettings.hpp"
#include "app-core/RoamBounds.hpp"
#include "app-core/Roamer.hpp"
#include "platform/Clock.hpp"
#include "platform/DefaultsStore.hpp"
#include "platform/Desktop/ScreenRect.hpp"
#include "platform/Desktop/Screens.hpp"
#include "platform/Scheduler.hpp"

#include <QImage>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Pupnik {

// The desktop pet: animates the chosen clip at 60 Hz, walks the window sideways while the clip is
// a walking one, turns at the edges of the usable screen area, follows drags and screen changes and
// keeps its place and the user's pet settings saved. Main thread only.
class PetController final {
public:
    static constexpr double tickInterval = 1.0 / 60.0;
    // A longer pause (a stalled loop, a suspended machine) advances the pet by this much only.
    static constexpr double maxStep = 0.25;
    static constexpr double persistInterval = 2.0;
    static constexpr double frameLineInterval = 0.1;
    // Stands in for the visible frame when there is no screen at all.
    static constexpr Platform::ScreenRect fallbackFrame { 0, 0, 1440, 900 };

    struct Environment {
        Platform::Screens& screens;
        Platform::Scheduler& scheduler;
        Platform::Clock const& clock;
    };

    PetController(SpriteStore& sprites, PupnikCore::PetSettings settings, Platform::DefaultsStore& defaults,
        std::optional<std::filesystem::path> debugFrameFile, std::unique_ptr<PetSurface> panel, Environment environment);
    ~PetController();
    PetController(PetController const&) = delete;
    PetController& operator=(PetController const&) = delete;

    void apply(PupnikCore::ClipChoice choice);
    // Applies the choice only when its clip or rate differs from the one shown, or when nothing
    // could be shown yet: a state that repeats must not restart the animation.
    void applyIfChanged(PupnikCore::ClipChoice choice);
    void updateTooltip(bool waiting, bool approval);
    void setVisible(bool visible);
    void setAlwaysOnTop(bool alwaysOnTop);
    // Only the preset heights are taken; any other is ignored and nothing is saved.
    void setHeight(double height);
    void setSkin(PupnikCore::Skin skin);
    void setLanguage(std::optional<PupnikCore::Language> language);
    // Debug capture of the pet, the desktop around it and the whole first screen, with a text report.
    void writeSnapshot(std::filesystem::path const& directory, std::string const& label);
    void screenParametersChanged();
    // Copies the pet's place into the settings and saves them.
    void persist();

    // One timer firing: advances the pet, then decides when the next firing is needed.
    void tick();

    PetSurface& panel() { return *m_panel; }
    PetView* view() { return m_panel->view(); }
    PupnikCore::ClipChoice const& choice() const { return m_choice; }
    std::vector<QImage> const& frames() const { return m_frames; }
    PupnikCore::PetSettings const& settings() const { return m_settings; }
    // The live copy the menu's switches flip; persist() saves it.
    PupnikCore::PetSettings& settings() { return m_settings; }
    PupnikCore::Roamer const& roamer() const { return m_roamer; }
    double phase() const { return m_phase; }
    int64_t lastFrameIndex() const { return m_lastFrameIndex; }
    bool isDragging() const { return m_dragging; }
    // Width over height of the sprites' box.
    double aspect() const;

    // Where clicks on the pet go, straight from its view; none drops them. Cleared when the pet ends.
    void setClickReceiver(PetClickReceiver* receiver) { m_panel->setClickReceiver(receiver); }
    // Set while the approval popover is shown: the pet stands still.
    bool movementPaused { false };

private:
    Platform::ScreenRect roamerRect() const;
    PupnikCore::RoamBounds roamBounds(Platform::ScreenRect const& rect) const;
    void startTimer();
    void advance();
    void scheduleNextTick();
    std::optional<double> stillUntilNextFrame() const;
    // How many frames on the one shown changes: 1 unless frames repeat.
    int64_t framesUntilChange() const;
    void showCurrentFrame();
    void startReadingAhead();
    void readAhead();
    void dragEnded(QRect const& frame);
    void reclamp();
    void writeFrameLine(bool force);
    void syncPanelFrame(bool redisplay);
    void showFacing();

    SpriteStore& m_sprites;
    PupnikCore::PetSettings m_settings;
    Platform::DefaultsStore& m_defaults;
    std::optional<std::filesystem::path> m_debugFrameFile;
    Platform::Screens& m_screens;
    Platform::Scheduler& m_scheduler;
    Platform::Clock const& m_clock;
    std::unique_ptr<PetSurface> m_panel;
    PupnikCore::ClipChoice m_choice { PupnikCore::Clip::idle, 1.0 };
    std::vector<QImage> m_frames;
    // The start's clip is read a frame per tick, its first frame shown meanwhile.
    bool m_readingAhead { false };
    // The clip shown left the store's cache; the window lets it go once another takes its place.
    bool m_framesEvicted { false };
    double m_fps { 24 };
    double m_phase { 0 };
    int64_t m_lastFrameIndex { -1 };
    double m_lastTick { 0 };
    // Time walked since the pet last moved: it moves with its frames.
    double m_unwalkedTime { 0 };
    std::unique_ptr<Platform::ScheduledWork> m_timer;
    // The timer sleeps until the next frame is due instead of firing at 60 Hz.
    bool m_waitingForFrame { false };
    PupnikCore::Roamer m_roamer;
    bool m_dragging { false };
    double m_lastPersist { 0 };
    double m_lastDebugWrite { 0 };
};

}
