// The capture writer's two settings tables.
#include "video/capture_settings.h"

#include <array>
#include <cstdint>

#include "common/profile.h"

namespace kelpa {
namespace {

// Any count and delay the 32-bit words hold are the user's choice (the capture setup dialog
// takes them as typed).
constexpr std::array kRunSettings = {
    TextSetting("CapWorkDir", kDefaultCaptureDirectory, kCapturePathChars,
                SettingField<&CaptureRunSettings::directory>()),
    TextSetting("CapFormat", kDefaultCaptureTemplate, kCapturePathChars,
                SettingField<&CaptureRunSettings::fileTemplate>()),
    UnsignedSetting("CapFramesDelay", 0, 0, UINT32_MAX, OutOfRange::kClamp,
                    SettingField<&CaptureRunSettings::frameDelay>()),
    UnsignedSetting("CapCount", 1, 0, UINT32_MAX, OutOfRange::kClamp,
                    SettingField<&CaptureRunSettings::count>()),
};
static_assert(AllFieldsOf<CaptureRunSettings>(kRunSettings));

constexpr std::array kRunWriteOrder = WriteOrderOf(
    kRunSettings,
    std::array<const char*, 4>{"CapWorkDir", "CapFormat", "CapFramesDelay", "CapCount"});

constexpr SettingsTableOf<CaptureRunSettings> kRunTable{
    {"capture runs", kProfileSection, kRunSettings, kRunWriteOrder}};

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

const SettingsTableOf<CaptureRunSettings>& CaptureRunSettingsTable() {
    return kRunTable;
}

CaptureRunSettings DefaultCaptureRunSettings() {
    return DefaultSettings(kRunTable);
}

CaptureRunSettings LoadCaptureRunSettings() {
    return LoadSettings(kRunTable);
}

bool SaveCaptureRunSettings(const CaptureRunSettings& settings) {
    bool ok = true;
    for (uint8_t index : kRunTable.writeOrder) {
        const SettingDecl& decl = kRunTable.settings[index];
        const SettingValue value = decl.access.get(&settings);
        // An empty directory or template is used but never written: the stored one stays.
        if (decl.kind == SettingKind::kText && value.text.empty()) continue;
        ok = WriteSetting(decl, kRunTable.section, value) && ok;
    }
    return ok;
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
