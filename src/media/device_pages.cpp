// The Sources menu's page items and the data behind them.
#include "media/device_pages.h"

#include <algorithm>
#include <limits>

#include "common/log.h"
#include "media/v4l2/crossbar.h"

namespace kelpa {
namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;  // 100 ns units

struct IntSpan {
    int32_t min;
    int32_t max;
};

// The sizes a caps field allows: one number, a range, or a list of either.
std::vector<IntSpan> IntSpans(const GValue* value) {
    std::vector<IntSpan> spans;
    if (value == nullptr) return spans;
    if (G_VALUE_HOLDS_INT(value)) {
        spans.push_back({g_value_get_int(value), g_value_get_int(value)});
    } else if (GST_VALUE_HOLDS_INT_RANGE(value)) {
        spans.push_back({gst_value_get_int_range_min(value), gst_value_get_int_range_max(value)});
    } else if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i) {
            const std::vector<IntSpan> inner = IntSpans(gst_value_list_get_value(value, i));
            spans.insert(spans.end(), inner.begin(), inner.end());
        }
    }
    return spans;
}

// 0 for a rate of 0 (a variable rate has no time per frame).
int64_t TimePerFrame(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) return 0;
    return (kUnitsPerSecond * denominator + numerator / 2) / numerator;
}

void AddRates(const GValue* value, FormatOffer* offer) {
    if (value == nullptr) return;
    if (GST_VALUE_HOLDS_FRACTION(value)) {
        const int64_t t = TimePerFrame(gst_value_get_fraction_numerator(value),
                                       gst_value_get_fraction_denominator(value));
        if (t > 0) offer->timesPerFrame.push_back(t);
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(value)) {
        const GValue* slowest = gst_value_get_fraction_range_min(value);
        const GValue* fastest = gst_value_get_fraction_range_max(value);
        offer->minTimePerFrame = TimePerFrame(gst_value_get_fraction_numerator(fastest),
                                              gst_value_get_fraction_denominator(fastest));
        offer->maxTimePerFrame = TimePerFrame(gst_value_get_fraction_numerator(slowest),
                                              gst_value_get_fraction_denominator(slowest));
    } else if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i) {
            AddRates(gst_value_list_get_value(value, i), offer);
        }
    }
}

// The subtypes of a caps structure: one per listed raw format the program knows, or MJPG.
std::vector<uint32_t> Subtypes(const GstStructure* s) {
    std::vector<uint32_t> subtypes;
    if (gst_structure_has_name(s, "image/jpeg")) {
        subtypes.push_back(kSubtypeMjpg);
        return subtypes;
    }
    if (!gst_structure_has_name(s, "video/x-raw")) return subtypes;
    const GValue* formats = gst_structure_get_value(s, "format");
    const auto add = [&](const GValue* v) {
        if (v == nullptr || !G_VALUE_HOLDS_STRING(v)) return;
        const uint32_t code =
            SubtypeFromVideoFormat(gst_video_format_from_string(g_value_get_string(v)));
        if (code != kSubtypeNone) subtypes.push_back(code);
    };
    if (formats != nullptr && GST_VALUE_HOLDS_LIST(formats)) {
        for (guint i = 0; i < gst_value_list_get_size(formats); ++i) {
            add(gst_value_list_get_value(formats, i));
        }
    } else {
        add(formats);
    }
    return subtypes;
}

}  // namespace

std::vector<FormatOffer> FormatOffersFromCaps(const GstCaps* caps) {
    std::vector<FormatOffer> offers;
    if (caps == nullptr || gst_caps_is_any(caps)) return offers;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        FormatOffer rates;
        AddRates(gst_structure_get_value(s, "framerate"), &rates);
        for (uint32_t subtype : Subtypes(s)) {
            for (const IntSpan& w : IntSpans(gst_structure_get_value(s, "width"))) {
                for (const IntSpan& h : IntSpans(gst_structure_get_value(s, "height"))) {
                    FormatOffer offer = rates;
                    offer.subtype = subtype;
                    offer.minWidth = w.min;
                    offer.maxWidth = w.max;
                    offer.minHeight = h.min;
                    offer.maxHeight = h.max;
                    if (std::find(offers.begin(), offers.end(), offer) == offers.end()) {
                        offers.push_back(std::move(offer));
                    }
                }
            }
        }
    }
    return offers;
}

