#include "ship_renderer.h"

#include <algorithm>
#include <cmath>

namespace art {
namespace {

// Light from the upper left and in front; the viewer looks along -z.
constexpr double light_x = -0.4932;
constexpr double light_y = -0.6576;
constexpr double light_z = 0.5699;
// Halfway between the light and the viewer, for the highlight.
constexpr double half_x = -0.2783;
constexpr double half_y = -0.3711;
constexpr double half_z = 0.8859;
// Shadows fall down and to the right, away from the light.
constexpr Vec shadow_offset{3.0, 4.0};
constexpr double far_away = 1.0e9;

struct Box {
    double left;
    double top;
    double right;
    double bottom;
};

Box bounds(const Path& path, double margin) {
    Box box{far_away, far_away, -far_away, -far_away};
    for (const Vec& p : path.points) {
        box.left = std::min(box.left, p.x);
        box.top = std::min(box.top, p.y);
        box.right = std::max(box.right, p.x);
        box.bottom = std::max(box.bottom, p.y);
    }
    return Box{box.left - margin, box.top - margin, box.right + margin, box.bottom + margin};
}

bool inside(const Box& box, Vec p) { return p.x >= box.left && p.x <= box.right && p.y >= box.top && p.y <= box.bottom; }

// Unit normal of a part's surface at p: flat inside, curving down over `bevel`
// pixels to a steep wall at the outline.
void surface_normal(const Path& outline, Vec p, double d, double bevel, double n[3]) {
    const double t = clamp01(-d / bevel);
    const double root = std::sqrt(std::max(t * (2.0 - t), 1.0e-4));
    const double slope = std::min((1.0 - t) / root, 4.0);
    const double gx = sd_polygon(Vec{p.x + 0.5, p.y}, outline.points) - sd_polygon(Vec{p.x - 0.5, p.y}, outline.points);
    const double gy = sd_polygon(Vec{p.x, p.y + 0.5}, outline.points) - sd_polygon(Vec{p.x, p.y - 0.5}, outline.points);
    const double nx = gx * slope;
    const double ny = gy * slope;
    const double len = std::sqrt(nx * nx + ny * ny + 1.0);
    n[0] = nx / len;
    n[1] = ny / len;
    n[2] = 1.0 / len;
}

Rgb shade(const ShipPlan& plan, const Part& part, const Part& shape, const Box& shape_box, Vec p, double d) {
    if (part.finish == Finish::glow) {
        return mix(part.colour, part.core, smoothstep(0.0, part.bevel, -d));
    }
    double n[3];
    surface_normal(shape.outline, p, d, shape.bevel, n);
    const double diffuse = std::max(0.0, n[0] * light_x + n[1] * light_y + n[2] * light_z);
    const double facing = std::max(0.0, n[0] * half_x + n[1] * half_y + n[2] * half_z);
    const double down = clamp01((p.y - shape_box.top) / (shape_box.bottom - shape_box.top));
    const double height_light = mix(part.shade_top, part.shade_bottom, down);
    // Rims turned down and to the right catch the sky behind the craft.
    const double back = powi(1.0 - n[2], 2) * std::max(0.0, 0.6 * n[0] + 0.8 * n[1]);
    if (part.finish == Finish::glass) {
        Rgb glass = mix(part.core, part.colour, smoothstep(0.0, 1.0, down));
        glass = scale(glass, 0.55 + 0.6 * diffuse);
        const double glint = powi(facing, 48) * part.shine;
        return add(add(glass, scale(Rgb{1.0, 1.0, 1.0}, glint)), scale(plan.back_light, 0.6 * back));
    }
    double wear = 1.0;
    if (part.grime > 0.0) {
        wear += part.grime * fbm(p.x / 6.0, p.y / 6.0, 1024, 3, 0.5, 7u);
    }
    const Rgb lit = scale(part.colour, (0.3 + 0.72 * diffuse) * height_light * wear);
    const double highlight = powi(facing, 24) * part.shine;
    return add(add(lit, scale(Rgb{1.0, 0.98, 0.94}, highlight)), scale(plan.back_light, back));
}

}  // namespace

int add_part(ShipPlan& plan, const Part& part) {
    plan.parts.push_back(part);
    return static_cast<int>(plan.parts.size()) - 1;
}

Canvas render_ship(const ShipPlan& plan) {
    Canvas canvas = make_canvas(plan.width, plan.height, key_magenta);
    const std::size_t count = plan.parts.size();
    std::vector<Box> boxes;
    std::vector<Box> shadow_boxes;
    for (const Part& part : plan.parts) {
        boxes.push_back(bounds(part.outline, 2.0));
        Box b = bounds(part.outline, 5.0);
        shadow_boxes.push_back(Box{b.left + shadow_offset.x, b.top + shadow_offset.y, b.right + shadow_offset.x,
                                   b.bottom + shadow_offset.y});
    }
    std::vector<double> distance(count);
    std::vector<double> cover(count);
    for (int y = 0; y < plan.height; ++y) {
        for (int x = 0; x < plan.width; ++x) {
            const Vec p{x + 0.5, y + 0.5};
            Rgb colour = plan.edge;
            double nearest = far_away;
            for (std::size_t i = 0; i < count; ++i) {
                const Part& part = plan.parts[i];
                distance[i] = far_away;
                cover[i] = 0.0;
                if (part.casts_shadow && nearest < 0.5 && inside(shadow_boxes[i], p)) {
                    const double ds = sd_polygon(sub(p, shadow_offset), part.outline.points);
                    colour = scale(colour, 1.0 - 0.45 * smoothstep(3.0, -2.0, ds));
                }
                if (!inside(boxes[i], p)) {
                    continue;
                }
                double d = sd_polygon(p, part.outline.points);
                if (part.surface >= 0) {
                    d = std::max(d, distance[static_cast<std::size_t>(part.surface)]);
                }
                distance[i] = d;
                cover[i] = clamp01(0.5 - d);
                nearest = std::min(nearest, d);
                if (cover[i] <= 0.0) {
                    continue;
                }
                const std::size_t shape_index = part.surface >= 0 ? static_cast<std::size_t>(part.surface) : i;
                const Part& shape = plan.parts[shape_index];
                const double shape_d = part.surface >= 0 ? distance[shape_index] : d;
                Rgb c = shade(plan, part, shape, boxes[shape_index], p, shape_d);
                // The dark line along the part's own edge, about a pixel wide.
                c = mix(c, plan.edge, part.rim * clamp01(1.7 + d));
                colour = mix(colour, c, cover[i]);
            }
            if (nearest >= 0.5) {
                continue;  // untouched: stays the colour key
            }
            for (const Seam& seam : plan.seams) {
                const double clip = cover[static_cast<std::size_t>(seam.clip)];
                if (clip <= 0.0) {
                    continue;
                }
                double groove = far_away;
                double lip = far_away;
                for (std::size_t k = 1; k < seam.points.size(); ++k) {
                    groove = std::min(groove, distance_to_segment(p, seam.points[k - 1], seam.points[k]));
                    lip = std::min(lip, distance_to_segment(Vec{p.x, p.y - 1.0}, seam.points[k - 1], seam.points[k]));
                }
                const double dark = clamp01(1.0 - groove) * seam.depth * clip;
                const double bright = clamp01(1.0 - lip) * (1.0 - clamp01(1.0 - groove)) * 0.3 * clip;
                colour = scale(colour, (1.0 - dark) * (1.0 + bright));
            }
            // The outer outline: solid at the silhouette, fading in over the next pixel.
            colour = mix(colour, plan.edge, clamp01(2.0 + nearest));
            std::uint32_t packed = pack(colour);
            if (packed == key_magenta) {
                packed = 0xFE00FF;
            }
            canvas.pixels[static_cast<std::size_t>(y) * plan.width + x] = packed;
        }
    }
    return canvas;
}

}  // namespace art
