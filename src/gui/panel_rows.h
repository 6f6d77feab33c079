// The rows of the settings panel ("Filters Setting"), declared once: label, configuration key,
// slider range and default (taken from the processing settings table where the two overlap),
// control identifiers, the gap above the row, and how a slider position is shown in the value
// box and the tooltip. Also what a row reads from and writes to the processing engine. Nothing
// here needs Qt, so the rules are tested without a display.
//
// GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kelpa {

class ProcEngine;

enum class PanelRow : uint8_t {
    kAmplification,
    kBlackLevel,
    kGamma,
    kAccumulator,
    kDelay,
    kNrh,  // horizontal banding threshold
    kNrv,  // vertical banding threshold
};
inline constexpr size_t kPanelRowCount = 7;

// Slider position -> text.
using PanelFormatter = std::string (*)(int32_t position);

struct PanelRowDesc {
    PanelRow row;
    const char* label;  // built-in label text
    const char* key;    // the "kelpa.cfg" [CTRL] key of a replacement label
    int32_t defaultPosition;
    int32_t minimum;
    int32_t maximum;
    uint32_t buttonId;       // reset button (also its command number)
    uint32_t trackId;        // track bar
    uint32_t valueId;        // value box
    int32_t gapBefore;       // pixels added above the row
    const char* trackText;   // the string-table text of the track bar's identifier
    PanelFormatter value;    // value box
    PanelFormatter tooltip;  // track bar tooltip; nullptr: trackText is shown
};

// The seven rows in panel order.
std::span<const PanelRowDesc> PanelRows();
const PanelRowDesc& RowDesc(PanelRow row);
// The row of a reset button's command (1021, 1024, ... 1039).
std::optional<PanelRow> RowOfButton(uint32_t id);

// --- Formatters ---------------------------------------------------------------------------------
// "2" at 256, "1.500" at 192: whole factors without decimals.
std::string FormatAmplification(int32_t v);
// "200%" at 256, "150.0%" at 192.
std::string FormatAmplificationTip(int32_t v);
std::string FormatBlackLevel(int32_t v);
// The gamma factor: "1" at 128, "6" at 256, else three decimals.
std::string FormatGamma(int32_t v);
std::string FormatGammaTip(int32_t v);
std::string FormatAccumulator(int32_t v);
// The delay as frames before a source tells its rate: milliseconds x 0.03, truncated.
std::string FormatDelayFrames(int32_t delayMs);
// "ss:mmm"; 60 seconds and more read "59:000". The toolbar's delay box uses it too.
std::string FormatDelayText(uint32_t delayMs);
std::string FormatDelayTip(int32_t delayMs);
// A threshold position as its factor (position x 0.01): "-2" at -200, "1.500" at 150.
std::string FormatThreshold(int32_t v);
std::string FormatThresholdTip(int32_t v);
// The factor a threshold position stands for, in the engine's single precision.
float ThresholdFactor(int32_t position);

// --- The rows and the engine
// ---------------------------------------------------------------------- The row's value in the
// engine (the threshold factors as positions); the default without one.
int32_t RowValue(PanelRow row, const ProcEngine* engine);
// That value as a slider position (held to the row's range).
int32_t RowPosition(PanelRow row, const ProcEngine* engine);
// The value box text for the engine's value: the delay row shows the delay in frames the
// engine works with; without an engine, the defaults.
std::string RowValueText(PanelRow row, const ProcEngine* engine);
// The track bar tooltip at a slider position.
std::string RowTooltip(PanelRow row, int32_t position);
// The threshold rows only while their banding reduction is on; the others always.
bool RowEnabled(PanelRow row, const ProcEngine* engine);

// A slider moved: the position is held to the row's range and applied unless the engine holds
// that value already. True when something changed.
bool ApplyRowPosition(PanelRow row, ProcEngine& engine, int32_t position);
// The reset button: the row's default, unless the engine holds it already. True when changed.
bool ResetRow(PanelRow row, ProcEngine& engine);

}  // namespace kelpa
