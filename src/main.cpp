// A stand-in for the scene while the window is being built: the background
// picture, a disc that runs across it, and a big disc while the space bar is
// held. ESC ends it with 0, like the scene.
#include <cstdio>
#include <string>

#include "platform/platform.h"

int main() {
    if (open_screen(800, 600, 32, 0, 0, 0) != 0) {
        std::fprintf(stderr, "scene: cannot open the 800x600 display: %s\n", display_error());
        return 1;
    }
    Image* background = create_image(800, 600, 0xFF203050, 0, 0);
    load_bitmap("background.bmp", background, nullptr);
    constexpr float whole_circle = 6.2831859f;
    constexpr int space_bar = 57;
    for (int frame = 0;; ++frame) {
        const bool space_held = key_down(space_bar);
        lock_screen();
        put_opaque(0.0f, 0.0f, background);
        fill_circle(float(frame % 800), 40.0f, 12.0f, 0xFFFFD040, 1.0f, 0.0f, whole_circle);
        if (space_held) fill_circle(400.0f, 300.0f, 80.0f, 0xFFFFFFFF, 1.0f, 0.0f, whole_circle);
        unlock_screen(-1, -1);
        sleep_ms(18);
        if (read_key() == "\x1b") end_program(0);
    }
}
