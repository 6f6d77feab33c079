#include "image/video_surf.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "common/log.h"

namespace kelpa {
namespace {

constexpr size_t kBufferAlignment = 64;

}  // namespace

VideoSurf::VideoSurf(uint32_t tag) : tag_(tag) {}

VideoSurf::~VideoSurf() {
    FreeBuffer();
}

void VideoSurf::FreeBuffer() {
    std::free(picture_.data);
    picture_ = FrameBuffer{};
    capacity_ = 0;
}

int32_t VideoSurf::HeaderHeight() const {
    return std::atomic_ref<const int32_t>(header_.height).load();
}

BitmapInfoHeader VideoSurf::Header() const {
    BitmapInfoHeader h = header_;
    h.height = HeaderHeight();
    return h;
}

bool VideoSurf::CopyPicture(PictureCopy* out) const {
    std::lock_guard guard(lock_);
    out->header_ = Header();
    if (!picture_.data || picture_.imageSize == 0) {
        out->picture_ = FrameBuffer{};
        return false;
    }
    // Grows only for a larger picture; a copy of the same size allocates nothing.
    if (out->pixels_.size() < picture_.imageSize) out->pixels_.resize(picture_.imageSize);
    std::memcpy(out->pixels_.data(), picture_.data, picture_.imageSize);
    out->picture_ = picture_;
    out->picture_.data = out->pixels_.data();
    return true;
}

void VideoSurf::LayoutChanged() {
    if (observer_ != nullptr) observer_->LayoutChanged();
}

void VideoSurf::SetHeaderHeight(int32_t height) {
    std::atomic_ref<int32_t>(header_.height).store(height);
}

void VideoSurf::SetFlip(bool flip) {
    SetHeaderHeight(flip ? -signedHeight_ : signedHeight_);
}

bool VideoSurf::Allocate(int32_t width, int32_t height) {
    const uint32_t absWidth = static_cast<uint32_t>(width < 0 ? -int64_t{width} : width);
    const uint32_t absHeight = static_cast<uint32_t>(height < 0 ? -int64_t{height} : height);
    const uint64_t stride = Stride24(static_cast<int32_t>(absWidth));
    const uint64_t size = stride * absHeight;

    std::lock_guard guard(lock_);
    if (size > UINT32_MAX || absWidth > INT32_MAX / 3 || absHeight > INT32_MAX) {
        LogPrintf("Can`t alloc memory for convertor\n exit...");
        FreeBuffer();
        header_.width = 0;
        SetHeaderHeight(0);
        signedHeight_ = 0;
        return false;
    }
    if (size > capacity_) {
        FreeBuffer();
        const size_t rounded = (size + kBufferAlignment - 1) / kBufferAlignment * kBufferAlignment;
        void* data = rounded ? std::aligned_alloc(kBufferAlignment, rounded) : nullptr;
        if (rounded && !data) {
            LogPrintf("Can`t alloc memory for convertor\n exit...");
            header_.width = 0;
            SetHeaderHeight(0);
            signedHeight_ = 0;
            return false;
        }
        picture_.data = static_cast<uint8_t*>(data);
        capacity_ = static_cast<uint32_t>(size);
    }
    if (picture_.data) std::memset(picture_.data, 0, size);
    picture_.width = static_cast<int32_t>(absWidth);
    picture_.height = static_cast<int32_t>(absHeight);
    picture_.stride = static_cast<uint32_t>(stride);
    picture_.rowPad = static_cast<int32_t>(stride - 3 * absWidth);
    picture_.imageSize = static_cast<uint32_t>(size);
    picture_.bytesPerPixel = 3;
    header_.width = picture_.width;
    signedHeight_ = height;
    SetFlip(false);
    return true;
}

LiveSurf::LiveSurf() : VideoSurf(FourCC("Live")) {}

ProcSurf::ProcSurf() : VideoSurf(FourCC("Proc")) {}

void ProcSurf::SetFlip(bool flip) {
    VideoSurf::SetFlip(flip);
    ResetView();
}

void ProcSurf::ResetView() {
    markX_.store(-1.0f);
    if (SurfaceObserver* observer = Observer()) observer->ViewReset();
}

void ProcSurf::SetArea(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (OverlayListener* l = listener_.load()) l->AreaChanged(x0, y0, x1, y1);
}

void ProcSurf::SetGuidePosition(float x, float y) {
    markX_.store(x);
    markY_.store(y);
    if (OverlayListener* l = listener_.load()) l->GuidePosition(x, y);
}

void ProcSurf::ClearGuideMark() {
    markX_.store(-1.0f);
    if (OverlayListener* l = listener_.load()) l->GuidePosition(-1.0f, -1.0f);
}

void ProcSurf::RedrawArea() {
    if (OverlayListener* l = listener_.load()) l->RedrawArea();
}

}  // namespace kelpa
