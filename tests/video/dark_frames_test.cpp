// Dark frames through the intake (FrameSink::SampleCB): a take averages the live pictures it
// saw; a dark in use is taken off every live picture of every format before processing, so hot
// pixels vanish from the processed picture; a dark of another device, size or format, a damaged
// file or a format change never leads to a wrong subtraction.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <thread>

#include "support/recording_receiver.h"
#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/convert_test_support.h"
#include "video/frame_sink.h"
#include "video/video_ctrl.h"

namespace kelpa::test {
namespace {

using kelpa::testing::AllFormats;
using kelpa::testing::FormatCase;
using kelpa::testing::TempDir;
using Bytes = std::vector<uint8_t>;

constexpr const char* kCamera = "Test camera";

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// One controller as a camera would drive it, darks kept in a temporary folder.
class DarkIntake {
  public:
    DarkIntake(const std::string& directory, FakeClock& clock)
        : ctrl(clock, LoadControllerSettings()) {
        sink.events.SetReceiver(&events);
        sink.SetPacing(false);
        dark.SetDirectory(directory);
        dark.SetDevice(kCamera);
        // The whole frame is the area, so every pixel reaches the processed picture.
        sink.engine.params.areaW = 0.0f;
    }
    void Connect(uint32_t code, uint32_t bits, int32_t w, int32_t h) {
        ASSERT_TRUE(sink.SetSourceHeader(BitmapInfoHeader{.width = w,
                                                          .height = h,
                                                          .bitCount = static_cast<uint16_t>(bits),
                                                          .compression = code}));
    }
    void Feed(const Bytes& sample) {
        ASSERT_GE(sample.size(), sink.geometry.srcRequiredSize);
        sink.SampleCB(0.0, sample.data(), sample.size());
    }
    // The pictures' pixels, padding left out.
    Bytes Live() const { return Pixels(sink.live.Picture()); }
    Bytes Processed() const { return Pixels(sink.engine.surf.Picture()); }
    static Bytes Pixels(const FrameBuffer& p) {
        Bytes out;
        for (int32_t y = 0; y < p.height; ++y) {
            out.insert(out.end(), p.data + size_t{p.stride} * y,
                       p.data + size_t{p.stride} * y + 3 * p.width);
        }
        return out;
    }

    VideoCtrl ctrl;
    FrameSink& sink = ctrl.sink;
    DarkFrames& dark = ctrl.sink.dark;
    RecordingReceiver events;
};

class DarkFramesTest : public ::testing::Test {
  protected:
    DarkFramesTest() { InitClipTable(); }

    Bytes RandomSample(uint32_t seed, int low = 0, int high = 255) {
        Bytes sample(intake.sink.geometry.srcRequiredSize);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> level(low, high);
        for (auto& b : sample) b = static_cast<uint8_t>(level(rng));
        return sample;
    }
    // A dark for the connected stream whose byte c of pixel (x, y) is value(x, y, c).
    MasterDark DarkOf(uint8_t (*value)(int32_t x, int32_t y, int c)) {
        MasterDark dark;
        dark.Allocate(intake.dark.Identity());
        for (int32_t y = 0; y < dark.identity.height; ++y) {
            for (int32_t i = 0; i < 3 * dark.identity.width; ++i) {
                dark.pixels[size_t{dark.stride} * y + i] = value(i / 3, y, i % 3);
            }
        }
        dark.frames = 16;
        return dark;
    }
    static Bytes Packed(const MasterDark& dark) {
        Bytes out;
        for (int32_t y = 0; y < dark.identity.height; ++y) {
            const uint8_t* row = dark.pixels.data() + size_t{dark.stride} * y;
            out.insert(out.end(), row, row + 3 * size_t(dark.identity.width));
        }
        return out;
    }
    MasterDark Stored() {
        MasterDark stored;
        std::string error;
        EXPECT_TRUE(ReadDarkFile(intake.dark.StoredPath(), &stored, &error)) << error;
        return stored;
    }

