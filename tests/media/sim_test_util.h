// Helpers shared by the simulated-camera tests: reading luminance back out of any format,
// measuring the guide star, and running small pipelines.
#pragma once

#include "video/media/gst_ptr.h"
#include "video/media/sim_format.h"
#include "video/media/sim_sky.h"

#include <gst/gst.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kelpa {

// Test names and failure messages show format names.
inline void PrintTo(SimFormat format, std::ostream* os) {
    *os << SimFormatName(format);
}

}  // namespace kelpa

namespace kelpa::test {

// Studio-range luma of a full-range level, computed the obvious way.
inline int StudioLevel(int level) {
    return (level * 219 + 127) / 255 + 16;
}

// Full-range luminance of pixel (x, y) of a frame in `layout`.
double LumaAt(const SimLayout& layout, const uint8_t* data, int x, int y);

// Intensity-weighted centre of the guide star near `guess`, from the pixels more than three
// noise sigmas above the known background and banding of frame `frame`.
SimPoint MeasureGuideStar(const SimSky& sky, uint64_t frame, const SimLayout& layout,
                          const uint8_t* data, SimPoint guess);

// A bin made from a launch description that is set to NULL when the handle goes.
class TestPipeline {
  public:
    explicit TestPipeline(const std::string& description);
    ~TestPipeline();
    TestPipeline(const TestPipeline&) = delete;
    TestPipeline& operator=(const TestPipeline&) = delete;

    bool Ok() const { return pipeline_ != nullptr; }
    const std::string& Error() const { return error_; }
    GstElement* Get() const { return pipeline_.get(); }
    GstElementPtr ByName(const char* name) const;

    bool Play();
    // The next sample of the appsink named "sink", or null on end of stream or error.
    GstSamplePtr Pull();
    // The first error message on the bus (waiting up to 10 s), as "message | debug".
    std::optional<std::string> WaitForError();

  private:
    GstElementPtr pipeline_;
    std::string error_;
};

// The frame's layout as negotiated, from a sample's caps.
SimLayout LayoutOf(GstSample* sample);

std::vector<uint8_t> BytesOf(GstSample* sample);

}  // namespace kelpa::test
