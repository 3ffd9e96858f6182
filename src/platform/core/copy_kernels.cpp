// The copies' row kernels. The build stays plain x86-64: the wider kernels
// carry target attributes and run only where the processor reports them.
//
// No kernel uses vpmaskmovd: AMD processors microcode it, and a keyed copy
// built on it ran 2.4x slower than the SSE2 one there. The AVX2 keyed kernel
// reads the destination and blends instead; the AVX-512 one stores under a
// k mask, which is fast on AMD and Intel alike.
//
// The opaque kernels align their stores to the vector and load unaligned, so
// they cost the same whatever the source's alignment against the destination
// (the scrolled background meets all 800 of them); library memcpy of a row
// ran 2-2.5x slower at some of those.
#include "core/copy_kernels.h"

#include <atomic>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr Pixel colour_bits = 0x00FFFFFF;
constexpr Pixel key_colour = transparent_colour & colour_bits;

void opaque_row_scalar(Pixel* dst, const Pixel* src, int count) {
    for (int i = 0; i < count; ++i) dst[i] = src[i];
}

// Pixels before dst's next `bytes` boundary (0 when already on one).
int pixels_to_boundary(const Pixel* dst, std::uintptr_t bytes) {
    return int(((bytes - (reinterpret_cast<std::uintptr_t>(dst) & (bytes - 1))) & (bytes - 1)) / sizeof(Pixel));
}

#if defined(__x86_64__)

// ---------------------------------------------------------------- SSE2

void opaque_row_sse2(Pixel* dst, const Pixel* src, int count) {
    if (count < 4) {
        opaque_row_scalar(dst, src, count);
        return;
    }
    auto copy = [&](int i, bool aligned) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        if (aligned) {
            _mm_store_si128(reinterpret_cast<__m128i*>(dst + i), v);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), v);
        }
    };
    // The first and last four pixels unaligned; the stores between them are
    // aligned, the first and last overlapping them (rewriting the same values).
    copy(0, false);
    int i = pixels_to_boundary(dst, 16);
    for (; i + 16 <= count; i += 16) {
        copy(i, true), copy(i + 4, true), copy(i + 8, true), copy(i + 12, true);
    }
    for (; i + 4 <= count; i += 4) copy(i, true);
    copy(count - 4, false);
}

// Pixels under the key are rewritten with the value they already hold, so
// the row goes four pixels at a time without masked stores.
void keyed_row_sse2(Pixel* dst, const Pixel* src, int count) {
    const __m128i bits = _mm_set1_epi32(int(colour_bits));
    const __m128i key = _mm_set1_epi32(int(key_colour));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i p = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), bits);
        const __m128i skip = _mm_cmpeq_epi32(p, key);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i out = _mm_or_si128(_mm_and_si128(skip, d), _mm_andnot_si128(skip, p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), out);
    }
    for (; i < count; ++i) {
        const Pixel p = src[i] & colour_bits;
        if (p != key_colour) dst[i] = p;
    }
}

// ---------------------------------------------------------------- AVX2
// Lambdas do not take their enclosing function's target, so the wide kernels'
// helpers are functions of their own.

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i load8(const Pixel* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
[[gnu::target("avx2"), gnu::always_inline]] inline void store8(Pixel* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
[[gnu::target("avx2"), gnu::always_inline]] inline void store8_aligned(Pixel* p, __m256i v) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), v); }

__attribute__((target("avx2"))) void opaque_row_avx2(Pixel* dst, const Pixel* src, int count) {
    if (count < 8) {
        opaque_row_sse2(dst, src, count);
        return;
    }
    store8(dst, load8(src));
    int i = pixels_to_boundary(dst, 32);
    for (; i + 32 <= count; i += 32) {
        const __m256i a = load8(src + i), b = load8(src + i + 8), c = load8(src + i + 16), d = load8(src + i + 24);
        store8_aligned(dst + i, a), store8_aligned(dst + i + 8, b);
        store8_aligned(dst + i + 16, c), store8_aligned(dst + i + 24, d);
    }
    for (; i + 8 <= count; i += 8) store8_aligned(dst + i, load8(src + i));
    store8(dst + count - 8, load8(src + count - 8));
}

// The eight pixels at src, blended over the eight destination pixels d.
[[gnu::target("avx2"), gnu::always_inline]] inline __m256i keyed8(const Pixel* src, __m256i d) {
    const __m256i p = _mm256_and_si256(load8(src), _mm256_set1_epi32(int(colour_bits)));
    return _mm256_blendv_epi8(p, d, _mm256_cmpeq_epi32(p, _mm256_set1_epi32(int(key_colour))));
}

// Eight pixels at a time: load the destination, blend in the pixels that are
// not the key, store all eight; eight key pixels in a row are passed over
// without touching the destination (ships are mostly long runs of key or of
// colour: measured 5-10% faster than blending every block, mispredictions at
// the outlines included). The last eight overlap the ones before; their
// destination is read before anything in the row is stored, so the blend
// gives what the earlier store wrote and no load waits on a store.
__attribute__((target("avx2"))) void keyed_row_avx2(Pixel* dst, const Pixel* src, int count) {
    if (count < 8) {
        keyed_row_sse2(dst, src, count);
        return;
    }
    const __m256i bits = _mm256_set1_epi32(int(colour_bits));
    const __m256i key = _mm256_set1_epi32(int(key_colour));
    const int last = count - 8;
    const __m256i tail = keyed8(src + last, load8(dst + last));
    for (int i = 0; i < last; i += 8) {
        const __m256i p = _mm256_and_si256(load8(src + i), bits);
        const __m256i skip = _mm256_cmpeq_epi32(p, key);
        if (_mm256_movemask_epi8(skip) == -1) continue;
        store8(dst + i, _mm256_blendv_epi8(p, load8(dst + i), skip));
    }
    store8(dst + last, tail);
}

