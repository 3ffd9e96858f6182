// The enemy craft: a dark, armoured raider facing left, with two curved jaws
// around a glowing red eye, saw-edged wings that sweep up and down behind it,
// and three red engines at the back.
#include <cmath>

#include "pictures.h"
#include "ship_renderer.h"

namespace art {
namespace {

// The same outline reflected about the craft's centre line.
Path flipped(const Path& path, double centre_y) {
    Path out;
    for (auto it = path.points.rbegin(); it != path.points.rend(); ++it) {
        out.points.push_back(Vec{it->x, 2.0 * centre_y - it->y});
    }
    return out;
}

constexpr double centre_y = 125.0;

// Bone struts from the wing root out to the saw teeth.
void add_ribs(ShipPlan& plan, int wing, bool flip) {
    const Vec ribs[][2] = {{{112, 92}, {206, 29}}, {{136, 92}, {197, 51}}, {{158, 92}, {190, 72}}};
    for (const auto& rib : ribs) {
        const Vec a = rib[0];
        const Vec b = rib[1];
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double len = std::sqrt(dx * dx + dy * dy);
        // Tapering from 3.2 pixels wide at the root to 1.2 at the tooth.
        const Vec n{-dy / len, dx / len};
        Path strut = polygon({{a.x + n.x * 3.2, a.y + n.y * 3.2},
                              {b.x + n.x * 1.2, b.y + n.y * 1.2},
                              {b.x - n.x * 1.2, b.y - n.y * 1.2},
                              {a.x - n.x * 3.2, a.y - n.y * 3.2}});
        Part part;
        part.outline = flip ? flipped(strut, centre_y) : strut;
        part.colour = hex(0xb09470);
        part.bevel = 2.0;
        part.shine = 0.5;
        part.rim = 0.7;
        part.surface = wing;
        add_part(plan, part);
    }
}

Path wing_outline() {
    Path wing = start_at(Vec{92, 92});
    cubic_to(wing, Vec{118, 62}, Vec{168, 30}, Vec{226, 4}, 28);
    // Saw teeth along the inner edge.
    line_to(wing, Vec{204, 30});
    line_to(wing, Vec{213, 33});
    line_to(wing, Vec{195, 52});
    line_to(wing, Vec{205, 55});
    line_to(wing, Vec{188, 73});
    line_to(wing, Vec{198, 76});
    line_to(wing, Vec{184, 94});
    return wing;
}

Path jaw_outline() {
    Path jaw = start_at(Vec{82, 97});
    cubic_to(jaw, Vec{52, 82}, Vec{20, 82}, Vec{3, 101}, 20);
    cubic_to(jaw, Vec{18, 97}, Vec{36, 100}, Vec{52, 112}, 16);
    line_to(jaw, Vec{84, 112});
    return jaw;
}

}  // namespace

Canvas draw_bad_ship() {
    ShipPlan plan{bad_ship_width, bad_ship_height, hex(0x140f12), hex(0x6a6cb8), {}, {}};
    const Rgb crimson = hex(0xa82230);
    const Rgb dark_red = hex(0x5e1820);
    const Rgb iron = hex(0x4e4a52);
    const Rgb bone = hex(0xc8ad84);
    const Rgb ember = hex(0xff3c1c);
    const Rgb ember_core = hex(0xffe8a8);

    // The far wing, behind the hull.
    Part upper_wing;
    upper_wing.outline = wing_outline();
    upper_wing.colour = dark_red;
    upper_wing.bevel = 5.0;
    upper_wing.shine = 0.4;
    upper_wing.grime = 0.12;
    upper_wing.shade_top = 1.0;
    upper_wing.shade_bottom = 0.8;
    const int upper = add_part(plan, upper_wing);
    add_ribs(plan, upper, false);

    Part upper_blade;
    upper_blade.outline =
        band_along(Vec{92, 92}, Vec{118, 62}, Vec{168, 30}, Vec{226, 4}, Vec{-5, -5}, Vec{4, 6});
    upper_blade.colour = bone;
    upper_blade.shine = 0.6;
    upper_blade.rim = 0.7;
    upper_blade.surface = upper;
    add_part(plan, upper_blade);

    // Engine block at the back.
    Part engines;
    engines.outline = rounded_box(184, 94, 224, 156, 8);
    engines.colour = iron;
    engines.bevel = 9.0;
    engines.shine = 0.5;
    engines.grime = 0.15;
    const int engine_index = add_part(plan, engines);

    const double nozzle_y[] = {107, 125, 143};
    for (double y : nozzle_y) {
        Part plume;
        plume.outline = start_at(Vec{220, y - 7});
        cubic_to(plume.outline, Vec{226, y - 7}, Vec{231, y - 4}, Vec{231, y}, 8);
        cubic_to(plume.outline, Vec{231, y + 4}, Vec{226, y + 7}, Vec{220, y + 7}, 8);
        plume.finish = Finish::glow;
        plume.colour = ember;
        plume.core = ember_core;
        plume.bevel = 5.0;
        plume.rim = 0.4;
        add_part(plan, plume);
    }

    // The hull.
    Part hull;
    hull.outline = start_at(Vec{36, 112});
    line_to(hull.outline, Vec{70, 94});
    cubic_to(hull.outline, Vec{100, 82}, Vec{150, 80}, Vec{190, 88}, 16);
    line_to(hull.outline, Vec{214, 102});
    line_to(hull.outline, Vec{214, 148});
    line_to(hull.outline, Vec{190, 162});
    cubic_to(hull.outline, Vec{150, 170}, Vec{100, 168}, Vec{70, 156}, 16);
    line_to(hull.outline, Vec{36, 138});
    cubic_to(hull.outline, Vec{30, 134}, Vec{30, 116}, Vec{36, 112}, 8);
    hull.colour = iron;
    hull.bevel = 10.0;
    hull.shine = 0.7;
    hull.grime = 0.14;
    hull.shade_top = 1.1;
    hull.shade_bottom = 0.7;
    hull.casts_shadow = true;
    const int hull_index = add_part(plan, hull);

    Part armour;
    armour.outline = polygon({{60, 70}, {200, 70}, {200, 116}, {150, 119}, {120, 122}, {80, 118}, {60, 112}});
    armour.colour = crimson;
    armour.shine = 0.6;
    armour.rim = 0.9;
    armour.grime = 0.1;
    armour.surface = hull_index;
    add_part(plan, armour);

    // Spines along the back.
    const double spine_x[] = {104, 130, 156};
    for (double x : spine_x) {
        Part spine;
        spine.outline = start_at(Vec{x - 6, 88});
        cubic_to(spine.outline, Vec{x + 2, 80}, Vec{x + 10, 70}, Vec{x + 22, 62}, 10);
        cubic_to(spine.outline, Vec{x + 16, 72}, Vec{x + 12, 80}, Vec{x + 10, 88}, 10);
        spine.colour = bone;
        spine.bevel = 3.0;
        spine.shine = 0.6;
        spine.grime = 0.08;
        spine.casts_shadow = true;
        add_part(plan, spine);
    }

    Part keel;
    keel.outline = polygon({{70, 150}, {130, 156}, {200, 150}, {200, 180}, {70, 180}});
    keel.colour = dark_red;
    keel.rim = 0.9;
    keel.grime = 0.1;
    keel.surface = hull_index;
    add_part(plan, keel);

    // Eye socket and eye.
    Part socket;
    socket.outline = ellipse_path(Vec{50, 125}, 19, 13);
    socket.colour = hex(0x1e181c);
    socket.bevel = 4.0;
    socket.shine = 0.2;
    add_part(plan, socket);

    Part eye;
    eye.outline = ellipse_path(Vec{47, 125}, 15, 6.5);
    eye.finish = Finish::glow;
    eye.colour = hex(0xd01810);
    eye.core = hex(0xffe0a0);
    eye.bevel = 5.0;
    eye.rim = 0.8;
    add_part(plan, eye);

    Part eye_glint;
    eye_glint.outline = ellipse_path(Vec{41, 123}, 3, 1.5);
    eye_glint.finish = Finish::glow;
    eye_glint.colour = hex(0xfff4e0);
    eye_glint.core = hex(0xffffff);
    eye_glint.bevel = 1.5;
    eye_glint.rim = 0.0;
    add_part(plan, eye_glint);

    // Jaws above and below the eye.
    Part upper_jaw;
    upper_jaw.outline = jaw_outline();
    upper_jaw.colour = bone;
    upper_jaw.bevel = 6.0;
    upper_jaw.shine = 0.7;
    upper_jaw.grime = 0.08;
    upper_jaw.casts_shadow = true;
    add_part(plan, upper_jaw);

    Part lower_jaw = upper_jaw;
    lower_jaw.outline = flipped(jaw_outline(), centre_y);
    lower_jaw.shade_top = 0.95;
    lower_jaw.shade_bottom = 0.75;
    add_part(plan, lower_jaw);

    // Row of gun ports along the flank.
    for (int i = 0; i < 5; ++i) {
        Part port;
        port.outline = ellipse_path(Vec{98.0 + i * 17.0, 138.0 + i * 0.4}, 3.2, 3.2);
        port.finish = Finish::glow;
        port.colour = hex(0xc0201a);
        port.core = hex(0xffc080);
        port.bevel = 2.5;
        port.rim = 0.7;
        add_part(plan, port);
    }

    // The near wing, in front of the hull.
    Part lower_wing = upper_wing;
    lower_wing.outline = flipped(wing_outline(), centre_y);
    lower_wing.colour = crimson;
    lower_wing.shade_top = 1.05;
    lower_wing.shade_bottom = 0.8;
    lower_wing.casts_shadow = true;
    const int lower = add_part(plan, lower_wing);
    add_ribs(plan, lower, true);

    Part lower_blade = upper_blade;
    lower_blade.outline = flipped(upper_blade.outline, centre_y);
    lower_blade.surface = lower;
    add_part(plan, lower_blade);

    plan.seams = {
        {{{120, 84}, {118, 121}}, hull_index},
        {{{160, 84}, {160, 118}}, hull_index},
        {{{84, 128}, {180, 130}}, hull_index, 0.35},
        {{{196, 95}, {196, 155}}, engine_index},
        {{{150, 155}, {150, 166}}, hull_index},
        {{{130, 60}, {170, 72}}, upper, 0.3},
        {{{130, 190}, {170, 178}}, lower, 0.3},
        {{{150, 200}, {194, 188}}, lower, 0.3},
    };
    return render_ship(plan);
}

}  // namespace art
