// Draws a craft from a plan of layered outlines. Each part is shaded as a
// rounded plate lit from the upper left, edged with a dark line, and may cast a
// soft shadow on the parts below it. Every pixel that no part touches stays
// exactly magenta; the pixels at the edge of the craft blend into the dark edge
// colour, never into magenta, so the colour key leaves no fringe.
#pragma once

#include <vector>

#include "art_kit.h"

namespace art {

enum class Finish {
    paint,  // lit metal or paint
    glass,  // tinted glass: darker below, a hard bright reflection
    glow,   // light of its own: `colour` at the edge, `core` inside
};

struct Part {
    Path outline;
    Finish finish = Finish::paint;
    Rgb colour{0.5, 0.5, 0.5};
    Rgb core{1.0, 1.0, 1.0};   // glow: colour at the centre; glass: colour at the top
    double bevel = 4.0;        // pixels over which the edge rounds off (glow: over which the core fades in)
    double shine = 0.4;        // strength of the specular highlight
    double rim = 1.0;          // strength of the dark line along the edge
    double grime = 0.0;        // strength of the mottled wear
    double shade_top = 1.1;    // brightness at the top of the part ...
    double shade_bottom = 0.8; // ... and at its bottom: light comes from above
    bool casts_shadow = false; // darkens what lies below and to the right of it
    int surface = -1;          // a painted marking: clipped to, and shaped as, this earlier part
};

// An engraved panel line, drawn only where part `clip` lies.
struct Seam {
    std::vector<Vec> points;
    int clip;
    double depth = 0.45;
};

struct ShipPlan {
    int width;
    int height;
    Rgb edge;        // the dark outline colour every edge fades into
    Rgb back_light;  // cool light that catches the lower right rims
    std::vector<Part> parts;
    std::vector<Seam> seams;
};

// Appends a part on top of the earlier ones; returns its index, by which a
// later part's `surface` or a seam's `clip` refers to it.
int add_part(ShipPlan& plan, const Part& part);

// Renders the plan; pixels outside every part are key_magenta.
Canvas render_ship(const ShipPlan& plan);

}  // namespace art
