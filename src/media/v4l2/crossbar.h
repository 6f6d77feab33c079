// The video inputs of a capture device as the "Video Input" list shows them: V4L2 inputs are
// given the connector types of a crossbar's input pins, named by CrossbarPinNames, and the
// list checks the input in use (or the one it will route to).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelpa {

// Physical connector types of crossbar pins.
inline constexpr int32_t kConnVideoTuner = 1;
inline constexpr int32_t kConnVideoComposite = 2;
inline constexpr int32_t kConnVideoSVideo = 3;
inline constexpr int32_t kConnVideoRgb = 4;
inline constexpr int32_t kConnVideoYRYBY = 5;
inline constexpr int32_t kConnVideoSerialDigital = 6;
inline constexpr int32_t kConnVideoParallelDigital = 7;
inline constexpr int32_t kConnVideoScsi = 8;
inline constexpr int32_t kConnVideoAux = 9;
inline constexpr int32_t kConnVideo1394 = 10;
inline constexpr int32_t kConnVideoUsb = 11;
inline constexpr int32_t kConnVideoDecoder = 12;
inline constexpr int32_t kConnVideoEncoder = 13;
inline constexpr int32_t kConnAudioTuner = 4096;  // audio types run on to 4105

// The name of a connector type ("Video Composite", ..., "Unknown" for types not listed).
const char* CrossbarPinName(int32_t type);
// Copies that name into `out`, cut to size - 1 characters and terminated; an empty buffer or a
// zero size gives no name. Returns the characters copied.
size_t CrossbarPinNames(int32_t type, char* out, size_t size);

// The connector type of a V4L2 input, from its type (tuner or not) and its name ("Composite1",
// "S-Video", "HDMI", ...); a camera input with no connector in its name is a USB connector on
// a USB device and an auxiliary one elsewhere.
int32_t ConnectorTypeOfInput(uint32_t v4l2Type, std::string_view name, bool usbDevice);

// The input the list checks: the one routed now (when known, routedIndex >= 0), else the first
// composite input, else the first tuner, else the first input; -1 for no inputs.
int CheckedInput(std::span<const int32_t> types, int routedIndex);

}  // namespace kelpa
