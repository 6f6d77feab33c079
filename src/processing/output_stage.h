// Pieces shared by the output stages, their plain reference forms and the fused frame path: the
// level formulas of both variants, the peaks handed to the automatic control, the background of
// the average frame, and the 8-bit copy of the tone table the kernels read.
#pragma once

#include <cstdint>
#include <type_traits>

#include "image/frame_buffer.h"
#include "processing/chain_kernels.h"
#include "processing/channel_formulas.h"
#include "processing/statistics.h"

namespace kelpa {

class ProcEngine;
struct ProcArea;
struct PixelWindow;

template <class P>
constexpr PixelKind KindOf() {
    if constexpr (std::is_same_v<P, GreyChannel>) return PixelKind::kGrey;
    if constexpr (std::is_same_v<P, SummaryChannel>) return PixelKind::kSummary;
    if constexpr (std::is_same_v<P, BlueChannel>) return PixelKind::kBlue;
    if constexpr (std::is_same_v<P, GreenChannel>) return PixelKind::kGreen;
    if constexpr (std::is_same_v<P, RedChannel>) return PixelKind::kRed;
    return PixelKind::kAsIs;
}

// The processed picture as a view: its first bytes, or B + G + R for colour.
inline PixelView PictureView(const FrameBuffer& picture, bool colour) {
    PixelView v;
    v.data = picture.data;
    v.stride = picture.stride;
    v.bytesPerPixel = 3;
    v.colour = colour;
    return v;
}

// The area is not empty and lies inside the picture and inside the accumulator's frame.
bool AreaFitsPicture(const ProcEngine& e, const FrameBuffer& picture);

// The statistics window, histogram, guide or banding need the area measured.
bool HasStatisticsConsumer(const ProcEngine& e);

// "Accm": ((A * amp >> 7) + weight / 2) / weight + blackLevel.
LevelFormula AverageFormula(const ProcEngine& e);
// "AcRB": (A * amp >> 7) / d + b, with the black offset b taken from the background.
LevelFormula SubtracterAdderFormula(const ProcEngine& e, float background);

// maxLevel, saturatedCount (per pixel: words / `words`) and maxOutput of the last output.
void RecordPeaks(ProcEngine& e, const OutputPeaks& peaks, int32_t words);

// Publishes the numbers of a histogram.
void StoreStatistics(ProcEngine& e, const AreaStatistics& st);

// The part of the statistics window that holds current sums (the window cut to the area).
Rect AverageWindow(const ProcEngine& e);

// Builds the histogram of A / accWeight over AverageWindow, computes and stores the statistics
// and returns the background. `input` supplies the sums of one unstored frame (kInput).
float AverageFrameBackground(ProcEngine& e, PixelKind kind, SumSource source, const uint8_t* input,
                             uint32_t inputStride);

// First bytes of the current tone table, with entries 0 and 255 fixed at 0 and 255.
void CopyToneTable(const ProcEngine& e, uint8_t (&tone)[256]);

// A render of the area for kernel `kind`, reading amp and blackLevel once.
RenderJob AreaRenderJob(const ProcEngine& e, PixelKind kind);

}  // namespace kelpa
