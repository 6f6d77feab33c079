#include "gui/panel_rows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "common/settings_registry.h"
#include "common/time_text.h"
#include "processing/proc_engine.h"
#include "processing/proc_settings.h"
#include "processing/tone.h"

namespace kelpa {
namespace {

// The accumulation slider stops at 256 frames, which is as far as the automatic control goes;
// a larger stored count still shows in the value box.
constexpr int32_t kAccumulatorSliderMax = 256;

// Texts of at most 80 characters, as the value boxes and tooltips hold.
__attribute__((format(printf, 1, 2))) std::string Printf(const char* format, ...) {
    char text[80];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text, n > 0 ? std::min<size_t>(static_cast<size_t>(n), sizeof text - 1) : 0);
}

// A factor without decimals when it is whole, else with three.
std::string WholeOrThreeDecimals(double factor) {
    if (factor == std::trunc(factor)) return Printf("%d", static_cast<int>(factor));
    return Printf("%.3f", factor);
}

struct Limits {
    int32_t defaultPosition;
    int32_t minimum;
    int32_t maximum;
};

// A row's range from the processing settings table; `scale` turns the stored units into slider
// positions (the threshold factors are shown in hundredths).
Limits LimitsOf(const char* key, double scale = 1.0) {
    const SettingsTable* const tables[] = {&ProcSettingsTable()};
    const SettingDecl* decl = FindSetting(tables, key);
    return {static_cast<int32_t>(std::lround(decl->defaultValue * scale)),
            static_cast<int32_t>(std::lround(decl->minimum * scale)),
            static_cast<int32_t>(std::lround(decl->maximum * scale))};
}

std::array<PanelRowDesc, kPanelRowCount> BuildRows() {
    const Limits amp = LimitsOf("ProcAmp");
    const Limits black = LimitsOf("ProcBlackLevel");
    const Limits gamma = LimitsOf("ProcGamma");
    Limits accumulator = LimitsOf("ProcCountAccum");
    accumulator.maximum = std::min(accumulator.maximum, kAccumulatorSliderMax);
    const Limits delay = LimitsOf("ProcTimeDelay");
    const Limits nrh = LimitsOf("ProcRMSH", 100.0);
    const Limits nrv = LimitsOf("ProcRMSV", 100.0);
    const auto row = [](PanelRow r, const char* label, const char* key, Limits limits,
                        uint32_t firstId, int32_t gap, const char* text, PanelFormatter value,
                        PanelFormatter tip) {
        return PanelRowDesc{r,
                            label,
                            key,
                            limits.defaultPosition,
                            limits.minimum,
                            limits.maximum,
                            firstId,
                            firstId + 1,
                            firstId + 2,
                            gap,
                            text,
                            value,
                            tip};
    };
    return {
        row(PanelRow::kAmplification, "Amplification:", "Amplification", amp, 1021, 0,
            "Amplification value", &FormatAmplification, &FormatAmplificationTip),
        row(PanelRow::kBlackLevel, "Black Level:", "BlackLevel", black, 1024, 0, "Black Level",
            &FormatBlackLevel, nullptr),
        row(PanelRow::kGamma, "Gamma:", "Gamma", gamma, 1027, 0, "GAMMA value", &FormatGamma,
            &FormatGammaTip),
        row(PanelRow::kAccumulator, "Accumulator:", "Accumulator", accumulator, 1030, 10,
            "Accumulator [frame number]", &FormatAccumulator, nullptr),
        row(PanelRow::kDelay, "Delay:", "Delay", delay, 1033, 0, "Delay [frame number]",
            &FormatDelayFrames, &FormatDelayTip),
        row(PanelRow::kNrh, "NRH:", "NRH", nrh, 1036, 10, "Jamming Threshold [RMS]",
            &FormatThreshold, &FormatThresholdTip),
        row(PanelRow::kNrv, "NRV:", "NRV", nrv, 1039, 0, "Jamming Threshold [RMS]",
            &FormatThreshold, &FormatThresholdTip),
    };
}

int32_t ThresholdPosition(float factor) {
    return static_cast<int32_t>(std::lround(static_cast<double>(factor) * 100.0));
}

}  // namespace

std::span<const PanelRowDesc> PanelRows() {
    static const std::array<PanelRowDesc, kPanelRowCount> kRows = BuildRows();
    return kRows;
}

const PanelRowDesc& RowDesc(PanelRow row) {
    return PanelRows()[static_cast<size_t>(row)];
}

std::optional<PanelRow> RowOfButton(uint32_t id) {
    for (const PanelRowDesc& desc : PanelRows()) {
        if (desc.buttonId == id) return desc.row;
    }
    return std::nullopt;
}

// ---- Formatters ------------------------------------------------------------------------------

std::string FormatAmplification(int32_t v) {
    if (v % 128 == 0) return Printf("%u", static_cast<unsigned>(v / 128));
    return Printf("%.3f", v * 0.0078125);
}

