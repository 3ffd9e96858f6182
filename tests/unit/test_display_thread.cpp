// test-label: threads
// The display thread beside the scene's thread, on SDL's offscreen driver so
// that no X server is needed: passes and frames take turns at the display
// lock, keys cross from one thread to the other, and end_program closes
// everything in order. Also the activation rule and the window title.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "display_state.h"
#include "display_thread.h"
#include "key_queue.h"
#include "platform.h"

namespace {

constexpr float whole_circle = 6.2831859f;

class OffscreenDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        allow_offscreen_display();
        ASSERT_EQ(open_screen(800, 600, 32, 0, 0, 0), 0) << display_error();
    }
    void TearDown() override {
        std::int32_t code = 0;
        while (take_key(display().key_queue, code)) {
        }
        close_screen();
    }
};

// The scene draws and reads keys while the display thread presents and a
// third thread plays the window's key events under the display lock. Every
// key arrives once and in order, and each frame is presented whole: a frame
// is one colour over all 600 lines, so a present that overlapped the drawing
// would leave a mixed frame buffer behind at the pass.
TEST_F(OffscreenDisplay, SceneAndDisplayThreadShareKeysAndFrames) {
    constexpr int key_count = 400;
    std::atomic<bool> typing_done{false};
    std::thread typist([&] {
        for (int key = 1; key <= key_count; ++key) {
            for (;;) {
                {
                    std::lock_guard<std::mutex> guard(display().lock);
                    const KeyQueue& q = display().key_queue;
                    // Never overfill, so no key is pushed out: every key must arrive.
                    if ((q.write_index - q.read_index + 16) % 16 < 10) {
                        push_key(display().key_queue, special_key_code(key % 200 + 1));
                        break;
                    }
                }
                std::this_thread::yield();
            }
        }
        typing_done = true;
    });

    Image* picture = create_image(800, 600, 0, 0, 0);
    ASSERT_NE(picture, nullptr);
    std::vector<std::string> keys;
    int frames = 0;
    while (keys.size() < std::size_t(key_count)) {
        const Pixel colour = 0xFF000000u | Pixel(frames * 0x010203);
        std::fill_n(picture->pixels, 800 * 600, colour);
        lock_screen();
        put_opaque(0.0f, 0.0f, picture);
        fill_circle(400.0f, 300.0f, 8.0f, colour, 1.0f, 0.0f, whole_circle);
        // The frame is drawn under the one lock: no pass can see it half done.
        EXPECT_EQ(display().frame[0], colour);
        EXPECT_EQ(display().frame[800 * 600 - 1], colour);
        unlock_screen(-1, -1);
        EXPECT_FALSE(key_down(57));
        std::string key = read_key();
        if (!key.empty()) keys.push_back(key);
        ++frames;
        ASSERT_LT(frames, 1'000'000);
    }
    typist.join();
    EXPECT_TRUE(typing_done);
    for (int key = 1; key <= key_count; ++key) {
        ASSERT_EQ(keys[std::size_t(key - 1)], encode_key(special_key_code(key % 200 + 1)));
    }
    release_image(picture);
}

TEST_F(OffscreenDisplay, PassesPresentWhatTheSceneMarks) {
    lock_screen();
    unlock_screen(10, 20);
    // Within a few passes the marks are taken and cleared by the display thread.
    for (int tries = 0; tries < 500; ++tries) {
        {
            std::lock_guard<std::mutex> guard(display().lock);
            if (marked_span().first > marked_span().last) return;
        }
        sleep_ms(2);
    }
    FAIL() << "no display pass presented the marked lines";
}

TEST_F(OffscreenDisplay, SecondOpenFailsAndUnsupportedModesAreRefused) {
    EXPECT_NE(open_screen(800, 600, 32, 0, 0, 0), 0);
    EXPECT_STRNE(display_error(), "");
    close_screen();
    EXPECT_NE(open_screen(640, 480, 32, 0, 0, 0), 0);
    EXPECT_NE(open_screen(800, 600, 16, 0, 0, 0), 0);
    EXPECT_NE(open_screen(800, 600, 32, 2, 0, 0), 0);
    EXPECT_NE(open_screen(800, 600, 32, 0, 1, 0), 0);
    EXPECT_FALSE(display().open);
    EXPECT_EQ(open_screen(800, 600, 32, 1, 0, 60), 0) << display_error();
    EXPECT_STREQ(display_error(), "");
}

void print_step(const char* step) {
    std::fprintf(stderr, "[%s]", step);
    std::fflush(stderr);
}

// end_program in a child process: with a frame still open two levels deep it
// releases the lock (else the display thread would never end), closes in
// order and ends the process with the code it was given.
TEST(EndProgram, ClosesInOrderAndExitsWithItsCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            allow_offscreen_display();
            set_shutdown_trace(print_step);
            if (open_screen(800, 600, 32, 0, 0, 0) != 0) std::exit(100);
            lock_screen();
            lock_screen();
            end_program(7);
        },
        ::testing::ExitedWithCode(7),
        "^\\[display passes stopped\\]\\[window destroyed\\]\\[screen saver restored\\]"
        "\\[display state discarded\\]$");
}

TEST(EndProgram, WithoutADisplayStillEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(end_program(3), ::testing::ExitedWithCode(3), "");
}

TEST(OpenScreen, NoDisplayReachableIsAFailureWithAReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            const int result = open_screen(800, 600, 32, 0, 0, 0);
            std::fprintf(stderr, "%s", display_error());
            std::exit(result != 0 && !display().open ? 1 : 0);
        },
        ::testing::ExitedWithCode(1), "DISPLAY and WAYLAND_DISPLAY are unset");
}

// The activation rule on its own, with the display thread's part played here.
TEST(WindowActivation, EveryChangeClearsKeyStateAndMarksEveryLine) {
    open_display_state();
    std::lock_guard<std::mutex> guard(display().lock);
    auto& state = display().key_state;
    auto all_marked = [] {
        const auto& lines = display().changed_lines;
        return std::all_of(lines.begin(), lines.end(), [](auto flag) { return flag == 1; });
    };
    const bool start = window_is_active();
    for (bool active : {!start, start, !start}) {
        state.fill(1);
        present_changed_lines(nullptr, 0);
        set_window_active(active);
        EXPECT_EQ(window_is_active(), active);
        EXPECT_TRUE(std::all_of(state.begin(), state.end(), [](auto v) { return v == 0; }));
        EXPECT_TRUE(all_marked());
    }
    // No change, nothing cleared: held keys stay held while the window stays active.
    state.fill(1);
    present_changed_lines(nullptr, 0);
    set_window_active(window_is_active());
    EXPECT_EQ(state[57], 1);
    EXPECT_EQ(marked_span().first, 0);
    EXPECT_GT(marked_span().first, marked_span().last);
    close_display_state();
}

struct TitleCase {
    const char* path;
    const char* title;
};

class WindowTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(WindowTitle, FileNameWithoutItsLastExtension) {
    EXPECT_EQ(window_title(GetParam().path), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowTitle,
    ::testing::Values(TitleCase{"/usr/local/bin/scene", "scene"},
                      TitleCase{"/home/me/my.demo.bin", "my.demo"},
                      TitleCase{"scene.exe", "scene"}, TitleCase{"/opt/a.b/run", "run"},
                      TitleCase{"/opt/.hidden", ".hidden"}, TitleCase{"/opt/trailing.", "trailing"},
                      TitleCase{"/opt/scene (deleted)", "scene"},
                      TitleCase{"/opt/my.demo.bin (deleted)", "my.demo"}));

}  // namespace
