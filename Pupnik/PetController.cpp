#include "Pupnik/PetController.hpp"

#include "PawletKit/AtomicFile.hpp"
#include "app-core/Localized.hpp"
#include "platform/Log.hpp"

#include "Pupnik/PetWindow/PetView.hpp"

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace Pupnik {

using Platform::ScreenRect;
using PupnikCore::Clip;

namespace {

bool sameClip(std::vector<QImage> const& a, std::vector<QImage> const& b)
{
    return !a.empty() && !b.empty() && a.front().cacheKey() == b.front().cacheKey();
}

std::string formatted(char const* format, auto... values)
{
    char buffer[512];
    int length = std::snprintf(buffer, sizeof buffer, format, values...);
    if (length < 0)
        return {};
    return std::string(buffer, size_t(std::min<int>(length, sizeof buffer - 1)));
}

void writePNG(std::optional<QImage> const& image, std::filesystem::path const& path)
{
    if (image && !image->isNull())
        image->save(QString::fromStdString(path.string()), "PNG");
}

}

PetController::PetController(SpriteStore& sprites, PupnikCore::PetSettings settings, Platform::DefaultsStore& defaults,
    std::optional<std::filesystem::path> debugFrameFile, std::unique_ptr<PetSurface> panel, Environment environment)
    : m_sprites(sprites)
    , m_settings(std::move(settings))
    , m_defaults(defaults)
    , m_debugFrameFile(std::move(debugFrameFile))
    , m_screens(environment.screens)
    , m_scheduler(environment.scheduler)
    , m_clock(environment.clock)
    , m_panel(std::move(panel))
{
    m_lastTick = m_clock.monotonic();

    std::optional<Platform::Screens::Screen> reference = m_screens.main();
    if (!reference) {
        auto screens = m_screens.all();
        if (!screens.empty())
            reference = screens.front();
    }
    ScreenRect const visible = reference ? reference->visibleFrame : fallbackFrame;

    double const height = m_settings.height;
    double const width = std::nearbyint(height * aspect());
    double const x = m_settings.x.value_or(visible.minX() + visible.width * 0.25);
    double const groundY = m_settings.groundY.value_or(visible.minY());
    m_roamer = PupnikCore::Roamer::make(x, groundY, width, height, 1);
    m_roamer.clamp(roamBounds(roamerRect()));

    m_panel->setFrame(m_screens.toTopLeft(roamerRect()), true);
    m_panel->setKeptAbove(m_settings.alwaysOnTop);
    m_panel->setPixelated(m_settings.skin == PupnikCore::Skin::pixel);

    m_panel->onDragBegan = [this] { m_dragging = true; };
    m_panel->onDragEnded = [this](QRect const& frame) { dragEnded(frame); };

    // A clip that leaves the store's cache is let go by the window too, unless the pet still shows it.
    m_sprites.onEvicted = [this](std::vector<QImage> const& frames) {
        if (sameClip(frames, m_frames))
            m_framesEvicted = true;
        else
            m_panel->releaseFrames(frames);
    };

    showFacing();
    startReadingAhead();
    if (m_settings.visible)
        m_panel->orderFront();
    m_screens.setOnChange([this] { screenParametersChanged(); });
    startTimer();
    writeFrameLine(true);
}

PetController::~PetController()
{
    m_sprites.onEvicted = nullptr;
    m_timer.reset();
    m_screens.setOnChange(nullptr);
    m_panel->onDragBegan = nullptr;
    m_panel->onDragEnded = nullptr;
    m_panel->setClickReceiver(nullptr);
}

double PetController::aspect() const
{
    return m_sprites.manifest().aspect();
}

ScreenRect PetController::roamerRect() const
{
    return { m_roamer.x, m_roamer.groundY, m_roamer.width, m_roamer.height };
}

PupnikCore::RoamBounds PetController::roamBounds(ScreenRect const& rect) const
{
    auto const screens = m_screens.all();
    std::optional<Platform::Screens::Screen> chosen;
    for (auto const& screen : screens)
        if (screen.frame.contains(rect.midX(), rect.midY())) {
            chosen = screen;
            break;
        }
    if (!chosen)
        for (auto const& screen : screens)
            if (screen.frame.intersects(rect)) {
                chosen = screen;
                break;
            }
    if (!chosen)
        chosen = m_screens.main();
    if (!chosen && !screens.empty())
        chosen = screens.front();
    ScreenRect const visible = chosen ? chosen->visibleFrame : fallbackFrame;
    return { visible.minX(), visible.maxX(), visible.minY(), visible.maxY() };
}

void PetController::startTimer()
{
    m_lastTick = m_clock.monotonic();
    m_timer = m_scheduler.repeating(tickInterval, [this] { tick(); });
    m_waitingForFrame = false;
}

// A start shows the first frame as soon as it is decoded, not once the whole clip is.
void PetController::startReadingAhead()
{
    m_choice = { Clip::idle, 1.0 };
    auto const frames = m_sprites.readAhead(m_settings.skin, m_choice.clip);
    if (frames.empty() || m_sprites.isCached(m_settings.skin, m_choice.clip)) {
        apply(m_choice);
        return;
    }
    m_readingAhead = true;
    m_panel->showImage(frames.front());
    m_panel->flush();
}

void PetController::readAhead()
{
    m_sprites.readAhead(m_settings.skin, m_choice.clip);
    if (m_sprites.isCached(m_settings.skin, m_choice.clip))
        apply(m_choice);
}

void PetController::tick()
{
    if (m_readingAhead)
        readAhead();
    advance();
    m_panel->flush();
    scheduleNextTick();
}

// Nothing changes on screen between two frames: the timer sleeps until the next is due (a hair
// after, so the frame has changed when it fires) rather than waking the process 60 times a second
// for nothing. A walking pet moves then too, so its paws move with the frames instead of sliding.
std::optional<double> PetController::stillUntilNextFrame() const
{
    if (!m_settings.visible || m_frames.empty())
        return std::nullopt;
    double const framesPerSecond = m_fps * m_choice.rate;
    if (!std::isfinite(framesPerSecond) || !(framesPerSecond > 0))
        return std::nullopt;
    double const sinceTick = std::max(0.0, m_clock.monotonic() - m_lastTick);
    // Frames the store found alike share one image: the pet sleeps through a run of them.
    double const wait = (std::floor(m_phase) + double(framesUntilChange()) - m_phase) / framesPerSecond - sinceTick + 0.001;
    // A walking pet waits even for a frame that is due soon: moved between frames, it would slide.
    double const shortest = PupnikCore::speed(m_choice.clip) > 0 ? 0.0 : 1.5 * tickInterval;
    if (!(wait > shortest))
        return std::nullopt;
    return std::min(wait, maxStep);
}

void PetController::scheduleNextTick()
{
    if (auto wait = stillUntilNextFrame()) {
        if (!m_timer || !m_timer->restart(*wait, false))
            m_timer = m_scheduler.after(*wait, [this] { tick(); });
        m_waitingForFrame = true;
    } else if (m_waitingForFrame) {
        if (!m_timer || !m_timer->restart(tickInterval, true))
            m_timer = m_scheduler.repeating(tickInterval, [this] { tick(); });
        m_waitingForFrame = false;
    }
}

int64_t PetController::framesUntilChange() const
{
    // A walking pet moves with every frame, alike or not.
    if (PupnikCore::speed(m_choice.clip) > 0 || m_frames.empty())
        return 1;
    int64_t const count = int64_t(m_frames.size());
    int64_t const index = int64_t(m_phase) % count;
    qint64 const shown = m_frames[size_t(index)].cacheKey();
    for (int64_t ahead = 1; ahead < count; ++ahead)
        if (m_frames[size_t((index + ahead) % count)].cacheKey() != shown)
            return ahead;
    return count;
}

void PetController::advance()
{
    double const now = m_clock.monotonic();
    double dt = now - m_lastTick;
    m_lastTick = now;
    if (!(dt > 0))
        return;
    dt = std::min(dt, maxStep);
    if (!m_settings.visible)
        return;

    double const advance = dt * m_fps * m_choice.rate;
    double const phaseBefore = m_phase;
    // A rate that is not a number must not poison the phase, which picks the frame.
    bool const animating = std::isfinite(advance) && advance > 0;
    if (animating)
        m_phase += advance;
    showCurrentFrame();

    double const speed = PupnikCore::speed(m_choice.clip);
    if (!(speed > 0))
        return;
    if (m_settings.pinned || m_dragging || movementPaused) {
        m_unwalkedTime = 0;
        return;
    }
    // The pet moves when its next frame shows, by the time since it last moved, so the paws and
    // the ground move together; a pet whose frames stand still walks on every tick.
    m_unwalkedTime += dt;
    if (animating && std::floor(m_phase) == std::floor(phaseBefore))
        return;
    double const step = std::min(m_unwalkedTime, maxStep);
    m_unwalkedTime = 0;
    bool const turned = m_roamer.step(step, speed, roamBounds(roamerRect()));
    if (turned)
        showFacing();
    syncPanelFrame(false);
    writeFrameLine(false);
    if (now - m_lastPersist > persistInterval)
        persist();
}

void PetController::showCurrentFrame()
{
    if (m_frames.empty())
        return;
    double const count = double(m_frames.size());
    if (m_phase >= 1024 * count)
        m_phase = std::fmod(m_phase, count);
    int64_t const index = int64_t(m_phase) % int64_t(m_frames.size());
    if (index == m_lastFrameIndex)
        return;
    m_lastFrameIndex = index;
    m_panel->showImage(m_frames[size_t(index)]);
}

void PetController::showFacing()
{
    m_panel->setMirrored(m_roamer.facing < 0);
}

void PetController::syncPanelFrame(bool redisplay)
{
    QRect const wanted = m_screens.toTopLeft(roamerRect());
    if (m_panel->frame() != wanted)
        m_panel->setFrame(wanted, redisplay);
}

void PetController::apply(PupnikCore::ClipChoice choice)
{
    // A sleeping timer last fired up to a frame ago: that time belongs to the old clip, not to a
    // walk that would make up for it with a jump.
    if (m_waitingForFrame)
        advance();
    m_readingAhead = false;
    m_choice = choice;
    m_unwalkedTime = 0;
    std::vector<QImage> const previous = m_frames;
    std::vector<QImage> frames = m_sprites.frames(m_settings.skin, choice.clip);
    if (m_framesEvicted && !sameClip(previous, frames))
        m_panel->releaseFrames(previous);
    m_framesEvicted = false;
    m_frames = std::move(frames);
    m_panel->loadFrames(m_frames);
    double const fps = m_sprites.fps(choice.clip);
    m_fps = std::isnan(fps) ? 1.0 : std::max(fps, 1.0);
    m_lastFrameIndex = -1;
    showCurrentFrame();
    m_panel->flush();
    writeFrameLine(true);
    if (m_timer)
        scheduleNextTick();
}

void PetController::applyIfChanged(PupnikCore::ClipChoice choice)
{
    // The clip being read comes at the new rate once it is whole.
    if (m_readingAhead && choice.clip == m_choice.clip) {
        m_choice = choice;
        return;
    }
    if (choice != m_choice || m_frames.empty())
        apply(choice);
}

void PetController::updateTooltip(bool waiting, bool approval)
{
    std::optional<std::string> wanted;
    if (waiting && !m_settings.discreet)
        wanted = PupnikCore::localized(approval ? "pet.tooltip.approval" : "pet.tooltip.waiting");
    if (wanted != m_panel->toolTip())
        m_panel->setToolTip(wanted);
}

void PetController::persist()
{
    m_settings.x = m_roamer.x;
    m_settings.groundY = m_roamer.groundY;
    m_settings.save(m_defaults);
    m_lastPersist = m_clock.monotonic();
}

void PetController::setVisible(bool visible)
{
    m_settings.visible = visible;
    if (visible)
        m_panel->orderFront();
    else
        m_panel->orderOut();
    persist();
}

void PetController::setAlwaysOnTop(bool alwaysOnTop)
{
    m_settings.alwaysOnTop = alwaysOnTop;
    m_panel->setKeptAbove(alwaysOnTop);
    persist();
}

void PetController::setHeight(double height)
{
    if (!PupnikCore::PetSettings::isHeightPreset(height))
        return;
    m_settings.height = height;
    m_roamer.resize(std::nearbyint(height * aspect()), height);
    m_roamer.clamp(roamBounds(roamerRect()));
    m_panel->setFrame(m_screens.toTopLeft(roamerRect()), true);
    writeFrameLine(true);
    persist();
}

void PetController::setSkin(PupnikCore::Skin skin)
{
    m_settings.skin = skin;
    m_panel->setPixelated(skin == PupnikCore::Skin::pixel);
    apply(m_choice);
    persist();
}

void PetController::setLanguage(std::optional<PupnikCore::Language> language)
{
    if (language)
        m_settings.language = std::string(language->rawValue());
    else
        m_settings.language.reset();
    persist();
}

void PetController::dragEnded(QRect const& frame)
{
    m_dragging = false;
    ScreenRect const dropped = m_screens.fromTopLeft(frame);
    // A dropped pet stays at the height it was dropped at.
    m_roamer.x = dropped.x;
    m_roamer.groundY = dropped.y;
    m_roamer.clamp(roamBounds(dropped));
    syncPanelFrame(false);
    writeFrameLine(false);
    persist();
}

void PetController::screenParametersChanged()
{
    reclamp();
}

void PetController::reclamp()
{
    m_roamer.clamp(roamBounds(roamerRect()));
    syncPanelFrame(false);
    writeFrameLine(false);
    persist();
}

void PetController::writeFrameLine(bool force)
{
    if (!m_debugFrameFile)
        return;
    double const now = m_clock.monotonic();
    if (!force && now - m_lastDebugWrite < frameLineInterval)
        return;
    m_lastDebugWrite = now;
    auto const screens = m_screens.all();
    if (screens.empty())
        return;
    ScreenRect const rect = roamerRect();
    std::string line = formatted("%.0f,%.0f,%.0f,%.0f facing=%d clip=%s\n", rect.minX(), screens.front().frame.maxY() - rect.maxY(),
        rect.width, rect.height, int(m_roamer.facing), std::string(rawValue(m_choice.clip)).c_str());
    try {
        PawletKit::AtomicFile::write(*m_debugFrameFile, line, 0644);
    } catch (std::exception const&) {
        // A debug aid; the pet goes on without it.
    }
}

void PetController::writeSnapshot(std::filesystem::path const& directory, std::string const& label)
{
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    if (m_panel->windowId() == 0) {
        Platform::Log::line("snapshot: window has no id");
        return;
    }
    auto const screens = m_screens.all();
    if (screens.empty())
        return;
    ScreenRect const rect = roamerRect();
    ScreenRect const around { rect.x - 40, rect.y - 24, rect.width + 80, rect.height + 48 };

    auto window = m_panel->grabWindow();
    if (!window)
        Platform::Log::line("snapshot: window capture failed");
    writePNG(window, directory / (label + "-window.png"));
    writePNG(m_screens.grab(around), directory / (label + "-desktop.png"));
    ScreenRect const first = screens.front().frame;
    writePNG(m_screens.grab(first), directory / (label + "-screen.png"));

    std::string report;
    for (QWidget const* widget : QApplication::topLevelWidgets()) {
        if (!widget->testAttribute(Qt::WA_WState_Created))
            continue;
        // The pet is kept above by the window manager on X11, not by Qt's flag; a walking pet's
        // place is known to its surface before Qt hears of it.
        bool const isPet = view() && view()->window() == widget;
        QRect const bounds = isPet ? m_panel->frame() : widget->geometry();
        bool const above = isPet ? m_settings.alwaysOnTop : widget->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        int const layer = above ? 3 : 0;
        report += formatted("window id=%llu layer=%d bounds={{%d, %d}, {%d, %d}} name=%s\n", static_cast<unsigned long long>(widget->winId()),
            layer, bounds.x(), bounds.y(), bounds.width(), bounds.height(), widget->windowTitle().toStdString().c_str());
    }
    report += formatted("frame=%.0f,%.0f,%.0f,%.0f facing=%d clip=%s rate=%.2f\n", rect.minX(), rect.minY(), rect.width, rect.height,
        int(m_roamer.facing), std::string(rawValue(m_choice.clip)).c_str(), m_choice.rate);
    std::ofstream out(directory / (label + ".txt"), std::ios::binary | std::ios::trunc);
    out << report;
}

}
