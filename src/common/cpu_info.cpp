// Processor identification: the feature word, the model-name table and the log report. The
// processor itself is reached only through a CpuProbe.
#include "common/cpu_info.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "common/log.h"

namespace kelpa {
namespace {

constexpr uint32_t kLeaf1Mmx = 1u << 23;
constexpr uint32_t kLeaf1Sse = 1u << 25;
constexpr uint32_t kLeaf1Sse2 = 1u << 26;
constexpr uint32_t kExtIntegerSse = 1u << 22;
constexpr uint32_t kExt3DNowExt = 1u << 30;
constexpr uint32_t kExt3DNow = 1u << 31;
constexpr uint32_t kExtendedBase = 0x80000000u;

std::atomic<uint32_t> g_features{0};
std::atomic<uint32_t> g_rawFeatures{0};

// The processor's own flags, before the system's report.
uint32_t ProcessorFlags(const CpuProbe& probe) {
    if (!probe.HasCpuid()) return 0;
    uint32_t word = kCpuHasCpuid | kCpuFeaturesKnown;
    if (probe.Cpuid(0).eax == 0) return word;
    const uint32_t edx = probe.Cpuid(1).edx;
    if (edx & kLeaf1Mmx) word |= kCpuMmx;
    if (edx & kLeaf1Sse) word |= kCpuIntegerSse | kCpuSse;
    if (edx & kLeaf1Sse2) word |= kCpuSse2;
    if (probe.Cpuid(kExtendedBase).eax >= kExtendedBase + 1) {
        const uint32_t ext = probe.Cpuid(kExtendedBase + 1).edx;
        if (ext & kExtIntegerSse) word |= kCpuIntegerSse;
        if (ext & kExt3DNow) word |= kCpu3DNow;
        if (ext & kExt3DNowExt) word |= kCpu3DNowExt;
    }
    // A system that never enabled SSE faults on its first instruction; the integer part of
    // the extension needs no system support and stays.
    if ((word & (kCpuSse | kCpuSse2)) && !probe.RunsInstruction(kCpuSse)) {
        word &= ~(kCpuSse | kCpuSse2);
    }
    return word;
}

const char* AmdModelName(uint32_t family, uint32_t model) {
    switch (family) {
        case 4:
            return "AMD Am486";
        case 5:
            if (model <= 3) return "AMD K5";
            if (model <= 5) return "";
            if (model <= 7) return "AMD K6";
            if (model == 8) return "AMD K6-2";
            return "AMD K6-3";
        case 6:
        case 7:
            return "AMD ATHLON or higher";
        default:
            return "";
    }
}

const char* Intel486Name(uint32_t model) {
    static constexpr const char* kNames[16] = {
        "INTEL 486DX",  "INTEL 486DX",  "INTEL 486SX", "INTEL 486DX2",
        "INTEL 486SL",  "INTEL 486SX2", "Unknown",     "INTEL 486DX2E",
        "INTEL 486DX4", "Unknown",      "Unknown",     "Unknown",
        "Unknown",      "Unknown",      "Unknown",     "Unknown"};
    return kNames[model];
}

const char* IntelModelName(uint32_t family, uint32_t model) {
    switch (family) {
        case 4:
            return Intel486Name(model);
        case 5:
            if (model >= 1 && model <= 3) return "INTEL Pentium";
            return model == 4 ? "INTEL Pentium-MMX" : "Unknown";
        case 6:
            switch (model) {
                case 1:
                    return "INTEL Pentium-Pro";
                case 3:
                case 5:
                    return "INTEL Pentium-II";
                case 6:
                    return "INTEL Celeron";
                case 7:
                    return "INTEL Pentium-III";
                default:
                    return "Unknown";
            }
        case 15:
            if (model == 1 || model == 2) return "INTEL Pentium-4";
            return model == 3 ? "INTEL Pentium-4-G" : "Unknown";
        default:
            return "";
    }
}

}  // namespace

const char* CpuModelName(const char* vendor, uint32_t family, uint32_t model) {
    family &= 0xF;
    model &= 0xF;
    if (vendor && std::strcmp(vendor, "AuthenticAMD") == 0) return AmdModelName(family, model);
    if (vendor && std::strcmp(vendor, "GenuineIntel") == 0) return IntelModelName(family, model);
    return "Unknown";
}

uint32_t ComputeCpuFeatures(const CpuProbe& probe, uint32_t* raw) {
    uint32_t word = ProcessorFlags(probe) | kCpuFeaturesKnown | probe.SystemFeatures();
    if (raw) *raw = word;
    if ((word & (kCpu3DNow | kCpu3DNowExt)) && !probe.RunsInstruction(kCpu3DNow)) {
        word &= ~(kCpu3DNow | kCpu3DNowExt);
    }
    if ((word & kCpuMmx) && !probe.RunsInstruction(kCpuMmx)) word &= ~kCpuMmx;
    if ((word & kCpuSse2) && !probe.RunsInstruction(kCpuSse2)) word &= ~kCpuSse2;
    return word;
}

uint32_t FillCpuInfo(const CpuProbe& probe, uint32_t features, uint32_t raw, CpuInfo* info) {
    if (!probe.HasCpuid()) {
        if (info) *info = CpuInfo{};
        return 0;
    }
    const CpuRegisters leaf0 = probe.Cpuid(0);
    const uint32_t signature = leaf0.eax >= 1 ? probe.Cpuid(1).eax : 0;
    if (!info) return features;
    *info = CpuInfo{};
    info->rawFeatures = raw;
    info->features = features;
    info->family = (signature >> 8) & 0xF;
    info->model = (signature >> 4) & 0xF;
    info->stepping = signature & 0xF;
    std::memcpy(info->vendor + 0, &leaf0.ebx, 4);
    std::memcpy(info->vendor + 4, &leaf0.edx, 4);
    std::memcpy(info->vendor + 8, &leaf0.ecx, 4);
    info->vendor[12] = '\0';
    std::snprintf(info->modelName, sizeof info->modelName, "%s",
                  CpuModelName(info->vendor, info->family, info->model));
    info->endMarker = kCpuInfoComplete;
    return features;
}

uint32_t GetCpuFeatures(uint32_t* raw) {
    uint32_t word = g_features.load(std::memory_order_acquire);
    if (word == 0) {
        uint32_t rawWord = 0;
        word = ComputeCpuFeatures(NativeCpuProbe(), &rawWord);
        g_rawFeatures.store(rawWord, std::memory_order_relaxed);
        g_features.store(word, std::memory_order_release);
    }
    if (raw) *raw = g_rawFeatures.load(std::memory_order_relaxed);
    return word;
}

uint32_t GetCpuInfo(CpuInfo* info, uint32_t* raw) {
    uint32_t rawWord = 0;
    const uint32_t word = GetCpuFeatures(&rawWord);
    if (raw) *raw = rawWord;
    return FillCpuInfo(NativeCpuProbe(), word, rawWord, info);
}

void WriteCpuReport(const CpuInfo& info, uint32_t features,
                    const std::function<void(const char*)>& line) {
    char text[96];
    const auto yesNo = [features](uint32_t bit) { return (features & bit) ? 'Y' : 'N'; };
    if (info.vendor[0] != '\0') {
        std::snprintf(text, sizeof text, "Vendor Name: %s", info.vendor);
        line(text);
    }
    if (info.modelName[0] != '\0') {
        std::snprintf(text, sizeof text, "CPU Model: %s, Model %d, Stepping %d", info.modelName,
                      static_cast<int>(info.model), static_cast<int>(info.stepping));
        line(text);
    }
    line("OS Support for:");
    std::snprintf(text, sizeof text, "MMX: %c", yesNo(kCpuMmx));
    line(text);
    if (!(features & kCpuSse)) {
        std::snprintf(text, sizeof text, "INT SSE: %c", yesNo(kCpuIntegerSse));
        line(text);
    }
    std::snprintf(text, sizeof text, "SSE: %c", yesNo(kCpuSse));
    line(text);
    std::snprintf(text, sizeof text, "SSE2: %c", yesNo(kCpuSse2));
    line(text);
    if (features & kCpu3DNow) line("3DNow: Y");
    if (features & kCpu3DNowExt) line("3DNow Ext.: Y");
    line("-----------");
}

void LogCpuInfo() {
    CpuInfo info{};
    GetCpuInfo(&info);
    WriteCpuReport(info, GetCpuFeatures(), [](const char* text) { LogPrintf("%s", text); });
}

}  // namespace kelpa
