#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct xcb_connection_t;

namespace Pupnik {

// The pet's frames kept on the X server, the way a classic X11 desktop pet keeps them: each frame
// as drawn (at the window's size, per facing) is put into a pixmap once, its outline worked out
// once as rectangles. Showing it makes it the window's background and copies it to the window, plus
// a shape request only when the outline differs from the one in force. Requests go out on Qt's own
// connection and are not flushed here: a window move that follows is sent with them. Main thread
// only.
class ServerFrames final {
public:
    // Pixmaps kept per window: beyond it frames are put to the server each time they are shown.
    static constexpr int64_t byteBudget = 24 << 20;
    // By frame (the image's cache key) and facing.
    using Key = std::pair<qint64, bool>;
    // One rectangle of an outline, laid out as the X protocol's.
    struct Span {
        int16_t x { 0 };
        int16_t y { 0 };
        uint16_t width { 0 };
        uint16_t height { 0 };
    };

    // Nothing when the session is not X11 or the window's depth is not one the frames can be put
    // in as they are (24 or 32 bits in 32-bit pixels, the server's byte order little-endian).
    static std::unique_ptr<ServerFrames> open(uint32_t window);
    ~ServerFrames();
    ServerFrames(ServerFrames const&) = delete;
    ServerFrames& operator=(ServerFrames const&) = delete;

    // Frames of another size are dropped; the owner uploads them again.
    void setSize(QSize size);
    QSize size() const { return m_size; }
    // Without a compositing manager the window is cut to the frame's opaque pixels; with one it is
    // unshaped and blended.
    void setShaped(bool shaped);
    bool has(Key key) const { return m_frames.contains(key); }
    // The drawn frame, at the window's size. False when the budget is spent: nothing was kept.
    bool upload(Key key, QImage const& drawn);
    // Shows a kept frame; false when it is not kept.
    bool show(Key key);
    // Shows a frame that is not kept, put to the server for this once.
    void showUnkept(QImage const& drawn);
    // Moves the window without Qt's road, which also rewrites its size hints each time and so
    // makes the window manager read them back.
    void moveTo(int x, int y);
    void release(qint64 frame);
    // Lets go of every frame but these.
    void keepOnly(std::set<qint64> const& frames);
    void clear();

    int64_t bytesKept() const { return m_bytes; }
    size_t framesKept() const { return m_frames.size(); }

private:
    struct Mask {
        uint64_t id { 0 };
        std::vector<Span> spans;
        int users { 0 };
    };
    // Frames whose outlines are the same share one, found by its bits.
    using Masks = std::map<std::string, Mask>;
    struct Frame {
        uint32_t pixmap { 0 };
        Masks::iterator mask;
    };

    ServerFrames(xcb_connection_t* connection, uint32_t window, uint8_t depth, uint32_t eventMask);
    void putImage(uint32_t drawable, QImage const& drawn);
    Masks::iterator maskFor(std::string bits);
    void dropMaskUser(Masks::iterator mask);
    void applyOutline(uint64_t id, std::vector<Span> const& outline);
    void showPixmap(uint32_t pixmap, uint64_t outlineId, std::vector<Span> const& outline);
    int64_t frameBytes() const;

    xcb_connection_t* m_connection;
    uint32_t m_window;
    uint8_t m_depth;
    // What Qt asked the server to tell it of the window.
    uint32_t m_eventMask;
    uint32_t m_gc { 0 };
    QSize m_size;
    bool m_shaped { false };
    uint64_t m_maskInForce { 0 };
    uint64_t m_lastMaskId { 0 };
    // Set once anything was asked of the window's shape, so a first "unshaped" is sent too.
    bool m_shapeKnown { false };
    int64_t m_bytes { 0 };
    std::map<Key, Frame> m_frames;
    Masks m_masks;
    // The outline of the last frame shown without being kept.
    std::string m_transientBits;
    std::vector<Span> m_transientSpans;
    uint64_t m_transientId { 0 };
};

}
