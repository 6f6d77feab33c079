// The configuration files shipped with the program: as shipped they change nothing and leave no
// side log behind, and every example line a user uncomments is a valid assignment whose text
// reads as one quoted item.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/cfg_parser.h"
#include "common/value_token.h"
#include "platform/data_paths.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Reads every value the way a replacement-text table does: one item, quoted.
class TextTarget : public CfgMenuTarget {
  public:
    explicit TextTarget(int32_t menuNumber) : CfgMenuTarget(menuNumber) {}

    int32_t Assign(const char* name, const char* value) override {
        std::string text;
        const char* cursor = value;
        const int32_t result = ReadValueToken(cursor, &text);
        if (result < 0) return result;
        // A bare word or a number is not a replacement text; only a quoted item is taken whole.
        if (value[0] != '"' || text.empty() || cursor != nullptr) return -2;
        texts[name] = text;
        return 1;
    }

    std::map<std::string, std::string> texts;
};

// Nine menus, the toolbar and the panel, each a TextTarget.
class TextRoot : public CfgRoot {
  public:
    TextRoot() {
        targets.reserve(11);
        for (int32_t n = 0; n < 11; ++n) menus_.push_back(&targets.emplace_back(n));
    }
    CfgTarget* ToolBarTarget() override { return &targets[9]; }
    CfgTarget* ControlsTarget() override { return &targets[10]; }
    std::span<CfgMenuTarget* const> MenuTargets() override { return std::span(menus_).first(9); }
    size_t TextCount() const {
        size_t count = 0;
        for (const TextTarget& target : targets) count += target.texts.size();
        return count;
    }

    std::vector<TextTarget> targets;  // MENU1 ... MENU9, the toolbar, the panel

  private:
    std::vector<CfgMenuTarget*> menus_;
};

std::string Shipped(const char* name) {
    const std::string path = ProgramDataPaths().configDirectory + name;
    if (!FileExists(path)) ADD_FAILURE() << "missing shipped file " << path;
    return ReadFile(path);
}

TEST(ShippedConfigTest, AsShippedNothingIsAssignedAndNoSideLogIsLeft) {
    for (const char* name : {"kelpa.cfg", "kcommon.cfg"}) {
        TempDir dir;
        WriteFile(dir / name, Shipped(name));
        TextRoot root;
        EXPECT_TRUE(LoadConfig(&root, dir.Path().c_str(), name)) << name;
        EXPECT_EQ(root.TextCount(), 0u) << name;
        EXPECT_FALSE(FileExists(dir / (std::string(name) + ".log"))) << ReadFile(dir / name);
    }
}

}  // namespace
}  // namespace kelpa
