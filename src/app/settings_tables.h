// The settings tables of the whole program, for the command line's --set and the settings
// panel. Each owner declares its table in its own layer; this list names them all.
#pragma once

#include <string>
#include <string_view>

#include "common/settings_registry.h"

namespace kelpa {

SettingsTables ProgramSettingsTables();

// For --set Key=Value: empty when the value is usable, else the reason ("unknown setting KEY",
// "bad value for KEY: ...").
std::string CheckProgramSetting(std::string_view key, std::string_view text);

// The profile section of the table that declares `key`; nullptr when none does.
const char* ProgramSettingSection(std::string_view key);

}  // namespace kelpa
