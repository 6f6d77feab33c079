// The notifications from the streaming thread: one per kind until the receiver acknowledges it,
// the newest value wins, values are kept without a receiver.
#include <gtest/gtest.h>

#include <map>

#include "processing/stream_events.h"

namespace kelpa {
namespace {

// A receiver that takes its time: it only counts, it acknowledges nothing by itself.
struct SlowReceiver : StreamEventReceiver {
    void Notify(StreamEvents&, StreamEvent kind) override { ++count[kind]; }
    std::map<StreamEvent, int> count;
};

StatisticsSnapshot Snapshot(uint64_t frame) {
    StatisticsSnapshot s;
    s.frame = frame;
    s.mean = 10.0f * static_cast<float>(frame);
    return s;
}

TEST(StreamEventsTest, OneNotificationPerKindUntilAcknowledgedAndTheNewestValueWins) {
    StreamEvents events;
    SlowReceiver receiver;
    events.SetReceiver(&receiver);
    for (int i = 0; i < 3; ++i) {
        events.Post(StreamEvent::kLivePicture);
        events.PostStatistics(Snapshot(i + 1));
        events.PostAutoChange(StreamEvent::kAmpChanged, 130 + i);
        events.PostCaptureProgress(4 * (i + 1));
    }
    events.Post(StreamEvent::kProcessedPicture);
    for (StreamEvent kind :
         {StreamEvent::kLivePicture, StreamEvent::kStatistics, StreamEvent::kAmpChanged,
          StreamEvent::kCaptureProgress, StreamEvent::kProcessedPicture}) {
        EXPECT_EQ(receiver.count[kind], 1) << static_cast<int>(kind);
        EXPECT_TRUE(events.Pending(kind));
    }
    EXPECT_EQ(events.AutoValue(StreamEvent::kAmpChanged), 132);
    EXPECT_EQ(events.AutoValue(StreamEvent::kDelayChanged), 0);
    EXPECT_EQ(events.CapturedCount(), 12u);

    // Taking the statistics acknowledges them: the newest is there once, the next post notifies.
    StatisticsSnapshot s;
    ASSERT_TRUE(events.TakeStatistics(&s));
    EXPECT_EQ(s.frame, 3u);
    EXPECT_EQ(s.mean, 30.0f);
    EXPECT_FALSE(events.TakeStatistics(&s));
    EXPECT_EQ(s.frame, 3u);
    events.PostStatistics(Snapshot(4));
    EXPECT_EQ(receiver.count[StreamEvent::kStatistics], 2);
    ASSERT_TRUE(events.TakeStatistics(&s));
    EXPECT_EQ(s.frame, 4u);

    // A picture kind notifies again once acknowledged; other kinds stay as they were.
    events.Acknowledge(StreamEvent::kLivePicture);
    events.Post(StreamEvent::kLivePicture);
    events.Post(StreamEvent::kProcessedPicture);
    EXPECT_EQ(receiver.count[StreamEvent::kLivePicture], 2);
    EXPECT_EQ(receiver.count[StreamEvent::kProcessedPicture], 1);
    // Only the three automatic-control kinds carry a value.
    events.PostAutoChange(StreamEvent::kGraphEvent, 5);
    EXPECT_EQ(receiver.count[StreamEvent::kGraphEvent], 0);
}

TEST(StreamEventsTest, ValuesAreKeptWithoutAReceiverAndANewReceiverHearsTheNextPost) {
    StreamEvents events;
    CaptureReport failed;
    failed.capturedCount = 7;
    failed.failed = true;
    std::snprintf(failed.failure, sizeof failed.failure, "disk full");
    events.PostCaptureDone(failed);
    events.PostStatistics(Snapshot(9));
    EXPECT_FALSE(events.Pending(StreamEvent::kCaptureDone));

    SlowReceiver first;
    events.SetReceiver(&first);
    events.Post(StreamEvent::kGraphEvent);
    SlowReceiver second;
    events.SetReceiver(&second);  // the first never acknowledged: the flag starts clear again
    events.Post(StreamEvent::kGraphEvent);
    EXPECT_EQ(first.count[StreamEvent::kGraphEvent], 1);
    EXPECT_EQ(second.count[StreamEvent::kGraphEvent], 1);

    CaptureReport report;
    ASSERT_TRUE(events.TakeCaptureDone(&report));
    EXPECT_EQ(report.capturedCount, 7u);
    EXPECT_TRUE(report.failed);
    EXPECT_STREQ(report.failure, "disk full");
    EXPECT_EQ(events.CapturedCount(), 7u);
    EXPECT_FALSE(events.TakeCaptureDone(&report));
    StatisticsSnapshot s;
    ASSERT_TRUE(events.TakeStatistics(&s));
    EXPECT_EQ(s.frame, 9u);
}

}  // namespace
}  // namespace kelpa
