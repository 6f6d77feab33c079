// The windows on the simulated telescope camera through the whole program core: 20 frames
// through the event bridge into the live, processed and statistic windows, then both video
// windows grabbed.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>

#include "app/application.h"
#include "gui/event_bridge.h"
#include "gui/live_window.h"
#include "gui/processing_window.h"
#include "gui/statistic_window.h"
#include "gui/video_windows.h"
#include "gui/windows_fixture.h"
#include "media/capture_graph.h"
#include "media/media_init.h"

namespace kelpa::test {
namespace {

// Share of the pixels brighter than the darkest sky.
double LitShare(const QImage& image) {
    int64_t lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) lit += qGray(image.pixel(x, y)) > 8;
    return double(lit) / (double(image.width()) * image.height());
}

TEST(WindowsDemoTest, SimulatedCameraThroughBothWindows) {
    ASSERT_TRUE(InitMedia() && InitClipTable());
    MemoryProfile profile;
    for (const char* key : {"ViewLiveVis", "ViewGuideArea", "ViewGuideGrid"}) profile.Set(key, "1");
    profile.Set("ProcAuto", "0");
    // Small pictures at the camera's fastest rate: the frames take a third of a second.
    profile.Set("VidCapWidth", "320");
    profile.Set("VidCapHeight", "240");
    profile.Set("VidCapAvgTimePerFrame", "166667");
    Application app;
    EventBridge bridge;
    bridge.Watch(app);
    VideoWindows windows(bridge, nullptr, QRect(400, 500, 500, 60));
    uint64_t frames = 0;
    QObject::connect(&bridge, &EventBridge::statistics,
                     [&](VideoCtrl*, const StatisticsSnapshot& s) { frames = s.frame; });
    app.SetStatisticsWanted(true);
    const CommandResult opened = app.OpenSource("sim");
    ASSERT_TRUE(opened.ok) << opened.message;
    windows.SetController(app.Current());
    windows.ShowIfWanted();
    windows.Statistic().SetShown(true);
    ASSERT_TRUE(windows.Live().isVisible());
    ASSERT_TRUE(windows.Processing().isVisible());
    ASSERT_TRUE(app.Run().ok);
    QElapsedTimer timer;
    timer.start();
    while (frames < 20 && timer.elapsed() < 10000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    app.Stop();
    QApplication::processEvents();
    ASSERT_GE(frames, 20u);

    const QImage live = Grab(windows.Live());
    const QImage processed = Grab(windows.Processing());
    KeepGrab(processed, "demo_processing.png");
    EXPECT_GT(LitShare(live), 0.2);
    EXPECT_GT(LitShare(processed), 0.2);
    // The area outline where the processed window laid it out.
    const WindowRect area = windows.Processing().View().overlay.area;
    ASSERT_GT(area.Width(), 0);
    int outline = 0;
    for (int x = area.left; x <= area.right; ++x) {
        outline += processed.pixel(x, area.top) == qRgb(255, 180, 0);
        outline += processed.pixel(x, area.bottom) == qRgb(255, 180, 0);
    }
    EXPECT_GT(outline, 2 * area.Width() * 9 / 10);
    EXPECT_STRNE(windows.Statistic().ValueText(), "");
    // The smoothing stretch averages the same picture: as bright on the whole.
    windows.Processing().SetStretchMode(4);
    EXPECT_NEAR(LitShare(Grab(windows.Processing())), LitShare(processed), 0.1);

    // The main window closes: the current source's windows save their settings and go quietly.
    QSignalSpy ending(&windows, &VideoWindows::closeRequested);
    windows.SaveAndClose();
    EXPECT_EQ(ending.count(), 0);
    EXPECT_FALSE(windows.Processing().isVisible());
    EXPECT_EQ(profile.Get("View2Mode"), "4");
    EXPECT_EQ(profile.Get("VLW"), std::to_string(windows.Live().width()));
    EXPECT_EQ(profile.Get("ProcInfo"), "1");
    ThePreferredFormat() = PreferredFormat{};
}

}  // namespace
}  // namespace kelpa::test
