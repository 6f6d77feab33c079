// What the video windows show, read back from their grabbed images: the picture the right way
// up, the overlay in its colours at its places, the virtual-guide shift; and what they hear from
// the stream: the event bridge (notifications from another thread arriving as signals on the GUI
// thread, coalesced per kind, with the newest data) and the "Info: Statistic" window it feeds (its
// values shown only for the current video, hidden by its close box and shown again where it was;
// with the guide on, the star's metrics).
#include <QSignalSpy>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <tuple>

#include "gui/event_bridge.h"
#include "gui/live_window.h"
#include "gui/processing_window.h"
#include "gui/statistic_window.h"
#include "gui/windows_fixture.h"
#include "processing/proc_engine.h"

namespace kelpa::test {
namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kAreaPen = qRgb(255, 180, 0);
const QRgb kGridPen = qRgb(180, 180, 180);
const QRgb kMarkPen = qRgb(255, 0, 0);
const QRgb kPicture = qRgb(40, 40, 40);

bool Bright(QRgb c) {
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}

// Every pixel of a horizontal or vertical run, ends included, has `colour`.
void ExpectRun(const QImage& image, int x0, int y0, int x1, int y1, QRgb colour) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            ASSERT_EQ(image.pixel(x, y), colour) << "at (" << x << ", " << y << ")";
}

// Both row orders (24-bit rows top first, YUY2 stored bottom first), each flipped or not.
class UprightTest : public WindowsTest,
                    public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(UprightTest, BothWindowsShowTheSceneTheRightWayUp) {
    const auto [yuy2, flip] = GetParam();
    ctrl.sink.engine.params.flipV.store(flip ? 1 : 0);
    Connect(yuy2, 64, 48);
    // Black but for a white 16 x 12 block in the scene's top-left corner, fed as one sample.
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            if (yuy2) {
                uint8_t* pair = sample.data() + size_t(y) * 64 * 2 + size_t(x / 2) * 4;
                pair[(x % 2) * 2] = 235;
                pair[1] = pair[3] = 128;
            } else {
                std::memset(sample.data() + size_t(y) * Stride24(64) + 3 * size_t(x), 255, 3);
            }
        }
    ctrl.sink.SampleCB(0.0, sample.data(), sample.size());
    LiveWindow live;
    ProcessingWindow processing;
    for (VideoWindow* window :
         {static_cast<VideoWindow*>(&live), static_cast<VideoWindow*>(&processing)}) {
        window->SetController(&ctrl);
        ShowAt(*window, 64, 48);
        const QImage shown = Grab(*window);
        EXPECT_EQ(std::tuple(Bright(shown.pixel(4, 4)), Bright(shown.pixel(4, 44)),
                             shown.pixel(40, 4), shown.pixel(40, 44)),
                  std::tuple(!flip, flip, kBlack, kBlack))
            << window->windowTitle().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(RowOrders, UprightTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()));

// A 640 x 480 picture in a 320 x 300 client: scale 0.5, picture at (0, 30), bands above and
// below. The area (64, 48) - (300, 144) of the picture as shown lands at (32, 54) - (150, 102).
class OverlayTest : public WindowsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OverlayTest, AreaGridAndGuideMarkInTheirColours) {
    const bool bottomUp = GetParam();
    Connect(bottomUp, 640, 480);
    PaintProcessed([](int32_t, int32_t, uint8_t* px) { std::memset(px, 40, 3); });
    ProcEngine& e = ctrl.sink.engine;
    ASSERT_TRUE(e.SetAreaRect(64, 48, 300, 144));
    ProcessingWindow window;
    window.SetController(&ctrl);
    window.SetShowArea(true);
    window.SetShowGrid(true);
    ShowAt(window, 320, 300);
    // A star at (100, 200) as stored: shown row 200, or 279 when rows are stored bottom first.
    e.surf.SetGuidePosition(100.0f, 200.0f);
    const int markY = bottomUp ? 169 : 130;
    QImage shown = Grab(window);
    ExpectRun(shown, 32, 54, 150, 54, kAreaPen);
    ExpectRun(shown, 150, 54, 150, 102, kAreaPen);
    EXPECT_EQ(shown.pixel(33, 55), kPicture);
    // The grid: its rectangle 5 inside the picture, lines through the guide reference (the
    // picture's centre at (160, 150)).
    ExpectRun(shown, 5, 35, 315, 35, kGridPen);
    ExpectRun(shown, 160, 200, 160, 265, kGridPen);
    ExpectRun(shown, 200, 150, 315, 150, kGridPen);
    // The mark: 7 pixels each way around the star.
    ExpectRun(shown, 47, markY, 53, markY, kMarkPen);
    ExpectRun(shown, 50, markY - 3, 50, markY + 3, kMarkPen);
    EXPECT_EQ(std::tuple(shown.pixel(54, markY), shown.pixel(100, 10), shown.pixel(100, 290)),
              std::tuple(kPicture, kBlack, kBlack));

