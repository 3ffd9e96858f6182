// One frame of motion. Everything moves by a fixed amount per frame, in
// double precision; the fire key is read last, so a shot first moves in the
// frame after the one that saw the key.
#include "platform/platform.h"
#include "scene/scene.h"

void advance_scene() {
    SceneState& s = scene_state;

    s.scroll_offset -= tuning.scroll_step;
    if (s.scroll_offset < 0) s.scroll_offset += tuning.scroll_wrap;

    if (s.shot_fired) {
        // The new velocity moves the shot in this same frame.
        s.shot_vy += tuning.shot_gravity;
        s.shot_x += s.shot_vx;
        s.shot_y += s.shot_vy;
        // Only x counts, strictly: a shot exactly at the ship's x has not passed it.
        if (s.shot_x > s.bad_ship_x) s.bad_ship_hit = true;
    }

    // The hit frame already falls.
    if (s.bad_ship_hit) s.bad_ship_y += tuning.bad_ship_fall_step;

    if (key_down(tuning.fire_key_scancode)) s.shot_fired = true;
}
