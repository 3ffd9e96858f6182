// Every fixed number of the scene, in one read-only table. Single-precision
// values are float because they go to the drawing operations as they stand.
#pragma once

#include <bit>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"

struct SceneTuning {
    // Display and picture sizes.
    int screen_width;
    int screen_height;
    int screen_depth;
    int good_ship_width;
    int good_ship_height;
    int bad_ship_width;
    int bad_ship_height;

    // Where the ships hover before the wobble.
    double good_ship_base_x;
    double good_ship_base_y;
    double bad_ship_base_x;
    double bad_ship_base_y;

    // The wobble: radians per second of the clock, and pixels.
    double good_wobble_rate_x;
    double good_wobble_rate_y;
    double bad_wobble_rate_x;
    double bad_wobble_rate_y;
    double wobble_amplitude_x;
    double wobble_amplitude_y;

    // The shot: start point bases and launch velocity (pixels per frame).
    double shot_origin_x;
    double shot_origin_y;
    double shot_launch_vx;
    double shot_launch_vy;
    double shot_gravity;

    // The fall and the end of the run.
    double bad_ship_fall_step;
    double fall_limit_y;

    // The scroll.
    int scroll_step;
    int scroll_wrap;
    int background_tile_offset;
    float background_y;

    // The shot's disc as fill_circle takes it.
    float shot_radius;
    Pixel shot_colour;
    float shot_aspect;
    float shot_arc_start;
    float shot_arc_end;

    // The loop and the keys.
    int frame_pause_ms;
    int fire_key_scancode;
    std::string_view quit_key;
};

inline constexpr SceneTuning tuning{
    .screen_width = 800,
    .screen_height = 600,
    .screen_depth = 32,
    .good_ship_width = 200,
    .good_ship_height = 244,
    .bad_ship_width = 233,
    .bad_ship_height = 250,

    .good_ship_base_x = 60.0,
    .good_ship_base_y = 110.0,
    .bad_ship_base_x = 480.0,
    .bad_ship_base_y = 130.0,

    .good_wobble_rate_x = 1.2,
    .good_wobble_rate_y = 1.3,
    .bad_wobble_rate_x = 1.21,
    .bad_wobble_rate_y = 1.31,
    .wobble_amplitude_x = 5.0,
    .wobble_amplitude_y = 10.0,

    // The good ship's base plus (200, 170): the shot leaves from that point
    // of the good ship as drawn at start-up.
    .shot_origin_x = 260.0,
    .shot_origin_y = 280.0,
    .shot_launch_vx = 15.0,
    .shot_launch_vy = -5.0,
    .shot_gravity = 1.0,

    .bad_ship_fall_step = 3.0,
    .fall_limit_y = 600.0,

    .scroll_step = 1,
    .scroll_wrap = 800,
    .background_tile_offset = -800,
    .background_y = 0.0f,

    .shot_radius = 8.0f,
    .shot_colour = 0xFF000000u,
    .shot_aspect = 1.0f,
    .shot_arc_start = 0.0f,
    // One unit in the last place above the float nearest to 2 pi; with a
    // start of 0 fill_circle takes it as the whole circle.
    .shot_arc_end = std::bit_cast<float>(std::uint32_t{0x40C90FDCu}),

    .frame_pause_ms = 18,
    .fire_key_scancode = 57,
    .quit_key = std::string_view("\x1b", 1),
};
