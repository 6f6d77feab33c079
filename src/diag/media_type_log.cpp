// The media-type lines of the process log.
#include "diag/media_type_log.h"

#include "common/log.h"

namespace kelpa {
namespace {

const char* TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

void LogRectLine(const char* which, const LogRect& rect) {
    LogPrintf("%s rectangle (Left %d Top %d Right %d Bottom %d)", which, rect.left, rect.top,
              rect.right, rect.bottom);
}

void LogVideoFormat(const MediaTypeRecord& type, bool version2) {
    // A block too short for its header would be read past its end: it counts as missing.
    const uint32_t needed = version2 ? kVideoInfoHeader2Size : kVideoInfoHeaderSize;
    if (type.formatSize < needed) return;
    if (version2) LogPrintf(": DV Header");
    LogRectLine("Source", type.source);
    LogRectLine("Target", type.target);
    const LogBitmapHeader& bmi = type.bitmap;
    LogPrintf("Size of BITMAPINFO structure %d", static_cast<int>(bmi.size));
    if (bmi.compression < 0x100) {
        LogPrintf("%dx%dx%d bit  (%d)", bmi.width, bmi.height, bmi.bitCount,
                  static_cast<int>(bmi.compression));
    } else {
        // The code's characters in memory order, the first one in the lowest byte.
        const char code[4] = {
            static_cast<char>(bmi.compression & 0xFF),
            static_cast<char>((bmi.compression >> 8) & 0xFF),
            static_cast<char>((bmi.compression >> 16) & 0xFF),
            static_cast<char>((bmi.compression >> 24) & 0xFF),
        };
        LogPrintf("%dx%dx%d bit '%4.4s'", bmi.width, bmi.height, bmi.bitCount, code);
    }
    LogPrintf("Image size %d", static_cast<int>(bmi.sizeImage));
    LogPrintf("Planes %d", bmi.planes);
    LogPrintf("X Pels per metre %d", bmi.xPelsPerMeter);
    LogPrintf("Y Pels per metre %d", bmi.yPelsPerMeter);
    LogPrintf("Colours used %d", static_cast<int>(bmi.clrUsed));
}

void LogAudioFormat(const MediaTypeRecord& type) {
    LogPrintf("Format type %s", type.formatType.c_str());
    LogPrintf("Subtype %s", type.subtype.c_str());
    if (type.subtype == kSubtypeMpeg1PacketName || type.formatSize < kWaveFormatSize) return;
    const LogWaveFormat& wave = type.wave;
    LogPrintf("wFormatTag %u", wave.formatTag);
    LogPrintf("nChannels %u", wave.channels);
    LogPrintf("nSamplesPerSec %u", wave.samplesPerSec);
    LogPrintf("nAvgBytesPerSec %u", wave.avgBytesPerSec);
    LogPrintf("nBlockAlign %u", wave.blockAlign);
    LogPrintf("wBitsPerSample %u", wave.bitsPerSample);
    if (type.formatSize >= kWaveFormatExSize) LogPrintf("cbSize %u", wave.cbSize);
}

}  // namespace

void LogMediaTypeTry(const char* label, const MediaTypeRecord& type, bool emptyLineAfter) {
    // An empty line cannot be a log line of its own (empty text writes nothing), so it rides
    // on this one as an extra line end.
    LogPrintf("Trying media type %s: major type:  %s,    sub type  :  %s%s", TextOrEmpty(label),
              type.majorType.c_str(), type.subtype.c_str(), emptyLineAfter ? "\n" : "");
}

void LogMediaType(const char* label, const MediaTypeRecord& type) {
    LogPrintf("\n-----------------------");
    LogPrintf("%s  Major type %s  Sub type %s", TextOrEmpty(label), type.majorType.c_str(),
              type.subtype.c_str());
    LogPrintf("Subtype description %s", type.subtypeDescription.c_str());
    LogPrintf(type.temporalCompression ? "Temporally compressed" : "Not temporally compressed");
    if (type.fixedSizeSamples) {
        LogPrintf("Sample size %d", static_cast<int>(type.sampleSize));
    } else {
        LogPrintf("Variable size samples");
    }
    if (type.formatType == kFormatVideoInfo || type.formatType == kFormatVideoInfo2) {
        LogVideoFormat(type, type.formatType == kFormatVideoInfo2);
    } else if (type.majorType == kMediaTypeAudio) {
        LogAudioFormat(type);
    } else {
        LogPrintf("Format type %s", type.formatType.c_str());
    }
}

}  // namespace kelpa
