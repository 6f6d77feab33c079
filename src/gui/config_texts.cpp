#include "gui/config_texts.h"

#include <algorithm>
#include <cctype>

#include "app/commands.h"
#include "cli/startup.h"
#include "common/value_token.h"

namespace kelpa {
namespace {

constexpr int32_t kNoMenu = -1;
constexpr int32_t kProcessingMenu = 2;
constexpr int32_t kHelpMenu = 5;

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::vector<std::string> ToolbarKeys() {
    std::vector<std::string> keys;
    for (const ToolbarButton& button : ToolbarButtons()) {
        if (button.key != nullptr) keys.emplace_back(button.key);
    }
    return keys;
}

std::vector<std::string> MenuKeys(int32_t menu) {
    std::vector<std::string> keys{kMenuTitleKey};
    for (const MenuItem& item : MenuItems()) {
        if (ConfigMenuNumber(item.menu) == menu) keys.emplace_back(item.key);
    }
    if (menu == kProcessingMenu) {
        keys.insert(keys.end(), {kChannelsMenuKey, kAccumulateMenuKey, kAreaMenuKey});
    }
    if (menu == kHelpMenu) keys.emplace_back(kWebMenuKey);
    return keys;
}

}  // namespace

int32_t ConfigMenuNumber(Menu menu) {
    switch (menu) {
        case Menu::kChannels:
        case Menu::kAccumulate:
        case Menu::kArea:
            return kProcessingMenu;
        case Menu::kWeb:
            return kHelpMenu;
        default:
            return static_cast<int32_t>(menu);
    }
}

std::string ExpandTabs(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 4);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 't') {
            out += " \t";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

ConfigSection::ConfigSection(int32_t menuNumber, std::vector<std::string> keys)
    : CfgMenuTarget(menuNumber) {
    for (const std::string& key : keys) keys_.push_back(Lower(key));
}

int32_t ConfigSection::Assign(const char* name, const char* value) {
    const std::string key = Lower(name);
    if (std::find(keys_.begin(), keys_.end(), key) == keys_.end()) return 0;
    const char* cursor = value;
    std::string text;
    const int32_t result = ReadValueToken(cursor, &text);
    if (result < 0) return result;
    // A text that begins with a digit is not split into items: it is taken whole.
    if (text.empty()) text = value;
    texts_[key] = ExpandTabs(text);
    return 1;
}

const std::string* ConfigSection::Text(std::string_view key) const {
    const auto found = texts_.find(Lower(key));
    return found == texts_.end() ? nullptr : &found->second;
}

ConfigTexts::ConfigTexts()
    : toolbar_(kNoMenu, ToolbarKeys()),
      controls_(kNoMenu,
                std::vector<std::string>(std::begin(kPanelRowKeys), std::end(kPanelRowKeys))) {
    for (int32_t menu = 0; menu < kConfigMenuCount; ++menu) {
        menus_.push_back(std::make_unique<ConfigSection>(menu, MenuKeys(menu)));
        menuTargets_[static_cast<size_t>(menu)] = menus_.back().get();
    }
}

bool ConfigTexts::Load(const std::string& directory) {
    return LoadConfig(this, directory.c_str(), kWindowConfigName);
}

const std::string* ConfigTexts::MenuText(int32_t menu, std::string_view key) const {
    if (menu < 0 || menu >= kConfigMenuCount) return nullptr;
    return menus_[static_cast<size_t>(menu)]->Text(key);
}

}  // namespace kelpa
