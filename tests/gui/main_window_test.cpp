// The main window's own parts and its start: the arguments, the delay box, the replacement texts of
// "kelpa.cfg", the start-up place and source, the stream events it answers, the Sources menu, the
// step keys and closing.
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cstring>

#include "cli/argument_reader.h"
#include "gui/delay_box.h"
#include "gui/startup_place.h"
#include "main_window_fixture.h"
#include "media/device_settings.h"
#include "sim/sim_device_provider.h"
#include "support/test_devices.h"
#include "support/video_clips.h"

namespace kelpa::test {
namespace {

using kelpa::testing::WriteFile;

// Typed keys are read one by one; pasted text in one edit; leaving the box shows the delay.
TEST_F(MainWindowTest, TheDelayBoxSetsTheDelayAsTypedAndShowsItOnLeaving) {
    OpenSimulator();
    DelayBox* box = window->Tools()->Delay();
    const auto enter = [box](const char* text, bool typed) {
        box->selectAll();
        if (typed) QTest::keyClicks(box, QString::fromLatin1(text));
        if (!typed) QApplication::clipboard()->setText(QString::fromLatin1(text)), box->paste();
    };
    const auto leave = [box] { return Leave(box), box->text(); };
    const auto delay = [this] { return Engine().params.delayMs.load(); };
    enter("7000", true);  // held to six seconds
    EXPECT_EQ(std::pair(delay(), box->text()), std::pair(6000u, QStringLiteral("06:000")));
    ASSERT_FALSE(dialogs.rows.empty());  // the panel's delay row heard of it
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
    enter("1500", true);
    EXPECT_EQ(std::pair(delay(), box->text()), std::pair(1500u, QStringLiteral("1500")));
    EXPECT_EQ(leave(), QStringLiteral("01:500"));
    enter("1234567", true);  // six characters at most: "123456" went in
    EXPECT_EQ(delay(), 6000u);

    // Text that is not a number, or the same number, changes nothing.
    Engine().SetTimeDelay(250);
    for (const char* text : {"12a", " ", "-3", "+5", "1 2", "01:500"}) {
        enter(text, false);
        EXPECT_EQ(std::pair(delay(), box->text()), std::pair(250u, QString::fromLatin1(text)));
        EXPECT_EQ(leave(), QStringLiteral("00:250")) << text;
    }
    dialogs.rows.clear();
    enter("250", false);
    EXPECT_TRUE(dialogs.rows.empty());

    // The automatic control's delay shows; another controller's does not.
    window->OnAutoChange(&Ctrl(), StreamEvent::kDelayChanged, 2345);
    EXPECT_EQ(dialogs.rows.back(), StreamEvent::kDelayChanged);
    window->OnAutoChange(&app->FileCtrl(), StreamEvent::kDelayChanged, 10);
    EXPECT_EQ(box->text(), QStringLiteral("02:345"));
}

TEST_F(MainWindowTest, ReplacementTextsChangeMenusTitlesAndTooltipsAndNothingElse) {
    WriteFile(captures / "kelpa.cfg",
              "[TOOLBAR]\nStart = \"Go on [Space]\"\n"
              "[MENU1]\nname = \"Kontrolle\"\nStart = \"&Los\\tSpace\"\n"
              "Grey = \"Grau\"\n"  // a Processing item under Control
              "[MENU3]\nChannelsSubMenu = \"Kanaele\"\nSum = \"Summe\"\n"
              "[MENU6]\nSendMail = \"Post\"\n"
              "[MENU9]\nname = \"Nine\"\n"
              "[TOOLBAR]\nPause = \"unclosed\n");
    ASSERT_TRUE(texts.Load(captures.Path()));
    MakeWindow();
    const QList<QAction*> top = window->menuBar()->actions();
    // What was not given, or given in another section, keeps its built-in text.
    const QString shown = top.at(0)->text() + "|" + Action(kCmdStart)->text() + "|" +
                          Action(kCmdStart)->toolTip() + "|" +
                          window->MenuOf(Menu::kChannels)->title() + "|" + Action(kCmdSum)->text() +
                          "|" + Action(kCmdSendMail)->text() + "|" + Action(kCmdGrey)->text() +
                          "|" + top.at(2)->text() + "|" + Action(kCmdPause)->toolTip();
    EXPECT_EQ(shown,
              "Kontrolle|&Los \tSpace|Go on [Space]|Kanaele|Summe|Post|Grey|Processing|"
              "Pause [Ctrl+U]");
    for (QAction* menu : top) EXPECT_NE(menu->text(), QStringLiteral("Nine"));
    // The submenus keep their items and the shortcut works under a new text.
    EXPECT_TRUE(window->MenuOf(Menu::kChannels)->actions().contains(Action(kCmdGrey)));
    EXPECT_EQ(Action(kCmdStart)->shortcut(), QKeySequence(Qt::Key_Space));
    EXPECT_EQ(ExpandTabs("a\\tb\\\\tc\\"), "a \tb\\ \tc\\");
}

// The edges; the usual places are the window's test below.
TEST(StartupPlace, WorkAreaRememberedPositionAndFitting) {
    const ScreenSize small = WorkAreaFrom({0, 0}, {640, 480});  // the screen less margins
    EXPECT_EQ(std::pair(small.width, small.height), std::pair(616, 456));
    EXPECT_EQ(WorkAreaFrom({1280, 770}, {1280, 800}).height, 770);
    EXPECT_EQ(WorkAreaFrom({0, 0}, {50, 20}).width, 100);  // raised, less 24, raised again
    for (const auto& [mx, my, expected] : {std::tuple("0", "-7", WindowPoint{1, 1}),
                                           std::tuple("5000", "5000", WindowPoint{767, 769})}) {
        MemoryProfile profile;
        profile.Set("MX", mx), profile.Set("MY", my);
        EXPECT_EQ(RememberedMainPosition({1280, 800}), expected) << mx;
    }
    const ScreenSize work{800, 600};
    EXPECT_EQ(FitOnScreen({700, 580}, 400, 100, {0, 0}, work), (WindowPoint{400, 500}));
    EXPECT_EQ(FitOnScreen({-50, -5}, 400, 100, {0, 0}, work), (WindowPoint{0, 0}));
    EXPECT_EQ(FitOnScreen({10, 10}, 900, 100, {0, 0}, work), (WindowPoint{0, 10}));
    EXPECT_EQ(FitOnScreen({0, 0}, 100, 100, {30, 40}, work), (WindowPoint{30, 40}));
}

TEST_F(MainWindowTest, StartsAtTheRememberedPlaceOrNearTheBottomRightCornerAndSavesItOnClosing) {
    MakeWindow();
    const ScreenSize work{1024, 768};
    window->Place(RememberedMainPosition(work), {0, 0}, work);
    // Without MX/MY: 513 left of the right edge; 31 above the bottom would cut the window off,
    // so it sits on the bottom edge.
    EXPECT_EQ(window->pos(), QPoint(1024 - 513, 768 - window->frameGeometry().height()));
    profile.Set("MX", "120");
    profile.Set("MY", "80");
    window->Place(RememberedMainPosition(work), {0, 0}, work);
    EXPECT_EQ(window->pos(), QPoint(120, 80));

    window->move(123, 45);
    int closed = 0;
    QObject::connect(window.get(), &MainWindow::Closed, [&closed] { ++closed; });
    window->Execute(kCmdExit);
    window->close();
    EXPECT_EQ(profile.Get("MX") + "," + profile.Get("MY"), "123,45");
    EXPECT_EQ(std::tuple(closed, dialogs.saves, windows.closes), std::tuple(1, 1, 1));
}

// A start-up file plays; one that cannot is an error and the camera runs, the simulated one
// when there is none.
TEST_F(MainWindowTest, StartsOnTheGivenFileOrTheCamera) {
    const std::string path = captures / "night.avi";
    std::string error;
    ASSERT_TRUE(WriteClip(path, ClipParams{}, &error)) << error;
    MakeWindow();
    window->Start(path);
    EXPECT_TRUE(desktop.errors.isEmpty());
    ASSERT_EQ(app->CurrentKind(), SourceKind::kFile);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(window->Status()->Source(), QStringLiteral("night.avi"));

    Restart();
    MakeWindow();
    app->LoadDeviceSettings();
    window->Start(captures / "missing.avi");
    EXPECT_EQ(desktop.errors, QStringList{QStringLiteral("Error|Can`t play video file...")});
    ASSERT_EQ(app->CurrentKind(), SourceKind::kDevice);
    EXPECT_EQ(app->Devices().CurrentDevice()->identity, kSimDeviceId);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(window->Status()->Source(), QString::fromStdString(app->Devices().FriendlyName()));
}

// The capture writer's texts (its own tests hold them) in the status bar; a run's failure or one
// that cannot start also in the warning box, and the button follows.
TEST_F(MainWindowTest, CaptureProgressEndAndFailuresShowInTheStatusBarAndTheWarningBox) {
    OpenSimulator();
    window->Execute(kCmdCapture);
    ASSERT_TRUE(Button(kCmdCapture)->isChecked());
    window->OnCaptureProgress(&Ctrl(), 8);
    EXPECT_EQ(Message(), QStringLiteral("Capturing in progress +8"));
    // The writer ended the run on a failure.
    Ctrl().sink.capture.capturing.store(false);
    CaptureReport report;
    report.failed = true;
    std::strcpy(report.failure, "Capture stopped: /full/#cap0001.bmp could not be written");
    window->OnCaptureDone(&Ctrl(), report);
    EXPECT_FALSE(Button(kCmdCapture)->isChecked());
    EXPECT_EQ(desktop.warnings + QStringList{Message()}, QStringList(2, report.failure));
    // A file where the capture folder should be created.
    WriteFile(captures / "blocked", "");
    ASSERT_TRUE(Ctrl().sink.capture.SetCaptureDirectory((captures / "blocked/sub").c_str()));
    window->Execute(kCmdCapture);
    EXPECT_FALSE(Ctrl().sink.capture.capturing.load() || Button(kCmdCapture)->isChecked());
    ASSERT_EQ(desktop.warnings.size(), 2);
    EXPECT_TRUE(desktop.warnings[1].contains(QStringLiteral("blocked")));
}

TEST_F(MainWindowTest, AGraphThatFailsStopsWithItsMessageAndTheProgramStaysUsable) {
    OpenSimulator();
    window->Execute(kCmdStart);
    ASSERT_EQ(Ctrl().PlayState(), kStateRunning);
    // The camera is taken away under the running graph, as when it is pulled out.
    GstElement* device = app->CameraGraph().DeviceElement();
    ASSERT_NE(device, nullptr);
    GST_ELEMENT_ERROR(device, RESOURCE, NOT_FOUND, ("Device is gone"), ("pulled out"));
    for (int i = 0; i < 200 && Ctrl().PlayState() == kStateRunning; ++i) {
        QTest::qWait(10);
        window->OnGraphEvent(&Ctrl());
    }
    EXPECT_EQ(Ctrl().PlayState(), kStateStopped);
    EXPECT_TRUE(Message().contains(QStringLiteral("gone"))) << Message().toStdString();
    EXPECT_FALSE(Button(kCmdStart)->isChecked());
    window->Execute(kCmdStart);  // started again by the user, it plays
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
}

// Cameras plugged in and pulled out while the program runs, with test cameras that open the
// simulated one.
TEST_F(MainWindowTest, FirstNightTakesTheFirstCameraAndTheMenuFollowsPluggedAndPulledOnes) {
    RegisterTestDeviceProvider();
    SetInitialTestDevices(1);
    struct Reset {
        ~Reset() { SetInitialTestDevices(0); }
    } reset;
    Restart();  // its monitor lists the test camera
    MakeWindow();
    app->LoadDeviceSettings();
    // The Sources menu's device items, "name" or "name*" when checked.
    const auto devices = [this] {
        window->RebuildSourcesMenu();
        QStringList items;
        for (QAction* action : window->MenuOf(Menu::kSources)->actions()) {
            if (DeviceIndexOf(action->data().toUInt())) {
                items << action->text() + (action->isChecked() ? "*" : "");
            }
        }
        return items.join(QLatin1Char('|')).toStdString();
    };
    window->Start("");
    EXPECT_EQ(app->Devices().CurrentDevice()->identity, "test:1");
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(Message(), QStringLiteral("Playing..."));
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
    EXPECT_EQ(devices(), "Test Camera 1*|Telescope Simulator");  // built again: nothing doubles
    // The camera offers its formats, nothing else; chosen again it goes on running.
    QStringList items;
    for (QAction* action : window->MenuOf(Menu::kSources)->actions()) items << action->text();
    EXPECT_TRUE(items.contains(kVideoFormatItem) && !items.contains(kCaptureFilterItem));
    window->Execute(DeviceCommand(0));
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);

