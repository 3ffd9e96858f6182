// render_frame against pictures built pixel by pixel from what the screen
// should show, with the clock supplied so the wobble lands where we say.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#include "test_scene_support.h"

namespace {

using namespace scene_test;

// The time at which cos(t * rate) is (very nearly) c.
double time_for(double c, double rate) { return std::acos(c) / rate; }

class RenderFrame : public ::testing::Test {
protected:
    void SetUp() override {
        open_display_state();
        scene_state = started_state(260.0, 280.0);
        create_pattern_images(scene_state);
        ScriptedClock::start({0.0});  // cos 1: ships at base + (5, 10)
    }
    void TearDown() override {
        set_clock_source(nullptr);
        release_image(scene_state.background_image);
        release_image(scene_state.good_ship_image);
        release_image(scene_state.bad_ship_image);
        scene_state = SceneState{};
        close_display_state();
    }
};

struct FrameCase {
    const char* name;
    int scroll;
    double bad_ship_y;
    bool fired;
    bool hit;
    double shot_x, shot_y;
    int bad_top;          // where the bad ship's top row lands (clock at 0: base + 10)
    int disc_x, disc_y;   // centre of the disc when one is drawn
};

std::ostream& operator<<(std::ostream& os, const FrameCase& c) { return os << c.name; }

class RenderWholeFrame : public RenderFrame, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(RenderWholeFrame, MatchesPictureBuiltPixelByPixel) {
    const FrameCase& c = GetParam();
    scene_state.scroll_offset = c.scroll;
    scene_state.bad_ship_y = c.bad_ship_y;
    scene_state.shot_fired = c.fired;
    scene_state.bad_ship_hit = c.hit;
    scene_state.shot_x = c.shot_x;
    scene_state.shot_y = c.shot_y;

    render_frame();

