// put_opaque, put_transparent and fill_circle: the drawing core applied to
// the display's frame buffer, inside a nested level, marking what they wrote.
#include "display/display_state.h"
#include "core/draw_core.h"
#include "platform.h"

namespace {

Image frame_surface(DisplayState& d) {
    return {display_width, display_height, display_depth, display_width, d.frame.data()};
}

void mark_rows(LineRange rows) {
    if (rows.first <= rows.last) mark_lines(rows.first, rows.last);
}

using CopyCore = LineRange (*)(const Image&, const Image&, std::int64_t, std::int64_t);

void put_image(float x, float y, const Image* image, CopyCore copy) {
    DisplayState& d = display();
    if (!d.open || image == nullptr || image->pixels == nullptr) return;
    if (image->depth != display_depth) return;
    const std::int64_t px = round_position(x);
    const std::int64_t py = round_position(y);
    const Image screen = frame_surface(d);
    // A copy that lands wholly off the screen opens no level and marks nothing.
    if (clip_to_surface(screen, image->width, image->height, px, py).height == 0) return;
    if (!enter_level()) return;
    mark_rows(copy(screen, *image, px, py));
    leave_level();
}

}  // namespace

void put_opaque(float x, float y, const Image* image) { put_image(x, y, image, copy_opaque); }

void put_transparent(float x, float y, const Image* image) { put_image(x, y, image, copy_keyed); }

void fill_circle(float x, float y, float radius, Pixel colour, float aspect, float arc_start,
                 float arc_end) {
    // The scene only ever asks for the whole circle; every arc is drawn whole.
    (void)arc_start;
    (void)arc_end;
    DisplayState& d = display();
    if (!d.open || !(radius > 0.0f)) return;
    const std::int64_t cx = round_position(x);
    const std::int64_t cy = round_position(y);
    float a = radius;
    float b = radius;
    if (aspect <= 1.0f) {
        b = radius * aspect;
    } else {
        a = radius / aspect;
    }
    if (!enter_level()) return;
    mark_rows(fill_disc(frame_surface(d), cx, cy, a, b, colour));
    leave_level();
}
