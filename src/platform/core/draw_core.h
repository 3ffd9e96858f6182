// Drawing on any pixel rectangle: the copies and the disc draw into an Image
// (the frame buffer is viewed as one) and return the rows they wrote, so tests and benchmarks can
// call them on any buffer. The platform operations wrap them with rounding,
// frame nesting and line marking.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/copy_kernels.h"
#include "core/line_range.h"
#include "platform.h"

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
ClipRect clip_to_surface(const Image& dest, int w, int h, std::int64_t px, std::int64_t py);

// A drawing position in pixels: halves away from zero, the sum formed exactly.
// Values far outside the screen are clamped to +-2^40, NaN lands far off-screen.
std::int64_t round_position(float v);

// Copies every pixel of `image` with its top-left at (px, py), clipped.
LineRange copy_opaque(const Image& dest, const Image& image, std::int64_t px, std::int64_t py);

// As copy_opaque, skipping pixels whose low 24 bits are 0xFF00FF and writing
// the others with the top byte cleared.
LineRange copy_keyed(const Image& dest, const Image& image, std::int64_t px, std::int64_t py);

// Both copies run the row kernels of copy_kernels.h: tests and benchmarks
// force each set through it.

// The span-by-span filled ellipse around (cx, cy) with radii a and b. Returns
// the rows to mark: trunc(cy - b)..trunc(cy + b) limited to the surface.
LineRange fill_disc(const Image& dest, std::int64_t cx, std::int64_t cy, float a, float b,
                   Pixel colour);
