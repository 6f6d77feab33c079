// Processor identification: the feature word from scripted processors, the model-name table's
// edges, the report lines, and a sanity check on the real processor.
#include "common/clib/cpu_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "common/captured_log.h"

namespace kelpa {
namespace {

constexpr uint32_t kExt = 0x80000000u;
using Lines = std::vector<std::string>;

// A scripted processor: registers per leaf, the system's report, and which extensions fault.
class FakeProbe final : public CpuProbe {
  public:
    bool HasCpuid() const override { return hasCpuid; }
    CpuRegisters Cpuid(uint32_t leaf) const override {
        auto it = leaves.find(leaf);
        return it == leaves.end() ? CpuRegisters{} : it->second;
    }
    uint32_t SystemFeatures() const override { return system; }
    bool RunsInstruction(uint32_t feature) const override { return (faulting & feature) == 0; }

    // Vendor in leaf 0 (EBX, EDX, ECX) and the signature in leaf 1.
    void SetIdentity(const char* vendor, uint32_t family, uint32_t model, uint32_t stepping) {
        CpuRegisters& leaf0 = leaves[0];
        leaf0.eax = 1;
        std::memcpy(&leaf0.ebx, vendor + 0, 4);
        std::memcpy(&leaf0.edx, vendor + 4, 4);
        std::memcpy(&leaf0.ecx, vendor + 8, 4);
        leaves[1].eax = (family << 8) | (model << 4) | stepping;
    }

