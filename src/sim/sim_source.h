// The simulated telescope camera as a real GStreamer source element, "kelpasimsrc": a live
// push source that renders the SimSky in any of the program's formats, timestamps frames from
// their count and the negotiated rate, and waits on the pipeline clock like a camera.
//
// Properties:
//   seed        (uint, default 1): the sky; the same seed gives the same frames. Read when the
//               format is negotiated.
//   formats     (string, default "BGR,BGRx,YUY2,UYVY,I420,YV12"): comma-separated GStreamer
//               format names the camera offers; "RGB16" may be listed to test refusals. An
//               unknown name leaves the list as it was.
//   fail-after  (uint64, default 0 = never): after this many frames the camera behaves as if
//               unplugged: an element error "Camera disconnected" and a flow error.
//   is-live     (boolean, default true): false renders as fast as downstream takes frames,
//               without waiting on the clock (for tests).
//   colour      (boolean, default true): a gentle colour per field star.
// Each buffer's offset is its frame index, counted from the start of the element; pass it to
// SimSky::GuideStarAt (with SimSkyParams built from the seed, size and rate) for the truth.
#pragma once

#include "media/gst_ptr.h"
#include "sim/sim_format.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <array>
#include <optional>
#include <vector>

namespace kelpa {

inline constexpr char kSimSourceFactoryName[] = "kelpasimsrc";

struct SimFrameSize {
    int width;
    int height;
};

// The sizes the camera offers, in the order of preference (the first is the default).
inline constexpr std::array<SimFrameSize, 4> kSimFrameSizes = {{
    {640, 480},
    {320, 240},
    {1280, 720},
    {1920, 1080},
}};
inline constexpr int kSimMaxFrameRate = 60;
inline constexpr int kSimDefaultFrameRate = 30;

GType SimSourceGetType();

// Registers "kelpasimsrc" with the plugin being initialised.
bool RegisterSimSource(GstPlugin* plugin);

// The caps offered for `formats`: video/x-raw of each format at each size, square pixels,
// framerate 1/1 to 60/1.
GstCapsPtr SimSourceCaps(const std::vector<SimFormat>& formats);

std::optional<SimFormat> SimFormatFromVideoFormat(GstVideoFormat format);

// The planes of a negotiated frame; false when the format is not one the camera renders.
bool SimLayoutFromVideoInfo(const GstVideoInfo& info, SimLayout* layout);

}  // namespace kelpa
