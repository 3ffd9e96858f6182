// Drawing on any plain surface: the copies and the disc work on a view of
// pixels and return the line range they wrote, so tests and benchmarks can
// call them on any buffer. The platform operations wrap them with rounding,
// frame nesting and line marking.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.h"

struct Surface {
    Pixel* pixels;
    int width;
    int height;
    std::ptrdiff_t stride;  // pixels from one row to the next
};

// Rows written, first..last; first > last when nothing was written.
struct RowRange {
    int first;
    int last;
};

// A drawing position in pixels: halves away from zero, the sum formed exactly.
// Values far outside the screen are clamped to +-2^40, NaN lands far off-screen.
std::int64_t round_position(float v);

// Copies every pixel of `image` with its top-left at (px, py), clipped.
RowRange copy_opaque(const Surface& dest, const Image& image, std::int64_t px, std::int64_t py);

// As copy_opaque, skipping pixels whose low 24 bits are 0xFF00FF and writing
// the others with the top byte cleared.
RowRange copy_keyed(const Surface& dest, const Image& image, std::int64_t px, std::int64_t py);

// The span-by-span filled ellipse around (cx, cy) with radii a and b. Returns
// the rows to mark: trunc(cy - b)..trunc(cy + b) limited to the surface.
RowRange fill_disc(const Surface& dest, std::int64_t cx, std::int64_t cy, float a, float b,
                   Pixel colour);
