// The log's dumps: media types (from GStreamer caps, and a record) as blocks of lines, checked
// by the lines each must hold (in order), and a real pipeline walked from source to sink with
// its connections.
#include "media/graph_dump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>

#include "diag/media_type_log.h"
#include "media/gst_ptr.h"
#include "media/media_init.h"
#include "support/captured_log.h"

namespace kelpa {
namespace {

using testing::CapturedLog;
using ::testing::ElementsAre;

class GraphDumpTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitMedia());
        gst_debug_set_default_threshold(GST_LEVEL_NONE);
    }
    void SetUp() override { CapturedLog::Start(); }
};

// What caps of each kind become: the lines each block holds, in this order. (The program's
// records all come from caps; the block's branches for other format types are left unchecked.)
TEST_F(GraphDumpTest, MediaTypeBlocksHoldTheirLines) {
    const auto holdsInOrder = [](const std::vector<std::string>& wanted) {
        const std::vector<std::string> lines = CapturedLog::FileLines();
        auto at = lines.begin();
        for (const std::string& line : wanted) {
            at = std::find(at, lines.end(), line);
            ASSERT_NE(at, lines.end()) << "missing or out of order: " << line << " in\n"
                                       << ::testing::PrintToString(lines);
        }
    };
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"video/x-raw,format=I420,width=640,height=480,framerate=25/1",
         {"", "-----------------------",
          "x  Major type MEDIATYPE_Video  Sub type MEDIASUBTYPE_I420", "Not temporally compressed",
          "Sample size 460800", "Target rectangle (Left 0 Top 0 Right 640 Bottom 480)",
          "Size of BITMAPINFO structure 40", "640x480x12 bit 'I420'", "Planes 1",
          "Colours used 0"}},
        {"video/x-raw,format=BGR,width=320,height=240",  // RGB rows run top row first
         {"Sample size 230400", "Source rectangle (Left 0 Top 0 Right 320 Bottom 240)",
          "320x-240x24 bit  (0)"}},
        {"audio/x-raw,format=F32LE,rate=48000,channels=2",
         {"x  Major type MEDIATYPE_Audio  Sub type MEDIASUBTYPE_IEEE_FLOAT", "wFormatTag 3",
          "nChannels 2", "nSamplesPerSec 48000", "nAvgBytesPerSec 384000", "nBlockAlign 8",
          "wBitsPerSample 32", "cbSize 0"}},
        {"image/jpeg,width=1280,height=720", {"Variable size samples", "Format type image/jpeg"}},
    };
    for (const auto& [caps, lines] : cases) {
        SCOPED_TRACE(caps);
        CapturedLog::Start();
        LogCaps("x", GstCapsPtr(gst_caps_from_string(caps)).get());
        holdsInOrder(lines);
    }
    MediaTypeRecord type;
    type.majorType = kMediaTypeVideo;
    type.subtype = "MEDIASUBTYPE_X";
    CapturedLog::Start();
    LogMediaTypeTry(nullptr, type);  // a null label is written empty
    LogCapsTry("Any", nullptr);
    EXPECT_THAT(CapturedLog::FileLines(),
                ElementsAre("Trying media type : major type:  MEDIATYPE_Video,    sub type  :  "
                            "MEDIASUBTYPE_X",
                            "Trying media type Any: major type:  GUID_NULL,    sub type  :  "
                            "GUID_NULL"));
}

// Every element from source to sink, each pad with its direction and the pad it is connected
// to (each link seen from both ends), and the link's media type after it.
TEST_F(GraphDumpTest, PipelineIsDumpedFromSourceToSinkWithItsConnections) {
    GstElementPtr pipeline = AdoptFloating(gst_parse_launch(
        "kelpasimsrc name=camera is-live=false ! "
        "capsfilter name=grabber caps=video/x-raw,format=I420,width=320,height=240 ! "
        "fakesink name=renderer",
        nullptr));
    ASSERT_TRUE(pipeline);
    gst_element_set_state(pipeline.get(), GST_STATE_PAUSED);
    ASSERT_EQ(gst_element_get_state(pipeline.get(), nullptr, nullptr, 10 * GST_SECOND),
              GST_STATE_CHANGE_SUCCESS);
    DumpPipeline(pipeline.get());
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);

    const std::regex filter(R"(Filter \[[0-9a-f]+\]  '(\w+)')");
    const std::regex pin(R"(Pin \[([0-9a-f]+)\]  '(\w+)' \[(In|Out)put\]  Connected to pin )"
                         R"(\[([0-9a-f]+)\])");
    const std::string type =
        "Trying media type Connection type: major type:  MEDIATYPE_Video,"
        "    sub type  :  MEDIASUBTYPE_I420";
    const std::vector<std::string> lines = CapturedLog::FileLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("DumpGraph [0x", 0), 0u);
    std::vector<std::string> filters, pads;
    std::map<std::string, std::string> peers;
    for (size_t i = 2; i < lines.size(); ++i) {
        std::smatch m;
        if (std::regex_match(lines[i], m, filter)) filters.push_back(m[1]);
        if (!std::regex_match(lines[i], m, pin)) continue;
        pads.push_back(filters.back() + "." + m[2].str() + " " + m[3].str());
        peers[m[1]] = m[4];
        ASSERT_LT(i + 2, lines.size());
        EXPECT_EQ(lines[i + 1], type);
        EXPECT_EQ(lines[i + 2], "");
    }
    EXPECT_THAT(filters, ElementsAre("camera", "grabber", "renderer"));
    EXPECT_THAT(pads, ElementsAre("camera.src Out", "grabber.sink In", "grabber.src Out",
                                  "renderer.sink In"));
    for (const auto& [pad, peer] : peers) {
        EXPECT_NE(peer, pad);
        EXPECT_EQ(peers.count(peer) ? peers.at(peer) : "", pad);
    }
}

}  // namespace
}  // namespace kelpa
