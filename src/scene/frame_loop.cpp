// The frame loop. Nothing paces it but the fixed pause: slow frames are not
// made up, so the frame-counted motion follows the frame period.
#include <string>

#include "platform/platform.h"
#include "scene/scene.h"

void run_frame_loop() {
    for (;;) {
        advance_scene();
        render_frame();
        sleep_ms(tuning.frame_pause_ms);
        // One key per frame, read before the fall is looked at, so a key taken
        // in the frame that ends by the fall is used up as well.
        const std::string key = read_key();
        const bool quit_typed = key == tuning.quit_key;
        const bool fallen = !(scene_state.bad_ship_y < tuning.fall_limit_y);
        if (quit_typed || fallen) end_program(0);
    }
}
