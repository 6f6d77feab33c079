#include "app/crossbar_routes.h"

#include "common/profile.h"
#include "media/v4l2/crossbar.h"

namespace kelpa {
namespace {

constexpr std::array kSettings = {
    SignedSetting("CrosInPhysicalType", 0, 0, kConnAudioTuner - 1, OutOfRange::kDefault,
                  SettingField<&CrossbarSettings::inPhysicalType>()),
};
static_assert(AllFieldsOf<CrossbarSettings>(kSettings));

constexpr std::array kWriteOrder =
    WriteOrderOf(kSettings, std::array<const char*, 1>{"CrosInPhysicalType"});

constexpr SettingsTableOf<CrossbarSettings> kTable{
    {"crossbar", kProfileSection, kSettings, kWriteOrder}};

}  // namespace

const SettingsTableOf<CrossbarSettings>& CrossbarSettingsTable() {
    return kTable;
}

CrossbarSettings LoadCrossbarSettings() {
    return LoadSettings(kTable);
}

bool SaveCrossbarSettings(const CrossbarSettings& settings) {
    if (settings.inPhysicalType <= 0) return false;
    return SaveSettings(kTable, settings) == 1;
}

CrossbarRoutes CrossbarRoutes::Collect(std::span<const VideoInputInfo> inputs) {
    CrossbarRoutes list;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i].connector >= kConnAudioTuner) continue;
        CrossbarRoute route;
        route.input = static_cast<int32_t>(i);
        route.v4l2Index = inputs[i].index;
        route.outputType = kConnVideoDecoder;
        route.inputType = inputs[i].connector;
        list.routes_.push_back(route);
    }
    return list;
}

int32_t CrossbarRoutes::PhysicalTypeInUse(int input) const {
    for (const CrossbarRoute& route : routes_) {
        if (route.input == input) return route.inputType;
    }
    return 0;
}

bool CrossbarRoutes::Restore(DevicePages& pages, const CrossbarSettings& saved) const {
    if (saved.inPhysicalType <= 0) return false;
    for (const CrossbarRoute& route : routes_) {
        if (route.inputType == saved.inPhysicalType) return pages.RouteToInput(route.input);
    }
    return false;
}

CrossbarSettings CrossbarRoutes::ToSave(int input, const CrossbarSettings& saved) const {
    if (routes_.empty()) return saved;
    const int32_t type = PhysicalTypeInUse(input);
    return type > 0 ? CrossbarSettings{type} : saved;
}

}  // namespace kelpa
