// The media-type lines of the process log: each type the graph builders try, and the full
// description of a chosen one. They are the only record of what a user's camera and drivers
// offered, so their line formats never change. They work on a small record of a media type, so
// the lines are written (and tested) without any media framework; the GStreamer layer fills the
// record from caps.
#pragma once

#include <cstdint>
#include <string>

namespace kelpa {

// Symbolic names of the identifiers the dumps compare with.
inline constexpr char kMediaTypeVideo[] = "MEDIATYPE_Video";
inline constexpr char kMediaTypeAudio[] = "MEDIATYPE_Audio";
inline constexpr char kMediaTypeStream[] = "MEDIATYPE_Stream";
inline constexpr char kGuidNull[] = "GUID_NULL";
inline constexpr char kFormatVideoInfo[] = "FORMAT_VideoInfo";
inline constexpr char kFormatVideoInfo2[] = "FORMAT_VideoInfo2";
inline constexpr char kFormatWaveFormatEx[] = "FORMAT_WaveFormatEx";
// MPEG-1 packets carry no wave format, whatever their format block says.
inline constexpr char kSubtypeMpeg1PacketName[] = "MEDIASUBTYPE_MPEG1Packet";

// Sizes of the format blocks the dumps read.
inline constexpr uint32_t kVideoInfoHeaderSize = 88;
inline constexpr uint32_t kVideoInfoHeader2Size = 112;
inline constexpr uint32_t kWaveFormatSize = 16;    // without cbSize
inline constexpr uint32_t kWaveFormatExSize = 18;  // with cbSize

struct LogRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The bitmap header of a video format block.
struct LogBitmapHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // below 0x100 a number, else four characters
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
};

// The fields of an audio format block.
struct LogWaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t cbSize = 0;
};

// One media type as the dumps see it: names of its identifiers, its flags and its format block.
struct MediaTypeRecord {
    std::string majorType = kGuidNull;
    std::string subtype = kGuidNull;
    std::string subtypeDescription;
    bool fixedSizeSamples = false;
    bool temporalCompression = false;
    uint32_t sampleSize = 0;
    std::string formatType = kGuidNull;
    uint32_t formatSize = 0;  // bytes of the format block; 0 = none
    // Video format blocks.
    LogRect source;
    LogRect target;
    LogBitmapHeader bitmap;
    // Audio format blocks.
    LogWaveFormat wave;
};

// "Trying media type %s: major type:  %s,    sub type  :  %s"; a null label is written empty.
// `emptyLineAfter` adds an empty line behind it (the graph dump's connection lines).
void LogMediaTypeTry(const char* label, const MediaTypeRecord& type, bool emptyLineAfter = false);
// The block of lines describing one media type.
void LogMediaType(const char* label, const MediaTypeRecord& type);

}  // namespace kelpa