    MemoryProfile profile;
    const bool autoOff_ = [this] { return profile.WriteString("kelpa", "ProcAuto", "0"); }();
    TempDir dir;
    FakeClock clock;
    DarkIntake intake{dir.Path(), clock};
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
        intake.events.Clear();
        intake.Connect(f.code, f.bits, 13, 7);
        ASSERT_TRUE(intake.dark.StartTake(frames).ok);
        std::vector<uint64_t> sums(3 * 13 * 7, 0);
        for (int32_t i = 0; i < frames; ++i) {
            EXPECT_EQ(intake.dark.TakeState(), DarkTakeState::kTaking);
            intake.Feed(RandomSample(static_cast<uint32_t>(i)));
            const Bytes live = intake.Live();
            for (size_t b = 0; b < live.size(); ++b) sums[b] += live[b];
        }
        EXPECT_EQ(intake.dark.TakeState(), DarkTakeState::kTaken);
        EXPECT_EQ(intake.events.Count(StreamEvent::kDarkTake), 1);
        intake.Feed(RandomSample(999));  // after the take: not summed
        EXPECT_EQ(intake.dark.FramesTaken(), frames);
        const DarkResult finished = intake.dark.FinishTake();
        ASSERT_TRUE(finished.ok) << finished.message;
        EXPECT_TRUE(Contains(finished.message, intake.dark.StoredPath().c_str()));
        const MasterDark stored = Stored();
        EXPECT_EQ(stored.identity, (DarkIdentity{kCamera, 13, 7, DarkFormatCode(f.code, f.bits)}));
        EXPECT_EQ(stored.frames, static_cast<uint32_t>(frames));
        Bytes average(sums.size());
        for (size_t b = 0; b < sums.size(); ++b) average[b] = (sums[b] + frames / 2) / frames;
        EXPECT_EQ(Packed(stored), average);
        EXPECT_FALSE(intake.dark.Applied());
    }
}

// A take with a dark in use averages the raw frames, not the subtracted ones; the new master is
// the one in use afterwards.
TEST_F(DarkFramesTest, TakeWithADarkInUseSumsTheRawFrames) {
    intake.Connect(kFormatRgb, 24, 8, 4);
    ASSERT_TRUE(intake.dark.Install(DarkOf([](int32_t, int32_t, int) -> uint8_t { return 9; })).ok);
    intake.dark.SetUse(true);
    const Bytes sample = RandomSample(4, 20, 200);
    ASSERT_TRUE(intake.dark.StartTake(2).ok);
    intake.Feed(sample);
    intake.Feed(sample);
    ASSERT_TRUE(intake.dark.FinishTake().ok);
    // RGB24 rows keep their order and bytes: the raw frame is the sample itself.
    EXPECT_EQ(Packed(Stored()), Bytes(sample.begin(), sample.begin() + 3 * 8 * 4));
    intake.Feed(sample);
    EXPECT_EQ(intake.Live(), Bytes(3 * 8 * 4, 0));
}

// A take needs a format that converts, and is abandoned when the format changes.
TEST_F(DarkFramesTest, TakeNeedsAFormatThatConvertsAndStaysIt) {
    EXPECT_FALSE(intake.dark.StartTake(4).ok);  // nothing connected
    intake.Connect(FourCC("MJPG"), 24, 16, 8);
    EXPECT_FALSE(intake.dark.StartTake(4).ok);
    EXPECT_FALSE(intake.dark.FinishTake().ok);  // no take ended

    intake.Connect(kFormatYuy2, 16, 16, 8);
    ASSERT_TRUE(intake.dark.StartTake(8).ok);
    intake.Feed(RandomSample(1));
    intake.Connect(kFormatYuy2, 16, 32, 8);
    EXPECT_EQ(intake.events.Count(StreamEvent::kDarkTake), 1);
    EXPECT_EQ(intake.dark.TakeState(), DarkTakeState::kFailed);
    const DarkResult finished = intake.dark.FinishTake();
    EXPECT_FALSE(finished.ok);
    EXPECT_TRUE(Contains(finished.message, "format changed")) << finished.message;
    EXPECT_FALSE(std::filesystem::exists(intake.dark.StoredPath()));
    EXPECT_EQ(intake.dark.TakeState(), DarkTakeState::kIdle);
}

// ---- Using ---------------------------------------------------------------------------------

// Every format, at an odd size and with the picture rows turned over by some converters: the
// live picture is the plain conversion minus the dark, saturating at 0, byte for byte.
TEST_F(DarkFramesTest, LivePictureIsTheConversionLessTheDark) {
    for (const FormatCase& f : AllFormats()) {
        SCOPED_TRACE(f.name);
        intake.Connect(f.code, f.bits, 37, 23);
        const Bytes sample = RandomSample(17);
        intake.Feed(sample);
        const Bytes raw = intake.Live();
        const MasterDark dark = DarkOf(
            [](int32_t x, int32_t y, int c) -> uint8_t { return (x * 7 + y * 13 + c * 29) % 97; });
        ASSERT_TRUE(intake.dark.Install(dark).ok);
        EXPECT_TRUE(intake.dark.SetUse(true).ok);
        EXPECT_TRUE(intake.dark.Applied());
        intake.Feed(sample);
        const Bytes packed = Packed(dark);
        Bytes expected(raw.size());
        for (size_t i = 0; i < raw.size(); ++i) expected[i] = std::max(raw[i] - packed[i], 0);
        EXPECT_EQ(intake.Live(), expected);
        EXPECT_TRUE(intake.dark.SetUse(false).ok);
        intake.Feed(sample);
        EXPECT_EQ(intake.Live(), raw);
    }
}

// A sky with a star, seen through a sensor with a dark level and hot pixels: with the dark
// (taken through the intake from frames of the dark alone) in use, the processed picture is the
// one the clean sky gives; without it the hot pixels stand out.
TEST_F(DarkFramesTest, HotPixelsVanishFromTheProcessedPicture) {
    constexpr int32_t kW = 64;
    constexpr int32_t kH = 48;
    const std::pair<int32_t, int32_t> hot[] = {{3, 4}, {10, 30}, {55, 44}, {21, 7}, {60, 2}};
    // RGB24 frames, bottom row first as the header's positive height says.
    const auto frame = [&](bool withSky, bool withDark) {
        Bytes sample(Stride24(kW) * kH, 0);
        for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
                const double star =
                    150 * std::exp(-((x - 40) * (x - 40) + (y - 20) * (y - 20)) / 8.0);
                const bool isHot =
                    std::find(std::begin(hot), std::end(hot), std::pair{x, y}) != std::end(hot);
                const int v = (withSky ? 20 + static_cast<int>(star) : 0) +
                              (withDark ? (isHot ? 200 : 6 + (x + y) % 3) : 0);
                std::fill_n(&sample[Stride24(kW) * y + 3 * size_t(x)], 3, static_cast<uint8_t>(v));
            }
        }
        return sample;
    };
    intake.Connect(kFormatRgb, 24, kW, kH);
    ASSERT_TRUE(intake.dark.StartTake(4).ok);
    for (int n = 0; n < 4; ++n) intake.Feed(frame(false, true));
    ASSERT_TRUE(intake.dark.FinishTake().ok);

    DarkIntake clean(dir.Path(), clock);
    clean.Connect(kFormatRgb, 24, kW, kH);
    clean.Feed(frame(true, false));

    intake.Feed(frame(true, true));
    const Bytes withoutDark = intake.Processed();
    EXPECT_TRUE(intake.dark.SetUse(true).ok);
    intake.Feed(frame(true, true));
    const Bytes withDark = intake.Processed();
    EXPECT_GE(*std::max_element(withDark.begin(), withDark.end()), 150);  // the star
    EXPECT_EQ(withDark, clean.Processed());
    int hotSeen = 0;
    for (size_t i = 0; i < withDark.size(); ++i) hotSeen += withoutDark[i] >= withDark[i] + 150;
    EXPECT_EQ(hotSeen, 3 * 5);  // every channel of every hot pixel, before the dark was used
}

