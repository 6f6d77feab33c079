#include "common/settings_registry.h"

#include <algorithm>

namespace kelpa {
namespace {

bool SameKey(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

const SettingDecl* FindSetting(SettingsTables tables, std::string_view key) {
    for (const SettingsTable* table : tables) {
        for (const SettingDecl& decl : table->settings) {
            if (SameKey(decl.key, key)) return &decl;
        }
    }
    return nullptr;
}

std::string CheckSettingText(SettingsTables tables, std::string_view key, std::string_view text) {
    const SettingDecl* decl = FindSetting(tables, key);
    std::string error;
    if (!decl) return error.append("unknown setting ").append(key);
    const SettingParse parsed = ParseSetting(*decl, text);
    if (parsed.ok()) return error;
    return error.append("bad value for ").append(decl->key).append(": ").append(parsed.error);
}

}  // namespace kelpa
