// Connector types and names of video inputs, and the input the Video Input list checks.
#include "media/v4l2/crossbar.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>

namespace kelpa {
namespace {

struct ConnectorName {
    int32_t type;
    const char* name;
};

constexpr std::array<ConnectorName, 23> kConnectorNames = {{
    {1, "Video Tuner"},
    {2, "Video Composite"},
    {3, "Video SVideo"},
    {4, "Video RGB"},
    {5, "Video YRYBY"},
    {6, "Video SerialDigital"},
    {7, "Video ParallelDigital"},
    {8, "Video SCSI"},
    {9, "Video AUX"},
    {10, "Video 1394"},
    {11, "Video USB"},
    {12, "Video Decoder"},
    {13, "Video Encoder"},
    {4096, "Audio Tuner"},
    {4097, "Audio Line"},
    {4098, "Audio Mic"},
    {4099, "Audio AESDigital"},
    {4100, "Audio SPDIFDigital"},
    {4101, "Audio SCSI"},
    {4102, "Audio AUX"},
    {4103, "Audio 1394"},
    {4104, "Audio USB"},
    {4105, "Audio Decoder"},
}};

// Connector words found in driver input names, checked in this order (so "S-Video" is not
// taken for anything else).
struct NameRule {
    const char* word;
    int32_t type;
};

constexpr std::array<NameRule, 17> kNameRules = {{
    {"s-video", kConnVideoSVideo},
    {"svideo", kConnVideoSVideo},
    {"s video", kConnVideoSVideo},
    {"y/c", kConnVideoSVideo},
    {"composite", kConnVideoComposite},
    {"cvbs", kConnVideoComposite},
    {"component", kConnVideoYRYBY},
    {"ypbpr", kConnVideoYRYBY},
    {"sdi", kConnVideoSerialDigital},
    {"hdmi", kConnVideoSerialDigital},
    {"dvi", kConnVideoSerialDigital},
    {"vga", kConnVideoRgb},
    {"rgb", kConnVideoRgb},
    {"television", kConnVideoTuner},
    {"tuner", kConnVideoTuner},
    {"1394", kConnVideo1394},
    {"firewire", kConnVideo1394},
}};

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

const char* CrossbarPinName(int32_t type) {
    for (const ConnectorName& entry : kConnectorNames) {
        if (entry.type == type) return entry.name;
    }
    return "Unknown";
}

size_t CrossbarPinNames(int32_t type, char* out, size_t size) {
    if (out == nullptr || size == 0) return 0;
    const char* name = CrossbarPinName(type);
    const size_t n = std::min(std::strlen(name), size - 1);
    std::memcpy(out, name, n);
    out[n] = '\0';
    return n;
}

int32_t ConnectorTypeOfInput(uint32_t v4l2Type, std::string_view name, bool usbDevice) {
    if (v4l2Type == V4L2_INPUT_TYPE_TUNER) return kConnVideoTuner;
    const std::string lower = Lower(name);
    for (const NameRule& rule : kNameRules) {
        if (lower.find(rule.word) != std::string::npos) return rule.type;
    }
    return usbDevice ? kConnVideoUsb : kConnVideoAux;
}

int CheckedInput(std::span<const int32_t> types, int routedIndex) {
    if (types.empty()) return -1;
    if (routedIndex >= 0 && static_cast<size_t>(routedIndex) < types.size()) return routedIndex;
    for (int32_t wanted : {kConnVideoComposite, kConnVideoTuner}) {
        const auto it = std::find(types.begin(), types.end(), wanted);
        if (it != types.end()) return static_cast<int>(it - types.begin());
    }
    return 0;
}

}  // namespace kelpa
