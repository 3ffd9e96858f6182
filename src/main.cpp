// The scene: start-up, then frames until ESC or the bad ship's fall ends it.
#include <cstdio>

#include "platform/platform.h"
#include "scene/scene.h"

int main() {
    start_scene();
    // Without a display no key can arrive and the bad ship can never fall, so
    // the loop would never end: say why and stop instead.
    if (display_error()[0] != '\0') {
        std::fprintf(stderr, "scene: cannot open the 800x600 display: %s\n", display_error());
        return 1;
    }
    run_frame_loop();
}
