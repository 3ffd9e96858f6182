// The scene's one state record. The values below are those before start-up;
// start_scene puts in the starting positions, the shot's start point and its
// launch velocity.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct SceneState {
    std::int32_t scroll_offset = 0;  // x of the first background copy, 0..799
    double good_ship_x = 0.0;        // base position of the good ship, before the wobble
    double good_ship_y = 0.0;
    double bad_ship_x = 0.0;  // base position of the bad ship; the shot must pass this x
    double bad_ship_y = 0.0;  // grows once hit; the run ends when it reaches the limit
    double shot_x = 0.0;      // centre of the shot
    double shot_y = 0.0;
    double shot_vx = 0.0;  // pixels per frame; negative vy is upwards
    double shot_vy = 0.0;
    bool shot_fired = false;    // set once the fire key is seen; never cleared
    bool bad_ship_hit = false;  // set once the shot has passed the bad ship; never cleared
    Image* background_image = nullptr;  // whatever create_image gave, possibly nothing
    Image* good_ship_image = nullptr;
    Image* bad_ship_image = nullptr;
};
