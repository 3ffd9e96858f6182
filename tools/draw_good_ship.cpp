// The player's craft: a white and blue interceptor seen from the side and a
// little above, facing right. Its far wing sweeps up and back with a gun pod
// on the tip, its near wing sweeps down; a blue plasma engine at the tail.
// The needle nose ends at (199, 170), where the shot leaves the craft.
#include "pictures.h"
#include "ship_renderer.h"

namespace art {

Canvas draw_good_ship() {
    ShipPlan plan{good_ship_width, good_ship_height, hex(0x10131a), hex(0x5c7cd0), {}, {}};
    const Rgb white = hex(0xe8ecf2);
    const Rgb pale = hex(0xd2d9e4);
    const Rgb blue = hex(0x2a62d6);
    const Rgb orange = hex(0xff9428);
    const Rgb gunmetal = hex(0x4c5466);

    // The far wing, behind the body.
    Part upper_wing;
    upper_wing.outline = start_at(Vec{132, 148});
    cubic_to(upper_wing.outline, Vec{112, 118}, Vec{76, 56}, Vec{48, 18}, 24);
    cubic_to(upper_wing.outline, Vec{44, 12}, Vec{34, 10}, Vec{30, 16}, 6);
    cubic_to(upper_wing.outline, Vec{30, 60}, Vec{24, 110}, Vec{48, 148}, 24);
    upper_wing.colour = pale;
    upper_wing.bevel = 6.0;
    upper_wing.shine = 0.35;
    upper_wing.grime = 0.05;
    upper_wing.shade_top = 1.05;
    upper_wing.shade_bottom = 0.85;
    const int upper = add_part(plan, upper_wing);

    Part upper_edge;
    upper_edge.outline = band_along(Vec{132, 148}, Vec{112, 118}, Vec{76, 56}, Vec{48, 18}, Vec{6, -4}, Vec{-9, 6});
    upper_edge.colour = blue;
    upper_edge.shine = 0.5;
    upper_edge.rim = 0.6;
    upper_edge.surface = upper;
    add_part(plan, upper_edge);

    Part chevron;
    chevron.outline = polygon({{58, 104}, {70, 90}, {82, 104}, {76, 104}, {70, 97}, {64, 104}});
    chevron.colour = orange;
    chevron.rim = 0.5;
    chevron.surface = upper;
    add_part(plan, chevron);

    // Missile rail on the far wing's tip.
    Part pod;
    pod.outline = rounded_box(16, 8, 80, 19, 5.5);
    pod.colour = hex(0xb4bcc8);
    pod.bevel = 5.5;
    pod.shine = 0.7;
    pod.casts_shadow = true;
    add_part(plan, pod);

    Part warhead;
    warhead.outline = start_at(Vec{76, 8.5});
    cubic_to(warhead.outline, Vec{86, 9}, Vec{94, 11}, Vec{98, 13.5}, 8);
    cubic_to(warhead.outline, Vec{94, 16}, Vec{86, 18}, Vec{76, 18.5}, 8);
    warhead.colour = orange;
    warhead.bevel = 4.5;
    warhead.shine = 0.8;
    add_part(plan, warhead);

    Part pod_fin;
    pod_fin.outline = polygon({{14, 4}, {22, 4}, {30, 10}, {30, 17}, {22, 23}, {14, 23}, {18, 13.5}});
    pod_fin.colour = gunmetal;
    pod_fin.bevel = 2.5;
    add_part(plan, pod_fin);

    // The body.
    Part body;
    body.outline = start_at(Vec{200, 170});
    cubic_to(body.outline, Vec{184, 172}, Vec{162, 186}, Vec{122, 192}, 20);
    line_to(body.outline, Vec{50, 194});
    cubic_to(body.outline, Vec{40, 194}, Vec{30, 190}, Vec{28, 182}, 8);
    line_to(body.outline, Vec{28, 154});
    cubic_to(body.outline, Vec{30, 146}, Vec{38, 142}, Vec{50, 141}, 8);
    line_to(body.outline, Vec{118, 141});
    cubic_to(body.outline, Vec{150, 141}, Vec{182, 160}, Vec{200, 170}, 20);
    body.colour = white;
    body.bevel = 22.0;
    body.shine = 0.7;
    body.grime = 0.04;
    body.shade_top = 1.12;
    body.shade_bottom = 0.72;
    body.casts_shadow = true;
    const int body_index = add_part(plan, body);

    Part belly;
    belly.outline = polygon({{20, 184}, {150, 183}, {205, 171}, {205, 200}, {20, 200}});
    belly.colour = hex(0x8c98ae);
    belly.rim = 0.7;
    belly.surface = body_index;
    add_part(plan, belly);

    Part stripe;
    stripe.outline = polygon({{30, 167}, {150, 165}, {198, 170}, {150, 174}, {30, 176}});
    stripe.colour = blue;
    stripe.shine = 0.6;
    stripe.rim = 0.6;
    stripe.surface = body_index;
    add_part(plan, stripe);

    Part pinstripe;
    pinstripe.outline = polygon({{30, 178.5}, {140, 176.8}, {140, 179}, {30, 181}});
    pinstripe.colour = orange;
    pinstripe.rim = 0.2;
    pinstripe.surface = body_index;
    add_part(plan, pinstripe);

    Part nose;
    nose.outline = polygon({{181, 140}, {210, 140}, {210, 200}, {176, 200}});
    nose.colour = gunmetal;
    nose.shine = 0.8;
    nose.rim = 0.8;
    nose.surface = body_index;
    add_part(plan, nose);

    Part intake;
    intake.outline = polygon({{70, 164}, {78, 152}, {116, 151}, {114, 163}});
    intake.colour = hex(0x262c38);
    intake.bevel = 3.0;
    intake.shine = 0.3;
    add_part(plan, intake);

    Part spine;
    spine.outline = start_at(Vec{54, 143});
    cubic_to(spine.outline, Vec{62, 136}, Vec{74, 133}, Vec{92, 133}, 10);
    cubic_to(spine.outline, Vec{100, 133}, Vec{106, 138}, Vec{110, 145}, 8);
    spine.colour = white;
    spine.bevel = 6.0;
    spine.shine = 0.6;
    spine.shade_top = 1.15;
    spine.shade_bottom = 0.9;
    add_part(plan, spine);

    // Cockpit.
    Part canopy;
    canopy.outline = start_at(Vec{94, 144});
    cubic_to(canopy.outline, Vec{100, 127}, Vec{120, 119}, Vec{140, 120}, 16);
    cubic_to(canopy.outline, Vec{157, 121}, Vec{168, 136}, Vec{174, 156}, 16);
    line_to(canopy.outline, Vec{150, 148});
    line_to(canopy.outline, Vec{118, 144});
    canopy.finish = Finish::glass;
    canopy.core = hex(0xa4e8ff);
    canopy.colour = hex(0x0a2c5a);
    canopy.bevel = 8.0;
    canopy.shine = 1.2;
    canopy.casts_shadow = true;
    const int canopy_index = add_part(plan, canopy);

    Part glint;
    glint.outline = band_along(Vec{101, 139}, Vec{106, 127}, Vec{120, 123}, Vec{134, 123}, Vec{0, 0}, Vec{1, 3.5});
    glint.finish = Finish::glow;
    glint.colour = hex(0xcdf4ff);
    glint.core = hex(0xf4fdff);
    glint.bevel = 1.0;
    glint.rim = 0.0;
    glint.surface = canopy_index;
    add_part(plan, glint);

    // Engine at the tail.
    Part exhaust;
    exhaust.outline = start_at(Vec{24, 154});
    cubic_to(exhaust.outline, Vec{12, 155}, Vec{1, 160}, Vec{1, 168.5}, 14);
    cubic_to(exhaust.outline, Vec{1, 177}, Vec{12, 182}, Vec{24, 183}, 14);
    exhaust.finish = Finish::glow;
    exhaust.colour = hex(0x2458e0);
    exhaust.core = hex(0xd8f8ff);
    exhaust.bevel = 11.0;
    exhaust.rim = 0.4;
    add_part(plan, exhaust);

    Part housing;
    housing.outline = rounded_box(18, 146, 58, 191, 9);
    housing.colour = gunmetal;
    housing.bevel = 10.0;
    housing.shine = 0.6;
    housing.grime = 0.08;
    housing.casts_shadow = true;
    const int housing_index = add_part(plan, housing);

    Part nozzle_ring;
    nozzle_ring.outline = ellipse_path(Vec{21, 168.5}, 6.5, 19);
    nozzle_ring.colour = hex(0x2a303c);
    nozzle_ring.bevel = 3.0;
    add_part(plan, nozzle_ring);

    Part nozzle;
    nozzle.outline = ellipse_path(Vec{20, 168.5}, 4, 15);
    nozzle.finish = Finish::glow;
    nozzle.colour = hex(0x2a80ff);
    nozzle.core = hex(0xeefcff);
    nozzle.bevel = 4.0;
    nozzle.rim = 0.6;
    add_part(plan, nozzle);

    // The near wing, in front of the body.
    Part lower_wing;
    lower_wing.outline = start_at(Vec{132, 183});
    cubic_to(lower_wing.outline, Vec{112, 204}, Vec{84, 226}, Vec{60, 238}, 20);
    cubic_to(lower_wing.outline, Vec{54, 242}, Vec{44, 242}, Vec{42, 236}, 6);
    cubic_to(lower_wing.outline, Vec{46, 222}, Vec{50, 204}, Vec{54, 185}, 16);
    lower_wing.colour = white;
    lower_wing.bevel = 6.0;
    lower_wing.shine = 0.45;
    lower_wing.grime = 0.04;
    lower_wing.shade_top = 1.0;
    lower_wing.shade_bottom = 0.8;
    lower_wing.casts_shadow = true;
    const int lower = add_part(plan, lower_wing);

    Part lower_edge;
    lower_edge.outline = band_along(Vec{132, 183}, Vec{112, 204}, Vec{84, 226}, Vec{60, 238}, Vec{6, 4}, Vec{-9, -5});
    lower_edge.colour = blue;
    lower_edge.shine = 0.5;
    lower_edge.rim = 0.6;
    lower_edge.surface = lower;
    add_part(plan, lower_edge);

    Part lower_tip;
    lower_tip.outline = polygon({{36, 226}, {62, 226}, {70, 248}, {36, 248}});
    lower_tip.colour = orange;
    lower_tip.rim = 0.6;
    lower_tip.surface = lower;
    add_part(plan, lower_tip);

    // Navigation lamps.
    Part red_lamp;
    red_lamp.outline = ellipse_path(Vec{49, 234}, 2.4, 2.4);
    red_lamp.finish = Finish::glow;
    red_lamp.colour = hex(0xe02828);
    red_lamp.core = hex(0xffe4dc);
    red_lamp.bevel = 2.0;
    red_lamp.rim = 0.0;
    add_part(plan, red_lamp);

    Part green_lamp = red_lamp;
    green_lamp.outline = ellipse_path(Vec{38, 24}, 2.4, 2.4);
    green_lamp.colour = hex(0x20c860);
    green_lamp.core = hex(0xe4ffe8);
    add_part(plan, green_lamp);

    plan.seams = {
        {{{60, 146}, {60, 193}}, body_index},
        {{{122, 150}, {122, 191}}, body_index},
        {{{160, 158}, {160, 186}}, body_index},
        {{{32, 147}, {32, 190}}, housing_index, 0.3},
        {{{40, 146}, {40, 191}}, housing_index, 0.3},
        {{{48, 146}, {48, 191}}, housing_index, 0.3},
        {{{46, 122}, {102, 122}}, upper},
        {{{40, 84}, {78, 84}}, upper},
        {{{56, 144}, {50, 60}}, upper, 0.3},
        {{{56, 204}, {110, 204}}, lower},
        {{{139, 120}, {143, 146}}, canopy_index, 0.8},
    };
    return render_ship(plan);
}

}  // namespace art
