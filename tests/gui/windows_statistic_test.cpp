// The "Info: Statistic" window: its texts and values, shown only with a video, hidden by its
// close box and shown again where it was, its place saved.
#include <QSignalSpy>

#include "gui/statistic_window.h"
#include "gui/windows_fixture.h"
#include "processing/proc_engine.h"

namespace kelpa::test {
namespace {

// Every pixel of the image has the same colour.
bool Plain(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0)) return false;
    return true;
}

TEST_F(WindowsTest, StatisticWindowShowsTheSnapshotOfTheCurrentVideo) {
    Connect(false, 64, 48);
    StatisticWindow window(QRect(300, 200, 500, 60));
    EXPECT_EQ(window.windowTitle().toStdString(), "Info: Statistic");
    const StatisticLayout& l = window.Layout();
    EXPECT_EQ(window.size(), QSize(l.clientWidth, l.clientHeight));
    EXPECT_EQ(l.values.left, l.labels.right + 18);
    ShowAt(window, window.width(), window.height());
    EXPECT_TRUE(Plain(Grab(window)));  // no video: the background only

    window.SetController(&ctrl);
    StatisticsSnapshot s;
    s.pixelValue = 0x102030;
    s.histMin = 4;
    s.histMax = 99;
    s.mean = 7.25f;
    s.bkgr = 5.0f;
    s.rms = 1.04f;
    window.OnStatistics(&ctrl, s);
    EXPECT_STREQ(window.ValueText(), "(16, 32, 48)\n4\n99\n7.2\n5.0\n1.0");
    VideoCtrl other{clock};
    s.histMin = 77;
    window.OnStatistics(&other, s);  // not the current video
    EXPECT_STREQ(window.ValueText(), "(16, 32, 48)\n4\n99\n7.2\n5.0\n1.0");
    EXPECT_FALSE(Plain(Grab(window)));
}

TEST(StatisticWindowPlaceTest, CloseBoxHidesAndTheToggleShowsItWhereItWas) {
    MemoryProfile profile;
    profile.Set("ProcInfo", "1");
    profile.Set("InfoX", "0");  // becomes 1
    profile.Set("InfoY", "40");
    StatisticWindow window(QRect(300, 200, 500, 60));
    QSignalSpy shown(&window, &StatisticWindow::shownChanged);
    window.ShowIfWanted();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.pos(), QPoint(1, 40));
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.Shown());
    window.Toggle();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.pos(), QPoint(1, 40));
    ASSERT_EQ(shown.count(), 3);
    EXPECT_EQ(shown.at(1).at(0).toBool(), false);
    window.move(20, 30);
    window.SaveSettings();
    EXPECT_EQ(profile.WriteOrder(), (std::vector<std::string>{"ProcInfo", "InfoX", "InfoY"}));
    EXPECT_EQ(profile.Get("InfoX"), "20");
    EXPECT_EQ(profile.Get("ProcInfo"), "1");
}

}  // namespace
}  // namespace kelpa::test
