// advance_scene frame by frame from a known start, with the space bar played
// through the headless display's keyboard state.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include "test_scene_support.h"

namespace {

using namespace scene_test;

constexpr int space = 57;

void hold_space(bool held) {
    std::lock_guard<std::mutex> guard(display().lock);
    display().key_state[space] = held ? 1 : 0;
}

class Motion : public ::testing::Test {
protected:
    void SetUp() override {
        open_display_state();
        scene_state = started_state(260.0, 280.0);
    }
    void TearDown() override {
        scene_state = SceneState{};
        close_display_state();
    }

    // Runs `frames` frames; space_held(n) tells whether the space bar is down
    // in frame n (1-based). Returns the state after each frame, [0] the start.
    std::vector<SceneState> run(int frames, const std::function<bool(int)>& space_held) {
        std::vector<SceneState> states{scene_state};
        for (int n = 1; n <= frames; ++n) {
            hold_space(space_held(n));
            advance_scene();
            states.push_back(scene_state);
        }
        return states;
    }
};

bool same_motion(const SceneState& a, const SceneState& b) {
    return a.scroll_offset == b.scroll_offset && a.shot_x == b.shot_x && a.shot_y == b.shot_y &&
           a.shot_vx == b.shot_vx && a.shot_vy == b.shot_vy && a.bad_ship_y == b.bad_ship_y &&
           a.shot_fired == b.shot_fired && a.bad_ship_hit == b.bad_ship_hit;
}

TEST_F(Motion, ScrollRunsDownFrom799WithPeriod800) {
    const auto states = run(2400, [](int) { return false; });
    struct Row {
        int frame, scroll;
    };
    constexpr Row table[] = {{0, 0},   {1, 799},   {2, 798},    {799, 1},    {800, 0},
                             {801, 799}, {802, 798}, {1600, 0}, {1601, 799}};
    for (const Row& r : table) EXPECT_EQ(states[r.frame].scroll_offset, r.scroll) << "frame " << r.frame;
    for (int n = 1; n <= 2400; ++n) {
        ASSERT_GE(states[n].scroll_offset, 0);
        ASSERT_LE(states[n].scroll_offset, 799);
        if (n > 800) {
            ASSERT_EQ(states[n].scroll_offset, states[n - 800].scroll_offset);
        }
    }
}

// Space seen in frame 1: the shot stays put in that frame and flies its arc
// from frame 2 on, rising four frames, level in the fifth, back after nine.
TEST_F(Motion, ShotArcFromTheFrameAfterTheKey) {
    const auto states = run(10, [](int n) { return n == 1; });
    EXPECT_TRUE(states[1].shot_fired);
    EXPECT_EQ(states[1].shot_x, 260.0);
    EXPECT_EQ(states[1].shot_y, 280.0);
    EXPECT_EQ(states[1].shot_vy, -5.0);

    constexpr double rise[] = {-4, -7, -9, -10, -10, -9, -7, -4, 0};
    for (int m = 1; m <= 9; ++m) {
        const SceneState& s = states[1 + m];
        EXPECT_EQ(s.shot_x, 260.0 + 15.0 * m) << "motion frame " << m;
        EXPECT_EQ(s.shot_y, 280.0 + rise[m - 1]) << "motion frame " << m;
        EXPECT_EQ(s.shot_vy, -5.0 + m) << "motion frame " << m;
        EXPECT_EQ(s.shot_vx, 15.0);
        EXPECT_FALSE(s.bad_ship_hit);
        EXPECT_EQ(s.bad_ship_y, 130.0);
    }
}

struct HitCase {
    const char* name;
    double x0;
    int hit_frame;  // motion frame in which the shot passes x 480
};
std::ostream& operator<<(std::ostream& os, const HitCase& c) { return os << c.name; }

class MotionHit : public Motion, public ::testing::WithParamInterface<HitCase> {};

// The hit is the first motion frame whose x is strictly past 480; the ship
// already falls in it.
TEST_P(MotionHit, HitFrameAcrossTheStartRange) {
    const HitCase& c = GetParam();
    const double y0 = 283.25;
    scene_state.shot_x = c.x0;
    scene_state.shot_y = y0;
    const auto states = run(1 + c.hit_frame, [](int n) { return n == 1; });
    const SceneState& before = states[c.hit_frame];
    const SceneState& hit = states[1 + c.hit_frame];

    EXPECT_FALSE(before.bad_ship_hit);
    EXPECT_LE(before.shot_x, 480.0);
    EXPECT_EQ(before.bad_ship_y, 130.0);
    EXPECT_TRUE(hit.bad_ship_hit);
    EXPECT_GT(hit.shot_x, 480.0);
    EXPECT_EQ(hit.bad_ship_y, 133.0);
    if (c.hit_frame == 15) {
        EXPECT_LE(hit.shot_x, 490.0);
        EXPECT_EQ(hit.shot_y, y0 + 45.0);
        EXPECT_EQ(hit.shot_vy, 10.0);
    } else {
        EXPECT_EQ(before.shot_x, 480.0) << "exactly at the ship is not past it";
        EXPECT_EQ(hit.shot_x, 495.0);
        EXPECT_EQ(hit.shot_y, y0 + 56.0);
    }
}

const double just_above_255 = std::nextafter(255.0, 300.0);
const HitCase hit_cases[] = {
    {"x0_255_exactly", 255.0, 16},
    {"x0_next_double_above_255", just_above_255, 16},
    {"x0_two_doubles_above_255", std::nextafter(just_above_255, 300.0), 15},
    {"x0_255_5", 255.5, 15},
    {"x0_260", 260.0, 15},
    {"x0_262_718", 262.718, 15},
    {"x0_265", 265.0, 15},
};
INSTANTIATE_TEST_SUITE_P(StartPoints, MotionHit, ::testing::ValuesIn(hit_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Motion, FallToTheBottom) {
    const auto states = run(14 + 1 + 157, [](int n) { return n == 1; });
    // Frame 1 sees the key, frame 16 is the 15th motion frame and the first fall step.
    EXPECT_FALSE(states[15].bad_ship_hit);
    EXPECT_EQ(states[16].bad_ship_y, 133.0);
    for (int k = 1; k <= 157; ++k) EXPECT_EQ(states[15 + k].bad_ship_y, 130.0 + 3.0 * k);
    EXPECT_EQ(states[15 + 156].bad_ship_y, 598.0);
    EXPECT_EQ(states[15 + 157].bad_ship_y, 601.0);
    advance_scene();  // the step itself sets no limit
    EXPECT_EQ(scene_state.bad_ship_y, 604.0);
}

// The state holds levels: holding the key, or pressing it again later, fires
// no second shot and changes nothing.
TEST_F(Motion, SpaceHeldOrPressedAgainChangesNothing) {
    const auto once = run(200, [](int n) { return n == 1; });
    scene_state = started_state(260.0, 280.0);
    const auto held = run(200, [](int) { return true; });
    scene_state = started_state(260.0, 280.0);
    const auto again = run(200, [](int n) { return n == 1 || n == 9 || (n >= 20 && n <= 25) || n == 100; });
    for (int n = 0; n <= 200; ++n) {
        EXPECT_TRUE(same_motion(held[n], once[n])) << "held, frame " << n;
        EXPECT_TRUE(same_motion(again[n], once[n])) << "pressed again, frame " << n;
    }
}

// Fired late, the shot leaves from the start point set at start-up, however
// long it waited; unfired, it never moves and nothing is hit.
TEST_F(Motion, ShotStartIsFixedUntilFired) {
    scene_state.shot_x = 257.5;
    scene_state.shot_y = 271.0;
    const auto states = run(60, [](int n) { return n == 50; });
    for (int n = 1; n <= 50; ++n) {
        EXPECT_EQ(states[n].shot_x, 257.5);
        EXPECT_EQ(states[n].shot_y, 271.0);
        EXPECT_EQ(states[n].shot_vy, -5.0);
        EXPECT_FALSE(states[n].bad_ship_hit);
    }
    EXPECT_FALSE(states[49].shot_fired);
    EXPECT_TRUE(states[50].shot_fired);
    EXPECT_EQ(states[51].shot_x, 272.5);
    EXPECT_EQ(states[51].shot_y, 267.0);
}

// Only x is compared, and a NaN never counts as past.
TEST_F(Motion, PassTestLooksAtXOnly) {
    scene_state.shot_fired = true;
    scene_state.shot_x = 470.0;
    scene_state.shot_y = -1000.0;
    advance_scene();
    EXPECT_TRUE(scene_state.bad_ship_hit);

    scene_state = started_state(std::numeric_limits<double>::quiet_NaN(), 280.0);
    scene_state.shot_fired = true;
    advance_scene();
    EXPECT_FALSE(scene_state.bad_ship_hit);
}

}  // namespace