    bool hasCpuid = true;
    std::map<uint32_t, CpuRegisters> leaves;
    uint32_t system = 0;
    uint32_t faulting = 0;
};

Lines Report(const CpuInfo& info, uint32_t features) {
    Lines lines;
    WriteCpuReport(info, features, [&](const char* line) { lines.emplace_back(line); });
    return lines;
}

// An AMD processor claiming everything in leaf 1 and the extended leaf.
FakeProbe FullAmd() {
    FakeProbe probe;
    probe.SetIdentity("AuthenticAMD", 6, 4, 2);
    probe.leaves[1].edx = (1u << 23) | (1u << 25) | (1u << 26);
    probe.leaves[kExt].eax = kExt + 1;
    probe.leaves[kExt + 1].edx = (1u << 31) | (1u << 30);
    return probe;
}

TEST(CpuFeaturesTest, WithoutCpuidOnlyTheSystemReportCounts) {
    FakeProbe probe;
    probe.hasCpuid = false;
    probe.system = kCpuMmx | kCpuIntegerSse | kCpuSse;
    uint32_t raw = 0;
    const uint32_t word = ComputeCpuFeatures(probe, &raw);
    EXPECT_EQ(word, kCpuFeaturesKnown | kCpuMmx | kCpuIntegerSse | kCpuSse);
    EXPECT_EQ(raw, word);

    CpuInfo info{};
    info.endMarker = 9;
    EXPECT_EQ(FillCpuInfo(probe, word, raw, &info), 0u);
    EXPECT_EQ(info.endMarker, 0u);
    EXPECT_EQ(info.vendor[0], '\0');
    EXPECT_EQ(Report(info, word),
              (Lines{"OS Support for:", "MMX: Y", "SSE: Y", "SSE2: N", "-----------"}));
    EXPECT_EQ(
        Report(CpuInfo{}, kCpuFeaturesKnown),
        (Lines{"OS Support for:", "MMX: N", "INT SSE: N", "SSE: N", "SSE2: N", "-----------"}));
}

TEST(CpuFeaturesTest, ReadsTheLeavesAndFaultingInstructionsClearTheirBits) {
    FakeProbe probe = FullAmd();
    EXPECT_EQ(ComputeCpuFeatures(probe, nullptr), 0xFFu);
    probe.faulting = kCpuSse;  // a system without SSE support: before the raw word
    uint32_t raw = 0;
    EXPECT_EQ(ComputeCpuFeatures(probe, &raw), 0xCFu);
    EXPECT_EQ(raw, 0xCFu);
    probe.faulting = kCpu3DNow | kCpuMmx | kCpuSse2;  // after the raw word
    EXPECT_EQ(ComputeCpuFeatures(probe, &raw), 0x1Bu);
    EXPECT_EQ(raw, 0xFFu);
    probe.faulting = 0;
    probe.leaves[kExt].eax = kExt;  // the extended leaf is not there: its bits do not count
    EXPECT_EQ(ComputeCpuFeatures(probe, nullptr), 0x3Fu);
    probe.leaves[0].eax = 0;  // no leaf 1 either
    EXPECT_EQ(ComputeCpuFeatures(probe, nullptr), kCpuHasCpuid | kCpuFeaturesKnown);

    FakeProbe integerOnly;  // integer SSE from the extended leaf alone
    integerOnly.SetIdentity("AuthenticAMD", 6, 2, 1);
    integerOnly.leaves[kExt].eax = kExt + 1;
    integerOnly.leaves[kExt + 1].edx = 1u << 22;
    EXPECT_EQ(ComputeCpuFeatures(integerOnly, nullptr), 0xBu);
}

TEST(CpuInfoTest, FillsTheRecordAndReportsTheModel) {
    FakeProbe probe;
    probe.SetIdentity("GenuineIntel", 6, 8, 3);
    CpuInfo info{};
    EXPECT_EQ(FillCpuInfo(probe, 0x3Fu, 0x7Fu, &info), 0x3Fu);
    EXPECT_EQ(std::tie(info.family, info.model, info.stepping, info.rawFeatures, info.features,
                       info.endMarker),
              std::make_tuple(6u, 8u, 3u, 0x7Fu, 0x3Fu, kCpuInfoComplete));
    EXPECT_EQ(Report(info, info.features),
              (Lines{"Vendor Name: GenuineIntel", "CPU Model: Unknown, Model 8, Stepping 3",
                     "OS Support for:", "MMX: Y", "SSE: Y", "SSE2: Y", "-----------"}));

    FillCpuInfo(FullAmd(), 0xCFu, 0xCFu, &info);
    EXPECT_EQ(
        Report(info, info.features),
        (Lines{"Vendor Name: AuthenticAMD", "CPU Model: AMD ATHLON or higher, Model 4, Stepping 2",
               "OS Support for:", "MMX: Y", "INT SSE: Y", "SSE: N", "SSE2: N", "3DNow: Y",
               "3DNow Ext.: Y", "-----------"}));
    probe.SetIdentity("AuthenticAMD", 5, 4, 0);  // a gap in the table: no model line
    FillCpuInfo(probe, 0x2u, 0x2u, &info);
    EXPECT_EQ(Report(info, info.features)[1], "OS Support for:");
}

TEST(CpuModelNameTest, GapsAndWideFields) {
    EXPECT_STREQ(CpuModelName("AuthenticAMD", 15, 1), "");
    EXPECT_STREQ(CpuModelName("GenuineIntel", 0x16, 0x11), "INTEL Pentium-Pro");  // 4-bit fields
    EXPECT_STREQ(CpuModelName("CyrixInstead", 5, 2), "Unknown");
}

TEST(CpuInfoTest, TheRealProcessorIsReportedConsistently) {
    uint32_t raw = 0;
    const uint32_t word = GetCpuFeatures(&raw);
    EXPECT_NE(word & kCpuFeaturesKnown, 0u);
    EXPECT_EQ(word & ~raw, 0u);  // execution tests only ever take bits away
    EXPECT_EQ(GetCpuFeatures(), word);

    CpuInfo info{};
    const uint32_t infoWord = GetCpuInfo(&info);
    const bool identified = NativeCpuProbe().HasCpuid();
    EXPECT_EQ(infoWord, identified ? word : 0u);
    EXPECT_EQ(info.endMarker, identified ? kCpuInfoComplete : 0u);
    EXPECT_EQ(std::strlen(info.vendor), identified ? 12u : 0u);

    testing::CapturedLog::Start();
    LogCpuInfo();
    const Lines lines = testing::CapturedLog::Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "-----------");
    EXPECT_EQ(lines, Report(info, word));
}

}  // namespace
}  // namespace kelpa
