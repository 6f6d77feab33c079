// The processor probe where there is no x86 identification instruction: nothing is claimed, so
// the record stays empty and the report shows only the lines of a processor without it.
#include "common/cpu_info.h"

namespace kelpa {
namespace {

class GenericCpuProbe final : public CpuProbe {
  public:
    bool HasCpuid() const override { return false; }
    CpuRegisters Cpuid(uint32_t /*leaf*/) const override { return {}; }
    uint32_t SystemFeatures() const override { return 0; }
    bool RunsInstruction(uint32_t /*feature*/) const override { return false; }
};

}  // namespace

const CpuProbe& NativeCpuProbe() {
    static const GenericCpuProbe probe;
    return probe;
}

}  // namespace kelpa
