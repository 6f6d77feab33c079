// Dark frames through the intake (FrameSink::SampleCB): a take averages the live pictures it
// saw; a dark in use is taken off every live picture of every format before processing, so hot
// pixels vanish from the processed picture; a dark of another device, size or format, a damaged
// file or a format change never leads to a wrong subtraction.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "support/temp_files.h"
#include "support/test_support.h"
#include "video/convert_test_support.h"
#include "video/frame_sink.h"
#include "video/video_ctrl.h"

namespace kelpa::test {
namespace {

using kelpa::testing::AllFormats;
using kelpa::testing::FormatCase;
using kelpa::testing::ReadFile;
using kelpa::testing::TempDir;
using kelpa::testing::WriteFile;

constexpr const char* kCamera = "Test camera";

// One controller as a camera would drive it, darks kept in a temporary folder.
class DarkIntake {
  public:
    explicit DarkIntake(const std::string& directory, FakeClock& clock)
        : ctrl(clock, LoadControllerSettings()) {
        sink.events.SetReceiver(&events);
        sink.SetPacing(false);
        sink.dark.SetDirectory(directory);
        sink.dark.SetDevice(kCamera);
        // The whole frame is the area, so every pixel reaches the processed picture.
        sink.engine.params.areaW = 0.0f;
    }
    void Connect(uint32_t code, uint32_t bits, int32_t w, int32_t h) {
        ASSERT_TRUE(sink.SetSourceHeader(BitmapInfoHeader{.width = w,
                                                          .height = h,
                                                          .bitCount = static_cast<uint16_t>(bits),
                                                          .compression = code}));
    }
    void Feed(const std::vector<uint8_t>& sample) {
        ASSERT_GE(sample.size(), sink.geometry.srcRequiredSize);
        sink.SampleCB(0.0, sample.data(), sample.size());
    }
    // The live picture's pixels, padding left out.
    std::vector<uint8_t> Live() const { return Pixels(sink.live.Picture()); }
    std::vector<uint8_t> Processed() const { return Pixels(sink.engine.surf.Picture()); }
    static std::vector<uint8_t> Pixels(const FrameBuffer& picture) {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < picture.height; ++y) {
            const uint8_t* row = picture.data + size_t{picture.stride} * y;
            out.insert(out.end(), row, row + 3 * size_t(picture.width));
        }
        return out;
    }

    VideoCtrl ctrl;
    FrameSink& sink = ctrl.sink;
    RecordingReceiver events;
};

class DarkFramesTest : public ::testing::Test {
  protected:
    DarkFramesTest() { InitClipTable(); }

    std::vector<uint8_t> RandomSample(uint32_t seed, int low = 0, int high = 255) {
        std::vector<uint8_t> sample(intake.sink.geometry.srcRequiredSize);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> level(low, high);
        for (auto& b : sample) b = static_cast<uint8_t>(level(rng));
        return sample;
    }
    // A dark for the connected stream with the given value at every byte of the picture.
    MasterDark DarkOf(const std::function<uint8_t(int32_t x, int32_t y, int c)>& value) {
        MasterDark dark;
        dark.Allocate(intake.sink.dark.Identity());
        for (int32_t y = 0; y < dark.identity.height; ++y) {
            for (int32_t x = 0; x < dark.identity.width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    dark.pixels[size_t{dark.stride} * y + 3 * size_t(x) + c] = value(x, y, c);
                }
            }
        }
        dark.frames = 16;
        return dark;
    }
    static std::vector<uint8_t> Packed(const MasterDark& dark) {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < dark.identity.height; ++y) {
            const uint8_t* row = dark.pixels.data() + size_t{dark.stride} * y;
            out.insert(out.end(), row, row + 3 * size_t(dark.identity.width));
        }
        return out;
    }

    MemoryProfile profile;
    const bool autoOff_ = [this] { return profile.WriteString("kelpa", "ProcAuto", "0"); }();
    TempDir dir;
    FakeClock clock;
    DarkIntake intake{dir.Path(), clock};
};

// ---- Taking
// ---------------------------------------------------------------------------------------

using TakeCase = std::tuple<size_t, int32_t>;  // format, frames
class DarkTakeTest : public DarkFramesTest, public ::testing::WithParamInterface<TakeCase> {};

