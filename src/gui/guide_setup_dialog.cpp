#include "gui/guide_setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "app/application.h"
#include "common/settings_registry.h"
#include "processing/proc_settings.h"

namespace kelpa {
namespace {

constexpr int32_t kMethodWithoutSource = 2;
constexpr float kFactorWithoutSource = 4.0f;
constexpr double kStepSize = 0.2;
constexpr int kFactorChars = 6;
constexpr const char* kMethodNames[kGuideMethodCount] = {"Background Level",
                                                         "at Half Maximum Level", "Maximum Level"};
constexpr const char* kFactorKeys[kGuideMethodCount] = {"StatFonThresh1", "StatFonThresh2",
                                                        "StatFonThresh3"};

const SettingDecl& FactorDecl(int32_t method) {
    const SettingsTable* const tables[] = {&ProcSettingsTable()};
    return *FindSetting(tables, kFactorKeys[std::clamp(method, 0, kGuideMethodCount - 1)]);
}

QString Fixed(double value, int decimals) {
    return decimals == 2 ? QString::asprintf("%.2f", value) : QString::asprintf("%.3f", value);
}

}  // namespace

float GuideFactorMinimum(int32_t method) {
    return static_cast<float>(FactorDecl(method).minimum);
}

float GuideFactorMaximum(int32_t method) {
    return static_cast<float>(FactorDecl(method).maximum);
}

float GuideFactorDefault(int32_t method) {
    return static_cast<float>(FactorDecl(method).defaultValue);
}

float HoldGuideFactor(int32_t method, double factor) {
    const double low = GuideFactorMinimum(method);
    if (std::isnan(factor) || factor < low) return static_cast<float>(low);
    return static_cast<float>(std::min<double>(factor, GuideFactorMaximum(method)));
}

float ParseGuideFactor(int32_t method, const QString& text) {
    const QByteArray bytes = text.toLatin1();
    char* end = nullptr;
    double value = std::strtod(bytes.constData(), &end);
    if (end == bytes.constData()) value = 0.0;
    value = std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
    return HoldGuideFactor(method, value);
}

// ---- The factor box ----------------------------------------------------------------------

GuideFactorBox::GuideFactorBox(QWidget* parent) : QAbstractSpinBox(parent) {
    lineEdit()->setMaxLength(kFactorChars);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
    setKeyboardTracking(false);
}

void GuideFactorBox::stepBy(int steps) {
    if (steps != 0) emit stepped(steps > 0 ? 1 : -1);
}

// ---- The dialog ----------------------------------------------------------------------------

GuideSetupDialog::GuideSetupDialog(Application& app, QWidget* parent)
    : QDialog(parent), engine_(app.Current() ? &app.Current()->sink.engine : nullptr) {
    setWindowTitle(kGuideSetupTitle);
    if (engine_ != nullptr) {
        savedMethod_ = engine_->params.starThresholdMethod.load();
        for (int i = 0; i < kGuideMethodCount; ++i) {
            savedFactors_[i] = engine_->params.starThresholdFactor[i].load();
        }
        savedRefine_ = engine_->params.guideRefine.load() != 0;
    }

    method_ = new QComboBox(this);
    method_->setObjectName("1155");
    for (const char* name : kMethodNames) method_->addItem(name);
    method_->setCurrentIndex(engine_ ? std::clamp(savedMethod_, 0, kGuideMethodCount - 1)
                                     : kMethodWithoutSource);
    factor_ = new GuideFactorBox(this);
    factor_->setObjectName("1102");
    default_ = new QPushButton("D", this);
    default_->setObjectName("1104");
    default_->setAutoDefault(false);
    default_->setFixedWidth(default_->fontMetrics().horizontalAdvance("D") + 16);
    refine_ = new QCheckBox("&Refine the centre on the star", this);
    refine_->setObjectName("refine");
    refine_->setToolTip(
        "After the threshold finds the star, its centre is measured again in a small box "
        "around it with the local background taken off: steadier on faint or noisy stars.");
    refine_->setChecked(savedRefine_);
    refine_->setEnabled(engine_ != nullptr);

    auto* grid = new QGridLayout(this);
    auto* methodLabel = new QLabel("&Method of calculation :", this);
    methodLabel->setBuddy(method_);
    auto* factorLabel = new QLabel("&Threshold Level (RMS) :", this);
    factorLabel->setBuddy(factor_);
    grid->addWidget(methodLabel, 0, 0);
    grid->addWidget(method_, 0, 1, 1, 2);
    grid->addWidget(factorLabel, 1, 0);
    grid->addWidget(factor_, 1, 1);
    grid->addWidget(default_, 1, 2);
    grid->addWidget(refine_, 2, 0, 1, 3);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("2");
    grid->addWidget(buttons, 3, 0, 1, 3);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    ShowFactor();
    connect(factor_, &GuideFactorBox::stepped, this, &GuideSetupDialog::Step);
    connect(factor_, &QAbstractSpinBox::editingFinished, this, &GuideSetupDialog::FactorLeft);
    connect(default_, &QPushButton::clicked, this, &GuideSetupDialog::DefaultFactor);
    connect(method_, &QComboBox::activated, this, &GuideSetupDialog::MethodChosen);
    connect(refine_, &QCheckBox::toggled, this, &GuideSetupDialog::RefineToggled);
}

int32_t GuideSetupDialog::Method() const {
    return std::clamp(method_->currentIndex(), 0, kGuideMethodCount - 1);
}

void GuideSetupDialog::ShowFactor() {
    const float factor =
        engine_ ? engine_->params.starThresholdFactor[Method()].load() : kFactorWithoutSource;
    factor_->Edit()->setText(Fixed(factor, 2));
}

void GuideSetupDialog::Store(float factor) {
    if (engine_ != nullptr) engine_->params.starThresholdFactor[Method()].exchange(factor);
    ShowFactor();
}

void GuideSetupDialog::Step(int direction) {
    if (engine_ == nullptr) return;
    const double current = engine_->params.starThresholdFactor[Method()].load();
    Store(HoldGuideFactor(Method(), current + direction * kStepSize));
}

void GuideSetupDialog::FactorLeft() {
    if (engine_ == nullptr) return;
    const QString text = factor_->Edit()->text();
    if (text.isEmpty()) {
        factor_->Edit()->setText(Fixed(engine_->params.starThresholdFactor[Method()].load(), 3));
        return;
    }
    Store(ParseGuideFactor(Method(), text));
}

void GuideSetupDialog::DefaultFactor() {
    if (engine_ == nullptr) return;
    Store(GuideFactorDefault(Method()));
}

void GuideSetupDialog::MethodChosen(int index) {
    if (engine_ != nullptr && index >= 0 && index < kGuideMethodCount) {
        if (engine_->params.starThresholdMethod.load() != index) {
            engine_->params.starThresholdMethod.exchange(index);
        }
    }
    ShowFactor();
}

void GuideSetupDialog::RefineToggled(bool on) {
    if (engine_ != nullptr) engine_->SetGuideRefine(on);
}

void GuideSetupDialog::reject() {
    if (engine_ != nullptr) {
        engine_->SetStarThresholds(savedMethod_, savedFactors_.data());
        engine_->SetGuideRefine(savedRefine_);
    }
    QDialog::reject();
}

int RunGuideSetup(Application& app, QWidget* parent) {
    GuideSetupDialog dialog(app, parent);
    dialog.exec();
    return 1;
}

}  // namespace kelpa
