#include "processing/fused_chain.h"

#include <algorithm>
#include <mutex>

#include "processing/accumulate.h"
#include "processing/banding.h"
#include "processing/chain_kernels.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa {
namespace {

struct FusedSetup {
    PixelKind kind = PixelKind::kGrey;
    bool subtracterAdder = false;
    bool colour = false;
    int32_t words = 1;
    int32_t weight = 1;
};

template <class P>
bool Matches(const ProcEngine& e, FusedSetup& s) {
    if (e.accumulateStage != &Accumulate<P>) return false;
    if (e.outputStage == &OutputAverage<P> && e.refreshStage == &RefreshAverage<P>) {
        s.subtracterAdder = false;
    } else if (e.outputStage == &OutputSubtracterAdder<P> &&
               e.refreshStage == &RefreshSubtracterAdder<P>) {
        s.subtracterAdder = true;
    } else {
        return false;
    }
    s.kind = KindOf<P>();
    s.colour = P::kColour;
    s.words = P::kWords;
    s.weight = P::kWeight;
    return true;
}

// Only the registry's own stages are fused; anything else in the slots runs one by one.
bool Identify(const ProcEngine& e, FusedSetup& s) {
    const bool found = Matches<GreyChannel>(e, s) || Matches<SummaryChannel>(e, s) ||
                       Matches<BlueChannel>(e, s) || Matches<GreenChannel>(e, s) ||
                       Matches<RedChannel>(e, s) || Matches<AsIsChannel>(e, s);
    if (!found) return false;
    const EngineStage h = s.colour ? &BandingColourH : &BandingGreyH;
    const EngineStage v = s.colour ? &BandingColourV : &BandingGreyV;
    return (!e.bandingStageH || e.bandingStageH == h) && (!e.bandingStageV || e.bandingStageV == v);
}

bool Usable(ProcEngine& e, const FrameBuffer& in) {
    const FrameBuffer& out = e.surf.Picture();
    const ChainScratch& scratch = e.chainScratch;
    return e.accumulator && e.rowSums && scratch.Ready() && in.data && out.data &&
           in.width == out.width && in.height == out.height && in.stride == out.stride &&
           e.frameWidth <= scratch.Width() && e.frameHeight <= scratch.Height() &&
           AreaFitsPicture(e, in) && AreaFitsPicture(e, out);
}

Rect AreaRect(const ProcArea& a) {
    return Rect{a.x0, a.y0, a.w, a.h};
}

Rect Union(const Rect& a, const PixelWindow& w) {
    if (w.width <= 0 || w.height <= 0) return a;
    const int32_t x0 = std::min(a.x0, w.left);
    const int32_t y0 = std::min(a.y0, w.top);
    const int32_t x1 = std::max(a.x0 + a.w, w.left + w.width);
    const int32_t y1 = std::max(a.y0 + a.h, w.top + w.height);
    return Rect{x0, y0, x1 - x0, y1 - y0};
}

class FusedFrame {
  public:
    FusedFrame(ProcEngine& e, const FrameBuffer& in, const FusedSetup& s)
        : e_(e), in_(in), s_(s), area_(e.area), whole_(e.areaIsWholeFrame) {}

    bool Run();

  private:
    void Accumulate(bool first);
    // With `measure` the histogram of the statistics window is counted as the rows are done.
    void Render(SumSource source, bool first, const LevelFormula& level, OutputPeaks* peaks,
                bool measure);
    static void OnRowsDone(void* frame, int32_t y0, int32_t y1);
    void CountRows(int32_t y0, int32_t y1);
    void FillPlaneBorder();
    void Measure();
    bool AreaMoved() const { return !(e_.area == area_) || e_.areaIsWholeFrame != whole_; }
    void ContinueOneByOne();
    void Band();
    void Refresh();
    SumSource StoredSums() const { return lazy_ ? SumSource::kInput : SumSource::kAccumulator; }