int32_t StopForChange(VideoCtrl& ctrl) {
    const int32_t before = ctrl.PlayState();
    if (before != kStateStopped) ctrl.Stop();
    return before;
}

void RestoreRunState(VideoCtrl& ctrl, int32_t before, bool startAnyway) {
    if (!ctrl.graphBuilt) return;
    const int32_t now = ctrl.PlayState();
    if (before == kStateRunning || startAnyway) {
        // With `startAnyway` (ActivateGraph) a rebuilt graph runs even if it was stopped.
        if (now != kStateRunning) ctrl.Run();
    } else if (before == kStatePaused && now != kStatePaused) {
        // A stopped graph cannot be paused by the toggle: it runs first, then pauses.
        if (now == kStateStopped) ctrl.Run();
        ctrl.PauseToggle();
    }
}

DevicePages::DevicePages(VideoCtrl& ctrl)
    : ctrl_(ctrl), opener_([](const std::string& node) { return V4l2Device::Open(node); }) {}

void DevicePages::Clear() {
    items_.clear();
    formats_.clear();
    controls_.clear();
    inputs_.clear();
    checked_ = -1;
    hasTuner_ = false;
    tuner_ = {};
    v4l2_.reset();
}

void DevicePages::Build(const CaptureDevice* device) {
    Clear();
    if (device == nullptr) return;
    if (device->device) {
        GstCapsPtr caps(gst_device_get_caps(device->device.get()));
        formats_ = FormatOffersFromCaps(caps.get());
    }
    if (!device->node.empty()) {
        v4l2_ = opener_(device->node);
        if (v4l2_) ReadV4l2();
    }
    int32_t slot = 0;
    const auto add = [&](DevicePage page, const char* text) {
        items_.push_back({slot++, text, page, false, -1, {}});
    };
    if (!formats_.empty()) add(DevicePage::kVideoFormat, kVideoFormatItem);
    if (!controls_.empty()) add(DevicePage::kCaptureFilter, kCaptureFilterItem);
    if (inputs_.size() > 1) add(DevicePage::kCrossbar, kCrossbarItem);
    if (hasTuner_) add(DevicePage::kTvTuner, kTvTunerItem);
    if (inputs_.size() > 1) AddInputPopup(&slot);
}

void DevicePages::ReadV4l2() {
    controls_ = v4l2_->QueryControls();
    const bool usb = v4l2_->IsUsb();
    uint32_t tunerIndex = 0;
    std::vector<int32_t> connectors;
    for (const V4l2Input& input : v4l2_->EnumInputs()) {
        const int32_t connector = ConnectorTypeOfInput(input.type, input.name, usb);
        inputs_.push_back({input.index, input.name, connector, CrossbarPinName(connector)});
        connectors.push_back(connector);
        if (connector == kConnVideoTuner) tunerIndex = input.tuner;
    }
    hasTuner_ = v4l2_->Tuner(tunerIndex, &tuner_);
    if (inputs_.size() < 2) return;
    // The input in use, known exactly on V4L2, is the one that stays checked.
    int routed = -1;
    uint32_t current = 0;
    if (v4l2_->CurrentInput(&current)) {
        for (size_t i = 0; i < inputs_.size(); ++i) {
            if (inputs_[i].index == current) routed = static_cast<int>(i);
        }
    }
    checked_ = CheckedInput(connectors, routed);
    if (checked_ != routed && !v4l2_->SelectInput(inputs_[checked_].index)) {
        LogPrintf("Cannot route video input %u", inputs_[checked_].index);
    }
}

void DevicePages::AddInputPopup(int32_t* nextSlot) {
    SourcesMenuItem popup;
    popup.text = kVideoInputPopup;
    for (size_t i = 0; i < inputs_.size() && *nextSlot < kMaxSourcesItems; ++i) {
        popup.items.push_back({(*nextSlot)++,
                               inputs_[i].name,
                               DevicePage::kNone,
                               static_cast<int>(i) == checked_,
                               static_cast<int>(i),
                               {}});
    }
    items_.push_back(std::move(popup));
}

DevicePage DevicePages::PageForSlot(int32_t slot) const {
    for (const SourcesMenuItem& item : items_) {
        if (item.slot == slot && slot >= 0) return item.page;
    }
    return DevicePage::kNone;
}

