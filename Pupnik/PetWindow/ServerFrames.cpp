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

}

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
    if (depth != 24 && depth != 32)
        return nullptr;
    bool thirtyTwoBitPixels = false;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem; xcb_format_next(&formats))
        if (formats.data->depth == depth)
            thirtyTwoBitPixels = formats.data->bits_per_pixel == 32 && formats.data->scanline_pad == 32;
    if (!thirtyTwoBitPixels)
        return nullptr;
    return std::unique_ptr<ServerFrames>(new ServerFrames(connection, window, depth));
}

ServerFrames::ServerFrames(xcb_connection_t* connection, uint32_t window, uint8_t depth)
    : m_connection(connection)
    , m_window(window)
    , m_depth(depth)
{
    m_gc = xcb_generate_id(m_connection);
    uint32_t const noExposures = 0;
    xcb_create_gc(m_connection, m_gc, m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
}

ServerFrames::~ServerFrames()
{
    clear();
    if (m_transientMask)
        xcb_free_pixmap(m_connection, m_transientMask);
    xcb_free_gc(m_connection, m_gc);
    xcb_flush(m_connection);
}

int64_t ServerFrames::frameBytes() const
{
    return int64_t(m_size.width()) * m_size.height() * 4;
}

int64_t ServerFrames::maskBytes() const
{
    return int64_t((m_size.width() + 7) / 8) * m_size.height();
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
    // The mask in force stays on the window; its pixmap may go, the window keeps its own copy.
    for (auto const& [bits, mask] : m_masks)
        xcb_free_pixmap(m_connection, mask.pixmap);
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
        mask.pixmap = xcb_create_pixmap_from_bitmap_data(m_connection, m_window, reinterpret_cast<uint8_t*>(bits.data()),
            uint32_t(m_size.width()), uint32_t(m_size.height()), 1, 1, 0, nullptr);
        m_bytes += maskBytes();
        found = m_masks.emplace(std::move(bits), mask).first;
    }
    ++found->second.users;
    return found;
}

void ServerFrames::dropMaskUser(Masks::iterator mask)
{
    if (--mask->second.users > 0)
        return;
    xcb_free_pixmap(m_connection, mask->second.pixmap);
    m_bytes -= maskBytes();
    m_masks.erase(mask);
}

bool ServerFrames::upload(Key key, QImage const& drawn)
{
    if (m_size.isEmpty() || drawn.size() != m_size || drawn.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    if (m_frames.contains(key))
        return true;
    if (m_bytes + frameBytes() + maskBytes() > byteBudget)
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

void ServerFrames::applyMask(uint32_t mask)
{
    if (m_shapeKnown && mask == m_maskInForce)
        return;
    m_shapeKnown = true;
    m_maskInForce = mask;
    ++m_shapeRequests;
    xcb_shape_mask(m_connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, m_window, 0, 0, mask);
}

void ServerFrames::setShaped(bool shaped)
{
    if (shaped == m_shaped && m_shapeKnown)
        return;
    m_shaped = shaped;
    // The outline comes with the next frame shown; unshaped takes effect at once.
    if (!shaped)
        applyMask(XCB_NONE);
}

bool ServerFrames::show(Key key)
{
    auto found = m_frames.find(key);
    if (found == m_frames.end())
        return false;
    // Outline first: a part the new outline uncovers is then painted by the copy, not left to an
    // exposure.
    if (m_shaped)
        applyMask(found->second.mask->second.pixmap);
    xcb_copy_area(m_connection, found->second.pixmap, m_window, m_gc, 0, 0, 0, 0, uint16_t(m_size.width()), uint16_t(m_size.height()));
    return true;
}

void ServerFrames::showUnkept(QImage const& drawn)
{
    if (drawn.size() != m_size || drawn.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    if (!m_shaped) {
        putImage(m_window, drawn);
        return;
    }
    std::string bits = outline(drawn);
    if (m_transientMask && m_maskInForce == m_transientMask && bits == m_transientBits) {
        putImage(m_window, drawn);
        return;
    }
    uint32_t const mask = xcb_create_pixmap_from_bitmap_data(
        m_connection, m_window, reinterpret_cast<uint8_t*>(bits.data()), uint32_t(m_size.width()), uint32_t(m_size.height()), 1, 1, 0, nullptr);
    applyMask(mask);
    if (m_transientMask)
        xcb_free_pixmap(m_connection, m_transientMask);
    m_transientMask = mask;
    m_transientBits = std::move(bits);
    putImage(m_window, drawn);
}

}
