#include "processing/channels.h"

#include <mutex>
#include <type_traits>

#include "processing/chain_kernels.h"
#include "processing/channel_formulas.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

bool SameGeometry(const FrameBuffer& in, const FrameBuffer& out) {
    return in.data && out.data && in.width == out.width && in.height == out.height &&
           in.stride == out.stride;
}

// Renders rectangles of one frame with processor P's formula: a sum of one frame, not stored,
// through the output formula (the grey processor reads its sum before the division by 100).
template <class P>
class FramePainter {
  public:
    FramePainter(const ProcEngine& e, const FrameBuffer& in, FrameBuffer& out) {
        CopyToneTable(e, tone_);
        job_.kind = KindOf<P>();
        job_.source = SumSource::kInput;
        job_.input = in.data;
        job_.inputStride = in.stride;
        job_.out = out.data;
        job_.outStride = out.stride;
        job_.tone = tone_;
        job_.level.amp = e.params.amp.load(std::memory_order_relaxed);
        job_.level.offset = e.params.blackLevel.load(std::memory_order_relaxed);
        if constexpr (std::is_same_v<P, GreyChannel>) {
            job_.level.half = 500;
            job_.level.divisor = 1000;
        } else if constexpr (std::is_same_v<P, SummaryChannel>) {
            job_.level.divisor = 3;
        }
    }

    // Columns [x0, x1) of rows [y0, y1).
    void Paint(int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
        if (x0 >= x1 || y0 >= y1) return;
        job_.rect = Rect{x0, y0, x1 - x0, y1 - y0};
        if constexpr (std::is_same_v<P, GreyChannel>) {
            RenderUnroundedGrey(job_);
        } else {
            RenderRect(job_);
        }
    }

  private:
    uint8_t tone_[256];
    RenderJob job_;
};

}  // namespace

template <class P>
void FullFrame(ProcEngine& e, const FrameBuffer& in) {
    std::lock_guard guard(e.surf.PictureLock());
    FrameBuffer& out = e.surf.Picture();
    if (!SameGeometry(in, out)) return;
    FramePainter<P>(e, in, out).Paint(0, in.width, 0, in.height);
}

// Everything outside the area: rows above it, the columns left and right of it, rows below.
template <class P>
void OutsideOnly(ProcEngine& e, const FrameBuffer& in) {
    std::lock_guard guard(e.surf.PictureLock());
    FrameBuffer& out = e.surf.Picture();
    if (!SameGeometry(in, out)) return;
    FramePainter<P> painter(e, in, out);
    const ProcArea& a = e.area;
    const int32_t w = in.width;
    const int32_t h = in.height;
    painter.Paint(0, w, 0, a.y0);
    painter.Paint(0, a.x0, a.y0, a.y0 + a.h);
    painter.Paint(a.x1, w, a.y0, a.y0 + a.h);
    painter.Paint(0, w, a.y1, h);
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
