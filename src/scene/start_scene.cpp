// Start-up: the display first, because create_image takes its depth from the
// display and makes no image without one.
#include "platform/platform.h"
#include "scene/scene.h"

namespace {

// open_screen's defaults: one page, a plain window, the display's own rate.
constexpr int default_pages = 0;
constexpr std::uint32_t default_window_flags = 0;
constexpr int default_refresh_rate = 0;
// create_image's fill and depth are unused: the flag fills with
// transparent_colour and depth 0 means the display's.
constexpr Pixel unused_fill = 0;
constexpr int depth_of_display = 0;

}  // namespace

void start_scene() {
    SceneState& s = scene_state;

    // No result is tested: without a display nothing below can draw, and main
    // decides what to do about that.
    open_screen(tuning.screen_width, tuning.screen_height, tuning.screen_depth, default_pages,
                default_window_flags, default_refresh_rate);

    s.background_image = create_image(tuning.screen_width, tuning.screen_height, unused_fill,
                                      depth_of_display, fill_with_transparent);
    s.good_ship_image = create_image(tuning.good_ship_width, tuning.good_ship_height, unused_fill,
                                     depth_of_display, fill_with_transparent);
    s.bad_ship_image = create_image(tuning.bad_ship_width, tuning.bad_ship_height, unused_fill,
                                    depth_of_display, fill_with_transparent);

    // A missing or broken file leaves its picture magenta: a magenta
    // background, an invisible ship.
    load_bitmap("background.bmp", s.background_image, nullptr);
    load_bitmap("goodship.bmp", s.good_ship_image, nullptr);
    load_bitmap("badship.bmp", s.bad_ship_image, nullptr);

    s.good_ship_x = tuning.good_ship_base_x;
    s.good_ship_y = tuning.good_ship_base_y;
    s.bad_ship_x = tuning.bad_ship_base_x;
    s.bad_ship_y = tuning.bad_ship_base_y;

    // The shot leaves from where the good ship's wobble puts it now, and from
    // there whenever it is fired; x and y each from their own clock reading.
    s.shot_x = wobble_position(tuning.good_wobble_rate_x, tuning.wobble_amplitude_x, tuning.shot_origin_x);
    s.shot_y = wobble_position(tuning.good_wobble_rate_y, tuning.wobble_amplitude_y, tuning.shot_origin_y);

    s.shot_vx = tuning.shot_launch_vx;
    s.shot_vy = tuning.shot_launch_vy;
}
