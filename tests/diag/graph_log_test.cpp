// The graph dump over a scripted graph, including every failure a walk can meet.
#include "diag/graph_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/captured_log.h"

namespace kelpa {
namespace {

using testing::CapturedLog;
using ::testing::ElementsAre;

// camera (0x10) -> grabber (0x20) -> renderer (0x30), whose second input is free. Any
// identity put into `failing` makes the call about it fail.
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
        {0x10, {"Telescope Simulator", {0x11}}},
        {0x20, {"VidCam Grabber", {0x21, 0x22}}},
        {0x30, {"Null Renderer", {0x31, 0x32}}}};
    std::map<uintptr_t, PinRecord> pins = {{0x11, {"src", false, 0x21}},
                                           {0x21, {"sink", true, 0x11}},
                                           {0x22, {"src", false, 0x31}},
                                           {0x31, {"sink", true, 0x22}},
                                           {0x32, {"sink_1", true, 0}}};
    std::set<uintptr_t> failing;
};

class GraphLogTest : public ::testing::Test {
  protected:
    void SetUp() override { CapturedLog::Start(); }
};

TEST_F(GraphLogTest, ConnectedGraph) {
    FakeGraph g;
    DumpGraph(&g);
    const char* type =
        "Trying media type Connection type: major type:  MEDIATYPE_Video,    sub type  :  "
        "MEDIASUBTYPE_YUY2";
    EXPECT_THAT(
        CapturedLog::FileLines(),
        ElementsAre("", "DumpGraph [0xABC0]", "Filter [10]  'Telescope Simulator'",
                    "Pin [11]  'src' [Output]  Connected to pin [21]", type, "",
                    "Filter [20]  'VidCam Grabber'",
                    "Pin [21]  'sink' [Input]  Connected to pin [11]", type, "",
                    "Pin [22]  'src' [Output]  Connected to pin [31]", type, "",
                    "Filter [30]  'Null Renderer'",
                    "Pin [31]  'sink' [Input]  Connected to pin [22]", type, "", "In", "", ""));
}

TEST_F(GraphLogTest, FailuresBecomeLinesAndTheDumpGoesOn) {
    FakeGraph g;
    g.failing = {0x10, 0x20 + 1000, 0x31, 0x32 + 1000};
    g.pins[0x32].peer = 0x99;
    DumpGraph(&g);
    EXPECT_THAT(CapturedLog::FileLines(),
                ElementsAre("", "DumpGraph [0xABC0]", "Filter [10]  -- failed QueryFilterInfo",
                            "Filter [20]  'VidCam Grabber'", "EnumPins failed!",
                            "Filter [30]  'Null Renderer'", "Pin [31]  -- failed QueryPinInfo",
                            "Pin [32]  'sink_1' [Input]  Connected to pin [99]", "", ""));

    CapturedLog::Start();  // a failed filter enumeration stops; no graph writes nothing
    g.failing = {0};
    DumpGraph(&g);
    DumpGraph(nullptr);
    EXPECT_THAT(CapturedLog::FileLines(),
                ElementsAre("", "DumpGraph [0xABC0]", "EnumFilters failed!"));
}

}  // namespace
}  // namespace kelpa