// The stored master is the rounded average of the live pictures the take saw (the 16-bit sum up
// to 257 frames, the 32-bit one beyond); one kDarkTake announces the end, later frames add nothing.
TEST_P(DarkTakeTest, MasterIsTheAverageOfTheLivePictures) {
    const FormatCase& f = AllFormats()[std::get<0>(GetParam())];
    const int32_t frames = std::get<1>(GetParam());
    intake.Connect(f.code, f.bits, 13, 7);
    ASSERT_TRUE(intake.sink.dark.StartTake(frames).ok);
    std::vector<uint64_t> sums;
    for (int32_t n = 0; n < frames; ++n) {
        EXPECT_EQ(intake.sink.dark.TakeState(), DarkTakeState::kTaking);
        intake.Feed(RandomSample(static_cast<uint32_t>(n)));
        const std::vector<uint8_t> live = intake.Live();
        sums.resize(live.size(), 0);
        for (size_t i = 0; i < live.size(); ++i) sums[i] += live[i];
    }
    EXPECT_EQ(intake.sink.dark.TakeState(), DarkTakeState::kTaken);
    EXPECT_EQ(intake.events.Count(StreamEvent::kDarkTake), 1);
    intake.Feed(RandomSample(999));  // after the take: not summed
    EXPECT_EQ(intake.sink.dark.FramesTaken(), frames);

    const DarkResult finished = intake.sink.dark.FinishTake();
    ASSERT_TRUE(finished.ok) << finished.message;
    const std::string path = intake.sink.dark.StoredPath();
    EXPECT_NE(finished.message.find(path), std::string::npos) << finished.message;
    MasterDark stored;
    std::string error;
    ASSERT_TRUE(ReadDarkFile(path, &stored, &error)) << error;
    EXPECT_EQ(stored.identity, (DarkIdentity{kCamera, 13, 7, DarkFormatCode(f.code, f.bits)}));
    EXPECT_EQ(stored.frames, static_cast<uint32_t>(frames));
    std::vector<uint8_t> average(sums.size());
    for (size_t i = 0; i < sums.size(); ++i) {
        average[i] = static_cast<uint8_t>((sums[i] + frames / 2) / frames);
    }
    EXPECT_EQ(Packed(stored), average) << f.name;
    // Use dark is off: the taken dark is kept but not applied.
    EXPECT_FALSE(intake.sink.dark.Applied());
}

INSTANTIATE_TEST_SUITE_P(Formats, DarkTakeTest,
                         ::testing::Combine(::testing::Range<size_t>(0, 6),
                                            ::testing::Values(1, 5, 300)));

// A take with a dark in use averages the raw frames, not the subtracted ones.
TEST_F(DarkFramesTest, TakeWithADarkInUseSumsTheRawFrames) {
    intake.Connect(kFormatRgb, 24, 8, 4);
    ASSERT_TRUE(intake.sink.dark.Install(DarkOf([](int32_t, int32_t, int) { return 9; })).ok);
    intake.sink.dark.SetUse(true);
    const std::vector<uint8_t> sample = RandomSample(4, 20, 200);
    ASSERT_TRUE(intake.sink.dark.StartTake(2).ok);
    intake.Feed(sample);
    intake.Feed(sample);
    ASSERT_TRUE(intake.sink.dark.FinishTake().ok);
    MasterDark stored;
    std::string error;
    ASSERT_TRUE(ReadDarkFile(intake.sink.dark.StoredPath(), &stored, &error)) << error;
    // RGB24 rows keep their order and bytes: the raw frame is the sample itself.
    EXPECT_EQ(Packed(stored), std::vector<uint8_t>(sample.begin(), sample.begin() + 3 * 8 * 4));
    // The new master is the one in use now.
    intake.Feed(sample);
    EXPECT_EQ(intake.Live(), std::vector<uint8_t>(3 * 8 * 4, 0));
}

