// The processor probe on x86 and x86-64: the identification instruction through <cpuid.h>, the
// system's report from the kernel's hardware capabilities (which mirror leaf 1 EDX on x86),
// and the execution tests from the compiler runtime's view of what the processor runs.
#include <cpuid.h>
#include <sys/auxv.h>

#include "common/cpu_info.h"

namespace kelpa {
namespace {

constexpr unsigned long kHwcapMmx = 1ul << 23;
constexpr unsigned long kHwcapSse = 1ul << 25;
constexpr unsigned long kHwcapSse2 = 1ul << 26;

class X86CpuProbe final : public CpuProbe {
  public:
    // __get_cpuid_max tests the ID flag of EFLAGS where the instruction may be missing (32-bit
    // builds); every x86-64 processor has it.
    bool HasCpuid() const override { return __get_cpuid_max(0, nullptr) != 0; }

    CpuRegisters Cpuid(uint32_t leaf) const override {
        CpuRegisters r{};
        __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
        return r;
    }

    uint32_t SystemFeatures() const override {
        const unsigned long hwcap = getauxval(AT_HWCAP);
        uint32_t word = 0;
        if (hwcap & kHwcapMmx) word |= kCpuMmx;
        if (hwcap & kHwcapSse) word |= kCpuIntegerSse | kCpuSse;
        if (hwcap & kHwcapSse2) word |= kCpuSse2;
        return word;
    }

    bool RunsInstruction(uint32_t feature) const override {
        __builtin_cpu_init();
        switch (feature) {
            case kCpuMmx:
                return __builtin_cpu_supports("mmx");
            case kCpuSse:
                return __builtin_cpu_supports("sse");
            case kCpuSse2:
                return __builtin_cpu_supports("sse2");
            // Processors that claim 3DNow run it without any help from the system.
            case kCpu3DNow:
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

const CpuProbe& NativeCpuProbe() {
    static const X86CpuProbe probe;
    return probe;
}

}  // namespace kelpa
