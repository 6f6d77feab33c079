// The media-type lines of the log, exactly as they are written.
#include "diag/media_type_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/captured_log.h"

namespace kelpa {
namespace {

using testing::CapturedLog;
using ::testing::Contains;
using ::testing::ElementsAre;

constexpr uint32_t kI420 = 0x30323449;  // "I420", first character in the lowest byte
constexpr uint32_t kYuy2 = 0x32595559;

MediaTypeRecord VideoType(const char* subtype, uint32_t compression, uint16_t bits,
                          int32_t height) {
    MediaTypeRecord type;
    type.majorType = kMediaTypeVideo;
    type.subtype = subtype;
    type.subtypeDescription = "a video format";
    type.fixedSizeSamples = true;
    type.sampleSize = 460800;
    type.formatType = kFormatVideoInfo;
    type.formatSize = kVideoInfoHeaderSize;
    type.source = type.target = {0, 0, 640, 480};
    type.bitmap = {40, 640, height, 1, bits, compression, 460800, 0, 0, 0};
    return type;
}

class MediaTypeLogTest : public ::testing::Test {
  protected:
    void SetUp() override { CapturedLog::Start(); }
};

TEST_F(MediaTypeLogTest, PlanarVideoTypeWritesEveryLineInOrder) {
    const MediaTypeRecord type = VideoType("MEDIASUBTYPE_I420", kI420, 12, 480);
    LogMediaTypeTry(nullptr, type);
    LogMediaType("Video Capture Format", type);
    EXPECT_THAT(
        CapturedLog::FileLines(),
        ElementsAre(
            "Trying media type : major type:  MEDIATYPE_Video,    sub type  :  MEDIASUBTYPE_I420",
            "", "-----------------------",
            "Video Capture Format  Major type MEDIATYPE_Video  Sub type MEDIASUBTYPE_I420",
            "Subtype description a video format", "Not temporally compressed", "Sample size 460800",
            "Source rectangle (Left 0 Top 0 Right 640 Bottom 480)",
            "Target rectangle (Left 0 Top 0 Right 640 Bottom 480)",
            "Size of BITMAPINFO structure 40", "640x480x12 bit 'I420'", "Image size 460800",
            "Planes 1", "X Pels per metre 0", "Y Pels per metre 0", "Colours used 0"));
}

TEST_F(MediaTypeLogTest, SizeLineGivesANumberBelow0x100AndFourCharactersAbove) {
    LogMediaType("x", VideoType("MEDIASUBTYPE_RGB24", 0, 24, -480));
    LogMediaType("x", VideoType("MEDIASUBTYPE_YUY2", kYuy2, 16, 480));
    LogMediaType("x", VideoType("MEDIASUBTYPE_X", 0x100, 8, 480));  // a zero byte ends the code
    const auto lines = CapturedLog::FileLines();
    EXPECT_THAT(lines, Contains("640x-480x24 bit  (0)"));
    EXPECT_THAT(lines, Contains("640x480x16 bit 'YUY2'"));
    EXPECT_THAT(lines, Contains("640x480x8 bit '    '"));
}

TEST_F(MediaTypeLogTest, VideoInfo2AddsTheDvLineAndAShortBlockCountsAsNone) {
    MediaTypeRecord type = VideoType("MEDIASUBTYPE_YUY2", kYuy2, 16, 480);
    type.formatType = kFormatVideoInfo2;
    type.formatSize = kVideoInfoHeader2Size;
    LogMediaType("x", type);
    EXPECT_EQ(CapturedLog::FileLines()[6], ": DV Header");

    CapturedLog::Start();
    type.formatSize = kVideoInfoHeader2Size - 1;
    type.fixedSizeSamples = false;
    type.temporalCompression = true;
    LogMediaType("x", type);
    const auto lines = CapturedLog::FileLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], "Temporally compressed");
    EXPECT_EQ(lines[5], "Variable size samples");
}

TEST_F(MediaTypeLogTest, WaveFormatFieldsFollowTheBlockSize) {
    // Block size, subtype, and how many field lines follow: none, six (no cbSize) or seven.
    const std::tuple<uint32_t, const char*, size_t> cases[] = {{16, "MEDIASUBTYPE_PCM", 6},
                                                               {18, "MEDIASUBTYPE_PCM", 7},
                                                               {15, "MEDIASUBTYPE_PCM", 0},
                                                               {18, kSubtypeMpeg1PacketName, 0}};
    for (const auto& [formatSize, subtype, fieldLines] : cases) {
        SCOPED_TRACE(formatSize);
        CapturedLog::Start();
        MediaTypeRecord type;
        type.majorType = kMediaTypeAudio;
        type.subtype = subtype;
        type.formatType = kFormatWaveFormatEx;
        type.formatSize = formatSize;
        type.wave = {1, 2, 44100, 176400, 4, 16, 0};
        LogMediaType("Audio", type);
        const auto lines = CapturedLog::FileLines();
        ASSERT_EQ(lines.size(), 8 + fieldLines);
        EXPECT_EQ(lines[6], "Format type FORMAT_WaveFormatEx");
        EXPECT_EQ(lines[7], std::string("Subtype ") + subtype);
        if (fieldLines == 0) continue;
        EXPECT_THAT(std::vector<std::string>(lines.begin() + 8, lines.begin() + 14),
                    ElementsAre("wFormatTag 1", "nChannels 2", "nSamplesPerSec 44100",
                                "nAvgBytesPerSec 176400", "nBlockAlign 4", "wBitsPerSample 16"));
        EXPECT_EQ(lines.back(), fieldLines == 7 ? "cbSize 0" : "wBitsPerSample 16");
    }
}

}  // namespace
}  // namespace kelpa