    // Without the show-area setting neither the area nor the mark is drawn.
    window.SetShowArea(false);
    shown = Grab(window);
    EXPECT_EQ(std::pair(shown.pixel(32, 54), shown.pixel(47, markY)),
              std::pair(kPicture, kPicture));
}

INSTANTIATE_TEST_SUITE_P(RowOrders, OverlayTest, ::testing::Bool());

// The virtual guide keeps the star on the reference point: the picture moves under it and the
// strips it uncovers turn grey.
TEST_F(WindowsTest, VirtualGuideShiftsThePictureWithTheStar) {
    Connect(false, 64, 48);
    PaintProcessed([](int32_t x, int32_t y, uint8_t* px) {
        px[0] = uint8_t(4 * x);
        px[1] = uint8_t(5 * y);
        px[2] = 60;
    });
    ProcEngine& e = ctrl.sink.engine;
    e.guideRefX[0] = 32.0f;
    e.guideRefY[0] = 24.0f;
    ProcessingWindow window;
    window.SetController(&ctrl);
    window.SetVirtualGuide(true);
    ShowAt(window, 64, 48);
    // Star at (22, 14), reference (32, 24): the picture moves 10 right and 9 down; then 7 and 7.
    for (const auto& [starX, starY, dx, dy] :
         {std::tuple(22.0f, 14.0f, 10, 9), std::tuple(25.0f, 16.0f, 7, 7)}) {
        e.surf.SetGuidePosition(starX, starY);
        const QImage shown = Grab(window);
        for (const auto& [x, y] : {std::pair(0, 0), std::pair(7, 3), std::pair(20, 30)}) {
            EXPECT_EQ(shown.pixel(x + dx, y + dy), qRgb(60, 5 * y, 4 * x)) << dx << "," << dy;
        }
        EXPECT_EQ(std::pair(shown.pixel(dx - 1, 40), shown.pixel(40, dy - 1)),
                  std::pair(qRgb(128, 128, 128), qRgb(128, 128, 128)));
    }
}

// A focus run: the HFD falls to its best and rises again, four measurements a second.
StatisticsSnapshot FocusSnapshot(int i) {
    StatisticsSnapshot s;
    s.guideEnable = true;
    s.starMetricsValid = true;
    s.time = i * 0.25;
    s.hfd = 2.0f + std::abs(i - 120) / 40.0f;
    s.fwhm = s.hfd * 0.9f;
    s.peak = 180.0f;
    s.snr = 40.0f;
    return s;
}

