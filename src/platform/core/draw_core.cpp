// Drawing on a plain surface. Positions arrive as 64-bit pixels already
// clamped to +-2^40, so every sum below stays far inside 64 bits; everything
// that lands on the surface goes through clip_to_surface.
#include "core/draw_core.h"

#include <algorithm>
#include <cmath>

#include "core/copy_kernels.h"

namespace {

// Far enough outside any surface that a clamped position draws nothing, and
// small enough that adding an image size or a radius cannot overflow.
constexpr double position_limit = 1099511627776.0;  // 2^40

// Larger radii would only add loop steps; 2^20 keeps every product of the
// disc's 64-bit error terms below 2^62 and covers any surface whole.
constexpr float radius_limit = 1048576.0f;  // 2^20

constexpr LineRange no_rows{0, -1};

Pixel* surface_row(const Image& s, int row) { return s.pixels + row * s.stride; }

const Pixel* image_row(const Image& image, int row) { return image.pixels + row * image.stride; }

LineRange rows_of(const ClipRect& c) {
    if (c.height == 0) return no_rows;
    return {c.dest_y, c.dest_y + c.height - 1};
}

// trunc() of a value already known to lie well inside 64 bits.
std::int64_t truncate(double v) { return static_cast<std::int64_t>(v); }

float clamp_radius(float r) {
    if (!(r > 0.0f)) return 0.0f;  // NaN and negatives
    return std::min(r, radius_limit);
}

}  // namespace

ClipRect clip_to_surface(const Image& dest, int w, int h, std::int64_t px, std::int64_t py) {
    if (w <= 0 || h <= 0 || px + w <= 0 || px >= dest.width || py + h <= 0 || py >= dest.height) {
        return {0, 0, 0, 0, 0, 0};
    }
    const std::int64_t x0 = std::max<std::int64_t>(px, 0);
    const std::int64_t y0 = std::max<std::int64_t>(py, 0);
    const std::int64_t x1 = std::min<std::int64_t>(px + w, dest.width);
    const std::int64_t y1 = std::min<std::int64_t>(py + h, dest.height);
    return {int(x0), int(y0), int(x0 - px), int(y0 - py), int(x1 - x0), int(y1 - y0)};
}

std::int64_t round_position(float v) {
    const double d = v;
    if (std::isnan(d)) return std::int64_t(-position_limit);
    if (d >= position_limit) return std::int64_t(position_limit);
    if (d <= -position_limit) return std::int64_t(-position_limit);
    // In double the sum of a float and 0.5 is exact, so 59.5f gives 60 and
    // the largest float below 0.5 gives 0.
    return d > 0.0 ? truncate(d + 0.5) : truncate(d - 0.5);
}

namespace {

// The clipped rows of `image`, each through `row`.
LineRange copy_rows(const Image& dest, const Image& image, std::int64_t px, std::int64_t py, RowKernel row) {
    const ClipRect c = clip_to_surface(dest, image.width, image.height, px, py);
    for (int j = 0; j < c.height; ++j) {
        row(surface_row(dest, c.dest_y + j) + c.dest_x, image_row(image, c.src_y + j) + c.src_x, c.width);
    }
    return rows_of(c);
}

}  // namespace

LineRange copy_opaque(const Image& dest, const Image& image, std::int64_t px, std::int64_t py) {
    return copy_rows(dest, image, px, py, row_kernels().opaque);
}

LineRange copy_keyed(const Image& dest, const Image& image, std::int64_t px, std::int64_t py) {
    return copy_rows(dest, image, px, py, row_kernels().keyed);
}

LineRange fill_disc(const Image& dest, std::int64_t cx, std::int64_t cy, float a, float b,
                   Pixel colour) {
    const double ad = clamp_radius(a);
    const double bd = clamp_radius(b);
    const int last_row = dest.height - 1;
    const int last_column = dest.width - 1;

    std::int64_t xl = truncate(double(cx) - ad);
    std::int64_t xr = truncate(double(cx) + ad);

    // Spans stay within the first one's columns, and within 2b + 1 lines of
    // the centre line: when those miss the surface, nothing can be drawn and
    // the loop need not run. The line bound is not b: A = trunc(a * a) can be
    // near a * a / 2 when a is small (a tall ellipse), and k grows while
    //   A (k - 1) k < d0 + (what the steps add) <= B a + B a a,
    // so (k - 1)^2 < 2 B (a + 1) / a <= 4 B <= 4 b * b for a >= 1 (for a < 1
    // no step is taken and only the centre line is drawn). One more line
    // covers the rounding of d0 = trunc(B * a).
    const std::int64_t reach = truncate(2.0 * bd) + 2;
    const bool can_draw = xr >= 0 && xl <= last_column && cy + reach >= 0 && cy - reach <= last_row;

    auto span = [&](std::int64_t row) {
        if (row < 0 || row > last_row || xr < 0 || xl > last_column) return;
        const std::int64_t from = std::max<std::int64_t>(xl, 0);
        const std::int64_t to = std::min<std::int64_t>(xr, last_column);
        if (from <= to) std::fill(surface_row(dest, int(row)) + from, surface_row(dest, int(row)) + to + 1, colour);
    };

    if (can_draw) {
        span(cy);
        const std::int64_t big_a = truncate(ad * ad);  // exact: a float squared fits a double
        const std::int64_t big_b = truncate(bd * bd);
        std::int64_t d = truncate(double(big_b) * ad);
        std::int64_t dx = 2 * d;
        std::int64_t dy = 0;
        std::int64_t steps = truncate(ad);
        std::int64_t k = 0;
        // The first span drawn on a line is the one that stays. Lines are
        // reached in order of growing k, so a line already has its span
        // exactly when k has not grown since the last spans were drawn.
        std::int64_t drawn_k = 0;
        while (steps > 0) {
            if (d > 0) {
                ++k;
                dy += 2 * big_a;
                d -= dy;
            }
            if (d <= 0) {
                --steps;
                ++xl;
                --xr;
                dx -= 2 * big_b;
                d += dx;
            }
            if (k > drawn_k) {
                span(cy + k);
                span(cy - k);
                drawn_k = k;
                if (cy - k < 0 && cy + k > last_row) break;  // every further line is off the surface
            }
        }
    }

    const std::int64_t top = std::max<std::int64_t>(truncate(double(cy) - bd), 0);
    const std::int64_t bottom = std::min<std::int64_t>(truncate(double(cy) + bd), last_row);
    if (top > bottom) return no_rows;
    return {int(top), int(bottom)};
}