TEST_F(DarkFramesTest, FormatChangeAbandonsATake) {
    intake.Connect(kFormatYuy2, 16, 16, 8);
    ASSERT_TRUE(intake.sink.dark.StartTake(8).ok);
    intake.Feed(RandomSample(1));
    intake.Connect(kFormatYuy2, 16, 32, 8);
    EXPECT_EQ(intake.events.Count(StreamEvent::kDarkTake), 1);
    EXPECT_EQ(intake.sink.dark.TakeState(), DarkTakeState::kFailed);
    const DarkResult finished = intake.sink.dark.FinishTake();
    EXPECT_FALSE(finished.ok);
    EXPECT_NE(finished.message.find("format changed"), std::string::npos) << finished.message;
    EXPECT_FALSE(std::filesystem::exists(intake.sink.dark.StoredPath()));
    EXPECT_EQ(intake.sink.dark.TakeState(), DarkTakeState::kIdle);
}

TEST_F(DarkFramesTest, TakeNeedsAFormatThatConverts) {
    EXPECT_FALSE(intake.sink.dark.StartTake(4).ok);  // nothing connected
    intake.Connect(FourCC("MJPG"), 24, 16, 8);
    EXPECT_FALSE(intake.sink.dark.StartTake(4).ok);
    EXPECT_FALSE(intake.sink.dark.FinishTake().ok);  // no take ended
}

// ---- Using
// ----------------------------------------------------------------------------------------

class DarkUseFormatTest : public DarkFramesTest, public ::testing::WithParamInterface<size_t> {};

// Every format, at an odd size and with the picture rows turned over by some converters: the
// live picture is the plain conversion minus the dark, saturating at 0, byte for byte.
TEST_P(DarkUseFormatTest, LivePictureIsTheConversionLessTheDark) {
    const FormatCase& f = AllFormats()[GetParam()];
    intake.Connect(f.code, f.bits, 37, 23);
    const std::vector<uint8_t> sample = RandomSample(17);
    intake.Feed(sample);
    const std::vector<uint8_t> raw = intake.Live();
    const MasterDark dark = DarkOf([](int32_t x, int32_t y, int c) {
        return static_cast<uint8_t>((x * 7 + y * 13 + c * 29) % 97);
    });
    ASSERT_TRUE(intake.sink.dark.Install(dark).ok);
    EXPECT_TRUE(intake.sink.dark.SetUse(true).ok);
    EXPECT_TRUE(intake.sink.dark.Applied());
    intake.Feed(sample);
    const std::vector<uint8_t> packed = Packed(dark);
    std::vector<uint8_t> expected(raw.size());
    for (size_t i = 0; i < raw.size(); ++i)
        expected[i] = raw[i] > packed[i] ? raw[i] - packed[i] : 0;
    EXPECT_EQ(intake.Live(), expected) << f.name;

    EXPECT_TRUE(intake.sink.dark.SetUse(false).ok);
    intake.Feed(sample);
    EXPECT_EQ(intake.Live(), raw) << f.name;
}

INSTANTIATE_TEST_SUITE_P(Formats, DarkUseFormatTest, ::testing::Range<size_t>(0, 6));

