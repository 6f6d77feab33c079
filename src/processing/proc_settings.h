// The processing settings table: every profile key of the processing engine with its default,
// its limits and its write format, and the calls that load and save a ProcSettings through it.
#pragma once

#include "common/settings_table.h"
#include "processing/proc_params.h"

namespace kelpa {

// Keys in the order they are read; the table's write order is the order they are saved in.
const SettingsTableOf<ProcSettings>& ProcSettingsTable();

// The declared defaults: what a profile without the section gives.
ProcSettings DefaultProcSettings();

// From the installed profile store; a missing or unreadable value gives its default, a value
// outside its limits is held to them.
ProcSettings LoadProcSettings();

// Every key in the write order; a key that cannot be written is skipped.
void SaveProcSettings(const ProcSettings& settings);

}  // namespace kelpa
