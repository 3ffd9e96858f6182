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

// The part of a w x h picture placed at (px, py) that lands on the surface:
// picture pixel (src_x + i, src_y + j) goes to (dest_x + i, dest_y + j).
// width and height are 0 when nothing lands. Every drawing call clips here.
struct ClipRect {
    int dest_x;
    int dest_y;
    int src_x;
    int src_y;
    int width;
    int height;
};
ClipRect clip_to_surface(const Surface& dest, int w, int h, std::int64_t px, std::int64_t py);

// A drawing position in pixels: halves away from zero, the sum formed exactly.
// Values far outside the screen are clamped to +-2^40, NaN lands far off-screen.
std::int64_t round_position(float v);

// Copies every pixel of `image` with its top-left at (px, py), clipped.
RowRange copy_opaque(const Surface& dest, const Image& image, std::int64_t px, std::int64_t py);

// As copy_opaque, skipping pixels whose low 24 bits are 0xFF00FF and writing
// the others with the top byte cleared.
RowRange copy_keyed(const Surface& dest, const Image& image, std::int64_t px, std::int64_t py);

// For tests: limits copy_keyed to instructions every x86-64 has (true), or
// lets it pick the fastest the processor offers again (false).
void use_baseline_keyed_copy(bool baseline);

// The span-by-span filled ellipse around (cx, cy) with radii a and b. Returns
// the rows to mark: trunc(cy - b)..trunc(cy + b) limited to the surface.
RowRange fill_disc(const Surface& dest, std::int64_t cx, std::int64_t cy, float a, float b,
                   Pixel colour);
