// The replacement texts of "kelpa.cfg": toolbar tooltips ([TOOLBAR]), settings panel labels
// ([CTRL]) and menu texts ([MENU1] ... [MENU6], one per menu of the menu bar). Each section
// knows its keys, so a misspelt key is reported in the file's side log; keys ignore case.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands.h"
#include "common/cfg_parser.h"

namespace kelpa {

// The six menus of the menu bar, [MENU1] to [MENU6].
inline constexpr int32_t kConfigMenuCount = 6;
// The key of a menu's own title in its [MENUn] section.
inline constexpr const char* kMenuTitleKey = "name";
// Titles of the submenus, in the [MENU3] (Processing) and [MENU6] (Help) sections.
inline constexpr const char* kChannelsMenuKey = "ChannelsSubMenu";
inline constexpr const char* kAccumulateMenuKey = "AccumSubMenu";
inline constexpr const char* kAreaMenuKey = "AreaSubMenu";
inline constexpr const char* kWebMenuKey = "Web";

// The [CTRL] keys: the rows of the settings panel.
inline constexpr const char* kPanelRowKeys[] = {
    "Amplification", "BlackLevel", "Gamma", "Accumulator", "Delay", "NRH", "NRV"};

// One section: the keys it accepts and the texts given for them.
class ConfigSection final : public CfgMenuTarget {
  public:
    ConfigSection(int32_t menuNumber, std::vector<std::string> keys);

    int32_t Assign(const char* name, const char* value) override;
    // The replacement text for `key`, or nullptr when none was given.
    const std::string* Text(std::string_view key) const;

  private:
    std::map<std::string, std::string> texts_;  // by lower-case key
    std::vector<std::string> keys_;             // lower case
};

class ConfigTexts final : public CfgRoot {
  public:
    ConfigTexts();

    // Reads `directory`/kelpa.cfg (a missing file leaves the built-in texts). True when the
    // file was read to its end.
    bool Load(const std::string& directory);

    const std::string* Tooltip(std::string_view key) const { return toolbar_.Text(key); }
    const std::string* PanelLabel(std::string_view key) const { return controls_.Text(key); }
    // `menu` 0 ... 5: Control, Sources, Processing, Guide, View, Help.
    const std::string* MenuText(int32_t menu, std::string_view key) const;

    CfgTarget* ToolBarTarget() override { return &toolbar_; }
    CfgTarget* ControlsTarget() override { return &controls_; }
    std::span<CfgMenuTarget* const> MenuTargets() override { return menuTargets_; }

  private:
    ConfigSection toolbar_;
    ConfigSection controls_;
    std::vector<std::unique_ptr<ConfigSection>> menus_;
    std::array<CfgMenuTarget*, kConfigMenuCount> menuTargets_{};
};

// The [MENUn] section (n - 1, 0 ... 5) that holds the texts of a menu's items: a submenu's
// items are addressed in the section of the menu it belongs to.
int32_t ConfigMenuNumber(Menu menu);

// A replacement text as it is shown: every backslash followed by 't' becomes a blank and a tab,
// so "&Start\tSpace" keeps its accelerator column.
std::string ExpandTabs(std::string_view text);

}  // namespace kelpa
