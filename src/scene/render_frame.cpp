// One frame, drawn entirely inside one lock so the window only ever shows
// whole frames. Positions are computed in double and handed over as float.
#include "platform/platform.h"
#include "scene/scene.h"

namespace {

// A ship coordinate, from its own clock reading.
float wobble(double rate, double amplitude, double base) {
    return static_cast<float>(wobble_position(rate, amplitude, base));
}

}  // namespace

void render_frame() {
    const SceneState& s = scene_state;

    lock_screen();

    // Two copies side by side cover the whole screen at any offset.
    put_opaque(static_cast<float>(s.scroll_offset), tuning.background_y, s.background_image);
    const int tile_x = s.scroll_offset + tuning.background_tile_offset;
    put_opaque(static_cast<float>(tile_x), tuning.background_y, s.background_image);

    // y's reading comes before x's, for each ship.
    const float good_y = wobble(tuning.good_wobble_rate_y, tuning.wobble_amplitude_y, s.good_ship_y);
    const float good_x = wobble(tuning.good_wobble_rate_x, tuning.wobble_amplitude_x, s.good_ship_x);
    put_transparent(good_x, good_y, s.good_ship_image);

    const float bad_y = wobble(tuning.bad_wobble_rate_y, tuning.wobble_amplitude_y, s.bad_ship_y);
    const float bad_x = wobble(tuning.bad_wobble_rate_x, tuning.wobble_amplitude_x, s.bad_ship_x);
    put_transparent(bad_x, bad_y, s.bad_ship_image);

    // After the hit the shot flies on unseen.
    if (s.shot_fired && !s.bad_ship_hit) {
        fill_circle(static_cast<float>(s.shot_x), static_cast<float>(s.shot_y), tuning.shot_radius,
                    tuning.shot_colour, tuning.shot_aspect, tuning.shot_arc_start,
                    tuning.shot_arc_end);
    }

    unlock_screen(-1, -1);
}
