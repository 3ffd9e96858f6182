// The scene's steps and its one state record.
#pragma once

#include "scene/scene_state.h"
#include "scene/tuning.h"

// The scene's state for the whole run; only the scene's thread touches it.
extern SceneState scene_state;

// Opens the display, creates and loads the three pictures and fills scene_state;
// tests no result.
void start_scene();

// Moves the scene on by one frame: scroll, shot, fall, then the fire key.
void advance_scene();

// `base` plus cos(rate * t) * amplitude, with t one fresh clock_seconds reading.
double wobble_position(double rate, double amplitude, double base);

// Draws one whole frame between one lock_screen and one unlock_screen.
void render_frame();

// Runs frames until ESC is read or the bad ship reaches the bottom, then ends
// the process through end_program(0).
[[noreturn]] void run_frame_loop();
