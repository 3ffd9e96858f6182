// The key path of the real program without the scene: opens the display as
// the scene does, then every 18 ms prints each key read_key gives, as its
// byte values ("key 255 72"), and each change of key_down(57) ("space 1",
// "space 0"), one line each. Ends after two ESC in a row, or by a signal.
#include <cstdio>
#include <string>

#include "platform.h"

int main() {
    if (open_screen(800, 600, 32, 0, 0, 0) != 0) {
        std::fprintf(stderr, "key_probe: %s\n", display_error());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    bool space = false;
    int escapes = 0;
    for (;;) {
        for (std::string key = read_key(); !key.empty(); key = read_key()) {
            std::string line = "key";
            for (const char byte : key) line += " " + std::to_string(static_cast<unsigned char>(byte));
            std::printf("%s\n", line.c_str());
            escapes = key == "\x1b" ? escapes + 1 : 0;
        }
        if (key_down(57) != space) {
            space = !space;
            std::printf("space %d\n", space ? 1 : 0);
        }
        std::fflush(stdout);
        if (escapes >= 2) end_program(0);
        sleep_ms(18);
    }
}
