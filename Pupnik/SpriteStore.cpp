#include "Pupnik/SpriteStore.hpp"

#include "platform/Log.hpp"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <string_view>
#include <system_error>
#include <unordered_map>

namespace Pupnik {

using PupnikCore::Clip;
using PupnikCore::Skin;

namespace {

// Frames with the same pixels become one shared image: a window that keeps drawn frames keeps it
// once, and a pet sleeps through a run of them instead of showing the same picture again.
void shareAlikeFrames(std::vector<QImage>& frames)
{
    std::unordered_multimap<size_t, size_t> seen;
    for (size_t index = 0; index < frames.size(); ++index) {
        QImage const& frame = frames[index];
        size_t const hash = std::hash<std::string_view> {}(
            std::string_view(reinterpret_cast<char const*>(frame.constBits()), size_t(frame.sizeInBytes())));
        auto [first, last] = seen.equal_range(hash);
        auto alike = std::find_if(first, last, [&](auto const& entry) { return frames[entry.second] == frame; });
        if (alike != last)
            frames[index] = frames[alike->second];
        else
            seen.emplace(hash, index);
    }
}

constexpr auto pixelFormat = QImage::Format_ARGB32_Premultiplied;

QImage blankBitmap(int width, int height)
{
    QImage image(width, height, pixelFormat);
    if (image.isNull())
        return image;
    image.setColorSpace(QColorSpace::SRgb);
    image.fill(Qt::transparent);
    return image;
}

QColor placeholderColour(Clip clip)
{
    struct RGB {
        double red, green, blue;
    };
    static constexpr std::array<RGB, 8> colours { {
        { 0.95, 0.35, 0.25 },
        { 0.95, 0.6, 0.2 },
        { 0.9, 0.8, 0.2 },
        { 0.5, 0.75, 0.4 },
        { 0.4, 0.55, 0.9 },
        { 0.9, 0.45, 0.8 },
        { 0.55, 0.4, 0.3 },
        { 0.6, 0.6, 0.62 },
    } };
    RGB const c = colours[size_t(clip)];
    return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), 0.9f);
}

std::string cacheKey(Skin skin, Clip clip)
{
    return std::string(rawValue(skin)) + "/" + std::string(rawValue(clip));
}

int64_t bytesOf(QImage const& image)
{
    return int64_t(image.sizeInBytes());
}

// A whole number of pixels from a manifest-derived size, within [0, limit]; NaN gives 0.
int boundedSide(double value, int limit)
{
    if (!(value > 0))
        return 0;
    return int(std::min(std::trunc(value), double(limit)));
}

}

SpriteStore::SpriteStore(std::optional<std::filesystem::path> baseURL)
    : m_manifest(PupnikCore::SpriteManifest::builtIn())
{
    if (!baseURL) {
        Platform::Log::line("no sprite directory — using placeholders");
    } else {
        try {
            m_manifest = PupnikCore::SpriteManifest::load(*baseURL / "manifest.json");
            m_baseURL = std::move(baseURL);
        } catch (std::exception const& error) {
            Platform::Log::line("sprite manifest missing or invalid at " + baseURL->string() + ": " + error.what() + " — using placeholders");
        }
    }
    m_usingPlaceholders = !m_baseURL;
}

Clip SpriteStore::effectiveClip(Clip clip) const
{
    if (clip == Clip::sick && !m_manifest.states.contains("sick"))
        return Clip::hungry;
    return clip;
}

int64_t SpriteStore::frameCount(Clip effective) const
{
    return std::max<int64_t>(m_manifest.timing(effective).frames, 1);
}

std::filesystem::path SpriteStore::framePath(Skin skin, Clip effective, int64_t index) const
{
    char name[32];
    std::snprintf(name, sizeof name, "%02lld.png", static_cast<long long>(index));
    return *m_baseURL / std::string(rawValue(skin)) / std::string(rawValue(effective)) / name;
}

std::vector<QImage> SpriteStore::loadClip(Skin skin, Clip effective, std::string const& key) const
{
    std::vector<QImage> frames;
    if (!m_baseURL)
        return frames;
    int64_t const count = frameCount(effective);
    int64_t bytes = 0;
    for (int64_t index = 0; index < count; ++index) {
        auto path = framePath(skin, effective, index);
        auto frame = loadPNG(path);
        if (frame)
            bytes += bytesOf(*frame);
        if (!frame || bytes > clipByteBudget) {
            Platform::Log::line("missing frame " + path.string() + " — placeholder for " + key);
            frames.clear();
            break;
        }
        frames.push_back(std::move(*frame));
    }
    return frames;
}

