// The event bridge: notifications from another thread arrive as signals on the GUI thread,
// coalesced per kind, with the newest data.
#include <QSignalSpy>
#include <thread>

#include "gui/event_bridge.h"
#include "gui/windows_fixture.h"

namespace kelpa::test {
namespace {

class BridgeTest : public WindowsTest {
  protected:
    BridgeTest() { bridge.Watch(ctrl); }
    EventBridge bridge;
};

TEST_F(BridgeTest, AStreamOfPostsGivesOneSignalPerKindWithTheNewestData) {
    QSignalSpy pictures(&bridge, &EventBridge::processedPicture);
    QSignalSpy statistics(&bridge, &EventBridge::statistics);
    QSignalSpy amp(&bridge, &EventBridge::ampChanged);
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
    });
    stream.join();
    QApplication::processEvents();
    ASSERT_EQ(pictures.count(), 1);
    EXPECT_EQ(pictures.at(0).at(0).value<VideoCtrl*>(), &ctrl);
    ASSERT_EQ(statistics.count(), 1);
    EXPECT_EQ(statistics.at(0).at(1).value<StatisticsSnapshot>().frame, 500u);
    ASSERT_EQ(amp.count(), 1);
    EXPECT_EQ(amp.at(0).at(1).toInt(), 500);
    // Taken and acknowledged: the next post is heard again, once.
    events.Post(StreamEvent::kProcessedPicture);
    events.Post(StreamEvent::kProcessedPicture);
    QApplication::processEvents();
    EXPECT_EQ(pictures.count(), 2);
    EXPECT_EQ(statistics.count(), 1);
}

TEST_F(BridgeTest, CaptureReportsAndOtherControllers) {
    QSignalSpy done(&bridge, &EventBridge::captureDone);
    QSignalSpy progress(&bridge, &EventBridge::captureProgress);
    QSignalSpy live(&bridge, &EventBridge::livePicture);
    CaptureReport report;
    report.capturedCount = 7;
    report.failed = true;
    std::strcpy(report.failure, "disk full");
    ctrl.Events().PostCaptureProgress(6);
    ctrl.Events().PostCaptureDone(report);
    // A controller the bridge does not watch is not heard.
    VideoCtrl other{clock};
    other.Events().SetReceiver(&bridge);
    other.Events().Post(StreamEvent::kLivePicture);
    QApplication::processEvents();
    ASSERT_EQ(done.count(), 1);
    const auto got = done.at(0).at(1).value<CaptureReport>();
    EXPECT_EQ(got.capturedCount, 7u);
    EXPECT_STREQ(got.failure, "disk full");
    // The count as it stands when the progress is taken: the run's end has set it.
    ASSERT_EQ(progress.count(), 1);
    EXPECT_EQ(progress.at(0).at(1).toUInt(), 7u);
    EXPECT_EQ(live.count(), 0);
    other.Events().SetReceiver(nullptr);
}

TEST(BridgeLifeTest, ABridgeThatGoesStopsReceiving) {
    MemoryProfile profile;
    FakeClock clock;
    VideoCtrl ctrl{clock};
    {
        EventBridge bridge;
        ASSERT_TRUE(bridge.Watch(ctrl));
        EXPECT_EQ(ctrl.Events().Receiver(), &bridge);
    }
    EXPECT_EQ(ctrl.Events().Receiver(), nullptr);
    ctrl.Events().Post(StreamEvent::kLivePicture);
    QApplication::processEvents();
}

}  // namespace
}  // namespace kelpa::test
