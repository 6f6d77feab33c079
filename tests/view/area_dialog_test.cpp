// The model of the processing-area dialog on a real engine.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "view/area_dialog.h"
#include "view/area_edit_fixture.h"

namespace kelpa {
namespace {

using test::AreaEditFixture;

std::tuple<int32_t, int32_t, int32_t, int32_t> Fields(const AreaDialogModel& m) {
    const AreaFieldValues& v = m.Fields();
    return {v.x, v.y, v.width, v.height};
}

TEST(AreaNumberTest, OnlySignedDecimals) {
    const std::tuple<const char*, bool, int32_t> cases[] = {
        {"12", true, 12}, {"-3", true, -3}, {"+4", true, 4},   {"0007", true, 7}, {"", false, 0},
        {"1a", false, 0}, {" 1", false, 0}, {"+-1", false, 0}, {"-", false, 0},
    };
    for (const auto& [text, valid, value] : cases) {
        int32_t parsed = 0;
        EXPECT_EQ(ParseAreaNumber(text, parsed), valid) << text;
        if (valid) {
            EXPECT_EQ(parsed, value) << text;
        }
    }
}

// The fields and the bounding box are in the rows of the picture as shown, whichever order
// the frame's rows are stored in.
TEST(AreaDialogTest, FieldsAndBoundBoxAsShown) {
    for (bool topDown : {true, false}) {
        AreaEditFixture f(topDown);
        AreaRectMemory memory;
        AreaDialogModel centred(&f.E(), memory);
        EXPECT_EQ(Fields(centred), std::tuple(160, 120, 320, 240));
        EXPECT_EQ(centred.BoundBoxText(), "( 160, 120, 320, 240 )");
        EXPECT_TRUE(centred.HalfFullEnabled());
        f.E().SetAreaRect(10, 20, 110, 70);
        centred.Refresh();
        EXPECT_EQ(Fields(centred), std::tuple(10, 20, 100, 50)) << topDown;
        EXPECT_EQ(centred.BoundBoxText(), "( 10, 20, 100, 50 )") << topDown;
    }
}

TEST(AreaDialogTest, ButtonsAndFieldEditsApplyAndShowTheResult) {
    AreaEditFixture f;
    AreaRectMemory memory;
    AreaDialogModel m(&f.E(), memory);
    EXPECT_FALSE(m.Half());  // the default area is already half the picture, centred
    EXPECT_TRUE(m.Full());
    EXPECT_EQ(m.BoundBoxText(), "( 0, 0, 640, 480 )");
    EXPECT_FALSE(m.Full());
    EXPECT_TRUE(m.Half());
    EXPECT_TRUE(m.TextChanged(AreaField::kWidth, "100"));
    EXPECT_EQ(f.Area().w, 100);
    EXPECT_FALSE(m.TextChanged(AreaField::kWidth, "100"));  // the same value again
    EXPECT_FALSE(m.TextChanged(AreaField::kWidth, "10a"));
    bool changed = true;
    EXPECT_EQ(m.FieldLeft(AreaField::kWidth, "abc", changed), "100");
    EXPECT_FALSE(changed);
    // The area setter keeps the area on the picture: 40 columns are left right of 600.
    EXPECT_EQ(m.FieldLeft(AreaField::kX, "600", changed), "600");
    EXPECT_TRUE(changed);
    EXPECT_EQ(m.Field(AreaField::kWidth), 40);
    EXPECT_TRUE(m.TextChanged(AreaField::kHeight, "60"));
    EXPECT_TRUE(m.TextChanged(AreaField::kY, "10"));
    EXPECT_EQ(m.BoundBoxText(), "( 600, 10, 40, 60 )");
}

TEST(AreaDialogTest, CancelRestoresAndOkRemembers) {
    AreaEditFixture f;
    AreaRectMemory memory;
    const ProcArea opened = f.Area();
    {
        AreaDialogModel m(&f.E(), memory);
        m.Full();
        m.TextChanged(AreaField::kX, "33");
        m.Cancel();
    }
    EXPECT_EQ(f.Area(), opened);
    EXPECT_EQ(std::tuple(memory.left, memory.top, memory.right, memory.bottom),
              std::tuple(160, 120, 480, 360));
    {
        AreaDialogModel m(&f.E(), memory);
        m.TextChanged(AreaField::kWidth, "200");
        m.Ok();
    }
    EXPECT_EQ(f.Area().w, 200);
    EXPECT_EQ(memory.right - memory.left, 200);
}

TEST(AreaDialogTest, WithoutVideoOnlyTheRememberedWidthChanges) {
    AreaRectMemory memory;
    AreaDialogModel m(nullptr, memory);
    EXPECT_EQ(Fields(m), std::tuple(0, 0, 50, 50));
    EXPECT_FALSE(m.HalfFullEnabled());
    EXPECT_FALSE(m.Full());
    m.TextChanged(AreaField::kX, "7");
    m.TextChanged(AreaField::kWidth, "-5");
    EXPECT_EQ(std::tuple(memory.left, memory.right), std::tuple(0, 0));
    bool changed = true;
    EXPECT_EQ(m.FieldLeft(AreaField::kWidth, "80", changed), "80");
    EXPECT_FALSE(changed);
    m.Cancel();
    EXPECT_EQ(std::tuple(memory.left, memory.top, memory.right, memory.bottom),
              std::tuple(0, 0, 80, 50));
}

}  // namespace
}  // namespace kelpa
