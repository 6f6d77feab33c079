// A deterministic night sky for the simulated telescope camera: sky background, field stars of
// many brightnesses (the brightest saturate), shot and read noise, hot pixels, horizontal and
// vertical banding that changes every frame, and one guide star that drifts slowly, swings with
// the mount's periodic error and jitters with the seeing. Every frame is a pure function of the
// seed and the frame index, so tests can ask for the truth behind any frame they receive.
// Plain C++ without GStreamer: the camera element only hands it a buffer and a layout.
#pragma once

#include "sim/sim_format.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelpa {

// Everything that shapes the sky. Brightness values are in 8-bit luminance units (DN, full
// range 0 ... 255), positions in pixels. The camera element uses the defaults with its `seed`
// and the negotiated size and frame rate, so a test that builds SimSkyParams the same way sees
// the very sky the element renders.
struct SimSkyParams {
    uint32_t seed = 1;
    int width = 640;          // 1 ... kSimMaxDimension
    int height = 480;         // 1 ... kSimMaxDimension
    double frameRate = 30.0;  // frames per second; turns frame indices into time

    double background = 32.0;     // sky level
    double readNoise = 2.0;       // DN
    double electronsPerDn = 4.0;  // shot noise: variance = signal / electronsPerDn
    double rowBanding = 1.2;      // standard deviation of the per-frame row offsets
    double columnBanding = 0.8;   // standard deviation of the per-frame column offsets

    double starsPerMegapixel = 300.0;
    double starPeakMin = 6.0;     // peak above the background of the faintest star
    double starPeakMax = 3000.0;  // of the brightest; anything above ~223 saturates
    double psfSigma = 1.3;        // Gaussian star profile, pixels (0.5 ... 6)
    double hotPixelsPerMegapixel = 40.0;
    bool colour = true;  // a gentle colour per field star (the guide star stays neutral)

    double guidePeak = 150.0;        // guide star peak above the background
    double driftAmplitudePx = 12.0;  // slow drift, back and forth along driftAngleDeg
    double driftPeriodS = 900.0;
    double driftAngleDeg = 25.0;
    double periodicErrorPx = 3.0;  // amplitude of the mount's periodic error
    double periodicErrorPeriodS = 40.0;
    double periodicErrorAngleDeg = -10.0;
    double seeingPx = 0.15;  // standard deviation of the per-frame jitter on each axis
};

struct SimPoint {
    double x = 0.0;
    double y = 0.0;
};

// A rectangle of pixels: columns left ... right - 1, rows top ... bottom - 1.
struct SimRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct SimStar {
    double x = 0.0;
    double y = 0.0;
    double peak = 0.0;  // above the background, before clipping
};

struct SimHotPixel {
    int x = 0;
    int y = 0;
    int level = 0;  // the pixel's stuck level before noise and banding
};

// The guide star's path: cheap to build, so a test can ask where the star is in any frame
// without rendering the sky. Coordinates are image coordinates with the centre of pixel
// (column c, row r) at (c, r): x to the right, y down from the top row.
class SimGuideTrack {
  public:
    explicit SimGuideTrack(const SimSkyParams& params);

    SimPoint PositionAt(uint64_t frame) const;
    // Where the path is centred.
    SimPoint Home() const { return home_; }
    // The region the star and its light can reach; no field star or hot pixel lies in it.
    SimRect Zone() const { return zone_; }

  private:
    SimSkyParams params_;
    SimPoint home_;
    SimRect zone_;
};

class SimSky {
  public:
    explicit SimSky(const SimSkyParams& params);

    const SimSkyParams& Params() const { return params_; }
    int Width() const { return params_.width; }
    int Height() const { return params_.height; }

    // The standard deviation of the sky's per-pixel random noise (read noise plus the sky's
    // shot noise), in DN, without banding.
    double NoiseSigma() const;

