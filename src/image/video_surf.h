// The picture buffer side of a video surface: a 24-bit picture with its bitmap header and its
// own lock. The streaming thread writes the picture under the lock; the GUI thread copies it
// under the same lock (CopyPicture) and draws the copy. A window attaches through the observer
// interfaces below; without one the surface works the same.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "image/bitmap_header.h"
#include "image/frame_buffer.h"
#include "image/picture_copy.h"

namespace kelpa {

// What the window showing a surface is told about its picture. Called on the thread that sizes
// or flips the picture: the GUI thread, or the streaming thread between two samples when a
// stream changes its format. An implementation notes what happened and lets the GUI thread act
// on it (a posted event); it never blocks and never touches a widget from the streaming thread.
class SurfaceObserver {
  public:
    virtual ~SurfaceObserver() = default;
    // The picture was sized anew: lay the picture out in the window again.
    virtual void LayoutChanged() = 0;
    // The picture was flipped: the view starts again (no guide mark, picture at its origin).
    virtual void ViewReset() = 0;
};

class VideoSurf {
  public:
    explicit VideoSurf(uint32_t tag);
    virtual ~VideoSurf();
    VideoSurf(const VideoSurf&) = delete;
    VideoSurf& operator=(const VideoSurf&) = delete;

    // Header height := -(remembered height) when flipped, the remembered height otherwise.
    virtual void SetFlip(bool flip);
    // Sizes the picture for a frame; a negative height means rows come top row first. Reuses
    // the buffer while it is large enough; the pixels are zero-filled either way.
    bool Allocate(int32_t width, int32_t height);

    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }
    std::recursive_mutex& PictureLock() const { return lock_; }

    FrameBuffer& Picture() { return picture_; }
    const FrameBuffer& Picture() const { return picture_; }
    uint32_t Capacity() const { return capacity_; }
    uint32_t Tag() const { return tag_; }

    // Any thread: copies the picture and its header into `out` under the lock, reusing the
    // memory `out` already has. False (and `out` empty) when the surface holds no picture.
    bool CopyPicture(PictureCopy* out) const;

    // Read without the lock by the drawing code, hence atomic.
    int32_t HeaderHeight() const;
    BitmapInfoHeader Header() const;

    // The window that shows the picture (nullptr: none). Set on the GUI thread while no frame
    // flows.
    void SetObserver(SurfaceObserver* observer) { observer_ = observer; }
    SurfaceObserver* Observer() const { return observer_; }
    // The picture was sized anew: tells the observer.
    void LayoutChanged();

    // The window is shown: the intake announces new pictures only then.
    void SetVisible(bool visible) { visible_.store(visible); }
    bool Visible() const { return visible_.load(); }
    // A surface of the current video controller: its window settings are the ones saved.
    void SetActive(bool active) { active_ = active; }
    bool Active() const { return active_; }

  protected:
    void SetHeaderHeight(int32_t height);

  private:
    void FreeBuffer();

    uint32_t tag_;
    int32_t signedHeight_ = 0;
    BitmapInfoHeader header_;
    mutable std::recursive_mutex lock_;
    SurfaceObserver* observer_ = nullptr;
    std::atomic<bool> visible_{false};
    FrameBuffer picture_;
    uint32_t capacity_ = 0;
    bool active_ = false;
};

class LiveSurf : public VideoSurf {
  public:
    LiveSurf();
};

// Receives what the processing tells the processed surface: the area moved, a new guide-star
// position, or a request to redraw the area. Called under the engine's chain lock, from the
// streaming thread as well as the GUI thread: an implementation stores what it is told and lets
// its next paint use it; it never blocks and never touches a widget from the streaming thread.
class OverlayListener {
  public:
    virtual ~OverlayListener() = default;
    virtual void AreaChanged(int32_t x0, int32_t y0, int32_t x1, int32_t y1) = 0;
    virtual void GuidePosition(float x, float y) = 0;
    virtual void RedrawArea() = 0;
};

class ProcSurf : public VideoSurf {
  public:
    ProcSurf();

    void SetFlip(bool flip) override;
    // Clears the guide mark and tells the observer that the view starts again.
    void ResetView();

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