int32_t DevicePages::RunPageItem(int32_t slot, const std::function<void(DevicePage)>& show) {
    const DevicePage page = PageForSlot(slot);
    if (page == DevicePage::kNone) return 0;
    const int32_t before = StopForChange(ctrl_);
    if (show) show(page);
    RestoreRunState(ctrl_, before, false);
    return 1;
}

MediaResult DevicePages::Reconnect(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                   int32_t height) {
    if (graph_ == nullptr) return MediaResult::kNoGraph;
    if (ctrl_.graphBuilt) graph_->ClearGraph();
    PreferredFormat& preferred = ThePreferredFormat();
    preferred.subtype = subtype;
    preferred.width = width;
    preferred.height = height;
    if (timePerFrame > 0) preferred.timePerFrame = timePerFrame;
    return graph_->ReconnectAfterFormatChange();
}

MediaResult DevicePages::ApplyFormatChoice(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                           int32_t height) {
    GstCapsPtr caps = CapsForSubtype(subtype);
    if (!caps || width <= 0 || height <= 0) return MediaResult::kUnsupported;
    caps.reset(gst_caps_make_writable(caps.release()));
    gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, width, "height", G_TYPE_INT, height,
                        nullptr);
    if (timePerFrame > 0 && timePerFrame <= std::numeric_limits<int>::max()) {
        gst_caps_set_simple(caps.get(), "framerate", GST_TYPE_FRACTION,
                            static_cast<int>(kUnitsPerSecond), static_cast<int>(timePerFrame),
                            nullptr);
    }
    VideoMediaType type;
    if (!ParseVideoCaps(caps.get(), &type) || !ctrl_.sink.acceptFormat(type.header)) {
        LogPrintf("Video format not accepted: %s %dx%d", SubtypeName(subtype).c_str(), width,
                  height);
        return MediaResult::kUnsupported;
    }
    return Reconnect(subtype, timePerFrame, width, height);
}

MediaResult DevicePages::SetCaptureFormat(uint32_t subtype, int64_t timePerFrame, int32_t width,
                                          int32_t height) {
    const int32_t before = StopForChange(ctrl_);
    const MediaResult result = Reconnect(subtype, timePerFrame, width, height);
    RestoreRunState(ctrl_, before, false);
    return result;
}

bool DevicePages::SetControl(uint32_t id, int32_t value) {
    if (!v4l2_ || !v4l2_->SetControl(id, value)) return false;
    for (V4l2Control& control : controls_) {
        // The driver may have rounded or clamped the value: show what it keeps.
        if (control.id == id && !v4l2_->GetControl(id, &control.value)) control.value = value;
    }
    return true;
}

void DevicePages::MarkCheckedInput() {
    for (SourcesMenuItem& item : items_) {
        for (SourcesMenuItem& input : item.items) {
            input.checked = input.input == checked_;
        }
    }
}

bool DevicePages::RouteToInput(int input) {
    if (!v4l2_ || input < 0 || static_cast<size_t>(input) >= inputs_.size()) return false;
    const uint32_t index = inputs_[input].index;
    bool routed = v4l2_->SelectInput(index);
    if (!routed && ctrl_.PlayState() != kStateStopped) {
        // Drivers refuse to switch inputs while streaming: switch with the graph stopped.
        const int32_t before = StopForChange(ctrl_);
        routed = v4l2_->SelectInput(index);
        RestoreRunState(ctrl_, before, false);
    }
    if (!routed) {
        LogPrintf("Cannot route video input %u", index);
        return false;
    }
    checked_ = input;
    MarkCheckedInput();
    return true;
}

bool DevicePages::ChooseVideoInput(int32_t slot) {
    for (const SourcesMenuItem& item : items_) {
        for (const SourcesMenuItem& input : item.items) {
            if (input.slot == slot) return RouteToInput(input.input);
        }
    }
    return false;
}

bool DevicePages::RouteToConnector(int32_t connector) {
    for (size_t i = 0; i < inputs_.size(); ++i) {
        if (inputs_[i].connector == connector) return RouteToInput(static_cast<int>(i));
    }
    return false;
}

bool DevicePages::SetTunerFrequency(uint32_t frequency) {
    if (!v4l2_ || !hasTuner_ || !v4l2_->SetFrequency(tuner_, frequency)) return false;
    V4l2Tuner updated;
    if (v4l2_->Tuner(tuner_.index, &updated)) tuner_ = updated;
    return true;
}

}  // namespace kelpa
