// What the windows hear from the stream: the event bridge (notifications from another thread
// arriving as signals on the GUI thread, coalesced per kind, with the newest data) and the
// "Info: Statistic" window it feeds (its values shown only for the current video, hidden by its
// close box and shown again where it was; with the guide on, the star's metrics and the HFD plot).
#include <QSignalSpy>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "gui/event_bridge.h"
#include "gui/statistic_window.h"
#include "gui/windows_fixture.h"
#include "processing/proc_engine.h"
#include "video/new_counter.h"

namespace kelpa::test {
namespace {

// Every pixel of the image has the same colour.
bool Plain(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0)) return false;
    return true;
}

// Pixels of `rect` in the plot's curve colour (antialiased edges aside).
int CurvePixels(const QImage& image, const WindowRect& rect) {
    const QColor curve = QColor::fromRgb(kHfdCurveColour);
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - curve.red()) + std::abs(c.green() - curve.green()) +
                    std::abs(c.blue() - curve.blue()) <
                40)
                ++count;
        }
    return count;
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

// The snapshot of the current video only; with the guide on, the star's metrics and the HFD
// plot below the values.
TEST_F(WindowsTest, StatisticWindowShowsTheCurrentVideoAndStarMetricsWithTheGuideOn) {
    Connect(false, 64, 48);
    StatisticWindow window(QRect(300, 200, 500, 60));
    EXPECT_EQ(window.windowTitle().toStdString(), "Info: Statistic");
    const StatisticLayout& l = window.Layout();
    EXPECT_EQ(window.size(), QSize(l.clientWidth, l.clientHeight));
    ShowAt(window, l.clientWidth, l.clientHeight);
    EXPECT_TRUE(Plain(Grab(window)));  // no video: the background only

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
    EXPECT_FALSE(Plain(Grab(window)));
    s.histMin = 4;

    // The guide on, no star measured yet: dashes, and an empty plot.
    s.guideEnable = true;
    window.OnStatistics(&ctrl, s);
    EXPECT_TRUE(window.GuideLinesShown());
    EXPECT_EQ(window.size(), QSize(l.guideClientWidth, l.guideClientHeight));
    EXPECT_EQ(window.ValueText(), plainValues);  // the lines above stay as they were
    EXPECT_STREQ(window.MetricText(), "-\n-\n-\n-");
    QImage image = Grab(window);
    ASSERT_EQ(image.height(), l.guideClientHeight);
    EXPECT_EQ(CurvePixels(image, l.plot), 0);

    for (int i = 0; i <= 240; ++i) window.OnStatistics(&ctrl, FocusSnapshot(i));
    EXPECT_STREQ(window.MetricText(), "5.00 px\n4.50 px\n180\n40.0");
    // One slot a half second, each the mean of two measurements.
    ASSERT_EQ(window.Hfd().Size(), 121u);
    image = Grab(window);
    EXPECT_GT(CurvePixels(image, l.plot), l.plot.Width() / 4);
    EXPECT_EQ(CurvePixels(image, l.plotScale), 0);
    // The best focus lies at the bottom of the plot, the ends of the run higher up.
    int lowestCurve = -1;
    for (int y = l.plot.top; y < l.plot.bottom; ++y)
        if (CurvePixels(image, {l.plot.left, y, l.plot.right, y + 1}) > 0) lowestCurve = y;
    EXPECT_GT(lowestCurve, l.plot.bottom - l.plot.Height() / 4);

    // A star lost: dashes again; the guide off: the window as it was.
    s.time = 61.0;
    s.starMetricsValid = false;
    window.OnStatistics(&ctrl, s);
    EXPECT_STREQ(window.MetricText(), "-\n-\n-\n-");
    EXPECT_FALSE(window.Hfd().At(window.Hfd().Size() - 1).valid);
    s.guideEnable = false;
    window.OnStatistics(&ctrl, s);
    EXPECT_FALSE(window.GuideLinesShown());
    EXPECT_EQ(window.size(), QSize(l.clientWidth, l.clientHeight));
    // Another video starts a history of its own.
    window.SetController(&other);
    EXPECT_EQ(window.Hfd().Size(), 0u);
    // The close box hides the window (the program goes on); the toggle shows it where it was.
    QSignalSpy shown(&window, &StatisticWindow::shownChanged);
    window.move(20, 30);
    window.close();
    EXPECT_FALSE(window.isVisible() || window.Shown());
    window.Toggle();
    EXPECT_EQ(std::pair(window.isVisible(), window.pos()), std::pair(true, QPoint(20, 30)));
    ASSERT_EQ(shown.count(), 2);
    EXPECT_FALSE(shown.at(0).at(0).toBool());
}

