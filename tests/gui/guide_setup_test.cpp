// "GUIDE Setup": the method list, the factor's arrows and typed values held to the method's
// limits, the default button, the refinement box, and Cancel putting back what the dialog found.
#include "gui/guide_setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui/gui_test_support.h"

namespace kelpa::test {
namespace {

class GuideSetupTest : public CoreTest {
  protected:
    ProcEngine& Engine() {
        App().MakeCurrent(SourceKind::kFile);
        return App().Current()->sink.engine;
    }
    static std::string Factor(GuideSetupDialog& d) {
        return d.FactorBox()->Edit()->text().toStdString();
    }
    static void Type(GuideSetupDialog& d, const QString& text) {
        d.FactorBox()->Edit()->setText(text);
        d.FactorLeft();
    }
    // Chooses a method as the user does, from the open list.
    static void Choose(GuideSetupDialog& d, int index) {
        d.MethodBox()->setCurrentIndex(index);
        emit d.MethodBox()->activated(index);
    }
};

TEST_F(GuideSetupTest, OpensOnTheCurrentMethodAndFactor) {
    ProcEngine& engine = Engine();
    const float factors[3] = {3.5f, 0.25f, -1.0f};
    engine.SetStarThresholds(1, factors);
    GuideSetupDialog dialog(App());
    EXPECT_EQ(dialog.windowTitle().toStdString(), "GUIDE Setup");
    ASSERT_EQ(dialog.MethodBox()->count(), 3);
    EXPECT_EQ(dialog.MethodBox()->itemText(0).toStdString(), "Background Level");
    EXPECT_EQ(dialog.MethodBox()->itemText(1).toStdString(), "at Half Maximum Level");
    EXPECT_EQ(dialog.MethodBox()->itemText(2).toStdString(), "Maximum Level");
    EXPECT_EQ(dialog.MethodBox()->currentIndex(), 1);
    EXPECT_EQ(Factor(dialog), "0.25");
    EXPECT_EQ(dialog.DefaultButton()->text().toStdString(), "D");
    KeepGrab(dialog, "guide_setup.png");
}

TEST_F(GuideSetupTest, WithoutSourceShowsMaximumLevelAndFour) {
    GuideSetupDialog dialog(App());
    EXPECT_FALSE(dialog.RefineBox()->isEnabled());
    EXPECT_FALSE(dialog.RefineBox()->isChecked());
    EXPECT_EQ(dialog.MethodBox()->currentIndex(), 2);
    EXPECT_EQ(Factor(dialog), "4.00");
    dialog.Step(1);  // nothing to change
    EXPECT_EQ(Factor(dialog), "4.00");
}

struct StepCase {
    int32_t method;
    float factor;
    int direction;
    float expected;
};

class GuideStepTest : public GuideSetupTest, public ::testing::WithParamInterface<StepCase> {};

// Each arrow step moves the factor by 0.2 and holds it to the method's limits: -20 below, 0
// above for "Maximum Level", 20 for the others.
TEST_P(GuideStepTest, StepIsHeldToTheMethodsLimits) {
    const StepCase& c = GetParam();
    ProcEngine& engine = Engine();
    float factors[3] = {4.0f, 0.0f, -2.0f};
    factors[c.method] = c.factor;
    engine.SetStarThresholds(c.method, factors);
    GuideSetupDialog dialog(App());
    dialog.FactorBox()->stepBy(c.direction);
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[c.method].load(), c.expected);
    EXPECT_EQ(Factor(dialog), QString::asprintf("%.2f", c.expected).toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, GuideStepTest,
    ::testing::Values(StepCase{2, -0.1f, 1, 0.0f},  // not 0.1
                      StepCase{2, -0.1f, -1, -0.3f}, StepCase{2, -19.9f, -1, -20.0f},
                      StepCase{0, 19.9f, 1, 20.0f}, StepCase{1, 19.9f, 1, 20.0f},
                      StepCase{1, 0.0f, 10, 0.2f},  // page: one step
                      StepCase{0, 4.0f, -1, 3.8f}),
    [](const ::testing::TestParamInfo<StepCase>& tested) {
        const StepCase& c = tested.param;
        std::string name = "Method" + std::to_string(c.method);
        name += c.direction > 0 ? "_Up" : "_Down";
        return name + std::to_string(std::abs(c.direction)) + "_" + std::to_string(tested.index);
    });

TEST_F(GuideSetupTest, TypedFactorsAreReadAndHeld) {
    ProcEngine& engine = Engine();
    const float factors[3] = {4.0f, 0.0f, -2.0f};
    engine.SetStarThresholds(0, factors);
    GuideSetupDialog dialog(App());
    const struct {
        const char* typed;
        float stored;
        const char* shown;
    } cases[] = {
        {"2.5", 2.5f, "2.50"},     {"7abc", 7.0f, "7.00"},   {"abc", 0.0f, "0.00"},
        {"-99", -20.0f, "-20.00"}, {"1e99", 20.0f, "20.00"}, {"nan", -20.0f, "-20.00"},
        {" 3", 3.0f, "3.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Type(dialog, c.typed);
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), c.stored);
        EXPECT_EQ(Factor(dialog), c.shown);
    }
    // An emptied field shows the factor again, with three decimals.
    Type(dialog, "");
    EXPECT_EQ(Factor(dialog), "3.000");
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 3.0f);
}

