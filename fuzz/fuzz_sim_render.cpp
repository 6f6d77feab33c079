// Fuzzes the simulated camera's renderer and format-list parser. The first bytes choose a
// format, a size (1 ... 64 each way), changes to every plane's stride and offset, a buffer size
// near the layout's and a frame index; the renderer must either refuse the layout or write only
// inside a buffer of exactly that size. The remaining bytes are parsed as a format list.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/sim_format.h"
#include "sim/sim_sky.h"

namespace {

using namespace kelpa;

class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Next() { return used_ < size_ ? data_[used_++] : 0; }
    int8_t NextSigned() { return static_cast<int8_t>(Next()); }
    std::string_view Rest() const {
        return {reinterpret_cast<const char*>(data_) + used_, size_ - used_};
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};

// Building a sky costs milliseconds, so up to 256 skies (a few hundred KiB each) are kept.
SimSky& SkyFor(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<SimSky>> skies;
    if (skies.size() >= 256) skies.clear();
    std::unique_ptr<SimSky>& sky = skies[{width, height}];
    if (!sky) {
        SimSkyParams params;
        params.width = width;
        params.height = height;
        sky = std::make_unique<SimSky>(params);
    }
    return *sky;
}

void FuzzRender(Bytes& in) {
    const SimFormat format = kSimAllFormats[in.Next() % kSimAllFormats.size()];
    const int width = 1 + in.Next() % 64;
    const int height = 1 + in.Next() % 64;
    SimLayout layout = DefaultSimLayout(format, width, height);
    for (int plane = 0; plane < 3; ++plane) {
        layout.stride[plane] += in.NextSigned();
        layout.offset[plane] += static_cast<size_t>(static_cast<ptrdiff_t>(in.NextSigned()));
    }
    if (in.Next() & 1) layout.width += 1;  // a size other than the sky's
    const ptrdiff_t sizeChange = in.NextSigned();
    const size_t bufferSize = static_cast<size_t>(static_cast<ptrdiff_t>(layout.size) + sizeChange);
    uint64_t frame = 0;
    for (int i = 0; i < 8; ++i) frame = frame << 8 | in.Next();
    if (bufferSize > (1u << 16)) return;

    auto buffer = std::make_unique<uint8_t[]>(bufferSize + 1);  // never zero bytes
    const bool drawn = SkyFor(width, height).Render(frame, layout, buffer.get(), bufferSize);
    if (drawn && !IsValidSimLayout(layout, bufferSize)) __builtin_trap();
}

void FuzzFormatList(std::string_view text) {
    std::vector<SimFormat> formats;
    if (!ParseSimFormats(text, &formats)) return;
    if (formats.empty()) __builtin_trap();
    std::vector<SimFormat> again;
    if (!ParseSimFormats(SimFormatsText(formats), &again) || again != formats) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes in(data, size);
    FuzzRender(in);
    FuzzFormatList(in.Rest());
    return 0;
}