    Picture want = background_at(c.scroll);
    add_ship(want, 65, 120, 200, 244, good_pixel);
    add_ship(want, 485, c.bad_top, 233, 250, bad_pixel);
    if (c.fired && !c.hit) add_disc(want, c.disc_x, c.disc_y);
    EXPECT_TRUE(frame_equals(want));
}

constexpr FrameCase frame_cases[] = {
    {"scroll_0_only_first_copy", 0, 130.0, false, false, 260.0, 280.0, 140, 0, 0},
    {"scroll_799_first_frame_with_shot", 799, 130.0, true, false, 262.3, 277.8, 140, 262, 278},
    {"scroll_437_halves_round_away", 437, 130.0, true, false, 259.5, 270.5, 140, 260, 271},
    {"scroll_1_hit_hides_disc", 1, 133.0, true, true, 480.5, 325.0, 143, 0, 0},
    {"falling_partly_below_bottom", 250, 470.0, true, true, 900.0, 900.0, 480, 0, 0},
    {"falling_last_row_on_screen", 250, 589.0, true, true, 900.0, 900.0, 599, 0, 0},
    {"falling_599_5_rounds_off_screen", 250, 589.5, true, true, 900.0, 900.0, 600, 0, 0},
    {"falling_gone_at_600", 250, 590.0, true, true, 900.0, 900.0, 600, 0, 0},
};
INSTANTIATE_TEST_SUITE_P(Frames, RenderWholeFrame, ::testing::ValuesIn(frame_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Each coordinate takes its own reading, y before x, good ship before bad.
struct WobbleCase {
    const char* name;
    double good_y_cos, good_x_cos, bad_y_cos, bad_x_cos;
    int good_x, good_y, bad_x, bad_y;
};

std::ostream& operator<<(std::ostream& os, const WobbleCase& c) { return os << c.name; }

class RenderWobble : public RenderFrame, public ::testing::WithParamInterface<WobbleCase> {};

TEST_P(RenderWobble, EachCoordinateFromItsOwnReading) {
    const WobbleCase& c = GetParam();
    ScriptedClock::start({time_for(c.good_y_cos, 1.3), time_for(c.good_x_cos, 1.2),
                          time_for(c.bad_y_cos, 1.31), time_for(c.bad_x_cos, 1.21)});
    render_frame();
    EXPECT_EQ(ScriptedClock::readings, 4u);

    Picture want = background_at(0);
    add_ship(want, c.good_x, c.good_y, 200, 244, good_pixel);
    add_ship(want, c.bad_x, c.bad_y, 233, 250, bad_pixel);
    EXPECT_TRUE(frame_equals(want));
}

constexpr WobbleCase wobble_cases[] = {
    // 120, 55, 135, 477.5
    {"extremes_and_a_half", 1.0, -1.0, 0.5, -0.5, 55, 120, 478, 135},
    // 106.5, 64.9, 120, 480.2
    {"halves_up_fractions_nearest", -0.35, 0.98, -1.0, 0.04, 65, 107, 480, 120},
    // 113.4, 56.2, 120.4, 484.8
    {"fractions_below_half_round_down", 0.34, -0.76, -0.96, 0.96, 56, 113, 485, 120},
};
INSTANTIATE_TEST_SUITE_P(Clock, RenderWobble, ::testing::ValuesIn(wobble_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Late in a run the two ships' rates (1.2 and 1.21, 1.3 and 1.31) put them on
// different pixels; each coordinate must follow its own rate.
TEST_F(RenderFrame, EachShipWobblesAtItsOwnRates) {
    auto column = [](double t, double rate, double amplitude, double base) {
        const double v = double(float(std::cos(t * rate) * amplitude + base));
        return int(v > 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5));
    };
    const double good_y_t = 5000.3, good_x_t = 5000.9, bad_y_t = 7000.1, bad_x_t = 7000.6;
    const int good_y = column(good_y_t, 1.3, 10.0, 110.0), good_x = column(good_x_t, 1.2, 5.0, 60.0);
    const int bad_y = column(bad_y_t, 1.31, 10.0, 130.0), bad_x = column(bad_x_t, 1.21, 5.0, 480.0);
    // The clock values tell the rates apart: the other ship's rate lands elsewhere.
    ASSERT_NE(good_y, column(good_y_t, 1.31, 10.0, 110.0));
    ASSERT_NE(good_x, column(good_x_t, 1.21, 5.0, 60.0));
    ASSERT_NE(bad_y, column(bad_y_t, 1.3, 10.0, 130.0));
    ASSERT_NE(bad_x, column(bad_x_t, 1.2, 5.0, 480.0));

    ScriptedClock::start({good_y_t, good_x_t, bad_y_t, bad_x_t});
    render_frame();
    Picture want = background_at(0);
    add_ship(want, good_x, good_y, 200, 244, good_pixel);
    add_ship(want, bad_x, bad_y, 233, 250, bad_pixel);
    EXPECT_TRUE(frame_equals(want));
}

// A good ship x a hair below 59.5 as a double is 59.5 as a float, and the
// float is what gets rounded: column 60, not 59.
TEST_F(RenderFrame, DoubleJustBelowHalfIsHalfInSinglePrecision) {
    auto good_x_at = [](double t) {
        const double scaled = std::cos(t * 1.2) * 5.0;
        return scaled + 60.0;
    };
    double t = time_for(-0.1, 1.2);
    for (int i = 0; i < 4000 && good_x_at(t) >= 59.5; ++i) t = std::nextafter(t, 10.0);
    ASSERT_LT(good_x_at(t), 59.5);
    ASSERT_EQ(static_cast<float>(good_x_at(t)), 59.5f);

    ScriptedClock::start({0.0, t, 0.0, 0.0});
    render_frame();

    Picture want = background_at(0);
    add_ship(want, 60, 120, 200, 244, good_pixel);
    add_ship(want, 485, 140, 233, 250, bad_pixel);
    EXPECT_TRUE(frame_equals(want));
}

// Magenta is left out whatever its top byte; everything else is drawn with
// the top byte cleared, near-magenta included.
TEST_F(RenderFrame, ShipsColourKey) {
    render_frame();
    const auto& f = display().frame;
    auto at = [&](int x, int y) { return f[y * 800 + x]; };
    // The good ship's top-left is at (65, 120); its pixel (i, 0) is at (65 + i, 120).
    EXPECT_EQ(at(65, 120), background_pixel(65, 120)) << "magenta, top byte 0x00";
    EXPECT_EQ(at(68, 120), background_pixel(68, 120)) << "magenta, top byte 0x80";
    EXPECT_EQ(at(71, 120), background_pixel(71, 120)) << "magenta, top byte 0xFF";
    EXPECT_EQ(at(66, 120), 0x00FF00FEu) << "one bit off magenta";
    EXPECT_EQ(at(67, 120), good_tag | 2u) << "plain pixel, top byte cleared";
    // Where the ships meet, the bad ship (drawn later) covers the good one.
    EXPECT_EQ(at(485 + 1, 140 + 1), bad_tag | (1u << 8) | 1u);
}

struct DiscCase {
    bool fired, hit;
    int black_pixels;
};

std::ostream& operator<<(std::ostream& os, const DiscCase& c) {
    return os << "fired " << c.fired << ", hit " << c.hit;
}

class RenderDisc : public RenderFrame, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(RenderDisc, OnlyWhileFiredAndNotHit) {
    scene_state.shot_fired = GetParam().fired;
    scene_state.bad_ship_hit = GetParam().hit;
    scene_state.shot_x = 400.0;
    scene_state.shot_y = 450.0;
    render_frame();
    const auto& f = display().frame;
    // Nothing else on screen is opaque black: the background's top byte is
    // 0xAB and the ships' is cleared.
    EXPECT_EQ(std::count(f.begin(), f.end(), 0xFF000000u), GetParam().black_pixels);
}

INSTANTIATE_TEST_SUITE_P(Flags, RenderDisc,
                         ::testing::Values(DiscCase{false, false, 0}, DiscCase{true, false, 221},
                                           DiscCase{true, true, 0}, DiscCase{false, true, 0}));

// The frame is one lock from start to end and hands every line to the display.
TEST_F(RenderFrame, OneLockEveryLineMarked) {
    render_frame();
    DisplayState& d = display();
    EXPECT_EQ(d.nesting, 0);
    ASSERT_TRUE(d.lock.try_lock()) << "render_frame left the display lock held";
    d.lock.unlock();
    EXPECT_EQ(marked_span().first, 0);
    EXPECT_EQ(marked_span().last, 599);
    EXPECT_EQ(std::count(d.changed_lines.begin(), d.changed_lines.end(), 0), 0);
}

// Without a display nothing is drawn, but the clock is still read four times.
TEST_F(RenderFrame, NoDisplayStillReadsTheClock) {
    close_display_state();
    render_frame();
    EXPECT_EQ(ScriptedClock::readings, 4u);
    open_display_state();
}

}  // namespace
