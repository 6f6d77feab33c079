// The device list: the simulator and test cameras found through the device monitor, at most
// nine listed, the saved device found again by its identity, run states kept across a device
// change, plug and unplug. The profile keys are checked with every table in
// tests/app/settings_tables_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "media/device_settings.h"
#include "media/media_init.h"
#include "sim/sim_device_provider.h"
#include "support/temp_files.h"
#include "support/test_devices.h"
#include "support/test_support.h"
#include "video/intake_fakes.h"

namespace kelpa {
namespace {

// Binds the chosen device as the real graph does, and "builds" a graph of fakes.
class FakeDeviceGraph final : public DeviceGraph {
  public:
    explicit FakeDeviceGraph(VideoCtrl& ctrl) : ctrl_(ctrl) {}
    MediaResult ActivateCaptureGraph() override {
        ++activations;
        Teardown();
        BoundDevice bound;
        if (binder == nullptr || !binder->BindCaptureDevice(&bound)) return MediaResult::kFailed;
        boundNames.push_back(bound.friendlyName);
        if (Failed(result)) return result;
        ctrl_.AttachGraph(&control, nullptr, nullptr);
        ctrl_.graphBuilt = true;
        return result;
    }
    MediaResult ReconnectAfterFormatChange() override { return MediaResult::kDone; }
    void ClearGraph() override {}
    void Teardown() override { ctrl_.DetachGraph(); }
    void SetEvents(StreamEvents*) override {}

    CaptureDeviceBinder* binder = nullptr;
    MediaResult result = MediaResult::kDone;
    int activations = 0;
    std::vector<std::string> boundNames;
    test::FakeMediaControl control;

  private:
    VideoCtrl& ctrl_;
};

// A source with nothing to list, or no enumerator at all.
struct EmptySource final : DeviceSource {
    explicit EmptySource(bool canOpen) : opens(canOpen) {}
    bool Open() override { return opens; }
    std::vector<CaptureDevice> Enumerate() override { return {}; }
    void SetChangeTarget(StreamEvents*) override {}
    void AcknowledgeChange() override {}
    bool opens;
};

class DeviceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(InitMedia());
        test::RegisterTestDeviceProvider();
    }
    void SetUp() override {
        test::SetInitialTestDevices(0);
        ThePreferredFormat() = PreferredFormat{};
    }
    // The menu position of `text`; the menu's size when it is not listed.
    size_t SlotOf(const std::string& text) const {
        const auto& menu = settings->DeviceMenu();
        return std::ranges::find(menu, text, &DeviceMenuItem::text) - menu.begin();
    }

    DeviceSettings& Make(std::unique_ptr<DeviceSource> source = nullptr) {
        settings = std::make_unique<DeviceSettings>(deviceCtrl, fileCtrl, std::move(source));
        settings->SetNotice(&notice);
        deviceCtrl.Events().SetReceiver(&window);
        settings->SetEvents(&deviceCtrl.Events());
        settings->SetGraph(&graph);
        graph.binder = settings.get();
        return *settings;
    }

    test::MemoryProfile profile;
    VideoCtrl deviceCtrl;
    VideoCtrl fileCtrl;
    test::RecordingNotice notice;
    test::RecordingReceiver window;
    FakeDeviceGraph graph{deviceCtrl};
    std::unique_ptr<DeviceSettings> settings;
};

// Nine of twelve test cameras listed, the saved one found again by its identity.
TEST_F(DeviceTest, AtMostNineAreListedAndTheSavedDeviceIsFoundByItsIdentity) {
    test::SetInitialTestDevices(12);
    const DeviceChoiceSettings saved{"test:7", 0, true, 90};
    DeviceSettings& s = Make();
    s.LoadDeviceSettings(saved);
    ASSERT_EQ(s.DeviceMenu().size(), kMaxListedDevices);
    for (size_t i = 0; i < kMaxListedDevices; ++i) {
        EXPECT_EQ(s.DeviceMenu()[i].text, "Test Camera " + std::to_string(i + 1));
        EXPECT_EQ(s.DeviceMenu()[i].checked, i == 6);
    }
    EXPECT_EQ(s.ChooseDevice(9), 0);  // no tenth item
    EXPECT_EQ(graph.boundNames, std::vector<std::string>{"Test Camera 7"});
    EXPECT_EQ(notice.status.front(), "Test Camera 7");
    EXPECT_EQ(s.Settings(), saved);
}

// A chosen device stays saved while it is unplugged; without a saved device nothing is chosen;
// a device whose graph cannot be built does not become current; binding without a choice saves
// the first device (its becoming current and checked is the main window's first-night test).
TEST_F(DeviceTest, AbsentFailingOrNoDeviceIsNotCurrentAndBindingTakesTheFirst) {
    test::SetInitialTestDevices(3);
    Make().LoadDeviceSettings({"test:99"});
    // Nothing activated: no device became current.
    EXPECT_EQ(std::tuple(graph.activations, settings->Settings().identity),
              std::tuple(0, "test:99"));
    Make().LoadDeviceSettings({});
    EXPECT_EQ(settings->CurrentDevice(), nullptr);
    graph.result = MediaResult::kFailed;
    EXPECT_EQ(settings->ChooseDevice(1), -1);
    EXPECT_EQ(settings->CurrentDevice(), nullptr);
    graph.result = MediaResult::kDone;
    ASSERT_FALSE(Failed(graph.ActivateCaptureGraph()));
    EXPECT_EQ(settings->Settings().identity, "test:1");
    // No enumerator, or nothing to list, is warned.
    Make(std::make_unique<EmptySource>(false)).BuildDeviceMenu();
    Make(std::make_unique<EmptySource>(true)).BuildDeviceMenu();
    EXPECT_EQ(notice.warnings, (std::vector<std::string>{kErrorNoEnumerator, kErrorNoHardware}));
    EXPECT_TRUE(settings->DeviceMenu().empty());
}

