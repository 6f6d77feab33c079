// The page items of the Sources menu for the chosen capture device, and the data the pages
// show: the formats, sizes and rates the device offers (from its caps), its V4L2 controls, its
// video inputs (where a crossbar would sit) and its tuner. An item is offered only when the
// device has what it shows; a device without a V4L2 node (the simulator) offers its formats
// only. The page commands stop the graph around their dialog and restore its run state after.
//
// Nothing here has a V4L2 counterpart for the legacy driver dialog ("Video Source...") or for a
// second crossbar ("Second Crossbar..."): those items are never offered.
//
// GUI thread only.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/device_graph.h"
#include "media/device_list.h"
#include "media/media_format.h"
#include "media/v4l2/v4l2_device.h"
#include "platform/user_notice.h"
#include "video/video_ctrl.h"

namespace kelpa {

// At most this many page items and Video Input items together.
inline constexpr int32_t kMaxSourcesItems = 20;

inline constexpr char kVideoFormatItem[] = "Video Format [Capture Pin]...";
inline constexpr char kCaptureFilterItem[] = "Video Capture Filter...";
inline constexpr char kCrossbarItem[] = "Video Crossbar...";
inline constexpr char kTvTunerItem[] = "TV Tuner...";
inline constexpr char kVideoInputPopup[] = "Video Input";

// One kind of format a device offers: a subtype with a size (or a range of sizes) and its
// frame rates as times per frame.
struct FormatOffer {
    uint32_t subtype = kSubtypeNone;
    int32_t minWidth = 0;
    int32_t maxWidth = 0;
    int32_t minHeight = 0;
    int32_t maxHeight = 0;
    std::vector<int64_t> timesPerFrame;  // 100 ns units, as the caps list them
    int64_t minTimePerFrame = 0;         // a continuous range (both 0 when none)
    int64_t maxTimePerFrame = 0;         // 0 with a minimum: no upper bound
    friend bool operator==(const FormatOffer&, const FormatOffer&) = default;
};

// Offers of raw video of the subtypes the program knows, and of JPEG; others are left out.
std::vector<FormatOffer> FormatOffersFromCaps(const GstCaps* caps);

enum class DevicePage { kNone, kVideoFormat, kCaptureFilter, kCrossbar, kTvTuner };

struct SourcesMenuItem {
    // The item's number among the page and input items, 0 ... kMaxSourcesItems - 1, in menu
    // order; -1 for the Video Input popup itself.
    int32_t slot = -1;
    std::string text;
    DevicePage page = DevicePage::kNone;
    bool checked = false;
    int input = -1;                      // items of the Video Input popup: index into Inputs()
    std::vector<SourcesMenuItem> items;  // the popup's items
};

struct VideoInputInfo {
    uint32_t index = 0;  // the V4L2 input number
    std::string driverName;
    int32_t connector = 0;  // crossbar connector type
    std::string name;       // CrossbarPinName of the connector
};

// Stops a graph that runs or is paused; returns the state it had.
int32_t StopForChange(VideoCtrl& ctrl);
// Brings a built graph back to `before`: Run when it was running (or whatever it was, with
// `startAnyway`); Run and then pause when it was paused.
void RestoreRunState(VideoCtrl& ctrl, int32_t before, bool startAnyway);

using V4l2Opener = std::function<std::unique_ptr<V4l2Device>(const std::string& node)>;

class DevicePages {
  public:
    explicit DevicePages(VideoCtrl& ctrl);

    void SetGraph(DeviceGraph* graph) { graph_ = graph; }
    // How a device node is opened (tests install a scripted driver).
    void SetV4l2Opener(V4l2Opener opener) { opener_ = std::move(opener); }

    // BuildSourcesMenu for a device whose graph was built; no device: no items.
    void Build(const CaptureDevice* device);
    void Clear();
    const std::vector<SourcesMenuItem>& Items() const { return items_; }
    DevicePage PageForSlot(int32_t slot) const;

    // A page item was chosen: the graph is stopped while `show` presents the page, then brought
    // back to its run state. 0 when the slot is not a page item.
    int32_t RunPageItem(int32_t slot, const std::function<void(DevicePage)>& show);

    // "Video Format": the offers, and the choice the page made (while the graph is stopped).
    // A choice the intake accepts becomes the preferred format and the graph is reconnected;
    // a refused one changes nothing and gives kUnsupported.
    const std::vector<FormatOffer>& Formats() const { return formats_; }
    MediaResult ApplyFormatChoice(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                  int32_t height);
    // SetCaptureFormat: stop, clear, set the preferred format, reconnect, restore.
    MediaResult SetCaptureFormat(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                 int32_t height);

    // "Video Capture Filter": the controls and their current values.
    const std::vector<V4l2Control>& Controls() const { return controls_; }
    bool SetControl(uint32_t id, int32_t value);

    // "Video Crossbar" and the Video Input list.
    const std::vector<VideoInputInfo>& Inputs() const { return inputs_; }
    int CheckedInputIndex() const { return checked_; }
    // The Video Input item of that slot was chosen: route to it and move the check mark.
    bool ChooseVideoInput(int32_t slot);
    bool RouteToInput(int input);
    // Routes to the first input of a connector type (a routing saved earlier).
    bool RouteToConnector(int32_t connector);

    // "TV Tuner".
    bool HasTuner() const { return hasTuner_; }
    const V4l2Tuner& Tuner() const { return tuner_; }
    bool SetTunerFrequency(uint32_t frequency);

  private:
    void ReadV4l2();
    void AddInputPopup(int32_t* nextSlot);
    void MarkCheckedInput();
    MediaResult Reconnect(uint32_t subtype, int64_t timePerFrame, int32_t width, int32_t height);

    VideoCtrl& ctrl_;
    DeviceGraph* graph_ = nullptr;
    V4l2Opener opener_;
    std::unique_ptr<V4l2Device> v4l2_;
    std::vector<SourcesMenuItem> items_;
    std::vector<FormatOffer> formats_;
    std::vector<V4l2Control> controls_;
    std::vector<VideoInputInfo> inputs_;
    int checked_ = -1;
    bool hasTuner_ = false;
    V4l2Tuner tuner_;
};

}  // namespace kelpa