// The snapshot of the current video only; with the guide on, the star's metrics and their
// history.
TEST_F(WindowsTest, StatisticWindowShowsTheCurrentVideoAndStarMetricsWithTheGuideOn) {
    Connect(false, 64, 48);
    StatisticWindow window(QRect(300, 200, 500, 60));
    ShowAt(window, window.Layout().clientWidth, window.Layout().clientHeight);

    window.SetController(&ctrl);
    StatisticsSnapshot s;
    s.pixelValue = 0x102030;
    s.histMin = 4, s.histMax = 99;
    s.mean = 7.25f, s.bkgr = 5.0f, s.rms = 1.04f;
    s.hfd = 3.0f;  // not shown: the guide is off
    window.OnStatistics(&ctrl, s);
    const std::string plainValues = "(16, 32, 48)\n4\n99\n7.2\n5.0\n1.0";
    EXPECT_EQ(window.ValueText(), plainValues);
    EXPECT_FALSE(window.GuideLinesShown());
    VideoCtrl other{clock};
    s.histMin = 77;
    window.OnStatistics(&other, s);  // not the current video
    EXPECT_EQ(window.ValueText(), plainValues);
    s.histMin = 4;

    // The guide on: the star's lines.
    for (int i = 0; i <= 240; ++i) window.OnStatistics(&ctrl, FocusSnapshot(i));
    EXPECT_TRUE(window.GuideLinesShown());
    EXPECT_STREQ(window.MetricText(), "5.00 px\n4.50 px\n180\n40.0");

    // A star lost: dashes and a gap; the guide off: the window as it was.
    s.guideEnable = true;
    s.time = 61.0;
    s.starMetricsValid = false;
    window.OnStatistics(&ctrl, s);
    EXPECT_STREQ(window.MetricText(), "-\n-\n-\n-");
    EXPECT_FALSE(window.Hfd().At(window.Hfd().Size() - 1).valid);
    s.guideEnable = false;
    window.OnStatistics(&ctrl, s);
    EXPECT_FALSE(window.GuideLinesShown());
    // Another video starts a history of its own.
    window.SetController(&other);
    EXPECT_EQ(window.Hfd().Size(), 0u);
    // The close box hides the window (the program goes on); the toggle shows it where it was.
    QSignalSpy shown(&window, &StatisticWindow::shownChanged);  // the menu's check mark
    window.move(20, 30);
    window.close();
    EXPECT_FALSE(window.isVisible() || window.Shown());
    window.Toggle();
    EXPECT_EQ(std::pair(window.isVisible(), window.pos()), std::pair(true, QPoint(20, 30)));
    EXPECT_EQ(shown.count(), 2);
}

// Posts from the streaming thread arrive as signals on the GUI thread, one per kind until it is
// taken, with the newest data and the controller that posted them; a controller the bridge does
// not watch is not heard, and a bridge that goes stops receiving.
TEST_F(WindowsTest, TheBridgeGivesOneSignalPerKindWithTheNewestData) {
    auto bridge = std::make_unique<EventBridge>();
    ASSERT_TRUE(bridge->Watch(ctrl));
    QSignalSpy pictures(bridge.get(), &EventBridge::processedPicture);
    QSignalSpy statistics(bridge.get(), &EventBridge::statistics);
    QSignalSpy amp(bridge.get(), &EventBridge::ampChanged);
    QSignalSpy done(bridge.get(), &EventBridge::captureDone);
    QSignalSpy progress(bridge.get(), &EventBridge::captureProgress);
    QSignalSpy live(bridge.get(), &EventBridge::livePicture);
    StreamEvents& events = ctrl.Events();
    std::thread stream([&] {
        for (uint64_t frame = 1; frame <= 3; ++frame) {
            events.Post(StreamEvent::kProcessedPicture);
            StatisticsSnapshot s;
            s.frame = frame;
            events.PostStatistics(s);
            events.PostAutoChange(StreamEvent::kAmpChanged, static_cast<int32_t>(frame));
        }
        events.PostCaptureProgress(6);
        CaptureReport report;
        report.capturedCount = 7;
        std::strcpy(report.failure, "disk full");
        events.PostCaptureDone(report);
    });
    stream.join();
    VideoCtrl other{clock};
    other.Events().SetReceiver(bridge.get());
    other.Events().Post(StreamEvent::kLivePicture);
    QApplication::processEvents();
    other.Events().SetReceiver(nullptr);
    ASSERT_EQ(std::tuple(pictures.count(), statistics.count(), amp.count(), done.count(),
                         progress.count()),
              std::tuple(1, 1, 1, 1, 1));
    EXPECT_EQ(amp.at(0).at(1).toInt(), 3);
    EXPECT_EQ(pictures.at(0).at(0).value<VideoCtrl*>(), &ctrl);
    EXPECT_EQ(statistics.at(0).at(1).value<StatisticsSnapshot>().frame, 3u);
    EXPECT_STREQ(done.at(0).at(1).value<CaptureReport>().failure, "disk full");
    // The count as it stands when the progress is taken: the run's end has set it.
    EXPECT_EQ(progress.at(0).at(1).toUInt(), 7u);
    EXPECT_EQ(live.count(), 0);
    // Taken and acknowledged: the next post is heard again.
    events.Post(StreamEvent::kProcessedPicture);
    QApplication::processEvents();
    EXPECT_EQ(pictures.count(), 2);
    bridge.reset();
    EXPECT_EQ(ctrl.Events().Receiver(), nullptr);
}

}  // namespace
}  // namespace kelpa::test