std::string FormatAmplificationTip(int32_t v) {
    if (v % 128 == 0) return Printf("%u%%", static_cast<unsigned>(v / 128 * 100));
    return Printf("%.1f%%", v * 0.0078125 * 100.0);
}

std::string FormatBlackLevel(int32_t v) {
    return Printf("%d", v);
}

std::string FormatGamma(int32_t v) {
    return WholeOrThreeDecimals(GammaFactor(v));
}

std::string FormatGammaTip(int32_t v) {
    return Printf("%.3f", GammaFactor(v));
}

std::string FormatAccumulator(int32_t v) {
    return Printf("%d", v);
}

std::string FormatDelayFrames(int32_t delayMs) {
    return Printf("%u", static_cast<unsigned>(std::max(0, delayMs) * 0.03));
}

std::string FormatDelayText(uint32_t delayMs) {
    char text[kSecMsTextSize + 8];
    const int n = FormatSecMs(delayMs, text, sizeof text);
    return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}

std::string FormatDelayTip(int32_t delayMs) {
    return FormatDelayText(static_cast<uint32_t>(std::max(0, delayMs)));
}

float ThresholdFactor(int32_t position) {
    return static_cast<float>(position * 0.01);
}

std::string FormatThreshold(int32_t v) {
    return WholeOrThreeDecimals(ThresholdFactor(v));
}

std::string FormatThresholdTip(int32_t v) {
    return Printf("%.3f", static_cast<double>(ThresholdFactor(v)));
}

// ---- The rows and the engine
// ---------------------------------------------------------------------

int32_t RowValue(PanelRow row, const ProcEngine* engine) {
    if (engine == nullptr) return RowDesc(row).defaultPosition;
    const ProcParams& p = engine->params;
    switch (row) {
        case PanelRow::kAmplification:
            return p.amp.load();
        case PanelRow::kBlackLevel:
            return p.blackLevel.load();
        case PanelRow::kGamma:
            return p.gamma.load();
        case PanelRow::kAccumulator:
            return p.countAccum.load();
        case PanelRow::kDelay:
            return static_cast<int32_t>(std::min<uint32_t>(p.delayMs.load(), INT32_MAX));
        case PanelRow::kNrh:
            return ThresholdPosition(p.rmsH.load());
        case PanelRow::kNrv:
            return ThresholdPosition(p.rmsV.load());
    }
    return 0;
}

int32_t RowPosition(PanelRow row, const ProcEngine* engine) {
    const PanelRowDesc& desc = RowDesc(row);
    return std::clamp(RowValue(row, engine), desc.minimum, desc.maximum);
}

std::string RowValueText(PanelRow row, const ProcEngine* engine) {
    if (row == PanelRow::kDelay && engine != nullptr) {
        return Printf("%u", static_cast<unsigned>(std::max(0, engine->delayFrames.load())));
    }
    return RowDesc(row).value(RowValue(row, engine));
}

std::string RowTooltip(PanelRow row, int32_t position) {
    const PanelRowDesc& desc = RowDesc(row);
    return desc.tooltip ? desc.tooltip(position) : std::string(desc.trackText);
}

bool RowEnabled(PanelRow row, const ProcEngine* engine) {
    if (row == PanelRow::kNrh) return engine != nullptr && engine->params.nrH.load() != 0;
    if (row == PanelRow::kNrv) return engine != nullptr && engine->params.nrV.load() != 0;
    return true;
}

bool ApplyRowPosition(PanelRow row, ProcEngine& engine, int32_t position) {
    const PanelRowDesc& desc = RowDesc(row);
    const int32_t v = std::clamp(position, desc.minimum, desc.maximum);
    ProcParams& p = engine.params;
    switch (row) {
        case PanelRow::kAmplification:
            if (p.amp.load() == v) return false;
            engine.SetAmp(v);
            return true;
        case PanelRow::kBlackLevel:
            if (p.blackLevel.load() == v) return false;
            engine.SetBlackLevel(v);
            return true;
        case PanelRow::kGamma:
            if (p.gamma.load() == v) return false;
            engine.SetGamma(v);
            return true;
        case PanelRow::kAccumulator:
            if (p.countAccum.load() == v) return false;
            engine.SetCountAccum(v);
            return true;
        case PanelRow::kDelay:
            return engine.SetTimeDelay(static_cast<uint32_t>(v));
        case PanelRow::kNrh:
        case PanelRow::kNrv: {
            std::atomic<float>& factor = row == PanelRow::kNrh ? p.rmsH : p.rmsV;
            const float f = ThresholdFactor(v);
            return factor.exchange(f) != f;
        }
    }
    return false;
}

bool ResetRow(PanelRow row, ProcEngine& engine) {
    return ApplyRowPosition(row, engine, RowDesc(row).defaultPosition);
}

}  // namespace kelpa
