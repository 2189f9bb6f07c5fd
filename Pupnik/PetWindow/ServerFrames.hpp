#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

struct xcb_connection_t;

namespace Pupnik {

// The pet's frames kept on the X server, the way a classic X11 desktop pet keeps them: each frame
// as drawn (at the window's size, per facing) is put into a pixmap once, with its 1-bit shape, and
// showing it costs one CopyArea, plus a shape request only when the outline differs from the one
// in force. Requests go out on Qt's own connection and are not flushed here: a window move that
// follows is sent with them. Main thread only.
class ServerFrames final {
public:
    // Pixmaps, masks included, kept per window: beyond it frames are put straight to the window
    // each time they are shown.
    static constexpr int64_t byteBudget = 24 << 20;

    // By frame (the image's cache key) and facing.
    using Key = std::pair<qint64, bool>;

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
    bool isShaped() const { return m_shaped; }

    bool has(Key key) const { return m_frames.contains(key); }
    // The drawn frame, at the window's size. False when the budget is spent: nothing was kept.
    bool upload(Key key, QImage const& drawn);
    // Copies a kept frame to the window; false when it is not kept.
    bool show(Key key);
    // Puts a frame that is not kept straight to the window.
    void showUnkept(QImage const& drawn);
    void release(qint64 frame);
    void clear();

    int64_t bytesKept() const { return m_bytes; }
    size_t framesKept() const { return m_frames.size(); }
    size_t masksKept() const { return m_masks.size(); }
    // The mask in force on the window: 0 when unshaped. For checks.
    uint32_t maskInForce() const { return m_maskInForce; }
    int shapeRequests() const { return m_shapeRequests; }

private:
    struct Mask {
        uint32_t pixmap { 0 };
        int users { 0 };
    };
    // Frames whose outlines are the same share one mask, found by its bits.
    using Masks = std::map<std::string, Mask>;
    struct Frame {
        uint32_t pixmap { 0 };
        Masks::iterator mask;
    };

    ServerFrames(xcb_connection_t* connection, uint32_t window, uint8_t depth);
    void putImage(uint32_t drawable, QImage const& drawn);
    Masks::iterator maskFor(std::string bits);
    void dropMaskUser(Masks::iterator mask);
    void applyMask(uint32_t mask);
    int64_t frameBytes() const;
    int64_t maskBytes() const;

    xcb_connection_t* m_connection;
    uint32_t m_window;
    uint8_t m_depth;
    uint32_t m_gc { 0 };
    QSize m_size;
    bool m_shaped { false };
    uint32_t m_maskInForce { 0 };
    // Set once anything was asked of the window's shape, so a first "unshaped" is sent too.
    bool m_shapeKnown { false };
    int m_shapeRequests { 0 };
    int64_t m_bytes { 0 };
    std::map<Key, Frame> m_frames;
    Masks m_masks;
    // The outline of a frame shown without being kept, freed once another takes its place.
    uint32_t m_transientMask { 0 };
    std::string m_transientBits;
};

}
