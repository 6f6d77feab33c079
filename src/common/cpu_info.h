// Processor identification: vendor, model name from the family and model numbers, and the
// instruction-set extensions that are usable (present and supported by the system), reported
// once into the log at start-up and kept as a process-wide feature word.
#pragma once

#include <cstdint>
#include <functional>

namespace kelpa {

// Bits of the feature word.
inline constexpr uint32_t kCpuHasCpuid = 0x1;       // the identification instruction exists
inline constexpr uint32_t kCpuFeaturesKnown = 0x2;  // the word holds a report
inline constexpr uint32_t kCpuMmx = 0x4;
inline constexpr uint32_t kCpuIntegerSse = 0x8;  // the MMX extensions of SSE
inline constexpr uint32_t kCpuSse = 0x10;
inline constexpr uint32_t kCpuSse2 = 0x20;
inline constexpr uint32_t kCpu3DNow = 0x40;
inline constexpr uint32_t kCpu3DNowExt = 0x80;

inline constexpr uint32_t kCpuInfoComplete = 255;  // `endMarker` of a filled record

struct CpuInfo {
    char vendor[13];       // e.g. "GenuineIntel"
    char modelName[32];    // empty when the table has no entry
    uint32_t family;       // leaf 1 EAX bits 8-11
    uint32_t model;        // bits 4-7
    uint32_t stepping;     // bits 0-3
    uint32_t rawFeatures;  // before the execution tests
    uint32_t features;     // usable
    uint32_t endMarker;    // kCpuInfoComplete once filled
};

struct CpuRegisters {
    uint32_t eax, ebx, ecx, edx;
};

// What the processor and the system say; one implementation per processor family, chosen by
// the build. Tests supply their own.
class CpuProbe {
  public:
    virtual ~CpuProbe() = default;
    virtual bool HasCpuid() const = 0;
    virtual CpuRegisters Cpuid(uint32_t leaf) const = 0;
    // The features the operating system reports, as feature-word bits (kCpuMmx, kCpuIntegerSse |
    // kCpuSse, kCpuSse2, kCpu3DNow).
    virtual uint32_t SystemFeatures() const = 0;
    // Whether one instruction of the extension (kCpuMmx, kCpuSse, kCpuSse2, kCpu3DNow) runs.
    virtual bool RunsInstruction(uint32_t feature) const = 0;
};

// The probe of the processor the program runs on.
const CpuProbe& NativeCpuProbe();

// The feature word, computed on the first call and cached; `raw` (optional) receives the
// word before the execution tests.
uint32_t GetCpuFeatures(uint32_t* raw = nullptr);
// Fills `info` (optional) and returns the feature word; returns 0 and leaves the record empty
// when the processor has no identification instruction.
uint32_t GetCpuInfo(CpuInfo* info, uint32_t* raw = nullptr);
// Writes the report lines into the log.
void LogCpuInfo();

// The parts above, on any probe and without the cache.
uint32_t ComputeCpuFeatures(const CpuProbe& probe, uint32_t* raw);
// Fills `info` from the probe's identification and the given feature words; returns
// `features`, or 0 with the record cleared when the probe has no identification instruction.
uint32_t FillCpuInfo(const CpuProbe& probe, uint32_t features, uint32_t raw, CpuInfo* info);
// The model name for a vendor text and the 4-bit family and model; "" when there is none.
const char* CpuModelName(const char* vendor, uint32_t family, uint32_t model);
// The report, one line per call of `line` (no line ends). `info` may be empty.
void WriteCpuReport(const CpuInfo& info, uint32_t features,
                    const std::function<void(const char*)>& line);

}  // namespace kelpa