// A sky with a star, seen through a sensor with a dark level and hot pixels: with the dark
// (taken through the intake from frames of the dark alone) in use, the processed picture is the
// one the clean sky gives; without it the hot pixels stand out.
TEST_F(DarkFramesTest, HotPixelsVanishFromTheProcessedPicture) {
    constexpr int32_t kW = 64;
    constexpr int32_t kH = 48;
    const auto sky = [](int32_t x, int32_t y) {
        const int dx = x - 40;
        const int dy = y - 20;
        return static_cast<uint8_t>(20 + 150 * std::exp(-(dx * dx + dy * dy) / 8.0));
    };
    const std::pair<int32_t, int32_t> hot[] = {{3, 4}, {10, 30}, {55, 44}, {21, 7}, {60, 2}};
    const auto darkLevel = [&](int32_t x, int32_t y) {
        for (const auto& [hx, hy] : hot) {
            if (hx == x && hy == y) return 200;
        }
        return 6 + (x + y) % 3;
    };
    // RGB24 frames, bottom row first as the header's positive height says.
    const auto frame = [&](bool withSky, bool withDark) {
        std::vector<uint8_t> sample(Stride24(kW) * kH, 0);
        for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
                const int v = (withSky ? sky(x, y) : 0) + (withDark ? darkLevel(x, y) : 0);
                std::fill_n(&sample[Stride24(kW) * y + 3 * size_t(x)], 3, static_cast<uint8_t>(v));
            }
        }
        return sample;
    };
    intake.Connect(kFormatRgb, 24, kW, kH);
    ASSERT_TRUE(intake.sink.dark.StartTake(4).ok);
    for (int n = 0; n < 4; ++n) intake.Feed(frame(false, true));
    ASSERT_TRUE(intake.sink.dark.FinishTake().ok);

    DarkIntake clean(dir.Path(), clock);
    clean.Connect(kFormatRgb, 24, kW, kH);
    clean.Feed(frame(true, false));

    intake.Feed(frame(true, true));
    const std::vector<uint8_t> withoutDark = intake.Processed();
    EXPECT_TRUE(intake.sink.dark.SetUse(true).ok);
    intake.Feed(frame(true, true));
    const std::vector<uint8_t> withDark = intake.Processed();
    ASSERT_EQ(withDark.size(), clean.Processed().size());
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
    const std::vector<uint8_t> sample = RandomSample(3);
    intake.Feed(sample);
    const std::vector<uint8_t> raw = intake.Live();
    intake.sink.dark.SetUse(true);
    const DarkIdentity stream = intake.sink.dark.Identity();
    const DarkIdentity foreign[] = {
        {"Other camera", 16, 8, kFormatYuy2},
        {kCamera, 16, 10, kFormatYuy2},
        {kCamera, 18, 8, kFormatYuy2},
        {kCamera, 16, 8, kFormatUyvy},
    };
    for (const DarkIdentity& identity : foreign) {
        MasterDark dark;
        dark.Allocate(identity);
        std::fill(dark.pixels.begin(), dark.pixels.end(), 50);
        dark.frames = 4;
        const DarkResult result = intake.sink.dark.Install(dark);
        EXPECT_FALSE(result.ok) << DescribeDark(identity);
        EXPECT_NE(result.message.find(DescribeDark(identity)), std::string::npos) << result.message;
        EXPECT_NE(result.message.find(DescribeDark(stream)), std::string::npos) << result.message;
        EXPECT_FALSE(intake.sink.dark.Applied());
        intake.Feed(sample);
        EXPECT_EQ(intake.Live(), raw) << DescribeDark(identity);
    }
}

// The stored file of the stream that holds another stream's dark, or is damaged, is refused
// when Use dark looks for it; without a stored dark the reason is that there is none.
TEST_F(DarkFramesTest, StoredDarksAreCheckedBeforeUse) {
    intake.Connect(kFormatI420, 12, 20, 10);
    const std::string path = intake.sink.dark.StoredPath();
    DarkResult result = intake.sink.dark.SetUse(true);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.missing);
    EXPECT_NE(result.message.find("No dark frame stored"), std::string::npos) << result.message;

    MasterDark other;
    other.Allocate(DarkIdentity{kCamera, 20, 10, kFormatYv12});
    other.frames = 3;
    std::string error;
    ASSERT_TRUE(WriteDarkFile(path, other, &error)) << error;
    intake.sink.dark.SetUse(false);
    result = intake.sink.dark.SetUse(true);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.missing);
    EXPECT_NE(result.message.find("refused"), std::string::npos) << result.message;
    EXPECT_FALSE(intake.sink.dark.Applied());

    MasterDark right = other;
    right.identity.format = kFormatI420;
    ASSERT_TRUE(WriteDarkFile(path, right, &error)) << error;
    std::string bytes = ReadFile(path);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x10);
    WriteFile(path, bytes);
    intake.sink.dark.SetUse(false);
    result = intake.sink.dark.SetUse(true);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("corrupt"), std::string::npos) << result.message;
    EXPECT_FALSE(intake.sink.dark.Applied());

    ASSERT_TRUE(WriteDarkFile(path, right, &error)) << error;
    EXPECT_TRUE(intake.sink.dark.Refresh().ok);
    EXPECT_TRUE(intake.sink.dark.Applied());
    EXPECT_EQ(intake.sink.dark.StatusText(), "Dark frame: in use (3 frames)");
}