    ProcEngine& e_;
    const FrameBuffer& in_;
    const FusedSetup s_;
    const ProcArea area_;
    const bool whole_;
    bool lazy_ = false;  // this frame's sums were never stored: they are its values
    WorkPlane plane_;
};

bool FusedFrame::Run() {
    const bool first = e_.accCount.load() == 0;
    if (first) {
        e_.accWeight = s_.weight;
        e_.accFrames = 1;
    } else {
        e_.accWeight += s_.weight;
        e_.accFrames += 1;
    }
    const int32_t count = e_.accCount.fetch_add(1) + 1;
    const bool complete = count >= e_.params.countAccum.load(std::memory_order_relaxed);
    if (complete) {
        e_.accCount.store(0);
        e_.refresh.store(0);
    } else if (e_.refresh.load() == 0) {
        Accumulate(first);
        return !whole_;
    }
    // A sum that starts and completes with this frame is read only by this frame (the next
    // one starts a new sum), so it need not be stored.
    lazy_ = first && complete;

    const bool consumer = HasStatisticsConsumer(e_);
    plane_.area = AreaRect(area_);
    plane_.box = consumer && !s_.colour ? Union(plane_.area, e_.statWindow) : plane_.area;
    plane_.view.data = e_.chainScratch.Plane();
    plane_.view.stride = static_cast<uint32_t>(plane_.box.w);
    plane_.view.originX = plane_.box.x0;
    plane_.view.originY = plane_.box.y0;
    plane_.view.bytesPerPixel = 1;

    const SumSource render = lazy_ ? SumSource::kInput : SumSource::kAccumulate;
    OutputPeaks peaks;
    if (!s_.subtracterAdder) {
        Render(render, first, AverageFormula(e_), &peaks, consumer);
    } else if (first) {
        // One frame in the sum: no background is taken off. The average frame's numbers
        // are only kept when no measurement replaces them.
        if (!consumer) AverageFrameBackground(e_, s_.kind, SumSource::kInput, in_.data, in_.stride);
        Render(render, first, SubtracterAdderFormula(e_, 0.0f), &peaks, consumer);
    } else {
        Accumulate(false);
        const float background =
            AverageFrameBackground(e_, s_.kind, SumSource::kAccumulator, nullptr, 0);
        Render(SumSource::kAccumulator, false, SubtracterAdderFormula(e_, background), &peaks,
               consumer);
    }
    RecordPeaks(e_, peaks, s_.words);
    if (consumer) {
        Measure();
        if (AreaMoved()) {
            ContinueOneByOne();
            return true;
        }
    }
    Band();
    if ((e_.params.autoFlags.load(std::memory_order_relaxed) & kAutoAll) && e_.autoStage &&
        e_.autoStage(e_)) {
        Refresh();
    }
    return true;
}

void FusedFrame::Accumulate(bool first) {
    RenderJob job = AreaRenderJob(e_, s_.kind);
    job.rect = AreaRect(area_);
    job.source = SumSource::kAccumulate;
    job.first = first;
    job.writeAcc = true;
    job.input = in_.data;
    job.inputStride = in_.stride;
    RenderRect(job);
}

// Grey processors render into the plane, As Is into the picture.
void FusedFrame::Render(SumSource source, bool first, const LevelFormula& level, OutputPeaks* peaks,
                        bool measure) {
    if (measure) {
        // Window rows above and below the area hold what the outside stage rendered.
        std::fill(std::begin(e_.histogram), std::end(e_.histogram), 0u);
        if (!s_.colour) FillPlaneBorder();
        std::lock_guard guard(e_.surf.PictureLock());
        const PixelWindow& w = e_.statWindow;
        CountRows(w.top, std::min(area_.y0, w.top + w.height));
        CountRows(std::max(area_.y1, w.top), w.top + w.height);
    }
    uint8_t tone[256];
    CopyToneTable(e_, tone);
    RenderJob job = AreaRenderJob(e_, s_.kind);
    job.rect = AreaRect(area_);
    job.source = source;
    job.first = first;
    job.writeAcc = source == SumSource::kAccumulate;
    job.input = in_.data;
    job.inputStride = in_.stride;
    job.level = level;
    job.tone = tone;
    job.peaks = peaks;
    if (measure) {
        job.rowsDone = &FusedFrame::OnRowsDone;
        job.rowsContext = this;
    }
    if (!s_.colour) {
        job.out = e_.chainScratch.Plane();
        job.outStride = plane_.view.stride;
        job.outBytesPerPixel = 1;
        job.outOriginX = plane_.box.x0;
        job.outOriginY = plane_.box.y0;
        RenderRect(job);
        return;
    }
    std::lock_guard guard(e_.surf.PictureLock());
    FrameBuffer& out = e_.surf.Picture();
    job.out = out.data;
    job.outStride = out.stride;
    job.outBytesPerPixel = 3;
    RenderRect(job);
}

void FusedFrame::OnRowsDone(void* frame, int32_t y0, int32_t y1) {
    static_cast<FusedFrame*>(frame)->CountRows(y0, y1);
}

// Counts the statistics window's part of rows [y0, y1) from the plane (grey) or the picture,
// with the row maxima the guide step uses to skip rows.
void FusedFrame::CountRows(int32_t y0, int32_t y1) {
    const PixelWindow& w = e_.statWindow;
    const int32_t r0 = std::max(y0, w.top);
    const int32_t r1 = std::min(y1, w.top + w.height);
    if (r1 <= r0 || w.width <= 0) return;
    const PixelView view = s_.colour ? PictureView(e_.surf.Picture(), true) : plane_.view;
    AddHistogram(view, Rect{w.left, r0, w.width, r1 - r0}, e_.histogram,
                 e_.chainScratch.RowMax() + (r0 - w.top), e_.chainScratch.Pairs());
}

// Where the statistics window reaches past the area, the plane takes the picture's first
// bytes (the outside stage has rendered them), as the histogram of the picture would.
void FusedFrame::FillPlaneBorder() {
    const Rect& box = plane_.box;
    const Rect& a = plane_.area;
    if (box.w == a.w && box.h == a.h) return;
    std::lock_guard guard(e_.surf.PictureLock());
    const FrameBuffer& out = e_.surf.Picture();
    uint8_t* plane = e_.chainScratch.Plane();
    for (int32_t y = box.y0; y < box.y0 + box.h; ++y) {
        const bool inside = y >= a.y0 && y < a.y0 + a.h;
        const uint8_t* src = out.data + size_t{out.stride} * y;
        uint8_t* dst = plane + size_t(y - box.y0) * size_t(box.w);
        for (int32_t x = box.x0; x < box.x0 + box.w; ++x) {
            if (inside && x == a.x0) x = a.x0 + a.w;
            if (x >= box.x0 + box.w) break;
            dst[x - box.x0] = src[3 * size_t(x)];
        }
    }
}

void FusedFrame::Measure() {
    FoldPairs(e_.chainScratch.Pairs(), e_.histogram);
    e_.MeasureArea(s_.colour ? nullptr : &plane_, true);
}

// The guide moved the area: the rest of the frame works on the new area, exactly as the
// stages one by one would, so the picture and accumulator are first brought to where they
// would be.
void FusedFrame::ContinueOneByOne() {
    if (lazy_) {
        RenderJob job = AreaRenderJob(e_, s_.kind);
        job.rect = AreaRect(area_);
        job.source = SumSource::kAccumulate;
        job.first = true;
        job.writeAcc = true;
        job.input = in_.data;
        job.inputStride = in_.stride;
        RenderRect(job);
    }
    if (!s_.colour) {
        std::lock_guard guard(e_.surf.PictureLock());
        FrameBuffer& out = e_.surf.Picture();
        CorrectionJob job;
        job.source = plane_.view;
        job.out = out.data;
        job.outStride = out.stride;
        job.rect = plane_.area;
        ApplyCorrections(job);
    }
    if (e_.bandingStageH) e_.bandingStageH(e_);
    if (e_.bandingStageV) e_.bandingStageV(e_);
    if ((e_.params.autoFlags.load(std::memory_order_relaxed) & kAutoAll) && e_.autoStage &&
        e_.autoStage(e_)) {
        if (e_.refreshStage) e_.refreshStage(e_);
        if (e_.bandingStageH) e_.bandingStageH(e_);
        if (e_.bandingStageV) e_.bandingStageV(e_);
    }
}

// Both banding directions from one view: the vertical sums see the rows as the horizontal
// stage left them, and the picture is corrected (for grey: written from the plane) once.
void FusedFrame::Band() {
    std::lock_guard guard(e_.surf.PictureLock());
    FrameBuffer& out = e_.surf.Picture();
    const PixelView view = s_.colour ? PictureView(out, true) : plane_.view;
    const float rms = e_.rms.load();
    const float mean = e_.mean.load();
    CorrectionJob job;
    job.source = view;
    job.out = out.data;
    job.outStride = out.stride;
    job.rect = plane_.area;
    if (e_.bandingStageH) {
        const int32_t t = BandingThreshold(e_.params.rmsH.load(), rms, mean);
        int16_t* rows = e_.chainScratch.RowCorrection();
        if (RowCorrections(view, job.rect, t, e_.rowSums, rows)) job.rowCorrection = rows;
    }
    if (e_.bandingStageV) {
        const int32_t t = BandingThreshold(e_.params.rmsV.load(), rms, mean);
        int16_t* columns = e_.chainScratch.ColumnCorrection();
        if (ColumnCorrections(view, job.rect, t, job.rowCorrection, e_.rowSums, columns)) {
            job.columnCorrection = columns;
        }
    }
    if (s_.colour && !job.rowCorrection && !job.columnCorrection) return;
    ApplyCorrections(job);
}

// After the automatic control changed the amplification: the area again from the stored (or
// this frame's) sums, without the peaks, then banding.
void FusedFrame::Refresh() {
    plane_.box = plane_.area;
    plane_.view.stride = static_cast<uint32_t>(plane_.box.w);
    plane_.view.originX = plane_.box.x0;
    plane_.view.originY = plane_.box.y0;
    if (!s_.subtracterAdder) {
        Render(StoredSums(), false, AverageFormula(e_), nullptr, false);
    } else {
        const float background = AverageFrameBackground(
            e_, s_.kind, StoredSums(), lazy_ ? in_.data : nullptr, lazy_ ? in_.stride : 0);
        Render(StoredSums(), false, SubtracterAdderFormula(e_, background), nullptr, false);
    }
    Band();
}

}  // namespace

bool RunFusedChain(ProcEngine& e, const FrameBuffer& input, bool& result) {
    FusedSetup setup;
    if (!Identify(e, setup) || !Usable(e, input)) return false;
    FusedFrame frame(e, input, setup);
    result = frame.Run();
    return true;
}

}  // namespace kelpa