std::vector<QImage> SpriteStore::frames(Skin skin, Clip clip)
{
    // Whoever asks for a whole clip has stopped reading ahead; the frames read so far are let go.
    m_partial.reset();
    std::string const key = cacheKey(skin, clip);
    if (auto cached = m_cache.find(key); cached != m_cache.end()) {
        auto frames = cached->second;
        touch(key);
        return frames;
    }
    Clip const effective = effectiveClip(clip);
    int64_t const count = frameCount(effective);
    std::vector<QImage> frames = loadClip(skin, effective, key);
    if (clip == Clip::sick && frames.empty() && effective == Clip::sick) {
        Platform::Log::line("sprites: the manifest declares sick but its frames are missing — falling back to hungry");
        frames = this->frames(skin, Clip::hungry);
        for (QImage& frame : frames)
            frame = faded(frame);
    } else if (clip == Clip::sick && effective == Clip::hungry) {
        for (QImage& frame : frames)
            frame = faded(frame);
    }
    if (frames.empty()) {
        m_usingPlaceholders = true;
        frames = placeholderFrames(clip, count, m_manifest);
    }
    shareAlikeFrames(frames);
    m_cache[key] = frames;
    touch(key);
    return frames;
}

std::vector<QImage> SpriteStore::readAhead(Skin skin, Clip clip)
{
    std::string const key = cacheKey(skin, clip);
    Clip const effective = effectiveClip(clip);
    // Only a clip shown as its files stand goes frame by frame; a faded or missing one is read whole.
    if (m_cache.contains(key) || !m_baseURL || clip != effective || clip == Clip::sick)
        return frames(skin, clip);
    if (!m_partial || m_partial->key != key)
        m_partial = PartialClip { key, {}, 0 };
    auto frame = loadPNG(framePath(skin, effective, int64_t(m_partial->frames.size())));
    if (!frame || m_partial->bytes + bytesOf(*frame) > clipByteBudget) {
        // Read again whole, which tells of the missing frame and stands placeholders in.
        m_partial.reset();
        return frames(skin, clip);
    }
    m_partial->bytes += bytesOf(*frame);
    m_partial->frames.push_back(std::move(*frame));
    if (int64_t(m_partial->frames.size()) < frameCount(effective))
        return m_partial->frames;
    std::vector<QImage> whole = std::move(m_partial->frames);
    m_partial.reset();
    shareAlikeFrames(whole);
    m_cache[key] = whole;
    touch(key);
    return whole;
}

bool SpriteStore::isCached(Skin skin, Clip clip) const
{
    return m_cache.contains(cacheKey(skin, clip));
}

double SpriteStore::fps(Clip clip) const
{
    return m_manifest.timing(effectiveClip(clip)).fps;
}

std::optional<QImage> SpriteStore::frame(Skin skin, Clip clip, int64_t index) const
{
    if (auto cached = m_cache.find(cacheKey(skin, clip)); cached != m_cache.end() && !cached->second.empty()) {
        auto const& frames = cached->second;
        return frames[size_t(std::clamp<int64_t>(index, 0, int64_t(frames.size()) - 1))];
    }
    if (!m_baseURL)
        return std::nullopt;
    return loadPNG(framePath(skin, effectiveClip(clip), index));
}

void SpriteStore::touch(std::string const& key)
{
    std::erase(m_lru, key);
    m_lru.push_back(key);
    while (m_lru.size() > cachedClips) {
        auto evicted = m_cache.extract(m_lru.front());
        if (evicted && onEvicted)
            onEvicted(evicted.mapped());
        m_lru.erase(m_lru.begin());
    }
}

std::optional<QImage> SpriteStore::loadPNG(std::filesystem::path const& url)
{
    // A fifo or device at a frame's name would block or never end; only bounded regular files are read.
    std::error_code error;
    auto status = std::filesystem::status(url, error);
    if (error || !std::filesystem::is_regular_file(status))
        return std::nullopt;
    auto size = std::filesystem::file_size(url, error);
    if (error || size > uint64_t(maxFrameFileBytes))
        return std::nullopt;
    QImageReader reader(QString::fromStdString(url.string()));
    reader.setAutoTransform(false);
    QSize const declared = reader.size();
    if (declared.isValid() && (declared.width() > maxFrameSide || declared.height() > maxFrameSide))
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 || image.width() > maxFrameSide || image.height() > maxFrameSide)
        return std::nullopt;
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace::SRgb);
    image = image.convertToFormat(pixelFormat);
    if (image.isNull())
        return std::nullopt;
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

