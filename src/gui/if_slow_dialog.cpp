#include "gui/if_slow_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/application.h"
#include "media/device_settings.h"

namespace kelpa {
namespace {

struct BoxText {
    const char* id;
    const char* text;
};

constexpr BoxText kBoxTexts[kIfSlowBoxCount] = {
    {"1119", "Disable \"color processing\""},
    {"1135", "Enable \"black-and-white\" "},
    {"1151", "Small Frame Size"},
    {"1152", "Slow Frame Rate"},
    {"1153", "Small Video Windows"},
};

}  // namespace

IfSlowChoices& CurrentIfSlowChoices() {
    static IfSlowChoices choices;
    return choices;
}

std::optional<PreferredFormat> SlowFormat(const PreferredFormat& format,
                                          const IfSlowChoices& choices) {
    PreferredFormat slow = format;
    bool changed = false;
    if (choices[IfSlowBox::kSmallFrameSize] &&
        (format.width > kSmallFrameWidth || format.height > kSmallFrameHeight)) {
        slow.width = kSmallFrameWidth;
        slow.height = kSmallFrameHeight;
        changed = true;
    }
    if (choices[IfSlowBox::kSlowFrameRate] && format.timePerFrame != 0 &&
        format.timePerFrame != kSlowTimePerFrame) {
        slow.timePerFrame = kSlowTimePerFrame;
        changed = true;
    }
    if (!changed) return std::nullopt;
    return slow;
}

void ApplyIfSlow(Application& app, const IfSlowChoices& choices, const IfSlowActions& actions) {
    VideoCtrl* ctrl = app.Current();
    if (ctrl == nullptr) return;
    if (choices[IfSlowBox::kDisableColour] || choices[IfSlowBox::kBlackAndWhite]) {
        ctrl->sink.engine.ResetOutsideAndChannel();
        if (actions.channelsReset) actions.channelsReset();
    }
    if (const std::optional<PreferredFormat> slow = SlowFormat(ThePreferredFormat(), choices)) {
        if (app.DeviceCtrl().graphBuilt) {
            app.Devices().SetCaptureFormat(slow->subtype, slow->timePerFrame, slow->width,
                                           slow->height);
        } else {
            // No device graph to change (a video file plays): building one here would open
            // the camera behind the user's back.
            ThePreferredFormat() = *slow;
        }
    }
    if (choices[IfSlowBox::kSmallWindows] && actions.smallVideoWindows) {
        actions.smallVideoWindows(kSmallWindowWidth);
    }
}

IfSlowDialog::IfSlowDialog(Application& app, IfSlowActions actions, QWidget* parent)
    : QDialog(parent), app_(app), actions_(std::move(actions)), saved_(CurrentIfSlowChoices()) {
    setWindowTitle(kIfSlowTitle);
    auto* layout = new QVBoxLayout(this);
    for (size_t i = 0; i < kIfSlowBoxCount; ++i) {
        auto* box = new QCheckBox(kBoxTexts[i].text, this);
        box->setObjectName(kBoxTexts[i].id);
        box->setChecked(saved_.on[i]);
        connect(box, &QCheckBox::toggled, this,
                [i](bool on) { CurrentIfSlowChoices().on[i] = on; });
        layout->addWidget(box);
        boxes_[i] = box;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void IfSlowDialog::accept() {
    QDialog::accept();
    ApplyIfSlow(app_, CurrentIfSlowChoices(), actions_);
}

void IfSlowDialog::reject() {
    CurrentIfSlowChoices() = saved_;
    QDialog::reject();
}

int RunIfSlow(Application& app, const IfSlowActions& actions, QWidget* parent) {
    IfSlowDialog dialog(app, actions, parent);
    dialog.exec();
    return 1;
}

}  // namespace kelpa
