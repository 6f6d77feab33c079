// Dark frames through the intake (FrameSink::SampleCB): a take averages the live pictures it
// saw; a dark in use is taken off every live picture of every format before processing; a dark of
// another device, size or format, a missing file or a format change never leads to a wrong
// subtraction.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <thread>

#include "support/intake_harness.h"
#include "support/temp_files.h"
#include "video/convert_test_support.h"

namespace kelpa::test {
namespace {

using kelpa::testing::AllFormats;
using kelpa::testing::FormatCase;
using ::testing::HasSubstr;

constexpr const char* kCamera = "Test camera";

// One controller as a camera would drive it, darks kept in a temporary folder.
class DarkFramesTest : public ::testing::Test, public IntakeHarness {
  protected:
    DarkFramesTest() {
        Sink().SetPacing(false);
        Sink().dark.SetDirectory(dir.Path());
        Sink().dark.SetDevice(kCamera);
    }
    DarkFrames& Dark() { return ctrl->sink.dark; }
    // A dark of `identity` (that of the connected stream by default) holding `packed`, the
    // pixels without row padding; one level everywhere when `packed` has one byte.
    MasterDark DarkOf(const Bytes& packed, DarkIdentity identity = {}) {
        MasterDark dark;
        dark.Allocate(identity.width ? identity : Dark().Identity());
        const size_t row = 3 * size_t(dark.identity.width);
        for (size_t i = 0; i < row * dark.identity.height; ++i) {
            dark.pixels[dark.stride * (i / row) + i % row] = packed[packed.size() > 1 ? i : 0];
        }
        dark.frames = 16;
        return dark;
    }
    static Bytes Packed(MasterDark dark) {
        return Pixels({.data = dark.pixels.data(),
                       .width = dark.identity.width,
                       .height = dark.identity.height,
                       .stride = dark.stride});
    }
    MasterDark Stored() {
        MasterDark stored;
        std::string error;
        EXPECT_TRUE(ReadDarkFile(Dark().StoredPath(), &stored, &error)) << error;
        return stored;
    }
    kelpa::testing::TempDir dir;
};

// ---- Taking --------------------------------------------------------------------------------

// Every format: the stored master is the rounded average of the live pictures the take saw (the
// 16-bit sum up to 257 frames, the 32-bit one beyond); one kDarkTake announces the end, later
// frames add nothing; Use dark being off, the taken dark is kept but not applied.
TEST_F(DarkFramesTest, MasterIsTheAverageOfTheLivePictures) {
    for (size_t n = 0; n < AllFormats().size(); ++n) {
        const FormatCase& f = AllFormats()[n];
        const int32_t frames = std::array{1, 5, 300}[n % 3];
        SCOPED_TRACE(::testing::Message() << f.name << ", " << frames << " frames");
        events.Clear();
        ASSERT_TRUE(Connect(f.code, f.bits, 13, 7));
        ASSERT_TRUE(Dark().StartTake(frames).ok);
        std::vector<uint64_t> sums(3 * 13 * 7, 0);
        for (int32_t i = 0; i < frames; ++i) {
            Feed(Sample(static_cast<uint32_t>(i)));
            const Bytes live = Live();
            for (size_t b = 0; b < live.size(); ++b) sums[b] += live[b];
        }
        EXPECT_EQ(std::tuple(Dark().TakeState(), events.Count(StreamEvent::kDarkTake)),
                  std::tuple(DarkTakeState::kTaken, 1));
        Feed(Sample(999));  // after the take: not summed
        const DarkResult finished = Dark().FinishTake();
        ASSERT_TRUE(finished.ok) << finished.message;
        const MasterDark stored = Stored();
        EXPECT_EQ(std::tie(stored.identity, stored.frames),
                  std::tuple(DarkIdentity{kCamera, 13, 7, DarkFormatCode(f.code, f.bits)},
                             static_cast<uint32_t>(frames)));
        Bytes average(sums.size());
        for (size_t b = 0; b < sums.size(); ++b) average[b] = (sums[b] + frames / 2) / frames;
        EXPECT_EQ(Packed(stored), average);
        EXPECT_FALSE(Dark().Applied());
    }
}

// A take with a dark in use averages the raw frames, not the subtracted ones; the new master is
// the one in use afterwards. A take is abandoned when the format changes.
TEST_F(DarkFramesTest, TakeSumsTheRawFramesOfOneFormat) {
    ASSERT_TRUE(Connect(kFormatRgb, 24, 8, 4));
    ASSERT_TRUE(Dark().Install(DarkOf({9})).ok);
    Dark().SetUse(true);
    const Bytes sample = Sample(4, 20, 200);
    ASSERT_TRUE(Dark().StartTake(2).ok);
    Feed(sample);
    Feed(sample);
    ASSERT_TRUE(Dark().FinishTake().ok);
    EXPECT_EQ(Packed(Stored()), Bytes(sample.begin(), sample.begin() + 3 * 8 * 4));  // RGB24 as is
    Feed(sample);
    EXPECT_EQ(Live(), Bytes(3 * 8 * 4, 0));

    ASSERT_TRUE(Connect(kFormatYuy2, 16, 16, 8));
    ASSERT_TRUE(Dark().StartTake(8).ok);
    Feed(Sample(1));
    events.Clear();
    ASSERT_TRUE(Connect(kFormatYuy2, 16, 32, 8));
    EXPECT_EQ(std::tuple(events.Count(StreamEvent::kDarkTake), Dark().TakeState()),
              std::tuple(1, DarkTakeState::kFailed));
    const DarkResult finished = Dark().FinishTake();
    EXPECT_FALSE(finished.ok);
    EXPECT_THAT(finished.message, HasSubstr("format changed"));
    EXPECT_FALSE(std::filesystem::exists(Dark().StoredPath()));
    EXPECT_EQ(Dark().TakeState(), DarkTakeState::kIdle);
}

// ---- Using ---------------------------------------------------------------------------------

// Every format, at an odd size and with the picture rows turned over by some converters: the
// live picture, which the chain then processes, is the plain conversion minus the dark,
// saturating at 0, byte for byte. (That the processed picture follows the live one: the intake
// test; a taken dark making later runs' frames darker: the headless test.)
TEST_F(DarkFramesTest, LivePictureIsTheConversionLessTheDark) {
    for (const FormatCase& f : AllFormats()) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(Connect(f.code, f.bits, 37, 23));
        const Bytes sample = Sample(17);
        Feed(sample);
        const Bytes raw = Live();
        const Bytes dark = Random(raw.size(), f.code + f.bits, 0, 96);
        ASSERT_TRUE(Dark().Install(DarkOf(dark)).ok);
        EXPECT_TRUE(Dark().SetUse(true).ok);
        Feed(sample);
        Bytes expected(raw.size());
        for (size_t i = 0; i < raw.size(); ++i) expected[i] = std::max(raw[i] - dark[i], 0);
        EXPECT_EQ(Live(), expected);
        EXPECT_TRUE(Dark().SetUse(false).ok);
        Feed(sample);
        EXPECT_EQ(Live(), raw);
    }
}

// Darks of another device, size or format (24- and 32-bit RGB are two formats) are refused
// with a message that names both streams, and the picture stays the plain conversion. The
// stored file of the stream is looked for when Use dark is switched on: none is refused (its
// message: the headless dark test), a good one is applied (damaged ones are the dark file tests'
// and the main window's, which also shows the status of a dark in use).
// A dark in use stops at a change of format, says why, and comes back with its format.
TEST_F(DarkFramesTest, ForeignAndMissingDarksAreRefusedAndAFormatChangeStopsTheDark) {
    ASSERT_TRUE(Connect(kFormatRgb, 32, 12, 6));
    const Bytes sample = Sample(3);
    Feed(sample);
    const Bytes raw = Live();
    Dark().SetUse(true);
    const DarkIdentity stream = Dark().Identity();
    const uint32_t rgb32 = stream.format;
    for (const DarkIdentity& identity :
         {DarkIdentity{"Other camera", 12, 6, rgb32}, DarkIdentity{kCamera, 12, 8, rgb32},
          DarkIdentity{kCamera, 14, 6, rgb32},
          DarkIdentity{kCamera, 12, 6, DarkFormatCode(kFormatRgb, 24)}}) {
        SCOPED_TRACE(DescribeDark(identity));
        const DarkResult result = Dark().Install(DarkOf({50}, identity));
        EXPECT_FALSE(result.ok);
        EXPECT_THAT(result.message, HasSubstr(DescribeDark(identity)));
        EXPECT_THAT(result.message, HasSubstr(DescribeDark(stream)));
        EXPECT_FALSE(Dark().Applied());
        Feed(sample);
        EXPECT_EQ(Live(), raw);
    }
    Dark().SetUse(false);
    const DarkResult missing = Dark().SetUse(true);
    EXPECT_TRUE(!missing.ok && missing.missing) << missing.message;
    std::string error;
    ASSERT_TRUE(WriteDarkFile(Dark().StoredPath(), DarkOf({30}), &error)) << error;
    EXPECT_TRUE(Dark().Refresh().ok);
    EXPECT_TRUE(Dark().Applied());

    ASSERT_TRUE(Connect(kFormatRgb, 24, 12, 6));
    EXPECT_FALSE(Dark().Applied());
    EXPECT_THAT(Dark().StatusText(), HasSubstr("not applied"));
    const Bytes rgb24 = Sample(8, 0, 20);
    Feed(rgb24);
    EXPECT_EQ(Live(), Bytes(rgb24.begin(), rgb24.begin() + 3 * 12 * 6));
    ASSERT_TRUE(Connect(kFormatRgb, 32, 12, 6));
    EXPECT_TRUE(Dark().Applied());
}

// The GUI thread switches Use dark, installs darks and runs takes while the streaming thread
// converts frames: every frame ends either untouched or with one whole dark taken off, and a
// take that starts while frames flow completes.
TEST_F(DarkFramesTest, CommandsWhileFramesFlow) {
    ASSERT_TRUE(Connect(kFormatRgb, 24, 32, 16));
    const Bytes sample(Sink().geometry.srcRequiredSize, 100);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread streaming([&] {
        while (!stop.load()) {
            Sink().SampleCB(0.0, sample.data(), sample.size());
            std::lock_guard lock(Sink().live.PictureLock());
            const Bytes live = Pixels(Sink().live.Picture());
            wrong +=
                std::count_if(live.begin(), live.end(), [&](uint8_t b) { return b != live[0]; });
            // Untouched, less the installed dark, or less a taken one (the frames themselves).
            if (live[0] != 100 && live[0] != 100 - 7 && live[0] != 0) ++wrong;
        }
    });
    const MasterDark dark = DarkOf({7});
    for (int round = 0; round < 20; ++round) {
        Dark().SetUse(round % 2 == 0);
        ASSERT_TRUE(Dark().Install(dark).ok);
        ASSERT_TRUE(Dark().StartTake(3).ok);
        while (Dark().TakeState() == DarkTakeState::kTaking) std::this_thread::yield();
        const DarkResult taken = Dark().FinishTake();
        ASSERT_TRUE(taken.ok) << taken.message;
    }
    stop.store(true);
    streaming.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace kelpa::test
