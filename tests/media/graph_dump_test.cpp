// The log dumps on GStreamer: caps as media types, a pipeline as a graph.
#include "media/graph_dump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "media/gst_ptr.h"
#include "media/media_init.h"
#include "support/captured_log.h"

namespace kelpa {
namespace {

using testing::CapturedLog;
using ::testing::Contains;
using ::testing::ElementsAre;

// Addresses vary from run to run: "[7f3a20]" and "[0x7F3A20]" become "[#]".
std::string MaskIdentities(const std::string& line) {
    std::string masked;
    for (size_t i = 0; i < line.size(); ++i) {
        masked += line[i];
        const size_t first = line.compare(i + 1, 2, "0x") == 0 ? i + 3 : i + 1;
        const size_t end = line.find_first_not_of("0123456789abcdefABCDEF", first);
        if (line[i] == '[' && end != std::string::npos && end > first && line[end] == ']') {
            masked += '#';
            i = end - 1;
        }
    }
    return masked;
}

class GraphDumpTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitMedia());
        gst_debug_set_default_threshold(GST_LEVEL_NONE);
    }
    void SetUp() override { CapturedLog::Start(); }
    static GstCapsPtr Caps(const char* text) { return GstCapsPtr(gst_caps_from_string(text)); }
};

TEST_F(GraphDumpTest, VideoCapsGiveTheBitmapHeaderAndI420IsNamedAsSuch) {
    GstCapsPtr caps = Caps("video/x-raw,format=I420,width=640,height=480,framerate=25/1");
    LogCapsTry(nullptr, caps.get());
    LogCaps("Video Capture Format", caps.get());
    LogCaps("x", Caps("video/x-raw,format=BGR,width=320,height=240").get());
    const auto lines = CapturedLog::FileLines();
    EXPECT_EQ(
        lines[0],
        "Trying media type : major type:  MEDIATYPE_Video,    sub type  :  MEDIASUBTYPE_I420");
    EXPECT_EQ(lines[3],
              "Video Capture Format  Major type MEDIATYPE_Video  Sub type MEDIASUBTYPE_I420");
    EXPECT_EQ(lines[6], "Sample size 460800");
    EXPECT_EQ(lines[8], "Target rectangle (Left 0 Top 0 Right 640 Bottom 480)");
    EXPECT_EQ(lines[10], "640x480x12 bit 'I420'");
    EXPECT_THAT(lines, Contains("320x-240x24 bit  (0)"));  // RGB rows run top row first
}

TEST_F(GraphDumpTest, RawAudioWritesItsWaveFormat) {
    LogCaps("Audio", Caps("audio/x-raw,format=F32LE,rate=48000,channels=2").get());
    const auto lines = CapturedLog::FileLines();
    const std::vector<std::string> tail(lines.end() - 7, lines.end());
    EXPECT_EQ(lines[2], "Audio  Major type MEDIATYPE_Audio  Sub type MEDIASUBTYPE_IEEE_FLOAT");
    EXPECT_THAT(tail, ElementsAre("wFormatTag 3", "nChannels 2", "nSamplesPerSec 48000",
                                  "nAvgBytesPerSec 384000", "nBlockAlign 8", "wBitsPerSample 32",
                                  "cbSize 0"));
}

TEST_F(GraphDumpTest, CompressedAndUnknownTypesAreNamedOnly) {
    GstCapsPtr jpeg = Caps("image/jpeg,width=1280,height=720");
    LogCaps("x", jpeg.get());
    LogCapsTry("Any", nullptr);
    const auto lines = CapturedLog::FileLines();
    EXPECT_EQ(lines[5], "Variable size samples");
    EXPECT_EQ(lines[6], "Format type image/jpeg");
    EXPECT_EQ(lines[7], "Trying media type Any: major type:  GUID_NULL,    sub type  :  GUID_NULL");
}

TEST_F(GraphDumpTest, PipelineIsDumpedFromSourceToSinkWithItsConnections) {
    GErrorPtr error;
    GstElementPtr pipeline = AdoptFloating(gst_parse_launch(
        "kelpasimsrc name=camera is-live=false ! "
        "capsfilter name=grabber caps=video/x-raw,format=I420,width=320,height=240 ! "
        "fakesink name=renderer",
        OutPtr(error)));
    ASSERT_TRUE(pipeline && !error);
    gst_element_set_state(pipeline.get(), GST_STATE_PAUSED);
    ASSERT_EQ(gst_element_get_state(pipeline.get(), nullptr, nullptr, 10 * GST_SECOND),
              GST_STATE_CHANGE_SUCCESS);
    DumpPipeline(pipeline.get());
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);

    const std::string pin = "Pin [#]  ";
    const std::string type =
        "Trying media type Connection type: major type:  MEDIATYPE_Video,    sub type  :  "
        "MEDIASUBTYPE_I420";
    std::vector<std::string> lines;
    for (const std::string& line : CapturedLog::FileLines()) lines.push_back(MaskIdentities(line));
    EXPECT_THAT(lines,
                ElementsAre("", "DumpGraph [#]", "Filter [#]  'camera'",
                            pin + "'src' [Output]  Connected to pin [#]", type, "",
                            "Filter [#]  'grabber'", pin + "'sink' [Input]  Connected to pin [#]",
                            type, "", pin + "'src' [Output]  Connected to pin [#]", type, "",
                            "Filter [#]  'renderer'", pin + "'sink' [Input]  Connected to pin [#]",
                            type, "", "", ""));
}

}  // namespace
}  // namespace kelpa
