// test-label: threads
// start_scene with the real display thread over the headless window, in a
// scratch directory holding the bitmaps we want, and with the clock supplied.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "display/display_thread.h"
#include "headless/headless_window.h"
#include "test_scene_support.h"

namespace {

using namespace scene_test;
namespace fs = std::filesystem;

void put_u16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put_u32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    put_u16(b, v & 0xFFFF);
    put_u16(b, v >> 16);
}

// A plain 24-bit bottom-up BMP file of w x h pixels given as 0x..RRGGBB.
void write_bmp(const fs::path& path, int w, int h, Pixel (*pixel)(int, int)) {
    const int row_bytes = (w * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    put_u32(b, std::uint32_t(54 + row_bytes * h));
    put_u32(b, 0);
    put_u32(b, 54);
    put_u32(b, 40);
    put_u32(b, std::uint32_t(w));
    put_u32(b, std::uint32_t(h));
    put_u16(b, 1);
    put_u16(b, 24);
    put_u32(b, 0);
    put_u32(b, std::uint32_t(row_bytes * h));
    put_u32(b, 2835);
    put_u32(b, 2835);
    put_u32(b, 0);
    put_u32(b, 0);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const Pixel p = pixel(x, y);
            b.push_back(std::uint8_t(p));
            b.push_back(std::uint8_t(p >> 8));
            b.push_back(std::uint8_t(p >> 16));
        }
        b.resize(b.size() + std::size_t(row_bytes - w * 3), 0);
    }
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
}

Pixel small_background(int x, int y) { return Pixel(0x102030 + x * 0x010000 + y * 0x000100); }

// The clock readings start-up takes: cos(t1 * 1.2) = 0.6 puts the shot's x
// at 263, cos(t2 * 1.3) = -0.8 its y at 272. Swapped, they would give
// different values.
const double t1 = std::acos(0.6) / 1.2;
const double t2 = std::acos(-0.8) / 1.3;

class StartScene : public ::testing::Test {
protected:
    void SetUp() override {
        old_dir = fs::current_path();
        dir = fs::temp_directory_path() / ("scene_start_" + std::to_string(getpid()));
        fs::create_directories(dir);
        fs::current_path(dir);
        scene_state = SceneState{};
        ScriptedClock::start({t1, t2});
    }
    void TearDown() override {
        set_clock_source(nullptr);
        fs::current_path(old_dir);
        fs::remove_all(dir);
    }
    fs::path old_dir, dir;
};

// Without any display, start-up still runs every step: no pictures, but the
// positions and the shot's start are set. Run in a child so that no other
// test's display is around.
TEST_F(StartScene, WithoutDisplayEveryStepStillRuns) {
#ifdef _WIN32
    GTEST_SKIP() << "runs in a child made with fork(), which Windows does not have";
#else
    const pid_t child = fork();
    if (child == 0) {
        headless_window().refuse_open = true;
        start_scene();
        const SceneState& s = scene_state;
        const bool ok = std::string(display_error()) != "" && s.background_image == nullptr &&
                        s.good_ship_image == nullptr && s.bad_ship_image == nullptr &&
                        s.good_ship_x == 60.0 && s.good_ship_y == 110.0 && s.bad_ship_x == 480.0 &&
                        s.bad_ship_y == 130.0 && std::abs(s.shot_x - 263.0) < 1e-9 &&
                        std::abs(s.shot_y - 272.0) < 1e-9 && s.shot_vx == 15.0 &&
                        s.shot_vy == -5.0 && ScriptedClock::readings == 2;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
#endif
}

TEST_F(StartScene, OpensCreatesLoadsAndPlaces) {
    write_bmp("background.bmp", 5, 3, small_background);
    write_bmp("goodship.bmp", 200, 244, good_pixel);
    // badship.bmp missing: that ship stays all transparent.

    start_scene();
    const SceneState s = scene_state;

    EXPECT_STREQ(display_error(), "");
    EXPECT_TRUE(display().open);
    ASSERT_NE(s.background_image, nullptr);
    ASSERT_NE(s.good_ship_image, nullptr);
    ASSERT_NE(s.bad_ship_image, nullptr);
    struct Size {
        const Image* image;
        int w, h;
    };
    for (const Size& z : {Size{s.background_image, 800, 600}, Size{s.good_ship_image, 200, 244},
                          Size{s.bad_ship_image, 233, 250}}) {
        EXPECT_EQ(z.image->width, z.w);
        EXPECT_EQ(z.image->height, z.h);
        EXPECT_EQ(z.image->depth, 32);
    }
    auto at = [](const Image* image, int x, int y) { return image->pixels[y * image->stride + x]; };
    // The small background fills the top-left corner; the rest stays magenta.
    EXPECT_EQ(at(s.background_image, 0, 0), 0xFF102030u);
    EXPECT_EQ(at(s.background_image, 4, 2), 0xFF142230u);
    EXPECT_EQ(at(s.background_image, 5, 0), transparent_colour);
    EXPECT_EQ(at(s.background_image, 0, 3), transparent_colour);
    EXPECT_EQ(at(s.background_image, 799, 599), transparent_colour);
    EXPECT_EQ(at(s.good_ship_image, 2, 0), 0xFF000000u | (good_pixel(2, 0) & 0xFFFFFFu));
    EXPECT_EQ(at(s.good_ship_image, 199, 243), 0xFF000000u | (good_pixel(199, 243) & 0xFFFFFFu));
    for (int y = 0; y < 250; ++y)
        for (int x = 0; x < 233; ++x) ASSERT_EQ(at(s.bad_ship_image, x, y), transparent_colour);

    EXPECT_EQ(s.scroll_offset, 0);
    EXPECT_EQ(s.good_ship_x, 60.0);
    EXPECT_EQ(s.good_ship_y, 110.0);
    EXPECT_EQ(s.bad_ship_x, 480.0);
    EXPECT_EQ(s.bad_ship_y, 130.0);
    EXPECT_EQ(ScriptedClock::readings, 2u);
    EXPECT_NEAR(s.shot_x, 263.0, 1e-9) << "x comes from the first reading";
    EXPECT_NEAR(s.shot_y, 272.0, 1e-9) << "y comes from the second reading";
    EXPECT_EQ(s.shot_vx, 15.0);
    EXPECT_EQ(s.shot_vy, -5.0);
    EXPECT_FALSE(s.shot_fired);
    EXPECT_FALSE(s.bad_ship_hit);

    close_screen();
}

// The table's subtle entries: the disc's end angle is one unit above the float
// nearest 2 pi, ESC is a one-byte string, and the shot leaves from the good
// ship's point (200, 170).
TEST(SceneTuning, SubtleConstants) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(tuning.shot_arc_end), 0x40C90FDCu);
    EXPECT_EQ(tuning.shot_arc_end, std::nextafter(static_cast<float>(2.0 * std::numbers::pi), 10.0f));
    EXPECT_EQ(tuning.quit_key, std::string(1, '\x1b'));
    EXPECT_EQ(tuning.shot_origin_x, tuning.good_ship_base_x + tuning.good_ship_width);
    EXPECT_EQ(tuning.shot_origin_y, tuning.good_ship_base_y + 170.0);
}

}  // namespace