// ---------------------------------------------------------------- AVX-512

__attribute__((target("avx512f"))) void opaque_row_avx512(Pixel* dst, const Pixel* src, int count) {
    if (count < 16) {
        const __mmask16 in_row = __mmask16((1u << count) - 1);
        _mm512_mask_storeu_epi32(dst, in_row, _mm512_maskz_loadu_epi32(in_row, src));
        return;
    }
    _mm512_storeu_si512(dst, _mm512_loadu_si512(src));
    int i = pixels_to_boundary(dst, 64);
    for (; i + 64 <= count; i += 64) {
        const __m512i a = _mm512_loadu_si512(src + i), b = _mm512_loadu_si512(src + i + 16);
        const __m512i c = _mm512_loadu_si512(src + i + 32), d = _mm512_loadu_si512(src + i + 48);
        _mm512_store_si512(dst + i, a), _mm512_store_si512(dst + i + 16, b);
        _mm512_store_si512(dst + i + 32, c), _mm512_store_si512(dst + i + 48, d);
    }
    for (; i + 16 <= count; i += 16) _mm512_store_si512(dst + i, _mm512_loadu_si512(src + i));
    _mm512_storeu_si512(dst + count - 16, _mm512_loadu_si512(src + count - 16));
}

// Of the sixteen pixels at src picked by `lanes`, stores those that are not the key.
[[gnu::target("avx512f"), gnu::always_inline]] inline void keyed16(Pixel* dst, const Pixel* src, __mmask16 lanes) {
    const __m512i p = _mm512_and_si512(_mm512_maskz_loadu_epi32(lanes, src), _mm512_set1_epi32(int(colour_bits)));
    _mm512_mask_storeu_epi32(dst, _mm512_mask_cmpneq_epi32_mask(lanes, p, _mm512_set1_epi32(int(key_colour))), p);
}

// Sixteen pixels at a time, stored under a mask of those that are not the
// key: the destination is never read, and the row's tail is one more mask.
__attribute__((target("avx512f"))) void keyed_row_avx512(Pixel* dst, const Pixel* src, int count) {
    int i = 0;
    for (; i + 32 <= count; i += 32) keyed16(dst + i, src + i, 0xFFFF), keyed16(dst + i + 16, src + i + 16, 0xFFFF);
    for (; i + 16 <= count; i += 16) keyed16(dst + i, src + i, 0xFFFF);
    if (i < count) keyed16(dst + i, src + i, __mmask16((1u << (count - i)) - 1));
}

#else

void opaque_row_sse2(Pixel* dst, const Pixel* src, int count) { opaque_row_scalar(dst, src, count); }

void keyed_row_sse2(Pixel* dst, const Pixel* src, int count) {
    for (int i = 0; i < count; ++i) {
        const Pixel p = src[i] & colour_bits;
        if (p != key_colour) dst[i] = p;
    }
}

#endif

struct KernelSet {
    CopyKernels name;
    RowKernels rows;
};

#if defined(__x86_64__)
constexpr KernelSet kernel_sets[] = {
    {CopyKernels::avx512, {opaque_row_avx512, keyed_row_avx512}},
    {CopyKernels::avx2, {opaque_row_avx2, keyed_row_avx2}},
    {CopyKernels::sse2, {opaque_row_sse2, keyed_row_sse2}},
};
#else
constexpr KernelSet kernel_sets[] = {{CopyKernels::sse2, {opaque_row_sse2, keyed_row_sse2}}};
#endif

bool processor_runs(CopyKernels kernels) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    switch (kernels) {
        case CopyKernels::avx512: return __builtin_cpu_supports("avx512f");
        case CopyKernels::avx2: return __builtin_cpu_supports("avx2");
        case CopyKernels::sse2: return true;
    }
    return false;
#else
    return kernels == CopyKernels::sse2;
#endif
}

struct Available {
    CopyKernels names[std::size(kernel_sets)];
    const KernelSet* sets[std::size(kernel_sets)];
    std::size_t count = 0;
};

// Asked of the processor once, on first use (thread-safe static).
const Available& available() {
    static const Available a = [] {
        Available found{};
        for (const KernelSet& set : kernel_sets) {
            if (!processor_runs(set.name)) continue;
            found.names[found.count] = set.name;
            found.sets[found.count] = &set;
            ++found.count;
        }
        return found;
    }();
    return a;
}

std::atomic<const KernelSet*> chosen{nullptr};

const KernelSet& current_set() {
    const KernelSet* set = chosen.load(std::memory_order_relaxed);
    if (set == nullptr) {
        set = available().sets[0];
        chosen.store(set, std::memory_order_relaxed);
    }
    return *set;
}

}  // namespace

std::span<const CopyKernels> available_copy_kernels() {
    const Available& a = available();
    return {a.names, a.count};
}

const char* copy_kernels_name(CopyKernels kernels) {
    switch (kernels) {
        case CopyKernels::avx512: return "avx512";
        case CopyKernels::avx2: return "avx2";
        case CopyKernels::sse2: return "sse2";
    }
    return "?";
}

bool force_copy_kernels(CopyKernels kernels) {
    const Available& a = available();
    for (std::size_t i = 0; i < a.count; ++i) {
        if (a.names[i] != kernels) continue;
        chosen.store(a.sets[i], std::memory_order_relaxed);
        return true;
    }
    return false;
}

void use_fastest_copy_kernels() { chosen.store(available().sets[0], std::memory_order_relaxed); }

CopyKernels current_copy_kernels() { return current_set().name; }

const RowKernels& row_kernels() { return current_set().rows; }
