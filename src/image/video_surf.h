// The picture buffer side of a video surface: a 24-bit picture with its bitmap header and its
// own lock. The streaming thread writes the picture under the lock; the GUI thread draws it
// under the same lock. The window side (layout, drawing, overlays) attaches through hooks.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"
#include "platform/message_target.h"

namespace kelpa {

class VideoSurf {
  public:
    explicit VideoSurf(uint32_t tag);
    virtual ~VideoSurf();
    VideoSurf(const VideoSurf&) = delete;
    VideoSurf& operator=(const VideoSurf&) = delete;

    // Window operations; they do nothing while no window is attached.
    virtual void UpdateLayout() {}
    virtual void Release() {}
    virtual void ResetView() {}
    virtual bool CreateWnd() { return false; }

    // Header height := -(remembered height) when flipped, the remembered height otherwise.
    virtual void SetFlip(bool flip);
    // Sizes the picture for a frame; a negative height means rows come top row first. Reuses
    // the buffer while it is large enough; the pixels are zero-filled either way.
    virtual bool Allocate(int32_t width, int32_t height);

    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    std::recursive_mutex& PictureLock() { return lock_; }

    FrameBuffer& Picture() { return picture_; }
    const FrameBuffer& Picture() const { return picture_; }
    uint32_t Capacity() const { return capacity_; }
    uint32_t Tag() const { return tag_; }

    // Read without the lock by the drawing code, hence atomic.
    int32_t HeaderHeight() const;
    BitmapInfoHeader Header() const;

    // Where WM_FRAME_READY goes; the intake posts only when a window is set and visible.
    void SetWindow(MessageTarget* window) { window_.store(window); }
    MessageTarget* Window() const { return window_.load(); }
    void SetVisible(bool visible) { visible_.store(visible); }
    bool Visible() const { return visible_.load(); }
    void SetActive(bool active) { active_ = active; }
    bool Active() const { return active_; }

  protected:
    void SetHeaderHeight(int32_t height);

  private:
    void FreeBuffer();

    uint32_t tag_;
    int32_t signedHeight_ = 0;
    BitmapInfoHeader header_;
    std::recursive_mutex lock_;
    std::atomic<MessageTarget*> window_{nullptr};
    std::atomic<bool> visible_{false};
    FrameBuffer picture_;
    uint32_t capacity_ = 0;
    bool active_ = false;
};

class LiveSurf final : public VideoSurf {
  public:
    LiveSurf();
};

// Receives what the processing tells the processed surface: the area moved, a new guide-star
// position, or a request to redraw the area. The processed window implements it.
class OverlayListener {
  public:
    virtual ~OverlayListener() = default;
    virtual void AreaChanged(int32_t x0, int32_t y0, int32_t x1, int32_t y1) = 0;
    virtual void GuidePosition(float x, float y) = 0;
    virtual void RedrawArea() = 0;
};

class ProcSurf final : public VideoSurf {
  public:
    ProcSurf();

    void SetFlip(bool flip) override;
    void ResetView() override;

    // The header of a captured file: the display header itself, so that a saved picture shows
    // what the window shows, flipped or not.
    BitmapInfoHeader FileHeader() const { return Header(); }

    // Notifications from the processing; kept for the overlay and passed to the listener.
    void SetListener(OverlayListener* listener) { listener_.store(listener); }
    void SetArea(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void SetGuidePosition(float x, float y);
    void ClearGuideMark();
    void RedrawArea();

    float GuideMarkX() const { return markX_.load(); }
    float GuideMarkY() const { return markY_.load(); }

  private:
    std::atomic<OverlayListener*> listener_{nullptr};
    std::atomic<float> markX_{-1.0f};
    std::atomic<float> markY_{-1.0f};
};

}  // namespace kelpa
