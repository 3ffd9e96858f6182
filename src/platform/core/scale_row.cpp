// Widening a row. Where it is widened, eight neighbouring output pixels come
// from at most eight neighbouring source pixels, so one unaligned load and one
// lane permute (vpermd, fast on AMD and Intel alike) make eight outputs; no
// gather instruction is needed.
#include "core/scale_row.h"

#include <immintrin.h>

#include <cstdint>

namespace {

void scale_row_plain(const Pixel* in, Pixel* out, const int* column, int from, int to) {
    for (int x = from; x < to; ++x) out[x] = in[column[x]];
}

[[gnu::target("avx2")]] void scale_row_avx2(const Pixel* in, int in_width, Pixel* out, const int* column,
                                            int out_width) {
    int x = 0;
    for (; x + 8 <= out_width; x += 8) {
        const int base = column[x];
        // A block that reaches beyond eight source pixels (narrowing), or
        // whose load would run past the row's end, goes pixel by pixel.
        if (column[x + 7] - base > 7 || base + 8 > in_width) {
            scale_row_plain(in, out, column, x, x + 8);
            continue;
        }
        const __m256i lanes = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + x)),
                                               _mm256_set1_epi32(base));
        const __m256i source = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + base));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_permutevar8x32_epi32(source, lanes));
    }
    scale_row_plain(in, out, column, x, out_width);
}

const bool have_avx2 = __builtin_cpu_supports("avx2");

}  // namespace

void scale_columns(int in_width, int out_width, int* column) {
    for (int x = 0; x < out_width; ++x) column[x] = int(std::int64_t(x) * in_width / out_width);
}

void scale_row(const Pixel* in, int in_width, Pixel* out, const int* column, int out_width) {
    if (have_avx2) {
        scale_row_avx2(in, in_width, out, column, out_width);
    } else {
        scale_row_plain(in, out, column, 0, out_width);
    }
}