TEST_F(GuideSetupTest, DefaultButtonAndMethodChoice) {
    ProcEngine& engine = Engine();
    const float factors[3] = {1.0f, 1.0f, -5.0f};
    engine.SetStarThresholds(0, factors);
    GuideSetupDialog dialog(App());
    dialog.DefaultButton()->click();
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 4.0f);
    Choose(dialog, 2);
    EXPECT_EQ(engine.params.starThresholdMethod.load(), 2);
    EXPECT_EQ(Factor(dialog), "-5.00");
    dialog.DefaultButton()->click();
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[2].load(), -2.0f);
    Choose(dialog, 1);
    EXPECT_EQ(Factor(dialog), "1.00");
    dialog.DefaultButton()->click();
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[1].load(), 0.0f);
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[2].load(), -2.0f);
}

// Cancel after changing the method and the factors restores both; OK keeps them.
TEST_F(GuideSetupTest, CancelRestoresOkKeeps) {
    ProcEngine& engine = Engine();
    const float factors[3] = {3.0f, 1.5f, -1.0f};
    engine.SetStarThresholds(0, factors);
    {
        GuideSetupDialog dialog(App());
        Type(dialog, "6");
        Choose(dialog, 2);
        dialog.FactorBox()->stepBy(-1);
        EXPECT_EQ(engine.params.starThresholdMethod.load(), 2);
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 6.0f);
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[2].load(), -1.2f);
        dialog.findChild<QPushButton*>("2")->click();  // Cancel
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(engine.params.starThresholdMethod.load(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[i].load(), factors[i]);
    {
        GuideSetupDialog dialog(App());
        Choose(dialog, 1);
        Type(dialog, "2");
        dialog.findChild<QPushButton*>("1")->click();  // OK
    }
    EXPECT_EQ(engine.params.starThresholdMethod.load(), 1);
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[1].load(), 2.0f);
}

// The refinement box shows the engine's setting and changes it at once; Cancel puts back what
// the dialog found, from either state, also after it was ticked more than once; OK keeps it.
TEST_F(GuideSetupTest, RefineBoxCancelRestoresOkKeeps) {
    ProcEngine& engine = Engine();
    for (const bool initial : {false, true}) {
        SCOPED_TRACE(initial);
        engine.SetGuideRefine(initial);
        {
            GuideSetupDialog dialog(App());
            EXPECT_EQ(dialog.RefineBox()->isChecked(), initial);
            dialog.RefineBox()->click();
            EXPECT_EQ(engine.params.guideRefine.load() != 0, !initial);
            dialog.RefineBox()->click();
            dialog.RefineBox()->click();
            EXPECT_EQ(engine.params.guideRefine.load() != 0, !initial);
            dialog.findChild<QPushButton*>("2")->click();  // Cancel
        }
        EXPECT_EQ(engine.params.guideRefine.load() != 0, initial);
        {
            GuideSetupDialog dialog(App());
            dialog.RefineBox()->click();
            dialog.findChild<QPushButton*>("1")->click();  // OK
        }
        EXPECT_EQ(engine.params.guideRefine.load() != 0, !initial);
        // What the engine holds is what the profile gets.
        EXPECT_EQ(engine.Settings().guideRefine, !initial);
    }
}

}  // namespace
}  // namespace kelpa::test
