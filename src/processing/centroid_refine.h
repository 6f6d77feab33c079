// A finer guide centre: the light-weighted centre recomputed in a small box around the first
// estimate, with the local background taken off and the box re-centred until it settles. The
// box is symmetric about the current centre to a fraction of a pixel (edge pixels count by the
// share of them inside it), so a symmetric star pulls the centre onto itself and the noise of
// the window far from the star does not count at all.
//
// Runs on the streaming thread after the guide position is found; allocates nothing.
#pragma once

#include <cstdint>

#include "processing/chain_kernels.h"
#include "processing/star_metrics.h"

namespace kelpa {

// The box is kBoxHfds half-flux diameters wide, held to [kMinBoxSide, kMaxBoxSide] px and cut
// to the window (symmetrically, so that the part of the star outside it does not pull).
// 1.5 HFDs reach 1.9 sigma from the centre of a Gaussian star: a wider box adds the noise of
// pixels that carry little light, weighted by their distance (3 HFDs triple the error on small
// stars), a narrower one loses the light that steers the centre.
inline constexpr float kBoxHfds = 1.5f;
inline constexpr float kMinBoxSide = 7.0f;
inline constexpr float kMaxBoxSide = 63.0f;
// A box the window's edge makes narrower than this holds too little of the star: the centre
// stays where the last step put it.
inline constexpr float kMinBoxHalfSide = 1.0f;
// The centre has settled when a step moves it less than this.
inline constexpr float kSettledPx = 0.01f;
inline constexpr int32_t kMaxRefineSteps = 10;

struct RefinedCentre {
    float x = -1.0f;
    float y = -1.0f;
    int32_t steps = 0;
    // False: the centre is the one given (no light above the background in the box, the box
    // too narrow from the start, or the centre ran out of the first box).
    bool refined = false;
};

// Refines the centre (x, y) of a star whose half-flux diameter is `hfd` px over a background
// of `background` (view values: B + G + R for colour). Frame coordinates, pixel centres at
// integers; reads only the pixels inside `window`.
RefinedCentre RefineCentroid(const PixelView& view, const Rect& window, float x, float y, float hfd,
                             float background);

// The guide star around a measured centre: its metrics, and with `refine` a finer centre and
// the metrics measured again there.
struct GuideStar {
    float x = -1.0f;
    float y = -1.0f;
    bool refined = false;
    StarMetrics metrics;
};
GuideStar MeasureGuideStar(const PixelView& view, const Rect& window, float x, float y,
                           bool refine);

}  // namespace kelpa
