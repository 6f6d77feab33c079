// The media-type and graph dumps of the log, on GStreamer: caps become media-type records
// (raw video with its bitmap header, raw audio with its wave format, anything else by name)
// and a pipeline's elements and pads are walked as filters and pins.
#pragma once

#include <gst/gst.h>

#include "diag/media_type_log.h"

namespace kelpa {

// The record of the first structure of the caps. Fixed raw video gets a video-info block, fixed
// raw audio a wave format; null or ANY caps are GUID_NULL.
MediaTypeRecord MediaTypeFromCaps(const GstCaps* caps);

// LogMediaTypeTry and LogMediaType of caps.
void LogCapsTry(const char* label, const GstCaps* caps);
void LogCaps(const char* label, const GstCaps* caps);

// DumpGraph of a pipeline (or any bin): every element, inner ones included, with its pads;
// nothing for a null pipeline.
void DumpPipeline(GstElement* pipeline);

}  // namespace kelpa
