#include "processing/channels.h"

#include <mutex>

#include "processing/channel_formulas.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

// Renders columns [x0, x1) of rows [y0, y1) with processor P. Input and output share the
// geometry (same width, height and stride).
template <class P>
void RenderRect(const FrameBuffer& in, FrameBuffer& out, int32_t x0, int32_t x1, int32_t y0,
                int32_t y1, int64_t amp, int64_t black, const uint32_t* tone) {
    if (x0 >= x1 || y0 >= y1) return;
    for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* src = in.data + size_t{in.stride} * y + 3 * size_t(x0);
        uint8_t* dst = out.data + size_t{out.stride} * y + 3 * size_t(x0);
        for (int32_t x = x0; x < x1; ++x, src += 3, dst += 3) {
            RenderPixel<P>(src, dst, amp, black, tone);
        }
    }
}

bool SameGeometry(const FrameBuffer& in, const FrameBuffer& out) {
    return in.data && out.data && in.width == out.width && in.height == out.height &&
           in.stride == out.stride;
}

struct PassValues {
    int64_t amp;
    int64_t black;
    const uint32_t* tone;
};

PassValues ReadPassValues(const ProcEngine& e) {
    const uint32_t* tone = e.ToneTable();
    return {e.params.amp.load(std::memory_order_relaxed),
            e.params.blackLevel.load(std::memory_order_relaxed), tone ? tone : IdentityToneTable()};
}

}  // namespace

template <class P>
void FullFrame(ProcEngine& e, const FrameBuffer& in) {
    std::lock_guard guard(e.surf.PictureLock());
    FrameBuffer& out = e.surf.Picture();
    if (!SameGeometry(in, out)) return;
    const PassValues v = ReadPassValues(e);
    RenderRect<P>(in, out, 0, in.width, 0, in.height, v.amp, v.black, v.tone);
}

// Everything outside the area: rows above it, the columns left and right of it, rows below.
template <class P>
void OutsideOnly(ProcEngine& e, const FrameBuffer& in) {
    std::lock_guard guard(e.surf.PictureLock());
    FrameBuffer& out = e.surf.Picture();
    if (!SameGeometry(in, out)) return;
    const PassValues v = ReadPassValues(e);
    const ProcArea& a = e.area;
    const int32_t w = in.width;
    const int32_t h = in.height;
    RenderRect<P>(in, out, 0, w, 0, a.y0, v.amp, v.black, v.tone);
    RenderRect<P>(in, out, 0, a.x0, a.y0, a.y0 + a.h, v.amp, v.black, v.tone);
    RenderRect<P>(in, out, a.x1, w, a.y0, a.y0 + a.h, v.amp, v.black, v.tone);
    RenderRect<P>(in, out, 0, w, a.y1, h, v.amp, v.black, v.tone);
}

// The first frame after the slot was filled repaints the whole output, then only the outside.
template <class P>
void OutsideWholeFirst(ProcEngine& e, const FrameBuffer& in) {
    FullFrame<P>(e, in);
    e.outsideStage = &OutsideOnly<P>;
}

const uint32_t* IdentityToneTable() {
    static const auto table = [] {
        struct Table {
            uint32_t entries[256];
        } t{};
        for (uint32_t i = 0; i < 256; ++i) t.entries[i] = i * 0x01010101u;
        return t;
    }();
    return table.entries;
}

#define KELPA_CHANNEL_STAGES(P)                                          \
    template void OutsideWholeFirst<P>(ProcEngine&, const FrameBuffer&); \
    template void OutsideOnly<P>(ProcEngine&, const FrameBuffer&);       \
    template void FullFrame<P>(ProcEngine&, const FrameBuffer&);
KELPA_FOR_EACH_CHANNEL(KELPA_CHANNEL_STAGES)
#undef KELPA_CHANNEL_STAGES

}  // namespace kelpa