// Darks of another device, size or format are refused with a message that names both streams,
// and the picture stays the plain conversion.
TEST_F(DarkFramesTest, ForeignDarksAreRefused) {
    intake.Connect(kFormatYuy2, 16, 16, 8);
    const Bytes sample = RandomSample(3);
    intake.Feed(sample);
    const Bytes raw = intake.Live();
    intake.dark.SetUse(true);
    const DarkIdentity stream = intake.dark.Identity();
    for (const DarkIdentity& identity :
         {DarkIdentity{"Other camera", 16, 8, kFormatYuy2},
          DarkIdentity{kCamera, 16, 10, kFormatYuy2}, DarkIdentity{kCamera, 18, 8, kFormatYuy2},
          DarkIdentity{kCamera, 16, 8, kFormatUyvy}}) {
        SCOPED_TRACE(DescribeDark(identity));
        MasterDark dark;
        dark.Allocate(identity);
        std::fill(dark.pixels.begin(), dark.pixels.end(), 50);
        dark.frames = 4;
        const DarkResult result = intake.dark.Install(dark);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(Contains(result.message, DescribeDark(identity).c_str())) << result.message;
        EXPECT_TRUE(Contains(result.message, DescribeDark(stream).c_str())) << result.message;
        EXPECT_FALSE(intake.dark.Applied());
        intake.Feed(sample);
        EXPECT_EQ(intake.Live(), raw);
    }
}

