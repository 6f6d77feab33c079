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
    events.PostStatistics(Snapshot(1));  // kept without a receiver, nobody told
    SlowReceiver first;
    events.SetReceiver(&first);
    events.Post(StreamEvent::kGraphEvent);
    SlowReceiver receiver;
    events.SetReceiver(&receiver);  // the first never acknowledged: the flags start clear again
    for (int i = 2; i <= 4; ++i) {
        events.Post(StreamEvent::kLivePicture);
        events.Post(StreamEvent::kGraphEvent);
        events.PostStatistics(Snapshot(i));
        events.PostAutoChange(StreamEvent::kAmpChanged, 128 + i);
        events.PostCaptureProgress(4 * i);
    }
    for (StreamEvent kind :
         {StreamEvent::kLivePicture, StreamEvent::kGraphEvent, StreamEvent::kStatistics,
          StreamEvent::kAmpChanged, StreamEvent::kCaptureProgress}) {
        EXPECT_EQ(receiver.count[kind], 1) << static_cast<int>(kind);
    }
    EXPECT_EQ(first.count[StreamEvent::kGraphEvent], 1);
    EXPECT_EQ(events.AutoValue(StreamEvent::kAmpChanged), 132);
    EXPECT_EQ(events.AutoValue(StreamEvent::kDelayChanged), 0);
    EXPECT_EQ(events.CapturedCount(), 16u);

    // Taking the statistics acknowledges them: the newest is there once, the next post notifies.
    StatisticsSnapshot s;
    ASSERT_TRUE(events.TakeStatistics(&s));
    EXPECT_EQ(std::pair(s.frame, s.mean), std::pair(uint64_t{4}, 40.0f));
    EXPECT_FALSE(events.TakeStatistics(&s));
    events.PostStatistics(Snapshot(5));
    EXPECT_EQ(receiver.count[StreamEvent::kStatistics], 2);
    // A kind acknowledged notifies again; the others stay pending.
    events.Acknowledge(StreamEvent::kLivePicture);
    events.Post(StreamEvent::kLivePicture);
    events.Post(StreamEvent::kGraphEvent);
    EXPECT_EQ(receiver.count[StreamEvent::kLivePicture], 2);
    EXPECT_EQ(receiver.count[StreamEvent::kGraphEvent], 1);
    EXPECT_TRUE(events.Pending(StreamEvent::kGraphEvent));
}

}  // namespace
}  // namespace kelpa
