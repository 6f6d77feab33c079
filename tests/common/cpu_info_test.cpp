// Processor identification: the feature word and record from a scripted processor.
// (The real processor is probed at every start of the program, which the headless runs make.)
#include "common/cpu_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <tuple>

namespace kelpa {
namespace {

constexpr uint32_t kExt = 0x80000000u;

// A scripted AMD processor (family 6, model 4, stepping 2) claiming every extension; tests
// take leaves away or make instructions fault.
class FakeProbe final : public CpuProbe {
  public:
    FakeProbe() {
        leaves[0].eax = 1;
        std::memcpy(&leaves[0].ebx, "Auth", 4);
        std::memcpy(&leaves[0].edx, "enti", 4);
        std::memcpy(&leaves[0].ecx, "cAMD", 4);
        leaves[1].eax = (6u << 8) | (4u << 4) | 2u;
        leaves[1].edx = (1u << 23) | (1u << 25) | (1u << 26);
        leaves[kExt].eax = kExt + 1;
        leaves[kExt + 1].edx = (1u << 31) | (1u << 30);
    }
    bool HasCpuid() const override { return true; }
    CpuRegisters Cpuid(uint32_t leaf) const override {
        auto it = leaves.find(leaf);
        return it == leaves.end() ? CpuRegisters{} : it->second;
    }
    uint32_t SystemFeatures() const override { return 0; }
    bool RunsInstruction(uint32_t feature) const override { return (faulting & feature) == 0; }

    std::map<uint32_t, CpuRegisters> leaves;
    uint32_t faulting = 0;
};

// Instructions that fault take their bits away (before or after the raw word), and so do
// leaves the processor does not have; the record follows the word.
TEST(CpuFeaturesTest, FaultsAndMissingLeavesClearTheirBitsAndTheReportFollows) {
    FakeProbe probe;
    uint32_t raw = 0;
    probe.faulting = kCpuSse;  // a system without SSE support: before the raw word
    EXPECT_EQ(ComputeCpuFeatures(probe, &raw), 0xCFu);
    EXPECT_EQ(raw, 0xCFu);
    probe.faulting = kCpu3DNow | kCpuMmx | kCpuSse2;  // after the raw word
    EXPECT_EQ(ComputeCpuFeatures(probe, &raw), 0x1Bu);
    EXPECT_EQ(raw, 0xFFu);
    probe.faulting = 0;
    probe.leaves[kExt].eax = kExt;  // the extended leaf is not there: its bits do not count
    EXPECT_EQ(ComputeCpuFeatures(probe, nullptr), 0x3Fu);
    probe.leaves[1].edx = 0;  // integer SSE from the extended leaf alone
    probe.leaves[kExt].eax = kExt + 1;
    probe.leaves[kExt + 1].edx = 1u << 22;
    EXPECT_EQ(ComputeCpuFeatures(probe, nullptr), 0xBu);
    probe.leaves[0].eax = 0;  // no leaf 1 either
    EXPECT_EQ(ComputeCpuFeatures(probe, nullptr), kCpuHasCpuid | kCpuFeaturesKnown);

    CpuInfo info{};
    EXPECT_EQ(FillCpuInfo(FakeProbe(), 0xCFu, 0xFFu, &info), 0xCFu);
    EXPECT_EQ(std::tie(info.family, info.model, info.stepping, info.rawFeatures, info.features,
                       info.endMarker),
              std::make_tuple(6u, 4u, 2u, 0xFFu, 0xCFu, kCpuInfoComplete));
}

}  // namespace
}  // namespace kelpa