// The stored file of the stream is checked when Use dark looks for it: none, one of another
// stream, a damaged one are refused, each with its reason; a good one is applied.
TEST_F(DarkFramesTest, StoredDarksAreCheckedBeforeUse) {
    intake.Connect(kFormatI420, 12, 20, 10);
    const std::string path = intake.dark.StoredPath();
    MasterDark other;
    other.Allocate(DarkIdentity{kCamera, 20, 10, kFormatYv12});
    other.frames = 3;
    MasterDark right = other;
    right.identity.format = kFormatI420;
    std::string error;
    const struct {
        const MasterDark* stored;
        bool damaged;
        const char* reason;
    } cases[] = {{nullptr, false, "No dark frame stored"},
                 {&other, false, "refused"},
                 {&right, true, "corrupt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        if (c.stored) {
            ASSERT_TRUE(WriteDarkFile(path, *c.stored, &error)) << error;
        }
        std::string bytes = kelpa::testing::ReadFile(path);
        if (c.damaged) bytes[bytes.size() / 2] ^= 0x10;
        if (c.damaged) kelpa::testing::WriteFile(path, bytes);
        intake.dark.SetUse(false);
        const DarkResult result = intake.dark.SetUse(true);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.missing, c.stored == nullptr);
        EXPECT_TRUE(Contains(result.message, c.reason)) << result.message;
        EXPECT_FALSE(intake.dark.Applied());
    }
    ASSERT_TRUE(WriteDarkFile(path, right, &error)) << error;
    EXPECT_TRUE(intake.dark.Refresh().ok);
    EXPECT_TRUE(intake.dark.Applied());
    EXPECT_EQ(intake.dark.StatusText(), "Dark frame: in use (3 frames)");
}

// A dark in use stops at a change of size or format, says why, and comes back with its format.
TEST_F(DarkFramesTest, FormatChangeStopsTheDark) {
    intake.Connect(kFormatRgb, 32, 12, 6);
    ASSERT_TRUE(
        intake.dark.Install(DarkOf([](int32_t, int32_t, int) -> uint8_t { return 30; })).ok);
    intake.dark.SetUse(true);
    ASSERT_TRUE(intake.dark.Applied());
    intake.Connect(kFormatRgb, 24, 12, 6);
    EXPECT_FALSE(intake.dark.Applied());
    EXPECT_TRUE(Contains(intake.dark.StatusText(), "not applied")) << intake.dark.StatusText();
    const Bytes sample = RandomSample(8, 0, 20);
    intake.Feed(sample);
    EXPECT_EQ(intake.Live(), Bytes(sample.begin(), sample.begin() + 3 * 12 * 6));
    intake.Connect(kFormatRgb, 32, 12, 6);
    EXPECT_TRUE(intake.dark.Applied());
}

// A new controller with DarkUse=1 finds the dark taken by an earlier one once its stream is
// known (as the application refreshes it after opening a source).
TEST_F(DarkFramesTest, DarkUseSettingLoadsTheStoredDark) {
    intake.Connect(kFormatUyvy, 16, 10, 4);
    ASSERT_TRUE(intake.dark.StartTake(1).ok);
    intake.Feed(RandomSample(2, 5, 9));
    ASSERT_TRUE(intake.dark.FinishTake().ok);
    profile.Set("DarkUse", "1");
    profile.Set("DarkFrames", "5000");
    DarkIntake next(dir.Path(), clock);
    EXPECT_TRUE(next.dark.Use());
    EXPECT_EQ(next.dark.Settings().frames, DarkFrames::kMaxFrames);
    next.Connect(kFormatUyvy, 16, 10, 4);
    EXPECT_FALSE(next.dark.Applied());
    EXPECT_TRUE(next.dark.Refresh().ok);
    EXPECT_TRUE(next.dark.Applied());
}

// The GUI thread switches Use dark, installs darks and runs takes while the streaming thread
// converts frames: every frame ends either untouched or with one whole dark taken off, and a
// take that starts while frames flow completes.
TEST_F(DarkFramesTest, CommandsWhileFramesFlow) {
    intake.Connect(kFormatRgb, 24, 32, 16);
    const Bytes sample(intake.sink.geometry.srcRequiredSize, 100);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread streaming([&] {
        while (!stop.load()) {
            intake.sink.SampleCB(0.0, sample.data(), sample.size());
            std::lock_guard lock(intake.sink.live.PictureLock());
            const Bytes live = DarkIntake::Pixels(intake.sink.live.Picture());
            wrong +=
                std::count_if(live.begin(), live.end(), [&](uint8_t b) { return b != live[0]; });
            // Untouched, less the installed dark, or less a taken one (the frames themselves).
            if (live[0] != 100 && live[0] != 100 - 7 && live[0] != 0) ++wrong;
        }
    });
    const MasterDark dark = DarkOf([](int32_t, int32_t, int) -> uint8_t { return 7; });
    for (int round = 0; round < 20; ++round) {
        intake.dark.SetUse(round % 2 == 0);
        ASSERT_TRUE(intake.dark.Install(dark).ok);
        ASSERT_TRUE(intake.dark.StartTake(3).ok);
        while (intake.dark.TakeState() == DarkTakeState::kTaking) std::this_thread::yield();
        const DarkResult taken = intake.dark.FinishTake();
        ASSERT_TRUE(taken.ok) << taken.message;
    }
    stop.store(true);
    streaming.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace kelpa::test
