// "If Slow?": quick remedies for a computer that cannot keep up: plain intensity processing, a
// small and slow capture format, small video windows. The choices last for the program run.
//
// GUI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "media/capture_graph.h"

class QCheckBox;

namespace kelpa {

class Application;

inline constexpr const char* kIfSlowTitle = "If Slow?";

// The client width the small video windows get.
inline constexpr int32_t kSmallWindowWidth = 240;
// The small capture format: 320 x 240 at 5 frames per second (100 ns units per frame).
inline constexpr int32_t kSmallFrameWidth = 320;
inline constexpr int32_t kSmallFrameHeight = 240;
inline constexpr int64_t kSlowTimePerFrame = 2000000;

enum class IfSlowBox : uint8_t {
    kDisableColour,   // 1119
    kBlackAndWhite,   // 1135
    kSmallFrameSize,  // 1151
    kSlowFrameRate,   // 1152
    kSmallWindows,    // 1153
};
inline constexpr size_t kIfSlowBoxCount = 5;

struct IfSlowChoices {
    std::array<bool, kIfSlowBoxCount> on = {false, true, true, true, true};
    bool operator[](IfSlowBox box) const { return on[static_cast<size_t>(box)]; }
    bool& operator[](IfSlowBox box) { return on[static_cast<size_t>(box)]; }
    friend bool operator==(const IfSlowChoices&, const IfSlowChoices&) = default;
};

// The choices of this program run (not kept in the profile).
IfSlowChoices& CurrentIfSlowChoices();

// What OK needs from the main window.
struct IfSlowActions {
    // The channel became "Intensity - Sum" with the outside processed: the check marks follow.
    std::function<void()> channelsReset;
    // "Always input size" off (and its check mark), both video windows given this client width
    // with the height following the picture.
    std::function<void(int32_t clientWidth)> smallVideoWindows;
};

// The capture format the size and rate boxes make of `format`; nothing when they change
// nothing.
std::optional<PreferredFormat> SlowFormat(const PreferredFormat& format,
                                          const IfSlowChoices& choices);

// OK with a current controller, in order: the channel reset, the device format, the windows.
// A changed format is applied to the capture device when its graph is built, else kept as the
// format the device graph opens with next.
void ApplyIfSlow(Application& app, const IfSlowChoices& choices, const IfSlowActions& actions);

class IfSlowDialog : public QDialog {
    Q_OBJECT

  public:
    IfSlowDialog(Application& app, IfSlowActions actions, QWidget* parent = nullptr);

    // OK: the choices are kept and applied.
    void accept() override;
    // Cancel: the choices remembered at opening come back.
    void reject() override;

    QCheckBox* Box(IfSlowBox box) const { return boxes_[static_cast<size_t>(box)]; }

  private:
    Application& app_;
    IfSlowActions actions_;
    IfSlowChoices saved_;
    std::array<QCheckBox*, kIfSlowBoxCount> boxes_{};
};

// Command 40311: runs the dialog modally. Returns 1 whichever way it was closed.
int RunIfSlow(Application& app, const IfSlowActions& actions, QWidget* parent);

}  // namespace kelpa
