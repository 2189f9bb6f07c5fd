#include "Pupnik/PetWindow/ServerFrames.hpp"

#include <QGuiApplication>
#include <algorithm>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xcb_image.h>

namespace Pupnik {

namespace {

xcb_connection_t* qtConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The frame's outline as an XBM bitmap (rows padded to bytes, least significant bit first):
// pixels at least half opaque belong to the pet.
std::string outline(QImage const& drawn)
{
    int const stride = (drawn.width() + 7) / 8;
    std::string bits(size_t(stride) * size_t(drawn.height()), '\0');
    for (int y = 0; y < drawn.height(); ++y) {
        auto const* row = reinterpret_cast<QRgb const*>(drawn.constScanLine(y));
        char* out = bits.data() + size_t(y) * size_t(stride);
        for (int x = 0; x < drawn.width(); ++x)
            if (qAlpha(row[x]) >= 128)
                out[x / 8] = char(uint8_t(out[x / 8]) | uint8_t(1u << (x % 8)));
    }
    return bits;
}

// The outline as rectangles in the order the server takes without sorting (by rows, then left to
// right; rows alike merged into one band), so setting it costs the server no bitmap to scan.
std::vector<ServerFrames::Span> spans(std::string const& bits, QSize size)
{
    int const stride = (size.width() + 7) / 8;
    auto runsOf = [&](int y) {
        std::vector<std::pair<int, int>> runs;
        auto const* row = reinterpret_cast<uint8_t const*>(bits.data()) + size_t(y) * size_t(stride);
        auto set = [&](int x) { return (row[x / 8] >> (x % 8)) & 1; };
        for (int x = 0; x < size.width();) {
            if (!set(x)) {
                ++x;
                continue;
            }
            int const begin = x;
            while (x < size.width() && set(x))
                ++x;
            runs.emplace_back(begin, x - begin);
        }
        return runs;
    };
    std::vector<ServerFrames::Span> result;
    std::vector<std::pair<int, int>> band;
    size_t bandStart = 0;
    for (int y = 0; y < size.height(); ++y) {
        auto runs = runsOf(y);
        if (y > 0 && runs == band && !runs.empty()) {
            for (size_t i = bandStart; i < result.size(); ++i)
                ++result[i].height;
            continue;
        }
        band = std::move(runs);
        bandStart = result.size();
        for (auto [x, width] : band)
            result.push_back({ int16_t(x), int16_t(y), uint16_t(width), 1 });
    }
    return result;
}

}

static_assert(sizeof(ServerFrames::Span) == sizeof(xcb_rectangle_t) && alignof(ServerFrames::Span) == alignof(xcb_rectangle_t));

std::unique_ptr<ServerFrames> ServerFrames::open(uint32_t window)
{
    xcb_connection_t* connection = qtConnection();
    if (!connection || window == 0)
        return nullptr;
    xcb_setup_t const* setup = xcb_get_setup(connection);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return nullptr;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    if (!geometry)
        return nullptr;
    uint8_t const depth = geometry->depth;
    free(geometry);
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
    if (!attributes)
        return nullptr;
    uint32_t const eventMask = attributes->your_event_mask;
    free(attributes);
    if (depth != 24 && depth != 32)
        return nullptr;
    bool thirtyTwoBitPixels = false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats))
        if (formats.data->depth == depth)
            thirtyTwoBitPixels = formats.data->bits_per_pixel == 32 && formats.data->scanline_pad == 32;
    if (!thirtyTwoBitPixels)
        return nullptr;
    return std::unique_ptr<ServerFrames>(new ServerFrames(connection, window, depth, eventMask));
}

ServerFrames::ServerFrames(xcb_connection_t* connection, uint32_t window, uint8_t depth, uint32_t eventMask)
    : m_connection(connection)
    , m_window(window)
    , m_depth(depth)
    , m_eventMask(eventMask)
{
    m_gc = xcb_generate_id(m_connection);
    uint32_t const noExposures = 0;
    xcb_create_gc(m_connection, m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    // The frame shown is the window's background, so the server paints whatever part of it comes
    // into view by itself. Exposures are then news of nothing: each outline change, ours or the
    // window manager's frame following it, would otherwise send a burst of them many times a second.
    uint32_t const withoutExposures = m_eventMask & ~uint32_t(XCB_EVENT_MASK_EXPOSURE);
    if (withoutExposures != m_eventMask)
        xcb_change_window_attributes(m_connection, m_window, XCB_CW_EVENT_MASK, &withoutExposures);
}

ServerFrames::~ServerFrames()
{
    clear();
    xcb_free_gc(m_connection, m_gc);
    xcb_flush(m_connection);
}

int64_t ServerFrames::frameBytes() const
{
    return int64_t(m_size.width()) * m_size.height() * 4;
}

void ServerFrames::setSize(QSize size)
{
    if (size == m_size)
        return;
    clear();
    m_size = size;
}

void ServerFrames::clear()
{
    for (auto const& [key, frame] : m_frames)
        xcb_free_pixmap(m_connection, frame.pixmap);
    m_frames.clear();
    // The outline in force stays on the window, which keeps its own copy.
    m_masks.clear();
    m_bytes = 0;
}

void ServerFrames::release(qint64 frame)
{
    for (bool mirrored : { false, true }) {
        auto found = m_frames.find({ frame, mirrored });
        if (found == m_frames.end())
            continue;
        xcb_free_pixmap(m_connection, found->second.pixmap);
        m_bytes -= frameBytes();
        dropMaskUser(found->second.mask);
        m_frames.erase(found);
    }
}

void ServerFrames::keepOnly(std::set<qint64> const& frames)
{
    std::set<qint64> others;
    for (auto const& [key, frame] : m_frames)
        if (!frames.contains(key.first))
            others.insert(key.first);
    for (qint64 frame : others)
        release(frame);
}

void ServerFrames::putImage(uint32_t drawable, QImage const& drawn)
{
    // In slices the server's request size allows; each row is whole 32-bit pixels.
    int const rowBytes = m_size.width() * 4;
    int64_t const maxRequest = int64_t(xcb_get_maximum_request_length(m_connection)) * 4 - 64;
    int const rowsPerRequest = std::max<int>(1, int(maxRequest / rowBytes));
    for (int y = 0; y < m_size.height(); y += rowsPerRequest) {
        int const rows = std::min(rowsPerRequest, m_size.height() - y);
        xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, m_gc, uint16_t(m_size.width()), uint16_t(rows), 0, int16_t(y), 0,
            m_depth, uint32_t(rows * rowBytes), drawn.constScanLine(y));
    }
}

