// The row kernels of the two copies, one set per x86-64 instruction level,
// chosen once at run time. Tests and benchmarks force each set the processor
// has, so every one is held to the same rule and measured on its own.
#pragma once

#include <span>

#include "platform.h"

// In order of preference: the first listed that the processor runs is used.
enum class CopyKernels {
    avx512,  // 64-byte loads, stores masked by a k register (AVX-512F)
    avx2,    // 32-byte loads; keyed pixels by select: load, compare, blend, store
    sse2,    // 16-byte loads; every x86-64 has it
};

// The sets this processor runs, fastest first; never empty.
std::span<const CopyKernels> available_copy_kernels();

// "avx512", "avx2" or "sse2".
const char* copy_kernels_name(CopyKernels kernels);

// From now on the copies use `kernels`; false, and nothing changes, when the
// processor lacks them.
bool force_copy_kernels(CopyKernels kernels);

// Back to the fastest set the processor runs.
void use_fastest_copy_kernels();

// The set the copies use now.
CopyKernels current_copy_kernels();

// One row of `count` pixels (count >= 1) from src to dst; the two never overlap.
using RowKernel = void (*)(Pixel* dst, const Pixel* src, int count);

struct RowKernels {
    RowKernel opaque;  // every pixel, all 32 bits
    RowKernel keyed;   // pixels whose low 24 bits are not 0xFF00FF, top byte cleared
};

// The kernels of the current set.
const RowKernels& row_kernels();