    ASSERT_TRUE(PlugTestDevice("Plugged Camera", "test:plug"));
    window->OnDevicesChanged();
    EXPECT_EQ(devices(), "Test Camera 1*|Plugged Camera|Telescope Simulator");
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);  // the camera in use goes on running

    ASSERT_TRUE(UnplugTestDevice("test:1"));
    window->OnDevicesChanged();
    EXPECT_EQ(devices(), "Plugged Camera|Telescope Simulator");
    EXPECT_EQ(Ctrl().PlayState(), kStateStopped);
    EXPECT_FALSE(Action(kCmdStart)->isEnabled());
    EXPECT_EQ(Message(), QStringLiteral("Stopped..."));

    // Another source, and on with the night.
    window->Execute(DeviceCommand(0));
    window->Execute(kCmdStart);
    EXPECT_EQ(Ctrl().PlayState(), kStateRunning);
    EXPECT_EQ(windows.shownCtrl, &Ctrl());
}

// The program's arguments as main hands them over: each is read as one quoted item, so a plain
// argument is a file whatever it holds, and /i (or -i) allows a second copy.
TEST(WindowedArguments, PlainArgumentsAreFilesAndIAllowsASecondCopy) {
    const struct {
        std::vector<const char*> argv;
        std::string file;
        bool secondCopy;
    } cases[] = {
        {{"kelpa"}, "", false},
        {{"kelpa", "-i"}, "", true},
        {{"kelpa", "/i", "C:\\My Videos\\m42.avi"}, "C:\\My Videos\\m42.avi", true},
        {{"kelpa", "a.avi", "/d value two /e"}, "/d value two /e", false},
        {{"kelpa", "it's.avi"}, "it's.avi", false},
        {{"kelpa", "say \"hi\".avi"}, "say \"hi\".avi", false},
        {{"kelpa", "say \"hi\" it's.avi"}, "say \"hi\" it's.avi", false},
        {{"kelpa", "/x"}, "/x", false},
        {{"kelpa", "--", "junk/i"}, "junk/i", false},
    };
    for (const auto& c : cases) {
        const WindowedArguments arguments =
            ReadWindowedArguments(static_cast<int>(c.argv.size()), c.argv.data());
        EXPECT_EQ(arguments.startupFile, c.file) << c.argv.back();
        EXPECT_EQ(arguments.secondCopy, c.secondCopy) << c.argv.back();
    }
}

}  // namespace
}  // namespace kelpa::test