std::vector<QImage> SpriteStore::placeholderFrames(Clip clip, int64_t count, PupnikCore::SpriteManifest const& manifest)
{
    std::vector<QImage> frames;
    if (count <= 0)
        return frames;
    double const heightBasis = manifest.scale * manifest.logicalHeight;
    int const width = boundedSide(manifest.box.w * heightBasis / std::max(manifest.box.h, 1.0), maxPlaceholderSide);
    int const height = boundedSide(heightBasis, maxPlaceholderSide);
    if (width <= 0 || height <= 0)
        return frames;
    double const bodyX = width * 0.15;
    double const bodyWidth = width * 0.7;
    double const bodyHeight = height * 0.6;
    // Drawn in bottom-up coordinates: y measured from the bitmap's lower edge.
    auto flip = [height](double y, double h) { return height - y - h; };
    int64_t bytes = 0;
    for (int64_t i = 0; i < count; ++i) {
        QImage image = blankBitmap(width, height);
        if (image.isNull())
            continue;
        bytes += bytesOf(image);
        if (bytes > clipByteBudget)
            break;
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(QRectF(bodyX, flip(0, bodyHeight), bodyWidth, bodyHeight), placeholderColour(clip));
        double const markerX = bodyX + (double(i) / double(count)) * (bodyWidth - 12);
        double const markerHeight = height * 0.15;
        painter.fillRect(QRectF(markerX, flip(bodyHeight, markerHeight), 12, markerHeight), QColor::fromRgbF(0.1f, 0.1f, 0.1f, 0.9f));
        QPainterPath stripes;
        for (double x = bodyX; x < bodyX + bodyWidth; x += 24) {
            stripes.moveTo(x, flip(0, 0));
            stripes.lineTo(x + bodyHeight * 0.5, flip(bodyHeight, 0));
        }
        painter.strokePath(stripes, QPen(QColor::fromRgbF(1, 1, 1, 0.5f), 3));
        painter.end();
        frames.push_back(std::move(image));
    }
    return frames;
}

QImage SpriteStore::faded(QImage const& frame)
{
    if (frame.width() <= 0 || frame.height() <= 0)
        return frame;
    QImage image = blankBitmap(frame.width(), frame.height());
    if (image.isNull())
        return frame;
    QPainter painter(&image);
    painter.setOpacity(sickOpacity);
    painter.drawImage(0, 0, frame);
    painter.end();
    return image;
}

QImage SpriteStore::menuBarIconImage(std::optional<QImage> const& sprite, bool badge, int scale)
{
    constexpr double width = 20;
    constexpr double height = 18;
    QImage image(int(width) * scale, int(height) * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    // The layout is given from the lower edge; Qt draws from the upper one.
    auto rect = [](double x, double y, double w, double h) { return QRectF(x, height - y - h, w, h); };
    if (!sprite || sprite->isNull()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(rect(2, 3, 12, 8));
        painter.drawEllipse(rect(11, 7, 7, 7));
    } else {
        double const aspect = double(sprite->width()) / std::max(sprite->height(), 1);
        double w = width;
        double h = width / aspect;
        if (h > 17) {
            h = 17;
            w = aspect * 17;
        }
        QRectF const place = rect((width - w) / 2, 1, w, h);
        painter.drawImage(place, *sprite);
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        painter.fillRect(place, Qt::black);
    }
    if (badge) {
        QRectF const dot = rect(13.5, 0.5, 6, 6);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(dot.adjusted(-1.5, -1.5, 1.5, 1.5));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setBrush(MenuBarIcon::badgeColour());
        painter.drawEllipse(dot);
    }
    painter.end();
    return image;
}

MenuBarIcon SpriteStore::menuBarIcon(std::optional<QImage> const& sprite, bool badge)
{
    return { menuBarIconImage(sprite, badge, 1), menuBarIconImage(sprite, badge, 2) };
}

void SpriteStore::writeIconPNG(std::optional<MenuBarIcon> const& icon, std::filesystem::path const& url)
{
    if (!icon || icon->doubled.isNull())
        return;
    constexpr int scale = 4;
    QImage canvas(88 * scale, 24 * scale, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
    painter.fillRect(QRectF(0, 0, 44, 24), QColor::fromRgbF(0.96f, 0.96f, 0.96f));
    painter.fillRect(QRectF(44, 0, 44, 24), QColor::fromRgbF(0.12f, 0.12f, 0.12f));
    painter.drawImage(QRectF(12, 3, 20, 18), MenuBarIcon::tinted(icon->doubled, Qt::black));
    painter.drawImage(QRectF(56, 3, 20, 18), MenuBarIcon::tinted(icon->doubled, Qt::white));
    painter.end();
    canvas.save(QString::fromStdString(url.string()), "PNG");
}

}
