// The configuration files shipped with the program: as shipped they change nothing and leave no
// side log behind, and every example line a user uncomments is a valid assignment whose text
// reads as one quoted item.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
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
    explicit TextTarget(int32_t menuNumber = -1) : CfgMenuTarget(menuNumber) {}

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

// The toolbar, the panel and nine menus, each a TextTarget.
class TextRoot : public CfgRoot {
  public:
    TextRoot() {
        menus_.reserve(10);
        for (int32_t n = 0; n < 10; ++n) pointers_.push_back(&menus_.emplace_back(n));
    }
    CfgTarget* ToolBarTarget() override { return &menus_[9]; }
    CfgTarget* ControlsTarget() override { return &controls; }
    std::span<CfgMenuTarget* const> MenuTargets() override { return std::span(pointers_).first(9); }
    size_t TextCount() const {
        size_t count = controls.texts.size();
        for (const TextTarget& target : menus_) count += target.texts.size();
        return count;
    }
    const TextTarget& Menu(int32_t n) const { return menus_[n - 1]; }
    const TextTarget& ToolBar() const { return menus_[9]; }

    TextTarget controls;

  private:
    std::vector<TextTarget> menus_;
    std::vector<CfgMenuTarget*> pointers_;
};

std::string Shipped(const char* name) {
    const std::string path = ProgramDataPaths().configDirectory + name;
    if (!FileExists(path)) ADD_FAILURE() << "missing shipped file " << path;
    return ReadFile(path);
}

// The key of an example line, a ';' right in front of "Key = ", or "" for any other line.
std::string ExampleKey(const std::string& line) {
    if (line.size() < 2 || line[0] != ';') return {};
    const auto word = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    };
    if (std::isdigit(static_cast<unsigned char>(line[1])) || !word(line[1])) return {};
    size_t end = 1;
    while (end < line.size() && word(line[end])) ++end;
    return line.compare(end, 3, " = ") == 0 ? line.substr(1, end - 1) : std::string();
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

TEST(ShippedConfigTest, EveryUncommentedExampleIsAcceptedOnce) {
    std::istringstream shipped(Shipped("kelpa.cfg"));
    std::string uncommented;
    size_t examples = 0;
    std::map<std::string, std::set<std::string>> keysBySection;
    std::string section;
    for (std::string line; std::getline(shipped, line);) {
        if (line.starts_with("[")) section = line;
        if (const std::string key = ExampleKey(line); !key.empty()) {
            ++examples;
            EXPECT_TRUE(keysBySection[section].insert(key).second)
                << "key given twice in " << section << ": " << line;
            line.erase(0, 1);
        }
        uncommented += line + "\n";
    }
    ASSERT_GT(examples, 0u);

    TempDir dir;
    WriteFile(dir / "kelpa.cfg", uncommented);
    TextRoot root;
    EXPECT_TRUE(LoadConfig(&root, dir.Path().c_str(), "kelpa.cfg"));
    EXPECT_EQ(ReadFile(dir / "kelpa.cfg.log"), "");  // no line was refused
    EXPECT_EQ(root.TextCount(), examples);           // and none fell outside a section
    // The sections the main window reads are all there: the toolbar, the panel, six menus.
    EXPECT_FALSE(root.ToolBar().texts.empty());
    EXPECT_FALSE(root.controls.texts.empty());
    for (int32_t n = 1; n <= 6; ++n) EXPECT_TRUE(root.Menu(n).texts.contains("name")) << n;
}

}  // namespace
}  // namespace kelpa
