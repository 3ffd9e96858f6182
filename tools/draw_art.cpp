// Draws the scene's three pictures into the folder named on the command line:
// background.bmp, goodship.bmp and badship.bmp. Same build, same bytes.
#include <cstdio>
#include <string>

#include "pictures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_art OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    struct Output {
        const char* name;
        art::Canvas (*draw)();
    };
    const Output outputs[] = {
        {"background.bmp", art::draw_background},
        {"goodship.bmp", art::draw_good_ship},
        {"badship.bmp", art::draw_bad_ship},
    };
    for (const Output& output : outputs) {
        const std::string path = folder + "/" + output.name;
        if (!art::write_bmp(path, output.draw())) {
            std::fprintf(stderr, "draw_art: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
