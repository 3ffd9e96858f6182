// Helpers for the scene's tests: recognisable pictures, a scripted clock and
// an expected frame built straight from what the screen should show, without
// the drawing code.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "display/clock.h"
#include "display/display_state.h"
#include "platform.h"
#include "scene/scene.h"

namespace scene_test {

inline constexpr int screen_w = 800;
inline constexpr int screen_h = 600;

// Background: every pixel tells its own column and row, with a top byte that
// is neither 0 nor 0xFF so an opaque copy must keep all 32 bits.
inline Pixel background_pixel(int x, int y) {
    return 0xAB000000u | (Pixel(y) << 12) | Pixel(x);
}

// Ships: a pattern of transparent magenta with three different top bytes,
// near-magenta that must be drawn, and plain pixels tagged with the ship.
inline Pixel ship_pixel(int i, int j, Pixel tag) {
    if ((i + j) % 3 == 0) {
        constexpr Pixel top_bytes[] = {0x00000000u, 0x80000000u, 0xFF000000u};
        return top_bytes[(i / 3) % 3] | 0xFF00FFu;
    }
    if ((i + j) % 7 == 1) return 0xFFFF00FEu;  // one bit off magenta: drawn
    return 0xFF000000u | tag | (Pixel(j) << 8) | Pixel(i);
}
inline constexpr Pixel good_tag = 0x400000u;
inline constexpr Pixel bad_tag = 0x200000u;

inline void fill_image(Image* image, Pixel (*pixel)(int, int)) {
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) image->pixels[y * image->stride + x] = pixel(x, y);
}
inline Pixel good_pixel(int i, int j) { return ship_pixel(i, j, good_tag); }
inline Pixel bad_pixel(int i, int j) { return ship_pixel(i, j, bad_tag); }

// The three pictures, filled with the patterns above; needs an open display.
inline void create_pattern_images(SceneState& s) {
    s.background_image = create_image(800, 600, 0, 0, fill_with_transparent);
    s.good_ship_image = create_image(200, 244, 0, 0, fill_with_transparent);
    s.bad_ship_image = create_image(233, 250, 0, 0, fill_with_transparent);
    fill_image(s.background_image, background_pixel);
    fill_image(s.good_ship_image, good_pixel);
    fill_image(s.bad_ship_image, bad_pixel);
}

// The state start-up leaves behind, with the shot's start point given.
inline SceneState started_state(double x0, double y0) {
    SceneState s;
    s.good_ship_x = 60.0;
    s.good_ship_y = 110.0;
    s.bad_ship_x = 480.0;
    s.bad_ship_y = 130.0;
    s.shot_x = x0;
    s.shot_y = y0;
    s.shot_vx = 15.0;
    s.shot_vy = -5.0;
    return s;
}

// A pixel position from a float: halves away from zero.
inline int round_away(float v) {
    const double d = v;
    return static_cast<int>(d > 0 ? std::trunc(d + 0.5) : std::trunc(d - 0.5));
}

// What the screen should show, built pixel by pixel.
struct Picture {
    std::vector<Pixel> px = std::vector<Pixel>(screen_w * screen_h, 0xFF000000u);
    void set(int x, int y, Pixel p) {
        if (x >= 0 && x < screen_w && y >= 0 && y < screen_h) px[y * screen_w + x] = p;
    }
};

inline Picture background_at(int scroll) {
    Picture pic;
    for (int y = 0; y < screen_h; ++y)
        for (int x = 0; x < screen_w; ++x)
            pic.set(x, y, background_pixel(((x - scroll) % 800 + 800) % 800, y));
    return pic;
}

inline void add_ship(Picture& pic, int left, int top, int w, int h, Pixel (*pixel)(int, int)) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const Pixel p = pixel(i, j);
            if ((p & 0xFFFFFFu) != 0xFF00FFu) pic.set(left + i, top + j, p & 0xFFFFFFu);
        }
}

// The radius-8 disc: half-widths of its 17 lines, from the centre line out.
inline void add_disc(Picture& pic, int cx, int cy) {
    constexpr int half_width[] = {8, 8, 8, 7, 7, 6, 5, 4, 2};
    for (int dy = -8; dy <= 8; ++dy) {
        const int w = half_width[std::abs(dy)];
        for (int dx = -w; dx <= w; ++dx) pic.set(cx + dx, cy + dy, 0xFF000000u);
    }
}

// Compares the display's frame buffer with a picture; reports the first
// differing pixels and how many differ.
inline ::testing::AssertionResult frame_equals(const Picture& want) {
    const auto& got = display().frame;
    int differ = 0;
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (int i = 0; i < screen_w * screen_h; ++i) {
        if (got[i] == want.px[i]) continue;
        if (++differ <= 5) {
            result << "\n  at (" << i % screen_w << ", " << i / screen_w << ") got 0x" << std::hex
                   << got[i] << " want 0x" << want.px[i] << std::dec;
        }
    }
    if (differ == 0) return ::testing::AssertionSuccess();
    return result << "\n  " << differ << " pixels differ";
}

// A clock that hands out the given times in order and counts its readings.
struct ScriptedClock {
    static inline std::vector<double> times;
    static inline std::size_t readings = 0;
    static double read() {
        const std::size_t i = readings++;
        return i < times.size() ? times[i] : times.empty() ? 0.0 : times.back();
    }
    static void start(std::vector<double> script) {
        times = std::move(script);
        readings = 0;
        set_clock_source(read);
    }
};

}  // namespace scene_test
