// The backdrop: a dusk sky with a nebula, stars, a moon and a small ringed
// planet, low clouds lit from below, and three ranges of mountains fading into
// haze. The program scrolls it and wraps every 800 columns, so everything that
// can cross the edge is built from functions that repeat every 800 pixels in x.
#include <algorithm>
#include <cmath>
#include <vector>

#include "pictures.h"

namespace art {
namespace {

constexpr int width = background_width;
constexpr int height = background_height;

struct SkyStop {
    double y;
    std::uint32_t colour;
};

constexpr SkyStop sky_stops[] = {
    {0, 0x03040e},   {150, 0x0a0f30}, {280, 0x1c2260}, {360, 0x35296c},
    {405, 0x6a3e7e}, {445, 0xb86f78}, {485, 0xeeae78}, {600, 0xf6c98a},
};

Rgb sky_colour(double y) {
    constexpr int count = sizeof(sky_stops) / sizeof(sky_stops[0]);
    if (y <= sky_stops[0].y) {
        return hex(sky_stops[0].colour);
    }
    for (int i = 1; i < count; ++i) {
        if (y <= sky_stops[i].y) {
            const double t = (y - sky_stops[i - 1].y) / (sky_stops[i].y - sky_stops[i - 1].y);
            return mix(hex(sky_stops[i - 1].colour), hex(sky_stops[i].colour), smoothstep(0.0, 1.0, t));
        }
    }
    return hex(sky_stops[count - 1].colour);
}

struct Layer {
    std::vector<Rgb> pixels;
    Rgb& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Nebula glow and dark dust, strongest in a band across the middle of the sky.
void paint_sky_and_nebula(Layer& sky, std::vector<double>& clarity) {
    const Rgb teal = hex(0x2f9fb4);
    const Rgb rose = hex(0xc4557e);
    const Rgb gold = hex(0xe8b07a);
    for (int y = 0; y < height; ++y) {
        const double band_t = (y - 250.0) / 230.0;
        const double band = clamp01(1.0 - band_t * band_t);
        const Rgb base = sky_colour(y);
        for (int x = 0; x < width; ++x) {
            // Four noise cells across the picture, so every layer repeats every 800 pixels.
            const double nx = x / 200.0;
            const double ny = y / 200.0;
            const double warp_x = fbm(nx, ny, 4, 3, 0.5, 11u);
            const double warp_y = fbm(nx + 1.7, ny + 9.2, 4, 3, 0.5, 12u);
            const double cloud = fbm(nx + 0.9 * warp_x, ny + 0.9 * warp_y, 4, 6, 0.55, 13u);
            const double glow = smoothstep(-0.15, 0.55, cloud) * band * band;
            const double hue = smoothstep(-0.35, 0.35, fbm(nx * 0.5, ny * 0.5 + 3.0, 2, 3, 0.5, 14u));
            Rgb tint = mix(teal, rose, hue);
            tint = mix(tint, gold, smoothstep(0.35, 0.75, cloud) * 0.5);
            Rgb c = add(base, scale(tint, glow * 0.55));
            const double dust_noise = fbm(nx * 1.5 + 0.5 * warp_y, ny * 1.5, 6, 5, 0.55, 15u);
            const double dust = smoothstep(0.02, 0.4, dust_noise) * band;
            c = scale(c, 1.0 - 0.6 * dust);
            sky.at(x, y) = c;
            clarity[static_cast<std::size_t>(y) * width + x] = 1.0 - 0.85 * dust;
        }
    }
}

void add_light(Layer& sky, int x, int y, Rgb light) {
    if (y < 0 || y >= height) {
        return;
    }
    const int wx = ((x % width) + width) % width;
    sky.at(wx, y) = add(sky.at(wx, y), light);
}

// Stars of three sizes; fewer and fainter towards the horizon and behind dust.
void paint_stars(Layer& sky, const std::vector<double>& clarity) {
    const Rgb tints[] = {hex(0xffffff), hex(0xcfe0ff), hex(0xfff0d8), hex(0xffd6b0), hex(0xb8d8ff)};
    struct Kind {
        int count;
        double min_brightness;
        double max_brightness;
        int radius;
    };
    const Kind kinds[] = {{1500, 0.05, 0.55, 0}, {110, 0.35, 0.9, 2}, {9, 0.8, 1.0, 5}};
    std::uint32_t seed = 100;
    for (const Kind& kind : kinds) {
        for (int i = 0; i < kind.count; ++i) {
            ++seed;
            const double sx = hash_unit(seed, 1, 7) * width;
            const double sy = hash_unit(seed, 2, 7) * 470.0;
            const double r = hash_unit(seed, 3, 7);
            double brightness = mix(kind.min_brightness, kind.max_brightness, r * r);
            const Rgb tint = tints[hash3(seed, 4, 7) % 5];
            const int cx = static_cast<int>(std::floor(sx));
            const int cy = static_cast<int>(std::floor(sy));
            brightness *= clarity[static_cast<std::size_t>(cy) * width + cx];
            brightness *= 1.0 - smoothstep(330.0, 460.0, sy);
            if (kind.radius == 0) {
                // Spread over four pixels by the fractional position, so faint stars differ in size.
                const double fx = sx - cx;
                const double fy = sy - cy;
                add_light(sky, cx, cy, scale(tint, brightness * (1 - fx) * (1 - fy)));
                add_light(sky, cx + 1, cy, scale(tint, brightness * fx * (1 - fy)));
                add_light(sky, cx, cy + 1, scale(tint, brightness * (1 - fx) * fy));
                add_light(sky, cx + 1, cy + 1, scale(tint, brightness * fx * fy));
                continue;
            }
            const int reach = kind.radius * 3;
            for (int dy = -reach; dy <= reach; ++dy) {
                for (int dx = -reach; dx <= reach; ++dx) {
                    const double ddx = cx + dx + 0.5 - sx;
                    const double ddy = cy + dy + 0.5 - sy;
                    const double d = std::sqrt(ddx * ddx + ddy * ddy);
                    const double core = clamp01(1.0 - d / (kind.radius * 0.7));
                    const double halo = clamp01(1.0 - d / reach);
                    double light = core * core + 0.25 * halo * halo * halo;
                    if (kind.radius >= 5) {
                        // Bright stars get a four-pointed glint.
                        const double ax = std::fabs(ddx);
                        const double ay = std::fabs(ddy);
                        const double spike_h = clamp01(1.0 - ay / 1.2) * clamp01(1.0 - ax / (reach + 0.5));
                        const double spike_v = clamp01(1.0 - ax / 1.2) * clamp01(1.0 - ay / (reach + 0.5));
                        light += 0.8 * (spike_h * spike_h + spike_v * spike_v);
                    }
                    add_light(sky, cx + dx, cy + dy, scale(tint, brightness * light));
                }
            }
        }
    }
}

// A gibbous moon lit from the low sun on the right, with maria and craters.
void paint_moon(Layer& sky) {
    const Vec centre{610.0, 118.0};
    const double radius = 46.0;
    const double lx = 0.5;
    const double ly = 0.22;
    const double lz = 0.84;
    const double inv = 1.0 / std::sqrt(lx * lx + ly * ly + lz * lz);
    struct Crater {
        double x, y, r;
    };
    std::vector<Crater> craters;
    for (std::uint32_t i = 0; i < 22; ++i) {
        const double a = hash_unit(i, 31, 5) * 2.0 - 1.0;
        const double b = hash_unit(i, 32, 5) * 2.0 - 1.0;
        if (a * a + b * b > 0.8) {
            continue;
        }
        const double r = 2.0 + 7.0 * powi(hash_unit(i, 33, 5), 3);
        craters.push_back(Crater{centre.x + a * radius, centre.y + b * radius, r});
    }
    const Rgb halo_colour = hex(0x8fa0d8);
    for (int y = 40; y < 200; ++y) {
        for (int x = 520; x < 700; ++x) {
            const double dx = x + 0.5 - centre.x;
            const double dy = y + 0.5 - centre.y;
            const double d = std::sqrt(dx * dx + dy * dy);
            Rgb& px = sky.at(x, y);
            const double halo = clamp01(1.0 - (d - radius) / 40.0);
            px = add(px, scale(halo_colour, 0.18 * halo * halo * halo));
            const double cover = clamp01(radius + 0.5 - d);
            if (cover <= 0.0) {
                continue;
            }
            const double nx = dx / radius;
            const double ny = dy / radius;
            const double nz = std::sqrt(clamp01(1.0 - nx * nx - ny * ny));
            double albedo = 0.86 + 0.1 * fbm(x / 9.0, y / 9.0, 400, 3, 0.5, 41u);
            const double maria = smoothstep(0.0, 0.3, fbm(x / 38.0, y / 38.0, 400, 2, 0.5, 42u));
            albedo *= 1.0 - 0.22 * maria;
            double relief = 0.0;
            for (const Crater& c : craters) {
                const double cx = x + 0.5 - c.x;
                const double cy = y + 0.5 - c.y;
                const double cd = std::sqrt(cx * cx + cy * cy) / c.r;
                if (cd < 1.25) {
                    const double facing = (cx * lx + cy * ly) / (c.r * 0.7);
                    if (cd < 1.0) {
                        albedo *= 0.93;
                        relief -= 0.35 * facing * smoothstep(0.3, 1.0, cd);
                    } else {
                        relief += 0.25 * facing * (1.25 - cd) * 4.0;
                    }
                }
            }
            double lit = (nx * lx + ny * ly + nz * lz) * inv + relief * 0.3;
            lit = smoothstep(-0.05, 0.35, lit) * (0.55 + 0.45 * lit);
            const Rgb surface = scale(hex(0xf0ecf4), albedo * (0.05 + 1.0 * lit));
            const Rgb earthshine = scale(hex(0x303a70), 0.35 * nz);
            px = mix(px, add(surface, earthshine), cover);
        }
    }
}

// A small banded planet with a tilted ring.
void paint_ringed_planet(Layer& sky) {
    const Vec centre{168.0, 74.0};
    const double radius = 12.5;
    // Ring plane tilted by 18 degrees, written out so no sine is needed.
    const double cos_t = 0.9510565162951535;
    const double sin_t = 0.3090169943749474;
    const double flatten = 0.24;
    const Rgb band_a = hex(0xe2c7a0);
    const Rgb band_b = hex(0xb08a6a);
    const Rgb ring_colour = hex(0xd8c8b0);
    for (int y = 40; y < 110; ++y) {
        for (int x = 120; x < 220; ++x) {
            const double dx = x + 0.5 - centre.x;
            const double dy = y + 0.5 - centre.y;
            const double u = dx * cos_t + dy * sin_t;
            const double v = -dx * sin_t + dy * cos_t;
            const double ring_r = std::sqrt(u * u + (v / flatten) * (v / flatten));
            const double ring = smoothstep(17.5, 19.0, ring_r) * (1.0 - smoothstep(29.0, 30.5, ring_r)) *
                                (0.55 + 0.45 * smoothstep(22.0, 23.0, ring_r)) * 0.8;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double cover = clamp01(radius + 0.5 - d);
            Rgb& px = sky.at(x, y);
            const bool ring_in_front = v > 0.0;
            if (!ring_in_front) {
                px = mix(px, ring_colour, ring * (1.0 - cover));
            }
            if (cover > 0.0) {
                const double nx = dx / radius;
                const double ny = dy / radius;
                const double nz = std::sqrt(clamp01(1.0 - nx * nx - ny * ny));
                const double bands = 0.5 + 0.5 * noise(0.3, v * 0.45, 8, 51u);
                Rgb body = mix(band_b, band_a, bands);
                const double lit = clamp01(0.15 + 0.85 * (0.55 * nx + 0.25 * ny + 0.8 * nz));
                // The ring's shadow falls just below it on the globe.
                const double shadow = (v > 2.0 && v < 5.0) ? 0.55 : 1.0;
                body = scale(body, lit * shadow);
                px = mix(px, body, cover);
            }
            if (ring_in_front) {
                const double lit = 0.75;
                px = mix(px, scale(ring_colour, lit), ring);
            }
        }
    }
}

// Streaks of cloud low in the sky, warm underneath where the sunset lights them.
void paint_clouds(Layer& sky) {
    for (int y = 300; y < 470; ++y) {
        const double band_t = (y - 392.0) / 70.0;
        const double band = clamp01(1.0 - band_t * band_t);
        const Rgb shade = mix(hex(0x3b2f6c), hex(0xf0a88a), smoothstep(330.0, 450.0, y));
        for (int x = 0; x < width; ++x) {
            const double n = fbm(x / 100.0, y / 16.0, 8, 5, 0.5, 61u);
            const double lower = fbm(x / 100.0, (y + 3) / 16.0, 8, 5, 0.5, 61u);
            const double density = smoothstep(0.05, 0.45, n) * band;
            // Brighter where the cloud thins out below: the light comes from under the horizon.
            const double rim = clamp01((n - lower) * 4.0);
            const Rgb c = add(shade, scale(hex(0xffd0a0), 0.25 * rim));
            sky.at(x, y) = mix(sky.at(x, y), c, density * 0.75);
        }
    }
}

struct Range {
    double base;       // y of the lowest valleys
    double rise;       // how far the peaks climb above it
    int cells;         // noise cells across the picture; sets the width of the peaks
    std::uint32_t seed;
    std::uint32_t top;  // colour at the ridge
    std::uint32_t foot; // colour in the haze at the foot
    double haze_depth;  // pixels below the ridge over which the haze takes over
};

constexpr Range ranges[] = {
    {478.0, 100.0, 5, 71u, 0x5a4a86, 0xa87090, 10.0},
    {525.0, 90.0, 7, 72u, 0x2c2250, 0x7a4c78, 20.0},
    {585.0, 85.0, 4, 73u, 0x110d20, 0x1c1530, 90.0},
};

// Ridge line of a range at x (any real, repeats every 800): sharp peaks from folded noise.
double ridge_y(const Range& range, double x) {
    const double u = x * range.cells / width;
    double sharp = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    double scale_u = u;
    int period = range.cells;
    for (int octave = 0; octave < 6; ++octave) {
        const double n = noise(scale_u, 0.37 + octave * 3.1, period, range.seed + octave * 17u);
        sharp += amplitude * (1.0 - std::fabs(n));
        norm += amplitude;
        amplitude *= 0.48;
        scale_u *= 2.0;
        period *= 2;
    }
    sharp /= norm;
    const double rolling = 0.5 + 0.5 * noise(u, 5.5, range.cells, range.seed + 99u);
    return range.base - range.rise * (0.35 * rolling + 0.65 * sharp * sharp);
}

void paint_ranges(Layer& sky) {
    constexpr int samples = 4;
    std::vector<double> ridge(static_cast<std::size_t>(width) * samples);
    for (std::size_t r = 0; r < sizeof(ranges) / sizeof(ranges[0]); ++r) {
        const Range& range = ranges[r];
        for (int x = 0; x < width; ++x) {
            for (int s = 0; s < samples; ++s) {
                ridge[static_cast<std::size_t>(x) * samples + s] = ridge_y(range, x + (s + 0.5) / samples - 0.5);
            }
        }
        const bool nearest = r + 1 == sizeof(ranges) / sizeof(ranges[0]);
        for (int x = 0; x < width; ++x) {
            double top = ridge[static_cast<std::size_t>(x) * samples];
            for (int s = 1; s < samples; ++s) {
                top = std::min(top, ridge[static_cast<std::size_t>(x) * samples + s]);
            }
            const double centre_ridge = ridge_y(range, x);
            for (int y = static_cast<int>(std::floor(top)); y < height; ++y) {
                double cover = 0.0;
                for (int s = 0; s < samples; ++s) {
                    cover += clamp01(y + 1.0 - ridge[static_cast<std::size_t>(x) * samples + s]);
                }
                cover /= samples;
                if (cover <= 0.0) {
                    continue;
                }
                const double depth = y + 0.5 - centre_ridge;
                // Haze thickens towards the valleys, by height rather than by distance from the
                // ridge, so neighbouring columns stay alike.
                const double haze = smoothstep(range.base - range.rise * 0.8, range.base + range.haze_depth, y + 0.5);
                const double rock = fbm(x / 18.0, y / 30.0, 44, 4, 0.5, range.seed + 300u);
                // Gullies: noise stretched downwards, fading out into the haze.
                const double gully = fbm(x / 7.0, y / 45.0, 114, 3, 0.5, range.seed + 400u);
                double light = 1.0 + 0.08 * rock + (r == 0 ? 0.08 : 0.16) * gully * (1.0 - haze) + 0.2 * clamp01(1.0 - depth / 1.5);
                Rgb c = mix(hex(range.top), hex(range.foot), haze);
                if (nearest) {
                    c = mix(hex(range.top), hex(0x06050c), smoothstep(0.0, 120.0, depth));
                    // The sunset catches the edge of the nearest ridge.
                    light += 1.3 * clamp01(1.0 - depth / 2.5);
                }
                c = scale(c, light);
                sky.at(x, y) = mix(sky.at(x, y), c, cover);
            }
        }
        // Mist pooling in the valleys in front of this range.
        if (!nearest) {
            for (int y = 380; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const double n = fbm(x / 50.0, y / 10.0, 16, 4, 0.5, range.seed + 500u);
                    const double mist = smoothstep(-0.1, 0.5, n) * smoothstep(range.base - 40.0, range.base + 10.0, y) *
                                        (1.0 - smoothstep(range.base + 10.0, range.base + 60.0, y));
                    sky.at(x, y) = mix(sky.at(x, y), hex(range.foot), mist * 0.45);
                }
            }
        }
    }
}

// Windows of a few outposts and two masts with red lamps on the nearest range.
void paint_outposts(Layer& sky) {
    const Range& near = ranges[2];
    const Rgb lamp = hex(0xffc878);
    for (std::uint32_t i = 0; i < 7; ++i) {
        const double ox = hash_unit(i, 81, 3) * width;
        const int lights = 3 + static_cast<int>(hash3(i, 82, 3) % 6);
        for (int k = 0; k < lights; ++k) {
            const double lx = ox + (hash_unit(i, 83, k) - 0.5) * 30.0;
            const double ly = ridge_y(near, lx) + 10.0 + hash_unit(i, 84, k) * 22.0;
            const int px = static_cast<int>(std::floor(lx));
            const int py = static_cast<int>(std::floor(ly));
            const double b = 0.5 + 0.5 * hash_unit(i, 85, k);
            add_light(sky, px, py, scale(lamp, b));
            add_light(sky, px + 1, py, scale(lamp, b * 0.6));
            add_light(sky, px - 1, py, scale(lamp, b * 0.12));
            add_light(sky, px + 2, py, scale(lamp, b * 0.12));
            add_light(sky, px, py - 1, scale(lamp, b * 0.1));
            add_light(sky, px, py + 1, scale(lamp, b * 0.1));
        }
    }
    const double masts[] = {233.0, 701.0};
    for (double mx : masts) {
        // Stand the mast on the highest point nearby.
        double best_x = mx;
        for (int k = -20; k <= 20; ++k) {
            if (ridge_y(near, mx + k) < ridge_y(near, best_x)) {
                best_x = mx + k;
            }
        }
        const int x = static_cast<int>(best_x);
        const int foot = static_cast<int>(std::floor(ridge_y(near, best_x))) + 2;
        const int tip = foot - 26;
        for (int y = tip; y <= foot; ++y) {
            sky.at(x, y) = mix(sky.at(x, y), hex(0x0c0a16), 0.9);
        }
        for (int dy = -4; dy <= 4; ++dy) {
            for (int dx = -4; dx <= 4; ++dx) {
                const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
                const double glow = clamp01(1.0 - d / 4.5);
                add_light(sky, x + dx, tip + dy, scale(hex(0xff4030), glow * glow * 0.9));
            }
        }
    }
}

}  // namespace

Canvas draw_background() {
    Layer sky{std::vector<Rgb>(static_cast<std::size_t>(width) * height)};
    std::vector<double> clarity(static_cast<std::size_t>(width) * height);
    paint_sky_and_nebula(sky, clarity);
    paint_stars(sky, clarity);
    paint_moon(sky);
    paint_ringed_planet(sky);
    paint_clouds(sky);
    paint_ranges(sky);
    paint_outposts(sky);
    Canvas canvas = make_canvas(width, height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Half a step of dither keeps the long gradients free of bands.
            const double d = (hash_unit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 999u) - 0.5) / 255.0;
            const Rgb c = sky.at(x, y);
            std::uint32_t packed = pack(Rgb{c.r + d, c.g + d, c.b + d});
            if (packed == key_magenta) {
                packed = 0xFE00FF;  // the colour key must never appear in the backdrop
            }
            canvas.pixels[static_cast<std::size_t>(y) * width + x] = packed;
        }
    }
    return canvas;
}

}  // namespace art
