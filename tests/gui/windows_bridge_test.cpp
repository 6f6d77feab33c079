// The event bridge: notifications from another thread arrive as signals on the GUI thread,
// coalesced per kind, with the newest data; a controller it does not watch is not heard, and a
// bridge that goes stops receiving.
#include <QSignalSpy>
#include <thread>

#include "gui/event_bridge.h"
#include "gui/windows_fixture.h"

namespace kelpa::test {
namespace {

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
