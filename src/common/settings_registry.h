// Look-ups across the settings tables of several owners: which declaration a key names, and
// whether a text typed for it (the command line's --set Key=Value) can be used.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "common/settings_table.h"

namespace kelpa {

using SettingsTables = std::span<const SettingsTable* const>;

// The declaration of `key` (compared without case, as the profile compares keys), or nullptr.
const SettingDecl* FindSetting(SettingsTables tables, std::string_view key);

// Empty when `text` is a usable value of `key`; otherwise why not: "unknown setting KEY" when
// no table declares the key, "bad value for KEY: ..." when the text is no value of its kind.
// A number beyond the limits is usable: it is held to them when it is read.
std::string CheckSettingText(SettingsTables tables, std::string_view key, std::string_view text);

}  // namespace kelpa