    SimPoint GuideStarAt(uint64_t frame) const { return track_.PositionAt(frame); }
    const SimGuideTrack& GuideTrack() const { return track_; }
    const std::vector<SimStar>& Stars() const { return stars_; }
    const std::vector<SimHotPixel>& HotPixels() const { return hotPixels_; }

    // Renders frame `frame` as full-range 8-bit luminance, rows `stride` bytes apart. Returns
    // false, writing nothing, when the rows do not fit in `dstSize` bytes.
    bool RenderLuma(uint64_t frame, uint8_t* dst, size_t stride, size_t dstSize);
    // Renders frame `frame` into `dst` in the layout's format. Returns false, writing nothing,
    // when the layout's size differs from the sky's or it does not fit in `dstSize` bytes.
    // YUV formats carry studio-range luma (16 ... 235) and chroma centred on 128, so every
    // format shows the same picture once converted to RGB.
    bool Render(uint64_t frame, const SimLayout& layout, uint8_t* dst, size_t dstSize);

    // Render and RenderLuma reuse scratch rows: one thread renders at a time. The const
    // members may be called from any thread.

  private:
    static constexpr int kNoiseLength = 1 << 16;  // samples per noise table (a power of 2)
    // Ceiling of the static sky (1/16 DN): with the noise and banding limits of the parameters
    // every per-pixel sum stays within 16 bits.
    static constexpr int kMaxStatic16 = 20000;

    // A star pixel (signal of at least 1 DN) with its extra shot noise and its colour.
    struct StarPixel {
        uint16_t x;
        int16_t shot16;      // standard deviation of the extra shot noise, 1/16 DN
        int16_t db, dg, dr;  // colour as offsets from grey of blue, green and red
        int8_t u, v;         // colour as studio-range chroma offsets
    };

    uint64_t FrameKey(uint64_t frame) const;
    void BuildNoiseTables();
    void BuildStars();
    void BuildHotPixels();
    void FillBanding(uint64_t frame, int16_t* rows16, int16_t* columns16) const;
    void PrepareFrame(uint64_t frame);
    template <bool kStudio>
    void RenderRow(int y, uint8_t* out);
    template <int kBytesPerPixel>
    void WriteRgbRow(int y, const uint8_t* lum, uint8_t* out) const;
    void WriteRgb16Row(int y, const uint8_t* lum, uint8_t* out) const;
    void WritePackedYuvRow(int y, const uint8_t* lum, uint8_t* out, bool uyvy) const;
    void WriteChromaRows(int chromaRow, uint8_t* uRow, uint8_t* vRow);
    template <bool kStudio, typename WriteRow>
    void RenderPacked(const SimLayout& layout, uint8_t* dst, WriteRow writeRow);
    void RenderPlanar(const SimLayout& layout, uint8_t* dst);

    SimSkyParams params_;
    SimGuideTrack track_;
    uint64_t seedKey_ = 0;
    int guideRadius_ = 0;

    std::vector<int16_t> base16_;        // static sky, 1/16 DN per pixel
    std::vector<int16_t> noise16_;       // sky noise, 1/16 DN; kNoiseLength + width samples
    std::vector<int16_t> unit256_;       // unit normal, 1/256; kNoiseLength + max(w, h) samples
    std::vector<StarPixel> starPixels_;  // sorted by row, then column
    std::vector<uint32_t> rowStart_;     // first star pixel of each row; Height() + 1 entries
    std::vector<SimStar> stars_;
    std::vector<SimHotPixel> hotPixels_;

    // Per-frame state, sized once and reused.
    uint64_t frameKey_ = 0;
    std::vector<int16_t> rows16_;
    std::vector<int16_t> columns16_;
    std::vector<uint8_t> lumRow_;
    std::vector<int16_t> chromaSum_;  // u and v sums per chroma column
    int guideLeft_ = 0, guideTop_ = 0, guideRight_ = 0, guideBottom_ = 0;
    std::vector<float> guideX_;  // the guide star's light per window column and row
    std::vector<float> guideY_;
};

}  // namespace kelpa
