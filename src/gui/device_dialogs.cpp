#include "gui/device_dialogs.h"

#include <linux/videodev2.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "gui/device_format_dialog.h"
#include "media/media_format.h"

namespace kelpa {
namespace {

bool Writable(const V4l2Control& control) {
    return (control.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) == 0;
}

QDialogButtonBox* CloseButtons(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QString ShowFormatPage(QWidget* parent, DevicePages& pages) {
    DeviceFormatDialog dialog(pages.Formats(), ThePreferredFormat(), parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    const PreferredFormat chosen = dialog.Chosen();
    const MediaResult result =
        pages.ApplyFormatChoice(chosen.subtype, chosen.timePerFrame, chosen.width, chosen.height);
    if (result == MediaResult::kUnsupported) {
        return QStringLiteral("The format %1 %2 x %3 cannot be shown")
            .arg(QString::fromStdString(SubtypeName(chosen.subtype)))
            .arg(chosen.width)
            .arg(chosen.height);
    }
    if (Failed(result)) return QStringLiteral("The device did not take the format");
    return {};
}

}  // namespace

QString ShowDevicePage(QWidget* parent, DevicePage page, DevicePages& pages) {
    switch (page) {
        case DevicePage::kVideoFormat:
            return ShowFormatPage(parent, pages);
        case DevicePage::kCaptureFilter: {
            DeviceControlsDialog dialog(pages, parent);
            dialog.exec();
            return {};
        }
        case DevicePage::kCrossbar: {
            VideoInputDialog dialog(pages, parent);
            if (dialog.exec() == QDialog::Accepted && dialog.ChosenInput() >= 0 &&
                !pages.RouteToInput(dialog.ChosenInput())) {
                return QStringLiteral("The device did not switch to that input");
            }
            return {};
        }
        case DevicePage::kTvTuner: {
            TunerDialog dialog(pages, parent);
            dialog.exec();
            return {};
        }
        case DevicePage::kNone:
            break;
    }
    return {};
}

// ---- Controls
// -------------------------------------------------------------------------------------

DeviceControlsDialog::DeviceControlsDialog(DevicePages& pages, QWidget* parent)
    : QDialog(parent), pages_(pages) {
    setWindowTitle(QStringLiteral("Video Capture Filter"));
    auto* inner = new QWidget;
    auto* form = new QFormLayout(inner);
    for (const V4l2Control& control : pages_.Controls()) {
        Row row;
        row.id = control.id;
        const uint32_t id = control.id;
        auto* line = new QWidget(inner);
        auto* layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        switch (control.type) {
            case V4L2_CTRL_TYPE_BOOLEAN: {
                auto* box = new QCheckBox(line);
                box->setChecked(control.value != 0);
                connect(box, &QCheckBox::toggled, this, [this, id](bool on) { Apply(id, on); });
                row.editor = box;
                break;
            }
            case V4L2_CTRL_TYPE_MENU:
            case V4L2_CTRL_TYPE_INTEGER_MENU: {
                auto* menu = new QComboBox(line);
                for (const auto& [value, name] : control.menu) {
                    menu->addItem(QString::fromStdString(name), value);
                }
                menu->setCurrentIndex(menu->findData(control.value));
                connect(menu, &QComboBox::activated, this,
                        [this, id, menu](int index) { Apply(id, menu->itemData(index).toInt()); });
                row.editor = menu;
                break;
            }
            case V4L2_CTRL_TYPE_BUTTON: {
                auto* button = new QPushButton(QString::fromStdString(control.name), line);
                connect(button, &QPushButton::clicked, this, [this, id] { Apply(id, 1); });
                row.editor = button;
                break;
            }
            default: {
                auto* slider = new QSlider(Qt::Horizontal, line);
                slider->setRange(control.minimum, control.maximum);
                slider->setSingleStep(std::max(control.step, 1));
                slider->setPageStep(
                    std::max(control.step, (control.maximum - control.minimum) / 10));
                slider->setValue(control.value);
                slider->setMinimumWidth(200);
                row.value = new QLabel(line);
                row.value->setMinimumWidth(48);
                connect(slider, &QSlider::valueChanged, this,
                        [this, id](int value) { Apply(id, value); });
                row.editor = slider;
                break;
            }
        }
        row.editor->setEnabled(Writable(control));
        layout->addWidget(row.editor, 1);
        if (row.value != nullptr) layout->addWidget(row.value);
        rows_.push_back(row);
        ShowValue(rows_.back());
        form->addRow(QString::fromStdString(control.name) + QLatin1Char(':'), line);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(inner);
    scroll->setWidgetResizable(true);
    auto* buttons = CloseButtons(this);
    QPushButton* defaults =
        buttons->addButton(QStringLiteral("&Default"), QDialogButtonBox::ResetRole);
    connect(defaults, &QPushButton::clicked, this, &DeviceControlsDialog::SetDefaults);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
    resize(420, std::min(120 + 32 * static_cast<int>(rows_.size()), 600));
}

QWidget* DeviceControlsDialog::EditorOf(uint32_t id) const {
    for (const Row& row : rows_) {
        if (row.id == id) return row.editor;
    }
    return nullptr;
}

void DeviceControlsDialog::Apply(uint32_t id, int32_t value) {
    pages_.SetControl(id, value);
    for (const Row& row : rows_) {
        if (row.id == id) ShowValue(row);
    }
}

void DeviceControlsDialog::ShowValue(const Row& row) {
    for (const V4l2Control& control : pages_.Controls()) {
        if (control.id != row.id) continue;
        const QSignalBlocker block(row.editor);
        if (auto* slider = qobject_cast<QSlider*>(row.editor)) {
            slider->setValue(control.value);
        } else if (auto* box = qobject_cast<QCheckBox*>(row.editor)) {
            box->setChecked(control.value != 0);
        } else if (auto* menu = qobject_cast<QComboBox*>(row.editor)) {
            menu->setCurrentIndex(menu->findData(control.value));
        }
        if (row.value != nullptr) row.value->setText(QString::number(control.value));
    }
}

void DeviceControlsDialog::SetDefaults() {
    for (const V4l2Control& control : std::vector<V4l2Control>(pages_.Controls())) {
        if (control.type == V4L2_CTRL_TYPE_BUTTON || !Writable(control)) continue;
        if (control.value != control.defaultValue) Apply(control.id, control.defaultValue);
    }
}

// ---- Video inputs
// ---------------------------------------------------------------------------------

VideoInputDialog::VideoInputDialog(DevicePages& pages, QWidget* parent)
    : QDialog(parent), group_(new QButtonGroup(this)) {
    setWindowTitle(QStringLiteral("Video Crossbar"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Video input:"), this));
    const std::vector<VideoInputInfo>& inputs = pages.Inputs();
    for (size_t i = 0; i < inputs.size(); ++i) {
        const QString text = QStringLiteral("%1 (%2)").arg(
            QString::fromStdString(inputs[i].name), QString::fromStdString(inputs[i].driverName));
        auto* button = new QRadioButton(text, this);
        button->setChecked(static_cast<int>(i) == pages.CheckedInputIndex());
        group_->addButton(button, static_cast<int>(i));
        layout->addWidget(button);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int VideoInputDialog::ChosenInput() const {
    return group_->checkedId();
}

// ---- Tuner
// ----------------------------------------------------------------------------------------

TunerDialog::TunerDialog(DevicePages& pages, QWidget* parent) : QDialog(parent), pages_(pages) {
    setWindowTitle(QStringLiteral("TV Tuner"));
    const V4l2Tuner& tuner = pages_.Tuner();
    const double unitMHz = tuner.UnitHz() / 1e6;
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Tuner:"), new QLabel(QString::fromStdString(tuner.name), this));
    auto* frequency = new QDoubleSpinBox(this);
    frequency->setDecimals(4);
    frequency->setSuffix(QStringLiteral(" MHz"));
    frequency->setRange(tuner.rangeLow * unitMHz, tuner.rangeHigh * unitMHz);
    frequency->setSingleStep(unitMHz * 16);
    frequency->setValue(tuner.frequency * unitMHz);
    frequency->setEnabled(tuner.hasFrequency);
    form->addRow(QStringLiteral("&Frequency:"), frequency);
    auto* buttons = CloseButtons(this);
    QPushButton* tune = buttons->addButton(QStringLiteral("&Set"), QDialogButtonBox::ApplyRole);
    tune->setEnabled(tuner.hasFrequency);
    connect(tune, &QPushButton::clicked, this, [this, frequency, unitMHz] {
        const double units = std::round(frequency->value() / unitMHz);
        pages_.SetTunerFrequency(static_cast<uint32_t>(std::max(units, 0.0)));
        frequency->setValue(pages_.Tuner().frequency * unitMHz);
    });
    form->addRow(buttons);
}

}  // namespace kelpa