// Once the window has its size, taking snapshots allocates nothing.
TEST_F(WindowsTest, StatisticSnapshotsAllocateNothing) {
    Connect(false, 64, 48);
    StatisticWindow window(QRect(300, 200, 500, 60));
    window.SetController(&ctrl);
    window.OnStatistics(&ctrl, FocusSnapshot(0));
    kelpa::testing::StartCountingNew();
    for (int i = 1; i < 2000; ++i) window.OnStatistics(&ctrl, FocusSnapshot(i));
    EXPECT_EQ(kelpa::testing::StopCountingNew(), 0);
    EXPECT_EQ(window.Hfd().Size(), kHfdSlotCount);
}

TEST_F(WindowsTest, TheBridgeGivesOneSignalPerKindWithTheNewestData) {
    EventBridge bridge;
    bridge.Watch(ctrl);
    QSignalSpy pictures(&bridge, &EventBridge::processedPicture);
    QSignalSpy statistics(&bridge, &EventBridge::statistics);
    QSignalSpy amp(&bridge, &EventBridge::ampChanged);
    QSignalSpy done(&bridge, &EventBridge::captureDone);
    QSignalSpy progress(&bridge, &EventBridge::captureProgress);
    QSignalSpy live(&bridge, &EventBridge::livePicture);
    StreamEvents& events = ctrl.Events();
    // The streaming thread runs ahead of a GUI thread that is busy elsewhere.
    std::thread stream([&] {
        for (uint64_t frame = 1; frame <= 500; ++frame) {
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
    other.Events().SetReceiver(&bridge);
    other.Events().Post(StreamEvent::kLivePicture);
    QApplication::processEvents();
    other.Events().SetReceiver(nullptr);
    ASSERT_EQ(pictures.count() + statistics.count() + amp.count() + done.count(), 4);
    EXPECT_EQ(pictures.at(0).at(0).value<VideoCtrl*>(), &ctrl);
    EXPECT_EQ(statistics.at(0).at(1).value<StatisticsSnapshot>().frame, 500u);
    EXPECT_EQ(amp.at(0).at(1).toInt(), 500);
    EXPECT_STREQ(done.at(0).at(1).value<CaptureReport>().failure, "disk full");
    // The count as it stands when the progress is taken: the run's end has set it.
    ASSERT_EQ(progress.count(), 1);
    EXPECT_EQ(progress.at(0).at(1).toUInt(), 7u);
    EXPECT_EQ(live.count(), 0);
    // Taken and acknowledged: the next post is heard again, once.
    events.Post(StreamEvent::kProcessedPicture);
    events.Post(StreamEvent::kProcessedPicture);
    QApplication::processEvents();
    EXPECT_EQ(pictures.count(), 2);
    EXPECT_EQ(statistics.count(), 1);
}

TEST_F(WindowsTest, ABridgeThatGoesStopsReceiving) {
    {
        EventBridge bridge;
        ASSERT_TRUE(bridge.Watch(ctrl));
        EXPECT_EQ(ctrl.Events().Receiver(), &bridge);
    }
    EXPECT_EQ(ctrl.Events().Receiver(), nullptr);
}

}  // namespace
}  // namespace kelpa::test