// The run state before another device item is chosen, and the one the new graph gets.
// {before, activate the graph, after}
TEST_F(DeviceTest, ChoosingAnotherDeviceRestoresTheRunState) {
    test::SetInitialTestDevices(3);
    for (const auto& [before, activateGraph, after] :
         {std::tuple{kStateStopped, true, kStateRunning}, {kStatePaused, false, kStatePaused}}) {
        SCOPED_TRACE(std::to_string(before) + (activateGraph ? " activating" : ""));
        Make().BuildDeviceMenu();
        settings->MakeDeviceCurrent();
        ASSERT_EQ(settings->ChooseDevice(0), 1);
        deviceCtrl.activateGraph = false;
        if (before != kStateStopped) deviceCtrl.Run();
        if (before == kStatePaused) deviceCtrl.PauseToggle();
        deviceCtrl.activateGraph = activateGraph;
        ASSERT_EQ(settings->ChooseDevice(2), 1);
        EXPECT_EQ(settings->CurrentDevice()->identity, "test:3");
        EXPECT_EQ(deviceCtrl.PlayState(), after);
        deviceCtrl.Stop();
    }
}

// Unplugging the camera in use (no longer current, stopped) is the main window's test; here the
// notices and the chosen camera coming back.
TEST_F(DeviceTest, PlugAndUnplugAreNoticedAndTheChosenCameraComesBack) {
    Make().LoadDeviceSettings({});
    ASSERT_TRUE(test::PlugTestDevice("Plugged Camera", "test:plug"));
    ASSERT_TRUE(test::PlugTestDevice("Second Camera", "test:second"));
    // Two changes before the main window got round to them: one message.
    EXPECT_EQ(window.Count(StreamEvent::kDevicesChanged), 1);
    settings->RefreshDevices();
    ASSERT_EQ(settings->ChooseDevice(SlotOf("Plugged Camera")), 1);
    ASSERT_TRUE(test::UnplugTestDevice("test:plug"));
    settings->RefreshDevices();
    ASSERT_TRUE(test::PlugTestDevice("Plugged Camera", "test:plug"));
    EXPECT_EQ(window.Count(StreamEvent::kDevicesChanged), 3);
    settings->RefreshDevices();
    // Current again, so its graph was activated anew.
    EXPECT_EQ(settings->CurrentDevice() ? settings->CurrentDevice()->identity : "", "test:plug");
    settings->StopChangeNotices();
    ASSERT_TRUE(test::PlugTestDevice("Third Camera", "test:third"));
    EXPECT_EQ(window.Count(StreamEvent::kDevicesChanged), 3);  // notices are off at exit
}

TEST_F(DeviceTest, ChoosingTheSimulatorBuildsItsGraphAndItsFormatPageReconnects) {
    Make().BuildDeviceMenu();
    CaptureGraph real(deviceCtrl, *settings);
    real.SetNotice(&notice);
    settings->AttachCaptureGraph(real);
    ASSERT_EQ(settings->ChooseDevice(SlotOf(kSimDeviceDisplayName)), 1);  // its graph is built
    EXPECT_EQ(settings->CurrentDevice()->identity, kSimDeviceId);
    // No node: no controls, inputs or tuner; its caps: 6 formats at 4 sizes.
    EXPECT_EQ(std::pair(settings->SourcesMenu().size(), settings->Pages().Formats().size()),
              std::pair(size_t{1}, size_t{24}));

    EXPECT_EQ(settings->Pages().ApplyFormatChoice(kSubtypeUyvy, 0, 320, 240), MediaResult::kDone);
    EXPECT_EQ(real.ConnectedType().subtype, kSubtypeUyvy);
    EXPECT_EQ(settings->Pages().ApplyFormatChoice(kSubtypeMjpg, 0, 320, 240),
              MediaResult::kUnsupported);  // refused, told apart from an applied one
    real.Teardown();
}

TEST(DeviceIdentityTest, StableLinksComeBeforeTheNode) {
    namespace fs = std::filesystem;
    testing::TempDir dir;
    const std::string node = dir.File("video3");
    testing::WriteFile(node, "");
    for (const char* folder : {"by-id", "by-path"}) fs::create_directory(dir.File(folder));
    const std::string byId = dir.File("by-id/usb-Acme_Cam_42-video-index0");
    const std::string byPath = dir.File("by-path/pci-0000:00:14.0-usb-0:2:1.0-video-index0");
    fs::create_symlink(node, byPath);
    fs::create_symlink(node, byId);
    fs::create_symlink(dir.File("video4"), dir.File("by-id/usb-Other-video-index0"));
    EXPECT_EQ(NodeIdentity(node, dir.Path()), "v4l2:" + byId);
    fs::remove(byId);
    EXPECT_EQ(NodeIdentity(node, dir.Path()), "v4l2:" + byPath);
    EXPECT_EQ(NodeIdentity(dir.File("video9"), dir.Path()), "v4l2:" + dir.File("video9"));
}

}  // namespace
}  // namespace kelpa
