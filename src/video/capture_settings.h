// The capture writer's settings, in two tables. The run settings: the capture directory, the
// file-name template, the frames skipped between written ones and the frames of a run. The file
// settings: which kind of file a capture run writes (BMP pictures, one SER video, FITS
// pictures), which picture it takes (the processed one, or the live one before processing,
// which stacking programs want), and the observer and telescope named in SER and FITS headers.
// A profile without these keys captures single BMP files of the processed picture into
// ~/Pictures/kelpa/.
#pragma once

#include <cstdint>
#include <string>

#include "common/settings_table.h"

namespace kelpa {

// Stored numbers of CapFileType.
enum class CaptureFileType : uint32_t {
    kBmp = 0,   // one 24-bit BMP file per frame
    kSer = 1,   // one SER video file per run
    kFits = 2,  // one FITS file per frame
};

// The extension of the files of a type: ".bmp", ".ser", ".fits".
const char* CaptureExtension(CaptureFileType type);

// Stored numbers of CapContent.
enum class CaptureContent : uint32_t {
    kProcessed = 0,  // the processed picture, as the processed window shows it
    kLive = 1,       // every frame as it arrives, before processing
};

// The longest observer and telescope text: the size of the SER header's fields.
inline constexpr uint32_t kCaptureTextChars = 40;

// The longest directory and template text the writer holds.
inline constexpr uint32_t kCapturePathChars = 259;
// A directory that begins with "~/" lies in the user's home (the temporary directory when the
// home is unknown).
inline constexpr const char* kDefaultCaptureDirectory = "~/Pictures/kelpa/";
inline constexpr const char* kDefaultCaptureTemplate = "#cap%n#_%f";

struct CaptureRunSettings {
    std::string directory = kDefaultCaptureDirectory;
    std::string fileTemplate = kDefaultCaptureTemplate;
    uint32_t frameDelay = 0;  // frames skipped after each written one
    uint32_t count = 1;       // frames per run; 0 ends a run after its first frame

    friend bool operator==(const CaptureRunSettings&, const CaptureRunSettings&) = default;
};

const SettingsTableOf<CaptureRunSettings>& CaptureRunSettingsTable();

CaptureRunSettings DefaultCaptureRunSettings();
CaptureRunSettings LoadCaptureRunSettings();
// CapWorkDir and CapFormat when they are not empty, CapFramesDelay, CapCount. False when a key
// that was due could not be written.
bool SaveCaptureRunSettings(const CaptureRunSettings& settings);

struct CaptureFileSettings {
    uint32_t fileType = 0;  // a CaptureFileType
    uint32_t content = 0;   // a CaptureContent
    std::string observer;
    std::string telescope;

    CaptureFileType FileType() const { return static_cast<CaptureFileType>(fileType); }
    CaptureContent Content() const { return static_cast<CaptureContent>(content); }
    friend bool operator==(const CaptureFileSettings&, const CaptureFileSettings&) = default;
};

const SettingsTableOf<CaptureFileSettings>& CaptureFileSettingsTable();

CaptureFileSettings DefaultCaptureFileSettings();
// From the installed profile store; a value that is no choice gives the default.
CaptureFileSettings LoadCaptureFileSettings();
// False when a key could not be written.
bool SaveCaptureFileSettings(const CaptureFileSettings& settings);

}  // namespace kelpa
