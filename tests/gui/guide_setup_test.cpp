// "GUIDE Setup": the method list, the factor's arrows and typed values held to the method's
// limits, the default button, the refinement box, and Cancel putting back what the dialog found.
#include "gui/guide_setup_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <array>

#include "gui/gui_test_support.h"

namespace kelpa::test {
namespace {

class GuideSetupTest : public CoreTest {
  protected:
    // The current engine, its method and factors set.
    ProcEngine& Engine(int32_t method = 0, std::array<float, 3> factors = {4.0f, 0.0f, -2.0f}) {
        App().MakeCurrent(SourceKind::kFile);
        ProcEngine& engine = App().Current()->sink.engine;
        engine.SetStarThresholds(method, factors.data());
        return engine;
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
    static void Click(GuideSetupDialog& d, const char* button) {  // "1" OK, "2" Cancel
        d.findChild<QPushButton*>(button)->click();
    }
};

TEST_F(GuideSetupTest, OpensOnTheCurrentMethodAndFactorOrMaximumLevelAndFourWithoutSource) {
    {
        GuideSetupDialog dialog(App());
        EXPECT_FALSE(dialog.RefineBox()->isEnabled());
        EXPECT_EQ(dialog.MethodBox()->currentIndex(), 2);
        EXPECT_EQ(Factor(dialog), "4.00");
        dialog.Step(1);  // nothing to change
        EXPECT_EQ(Factor(dialog), "4.00");
    }
    Engine(1, {3.5f, 0.25f, -1.0f});
    GuideSetupDialog dialog(App());
    EXPECT_EQ(dialog.windowTitle().toStdString(), "GUIDE Setup");
    QStringList methods;
    for (int i = 0; i < dialog.MethodBox()->count(); ++i)
        methods << dialog.MethodBox()->itemText(i);
    EXPECT_EQ(methods.join('|').toStdString(),
              "Background Level|at Half Maximum Level|Maximum Level");
    EXPECT_EQ(dialog.MethodBox()->currentIndex(), 1);
    EXPECT_EQ(Factor(dialog), "0.25");
    KeepGrab(dialog, "guide_setup.png");
}

// Each arrow step moves the factor by 0.2 and holds it to the method's limits: -20 below, 0
// above for "Maximum Level", 20 for the others. Typed texts are read and held the same way.
TEST_F(GuideSetupTest, StepsAndTypedFactorsAreHeldToTheMethodsLimits) {
    // method, factor, arrow steps, factor after
    const std::tuple<int32_t, float, int, float> steps[] = {
        {2, -0.1f, 1, 0.0f},  // not 0.1
        {2, -19.9f, -1, -20.0f}, {0, 19.9f, 1, 20.0f},
        {1, 19.9f, 1, 20.0f},    {1, 0.0f, 10, 0.2f},  // page: one step
        {0, 4.0f, -1, 3.8f},
    };
    for (const auto& [method, factor, direction, expected] : steps) {
        SCOPED_TRACE(::testing::Message() << method << " " << factor << " " << direction);
        std::array<float, 3> factors = {4.0f, 0.0f, -2.0f};
        factors[method] = factor;
        ProcEngine& engine = Engine(method, factors);
        GuideSetupDialog dialog(App());
        dialog.FactorBox()->stepBy(direction);
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[method].load(), expected);
        EXPECT_EQ(Factor(dialog), QString::asprintf("%.2f", expected).toStdString());
    }

    ProcEngine& engine = Engine();
    GuideSetupDialog dialog(App());
    // Typed, stored, shown.
    const std::tuple<const char*, float, const char*> typed[] = {
        {"7abc", 7.0f, "7.00"},   {"abc", 0.0f, "0.00"},     {"-99", -20.0f, "-20.00"},
        {"1e99", 20.0f, "20.00"}, {"nan", -20.0f, "-20.00"}, {" 3", 3.0f, "3.00"},
    };
    for (const auto& [text, stored, shown] : typed) {
        SCOPED_TRACE(text);
        Type(dialog, text);
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), stored);
        EXPECT_EQ(Factor(dialog), shown);
    }
    // An emptied field shows the factor again, with three decimals.
    Type(dialog, "");
    EXPECT_EQ(Factor(dialog), "3.000");
    EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 3.0f);
}

// Cancel after changing the method, the factors and the refinement box (ticked more than once)
// puts back what the dialog found, from either state of the box; OK keeps the changes.
TEST_F(GuideSetupTest, CancelRestoresOkKeepsDefaultSetsTheMethodsDefault) {
    const std::array<float, 3> factors = {3.0f, 1.5f, -1.0f};
    ProcEngine& engine = Engine(0, factors);
    for (const bool refine : {false, true}) {
        SCOPED_TRACE(refine);
        engine.SetGuideRefine(refine);
        {
            GuideSetupDialog dialog(App());
            EXPECT_EQ(dialog.RefineBox()->isChecked(), refine);
            Type(dialog, "6");
            Choose(dialog, 2);
            dialog.FactorBox()->stepBy(-1);
            for (int i = 0; i < 3; ++i) dialog.RefineBox()->click();
            EXPECT_EQ(engine.params.starThresholdMethod.load(), 2);
            EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 6.0f);
            EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[2].load(), -1.2f);
            EXPECT_EQ(engine.params.guideRefine.load() != 0, !refine);
            Click(dialog, "2");
            EXPECT_EQ(dialog.result(), QDialog::Rejected);
        }
        EXPECT_EQ(engine.params.starThresholdMethod.load(), 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[i].load(), factors[i]);
        }
        EXPECT_EQ(engine.params.guideRefine.load() != 0, refine);
    }
    // The default button sets the chosen method's default only; a method chosen shows its factor.
    {
        GuideSetupDialog dialog(App());
        dialog.DefaultButton()->click();
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[0].load(), 4.0f);
        Choose(dialog, 2);
        EXPECT_EQ(Factor(dialog), "-1.00");
        dialog.DefaultButton()->click();
        Choose(dialog, 1);
        EXPECT_EQ(Factor(dialog), "1.50");
        Type(dialog, "2");
        dialog.RefineBox()->click();
        Click(dialog, "1");
    }
    EXPECT_EQ(engine.params.starThresholdMethod.load(), 1);
    const float kept[] = {4.0f, 2.0f, -2.0f};
    for (int i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(engine.params.starThresholdFactor[i].load(), kept[i]);
    // What the engine holds is what the profile gets.
    EXPECT_FALSE(engine.Settings().guideRefine);
}

}  // namespace
}  // namespace kelpa::test
