// The configuration files shipped with the program: as shipped they assign nothing and leave no
// side log behind.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "common/cfg_parser.h"
#include "platform/data_paths.h"
#include "support/temp_files.h"

namespace kelpa {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Takes every assignment, counting them.
class CountingTarget : public CfgMenuTarget {
  public:
    CountingTarget(int32_t menuNumber, int* count) : CfgMenuTarget(menuNumber), count_(count) {}
    int32_t Assign(const char*, const char*) override { return ++*count_; }

  private:
    int* count_;
};

// Nine menus, the toolbar and the panel, all counting into `count`.
class CountingRoot : public CfgRoot {
  public:
    CountingRoot() {
        for (int32_t n = 0; n < 9; ++n) menus_.push_back(&targets_.emplace_back(n, &count));
    }
    CfgTarget* ToolBarTarget() override { return &bars_; }
    CfgTarget* ControlsTarget() override { return &bars_; }
    std::span<CfgMenuTarget* const> MenuTargets() override { return menus_; }

    int count = 0;

  private:
    CountingTarget bars_{-1, &count};
    std::deque<CountingTarget> targets_;
    std::vector<CfgMenuTarget*> menus_;
};

TEST(ShippedConfigTest, AsShippedNothingIsAssignedAndNoSideLogIsLeft) {
    for (const char* name : {"kelpa.cfg", "kcommon.cfg"}) {
        const std::string shipped = ProgramDataPaths().configDirectory + name;
        ASSERT_TRUE(FileExists(shipped)) << shipped;
        TempDir dir;
        WriteFile(dir / name, ReadFile(shipped));
        CountingRoot root;
        EXPECT_TRUE(LoadConfig(&root, dir.Path().c_str(), name)) << name;
        EXPECT_EQ(root.count, 0) << name;
        EXPECT_FALSE(FileExists(dir / (std::string(name) + ".log"))) << ReadFile(dir / name);
    }
}

}  // namespace
}  // namespace kelpa