// A dark in use stops at a change of size or format, says why, and comes back with its format.
TEST_F(DarkFramesTest, FormatChangeStopsTheDark) {
    intake.Connect(kFormatRgb, 32, 12, 6);
    ASSERT_TRUE(intake.sink.dark.Install(DarkOf([](int32_t, int32_t, int) { return 30; })).ok);
    intake.sink.dark.SetUse(true);
    ASSERT_TRUE(intake.sink.dark.Applied());

    intake.Connect(kFormatRgb, 24, 12, 6);
    EXPECT_FALSE(intake.sink.dark.Applied());
    EXPECT_NE(intake.sink.dark.StatusText().find("not applied"), std::string::npos)
        << intake.sink.dark.StatusText();
    const std::vector<uint8_t> sample = RandomSample(8, 0, 20);
    intake.Feed(sample);
    EXPECT_EQ(intake.Live(), std::vector<uint8_t>(sample.begin(), sample.begin() + 3 * 12 * 6));

    intake.Connect(kFormatRgb, 32, 12, 6);
    EXPECT_TRUE(intake.sink.dark.Applied());
}

// A new controller with DarkUse=1 finds the dark taken by an earlier one once its stream is
// known (as the application refreshes it after opening a source).
TEST_F(DarkFramesTest, DarkUseSettingLoadsTheStoredDark) {
    intake.Connect(kFormatUyvy, 16, 10, 4);
    ASSERT_TRUE(intake.sink.dark.StartTake(1).ok);
    intake.Feed(RandomSample(2, 5, 9));
    ASSERT_TRUE(intake.sink.dark.FinishTake().ok);

    profile.Set("DarkUse", "1");
    profile.Set("DarkFrames", "5000");
    DarkIntake next(dir.Path(), clock);
    EXPECT_TRUE(next.sink.dark.Use());
    EXPECT_EQ(next.sink.dark.Settings().frames, DarkFrames::kMaxFrames);
    next.Connect(kFormatUyvy, 16, 10, 4);
    EXPECT_FALSE(next.sink.dark.Applied());
    EXPECT_TRUE(next.sink.dark.Refresh().ok);
    EXPECT_TRUE(next.sink.dark.Applied());
}

}  // namespace
}  // namespace kelpa::test

namespace kelpa::test {
namespace {

// The GUI thread switches Use dark, installs darks and runs takes while the streaming thread
// converts frames: every frame ends either untouched or with one whole dark taken off, and a
// take that starts while frames flow completes.
TEST(DarkThreadsTest, CommandsWhileFramesFlow) {
    InitClipTable();
    MemoryProfile profile;
    TempDir dir;
    FakeClock clock;
    DarkIntake intake(dir.Path(), clock);
    intake.Connect(kFormatRgb, 24, 32, 16);
    const std::vector<uint8_t> sample(intake.sink.geometry.srcRequiredSize, 100);
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread streaming([&] {
        while (!stop.load()) {
            intake.sink.SampleCB(0.0, sample.data(), sample.size());
            std::lock_guard lock(intake.sink.live.PictureLock());
            const FrameBuffer& live = intake.sink.live.Picture();
            const uint8_t first = live.data[0];
            for (int32_t y = 0; y < live.height; ++y) {
                for (int32_t x = 0; x < 3 * live.width; ++x) {
                    if (live.data[size_t{live.stride} * y + x] != first) ++wrong;
                }
            }
            // Untouched, less the installed dark, or less a taken one (the frames themselves).
            if (first != 100 && first != 100 - 7 && first != 0) ++wrong;
        }
    });
    MasterDark dark;
    dark.Allocate(intake.sink.dark.Identity());
    for (int32_t y = 0; y < 16; ++y) std::fill_n(&dark.pixels[dark.stride * y], 3 * 32, 7);
    dark.frames = 1;
    for (int round = 0; round < 20; ++round) {
        intake.sink.dark.SetUse(round % 2 == 0);
        ASSERT_TRUE(intake.sink.dark.Install(dark).ok);
        ASSERT_TRUE(intake.sink.dark.StartTake(3).ok);
        while (intake.sink.dark.TakeState() == DarkTakeState::kTaking) std::this_thread::yield();
        const DarkResult taken = intake.sink.dark.FinishTake();
        ASSERT_TRUE(taken.ok) << taken.message;
    }
    stop.store(true);
    streaming.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace kelpa::test