ServerFrames::Masks::iterator ServerFrames::maskFor(std::string bits)
{
    auto found = m_masks.find(bits);
    if (found == m_masks.end()) {
        Mask mask;
        mask.id = ++m_lastMaskId;
        mask.spans = spans(bits, m_size);
        found = m_masks.emplace(std::move(bits), std::move(mask)).first;
    }
    ++found->second.users;
    return found;
}

void ServerFrames::dropMaskUser(Masks::iterator mask)
{
    if (--mask->second.users > 0)
        return;
    m_masks.erase(mask);
}

bool ServerFrames::upload(Key key, QImage const& drawn)
{
    if (m_size.isEmpty() || drawn.size() != m_size || drawn.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    if (m_frames.contains(key))
        return true;
    if (m_bytes + frameBytes() > byteBudget)
        return false;
    Frame frame;
    frame.pixmap = xcb_generate_id(m_connection);
    xcb_create_pixmap(m_connection, m_depth, frame.pixmap, m_window, uint16_t(m_size.width()), uint16_t(m_size.height()));
    putImage(frame.pixmap, drawn);
    m_bytes += frameBytes();
    frame.mask = maskFor(outline(drawn));
    m_frames.emplace(key, frame);
    return true;
}

void ServerFrames::applyOutline(uint64_t id, std::vector<Span> const& outline)
{
    if (m_shapeKnown && id == m_maskInForce)
        return;
    m_shapeKnown = true;
    m_maskInForce = id;
    xcb_shape_rectangles(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED, m_window, 0, 0,
        uint32_t(outline.size()), reinterpret_cast<xcb_rectangle_t const*>(outline.data()));
}

void ServerFrames::setShaped(bool shaped)
{
    if (shaped == m_shaped && m_shapeKnown)
        return;
    m_shaped = shaped;
    // The outline comes with the next frame shown; unshaped takes effect at once.
    if (!shaped && (!m_shapeKnown || m_maskInForce != 0)) {
        m_shapeKnown = true;
        m_maskInForce = 0;
        xcb_shape_mask(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, m_window, 0, 0, XCB_NONE);
    }
}

bool ServerFrames::show(Key key)
{
    auto found = m_frames.find(key);
    if (found == m_frames.end())
        return false;
    Mask const& mask = found->second.mask->second;
    showPixmap(found->second.pixmap, mask.id, mask.spans);
    return true;
}

void ServerFrames::showPixmap(uint32_t pixmap, uint64_t outlineId, std::vector<Span> const& outline)
{
    // The picture before the outline: what the new outline uncovers the server paints with the
    // new frame; the copy then paints the rest.
    xcb_change_window_attributes(m_connection, m_window, XCB_CW_BACK_PIXMAP, &pixmap);
    if (m_shaped)
        applyOutline(outlineId, outline);
    xcb_copy_area(m_connection, pixmap, m_window, m_gc, 0, 0, 0, 0, uint16_t(m_size.width()), uint16_t(m_size.height()));
}

void ServerFrames::moveTo(int x, int y)
{
    uint32_t const position[] = { uint32_t(int32_t(x)), uint32_t(int32_t(y)) };
    xcb_configure_window(m_connection, m_window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
}

void ServerFrames::showUnkept(QImage const& drawn)
{
    if (drawn.size() != m_size || drawn.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    // The window holds on to its background; the pixmap's name can go at once.
    uint32_t const pixmap = xcb_generate_id(m_connection);
    xcb_create_pixmap(m_connection, m_depth, pixmap, m_window, uint16_t(m_size.width()), uint16_t(m_size.height()));
    putImage(pixmap, drawn);
    if (m_shaped) {
        std::string bits = outline(drawn);
        if (bits != m_transientBits || m_transientSpans.empty()) {
            m_transientId = ++m_lastMaskId;
            m_transientSpans = spans(bits, m_size);
            m_transientBits = std::move(bits);
        }
    }
    showPixmap(pixmap, m_transientId, m_transientSpans);
    xcb_free_pixmap(m_connection, pixmap);
}

}
