// The capture file settings table.
#include "video/capture_settings.h"

#include <array>

#include "common/profile.h"

namespace kelpa {
namespace {

// A stored number that names no choice was not written by this program: it gives the default.
constexpr std::array kSettings = {
    UnsignedSetting("CapFileType", 0, 0, static_cast<uint32_t>(CaptureFileType::kFits),
                    OutOfRange::kDefault, SettingField<&CaptureFileSettings::fileType>()),
    UnsignedSetting("CapContent", 0, 0, static_cast<uint32_t>(CaptureContent::kLive),
                    OutOfRange::kDefault, SettingField<&CaptureFileSettings::content>()),
    TextSetting("CapObserver", "", kCaptureTextChars,
                SettingField<&CaptureFileSettings::observer>()),
    TextSetting("CapTelescope", "", kCaptureTextChars,
                SettingField<&CaptureFileSettings::telescope>()),
};
static_assert(AllFieldsOf<CaptureFileSettings>(kSettings));

constexpr std::array kWriteOrder = WriteOrderOf(
    kSettings,
    std::array<const char*, 4>{"CapFileType", "CapContent", "CapObserver", "CapTelescope"});

constexpr SettingsTableOf<CaptureFileSettings> kTable{
    {"capture files", kProfileSection, kSettings, kWriteOrder}};

}  // namespace

const char* CaptureExtension(CaptureFileType type) {
    switch (type) {
        case CaptureFileType::kSer:
            return ".ser";
        case CaptureFileType::kFits:
            return ".fits";
        default:
            return ".bmp";
    }
}

const SettingsTableOf<CaptureFileSettings>& CaptureFileSettingsTable() {
    return kTable;
}

CaptureFileSettings DefaultCaptureFileSettings() {
    return DefaultSettings(kTable);
}

CaptureFileSettings LoadCaptureFileSettings() {
    return LoadSettings(kTable);
}

bool SaveCaptureFileSettings(const CaptureFileSettings& settings) {
    return SaveSettings(kTable, settings) == static_cast<int>(kWriteOrder.size());
}

}  // namespace kelpa
