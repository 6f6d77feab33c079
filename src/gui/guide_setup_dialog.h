// "GUIDE Setup": how the guide star search finds its threshold (the method) and how many RMS
// above the chosen level it lies (the factor of that method), and whether the centre found is
// refined on the star, on the current video controller. Cancel puts back what the dialog found.
//
// GUI thread only.
#pragma once

#include <QAbstractSpinBox>
#include <QDialog>
#include <array>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kelpa {

class Application;
class ProcEngine;

inline constexpr const char* kGuideSetupTitle = "GUIDE Setup";
inline constexpr int32_t kGuideMethodCount = 3;

// The factor's limits and defaults per method, from the processing settings table.
float GuideFactorMinimum(int32_t method);
float GuideFactorMaximum(int32_t method);
float GuideFactorDefault(int32_t method);
// A factor held to the method's limits; not a number gives the minimum.
float HoldGuideFactor(int32_t method, double factor);
// The factor a typed text stands for: its leading decimal number (0 without one), a magnitude
// beyond the largest float held to it, then held to the method's limits.
float ParseGuideFactor(int32_t method, const QString& text);

// The factor edit with its up-down arrows: the arrows only give a direction, each step moves
// the factor by 0.2 within the method's limits.
class GuideFactorBox : public QAbstractSpinBox {
    Q_OBJECT

  public:
    explicit GuideFactorBox(QWidget* parent = nullptr);
    void stepBy(int steps) override;
    // The edit (1102) that shows and takes the factor.
    QLineEdit* Edit() const { return lineEdit(); }

  signals:
    void stepped(int direction);

  protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

class GuideSetupDialog : public QDialog {
    Q_OBJECT

  public:
    // Remembers the method, the three factors and the refinement for Cancel.
    explicit GuideSetupDialog(Application& app, QWidget* parent = nullptr);

    // Cancel (also Escape and the close box): the remembered method, factors and refinement
    // come back.
    void reject() override;

    // One step of the arrows: +1 up, -1 down.
    void Step(int direction);
    // The edit was left: its text becomes the factor (an empty edit shows the factor again).
    void FactorLeft();
    // "D": the current method's default factor.
    void DefaultFactor();
    void MethodChosen(int index);
    // The refinement box was ticked or cleared.
    void RefineToggled(bool on);

    QComboBox* MethodBox() const { return method_; }
    GuideFactorBox* FactorBox() const { return factor_; }
    QPushButton* DefaultButton() const { return default_; }
    QCheckBox* RefineBox() const { return refine_; }

  private:
    int32_t Method() const;
    void Store(float factor);
    void ShowFactor();

    ProcEngine* engine_;
    int32_t savedMethod_ = 2;
    std::array<float, kGuideMethodCount> savedFactors_{};
    bool savedRefine_ = false;
    QComboBox* method_ = nullptr;
    GuideFactorBox* factor_ = nullptr;
    QPushButton* default_ = nullptr;
    QCheckBox* refine_ = nullptr;
};

// Command 40011: runs the dialog modally. Returns 1 whichever way it was closed.
int RunGuideSetup(Application& app, QWidget* parent);

}  // namespace kelpa
