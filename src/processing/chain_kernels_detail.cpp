#include "processing/chain_kernels_detail.h"

namespace kelpa::detail {

void RenderSpan(const RenderJob& job, int32_t y, int32_t xBegin, int32_t xEnd, OutputPeaks* peaks) {
    const int32_t words = WordsOf(job.kind);
    const uint8_t* src =
        job.input ? job.input + static_cast<size_t>(job.inputStride) * y + 3 * size_t(xBegin)
                  : nullptr;
    uint32_t* acc = job.acc ? job.acc + static_cast<size_t>(job.accRowWords) * y +
                                  static_cast<size_t>(words) * xBegin
                            : nullptr;
    uint8_t* dst = nullptr;
    if (job.out) {
        dst = job.out + static_cast<size_t>(job.outStride) * (y - job.outOriginY) +
              static_cast<size_t>(job.outBytesPerPixel) * (xBegin - job.outOriginX);
    }
    for (int32_t x = xBegin; x < xEnd; ++x) {
        for (int32_t c = 0; c < words; ++c) {
            uint32_t a = 0;
            if (job.source == SumSource::kAccumulator) {
                a = acc[c];
            } else {
                const uint32_t value =
                    job.kind == PixelKind::kAsIs ? src[c] : ValueOf(job.kind, src);
                if (job.source == SumSource::kInput) {
                    a = value;
                } else {
                    a = job.first ? value : acc[c] + value;
                    if (job.writeAcc) acc[c] = a;
                }
            }
            if (!dst) continue;
            const uint8_t v = RenderWord(job, a, peaks);
            if (job.kind == PixelKind::kAsIs) {
                dst[c] = v;
            } else {
                for (int32_t k = 0; k < job.outBytesPerPixel; ++k) dst[k] = v;
            }
        }
        if (src) src += 3;
        if (acc) acc += words;
        if (dst) dst += job.outBytesPerPixel;
    }
}

void RenderRectPlain(const RenderJob& job) {
    for (int32_t y = job.rect.y0; y < job.rect.y0 + job.rect.h; ++y) {
        RenderSpan(job, y, job.rect.x0, job.rect.x0 + job.rect.w, job.peaks);
        if (job.rowsDone) job.rowsDone(job.rowsContext, y, y + 1);
    }
}

void UnroundedGreySpan(const RenderJob& job, int32_t y, int32_t xBegin, int32_t xEnd) {
    const uint8_t* src = job.input + static_cast<size_t>(job.inputStride) * y + 3 * size_t(xBegin);
    uint8_t* dst = job.out + static_cast<size_t>(job.outStride) * y + 3 * size_t(xBegin);
    for (int32_t x = xBegin; x < xEnd; ++x, src += 3, dst += 3) {
        const int64_t sum = 114 * int64_t{src[0]} + 587 * int64_t{src[1]} + 299 * int64_t{src[2]};
        const uint8_t v = ToneOf(job.tone, LevelOf(job.level, sum));
        dst[0] = v;
        dst[1] = v;
        dst[2] = v;
    }
}

void AverageSpan(const AverageJob& job, int32_t y, int32_t xBegin, int32_t xEnd,
                 uint32_t* histogram) {
    const int32_t words = WordsOf(job.kind);
    const int64_t weight = std::max<int64_t>(job.weight, 1);
    for (int32_t x = xBegin; x < xEnd; ++x) {
        int64_t level = 0;
        for (int32_t c = 0; c < words; ++c) {
            uint32_t a;
            if (job.source == SumSource::kAccumulator) {
                a = job.acc[static_cast<size_t>(job.accRowWords) * y + size_t(words) * x + c];
            } else {
                const uint8_t* p =
                    job.input + static_cast<size_t>(job.inputStride) * y + 3 * size_t(x);
                a = job.kind == PixelKind::kAsIs ? p[c] : ValueOf(job.kind, p);
            }
            level += std::min<int64_t>((a + weight / 2) / weight, 255);
        }
        ++histogram[words == 3 ? (level + 1) / 3 : level];
    }
}

bool ToneMonotone(const uint8_t* tone) {
    for (int32_t i = 2; i <= 254; ++i) {
        if (tone[i] < tone[i - 1]) return false;
    }
    return true;
}

bool ToneIdentity(const uint8_t* tone) {
    for (int32_t i = 0; i < 256; ++i) {
        if (tone[i] != i) return false;
    }
    return true;
}

}  // namespace kelpa::detail
