// The media-type and graph lines of the log: every branch of a media type's block, checked by
// the lines it must hold (in order) and how many it writes, and a graph walk that writes each
// failure it meets and goes on. A connected graph's dump is checked on a real pipeline in
// tests/media/graph_dump_test.cpp.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "diag/graph_log.h"
#include "support/captured_log.h"

namespace kelpa {
namespace {

using testing::CapturedLog;
using ::testing::ElementsAre;

MediaTypeRecord Video(const char* subtype, uint32_t compression, uint16_t bits, int32_t height) {
    MediaTypeRecord type;
    type.majorType = kMediaTypeVideo;
    type.subtype = subtype;
    type.fixedSizeSamples = true;
    type.sampleSize = 460800;
    type.formatType = kFormatVideoInfo;
    type.formatSize = kVideoInfoHeaderSize;
    type.source = type.target = {0, 0, 640, 480};
    type.bitmap = {40, 640, height, 1, bits, compression, 460800, 0, 0, 0};
    return type;
}

MediaTypeRecord Audio(const char* subtype, uint32_t formatSize) {
    MediaTypeRecord type;
    type.majorType = kMediaTypeAudio;
    type.subtype = subtype;
    type.formatType = kFormatWaveFormatEx;
    type.formatSize = formatSize;
    type.wave = {1, 2, 44100, 176400, 4, 16, 0};
    return type;
}

TEST(MediaTypeLogTest, EachFormatBlockWritesItsLines) {
    MediaTypeRecord dv = Video("MEDIASUBTYPE_YUY2", 0x32595559, 16, 480);
    dv.formatType = kFormatVideoInfo2;
    dv.formatSize = kVideoInfoHeader2Size;
    MediaTypeRecord shortDv = dv;  // a block too short for its header counts as none
    shortDv.formatSize -= 1;
    shortDv.fixedSizeSamples = false;
    shortDv.temporalCompression = true;
    const struct {
        MediaTypeRecord type;
        size_t lineCount;
        std::vector<std::string> lines;  // lines the block holds, in this order
    } cases[] = {
        {Video("MEDIASUBTYPE_X", 0x100, 8, 480),  // a code of zero bytes but one
         15,
         {"", "-----------------------", "x  Major type MEDIATYPE_Video  Sub type MEDIASUBTYPE_X",
          "Not temporally compressed", "Size of BITMAPINFO structure 40", "640x480x8 bit '    '",
          "Planes 1", "Colours used 0"}},
        {dv,
         16,
         {"Sample size 460800", ": DV Header",
          "Source rectangle (Left 0 Top 0 Right 640 Bottom 480)"}},
        {shortDv, 6, {"Temporally compressed", "Variable size samples"}},
        {Audio("MEDIASUBTYPE_PCM", 15),
         8,
         {"Format type FORMAT_WaveFormatEx", "Subtype MEDIASUBTYPE_PCM"}},
        {Audio("MEDIASUBTYPE_PCM", 16), 14, {"wFormatTag 1", "wBitsPerSample 16"}},
        {Audio("MEDIASUBTYPE_PCM", 18), 15, {"wBitsPerSample 16", "cbSize 0"}},
        {Audio(kSubtypeMpeg1PacketName, 18), 8, {"Subtype MEDIASUBTYPE_MPEG1Packet"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type.subtype + " " + std::to_string(c.type.formatSize));
        CapturedLog::Start();
        LogMediaType("x", c.type);
        const std::vector<std::string> lines = CapturedLog::FileLines();
        EXPECT_EQ(lines.size(), c.lineCount);
        auto at = lines.begin();
        for (const std::string& line : c.lines) {
            at = std::find(at, lines.end(), line);
            ASSERT_NE(at, lines.end()) << "missing or out of order: " << line;
        }
    }
    CapturedLog::Start();
    LogMediaTypeTry(nullptr, cases[0].type);  // a null label is written empty
    EXPECT_THAT(CapturedLog::FileLines(),
                ElementsAre("Trying media type : major type:  MEDIATYPE_Video,    sub type  :  "
                            "MEDIASUBTYPE_X"));
}

// camera (0x10), grabber (0x20) and renderer (0x30), whose inputs are 0x31 (from the
// grabber), 0x32 (connected to a pin nobody knows) and 0x33 (free). Any identity put into `failing`
// makes the call about it fail; the pin lists and connection types of an identity fail at identity
// + 1000.
class FakeGraph final : public GraphWalker {
  public:
    uintptr_t Identity() override { return 0xABC0; }
    bool EnumFilters(std::vector<uintptr_t>* out) override {
        for (const auto& [id, filter] : filters) out->push_back(id);
        return !failing.count(0);
    }
    bool QueryFilterName(uintptr_t id, std::string* name) override {
        *name = filters[id].first;
        return !failing.count(id);
    }
    bool EnumPins(uintptr_t id, std::vector<uintptr_t>* out) override {
        *out = filters[id].second;
        return !failing.count(id + 1000);
    }
    bool QueryPin(uintptr_t id, PinRecord* info) override {
        *info = pins[id];
        return !failing.count(id);
    }
    bool ConnectionType(uintptr_t id, MediaTypeRecord* type) override {
        type->majorType = kMediaTypeVideo;
        type->subtype = "MEDIASUBTYPE_YUY2";
        return !failing.count(id + 1000);
    }

    std::map<uintptr_t, std::pair<std::string, std::vector<uintptr_t>>> filters = {
        {0x10, {"Telescope Simulator", {}}},
        {0x20, {"VidCam Grabber", {0x21}}},
        {0x30, {"Null Renderer", {0x31, 0x32, 0x33, 0x34}}}};
    std::map<uintptr_t, PinRecord> pins = {{0x31, {"sink", true, 0x22}},
                                           {0x32, {"sink_1", true, 0x99}},
                                           {0x33, {"sink_2", true, 0}},
                                           {0x34, {"src", false, 0x40}}};
    std::set<uintptr_t> failing = {0x10, 0x20 + 1000, 0x31, 0x32 + 1000};
};

TEST(GraphLogTest, FailuresBecomeLinesAndTheDumpGoesOn) {
    CapturedLog::Start();
    FakeGraph g;
    DumpGraph(&g);
    EXPECT_THAT(CapturedLog::FileLines(),
                ElementsAre("", "DumpGraph [0xABC0]", "Filter [10]  -- failed QueryFilterInfo",
                            "Filter [20]  'VidCam Grabber'", "EnumPins failed!",
                            "Filter [30]  'Null Renderer'", "Pin [31]  -- failed QueryPinInfo",
                            "Pin [32]  'sink_1' [Input]  Connected to pin [99]", "In",
                            "Pin [34]  'src' [Output]  Connected to pin [40]",
                            "Trying media type Connection type: major type:  MEDIATYPE_Video,    "
                            "sub type  :  MEDIASUBTYPE_YUY2",
                            "", "", ""));

    CapturedLog::Start();  // a failed filter enumeration stops; no graph writes nothing
    g.failing = {0};
    DumpGraph(&g);
    DumpGraph(nullptr);
    EXPECT_THAT(CapturedLog::FileLines(),
                ElementsAre("", "DumpGraph [0xABC0]", "EnumFilters failed!"));
}

}  // namespace
}  // namespace kelpa
