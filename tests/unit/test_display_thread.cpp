// test-label: threads
// The display thread beside the scene's thread, over the headless window:
// passes and frames take turns at the display lock, keys cross from the
// window's events to read_key, each pass applies what the window reported,
// and end_program closes everything in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/key_translate.h"
#include "display/display_state.h"
#include "display/display_thread.h"
#include "headless/headless_window.h"
#include "platform.h"
#include "test_display_support.h"

namespace {

constexpr float whole_circle = 6.2831859f;

class HeadlessDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        headless_window() = HeadlessWindow{};
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
// third thread plays the window, handing keys to the next pump. Every key
// arrives once and in order, and each frame is presented whole: a frame is
// one colour over all 600 lines, so a present that overlapped the drawing
// would leave a mixed picture in the window.
TEST_F(HeadlessDisplay, SceneAndDisplayThreadShareKeysAndFrames) {
    constexpr int key_count = 400;
    std::atomic<bool> typing_done{false};
    std::thread typist([&] {
        for (int key = 1; key <= key_count; ++key) {
            for (;;) {
                {
                    std::lock_guard<std::mutex> guard(display().lock);
                    const KeyQueue& q = display().key_queue;
                    WindowEvents& pending = headless_window().pending;
                    // Never overfill, so no key is pushed out: every key must arrive.
                    if ((q.write_index - q.read_index + 16) % 16 + pending.key_count < 10) {
                        add_key(pending, special_key_code(key % 200 + 1));
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
        {
            // Whatever the window shows is one whole frame.
            std::lock_guard<std::mutex> guard(display().lock);
            const auto& shown = headless_window().picture;
            EXPECT_EQ(std::count(shown.begin(), shown.end(), shown[0]), 800 * 600);
        }
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

TEST_F(HeadlessDisplay, PassesPresentWhatTheSceneMarks) {
    lock_screen();
    unlock_screen(10, 20);
    // Within a few passes the marks are taken and cleared by the display thread.
    for (int tries = 0; tries < 500; ++tries) {
        {
            std::lock_guard<std::mutex> guard(display().lock);
            if (marked_span().first > marked_span().last) {
                ASSERT_FALSE(headless_window().presents.empty());
                EXPECT_EQ(headless_window().presents.back().first, 10);
                EXPECT_EQ(headless_window().presents.back().last, 20);
                return;
            }
        }
        sleep_ms(2);
    }
    FAIL() << "no display pass presented the marked lines";
}

TEST_F(HeadlessDisplay, SecondOpenFailsAndUnsupportedModesAreRefused) {
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
// In full screen, leaving it comes first.
TEST(EndProgram, ClosesInOrderAndExitsWithItsCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            set_shutdown_trace(print_step);
            if (open_screen(800, 600, 32, 0, 0, 0) != 0) std::exit(100);
            {
                std::lock_guard<std::mutex> guard(display().lock);
                headless_window().pending.full_screen_requests = 1;
            }
            for (bool switched = false; !switched; sleep_ms(1)) {
                std::lock_guard<std::mutex> guard(display().lock);
                switched = headless_window().full_screen;
            }
            lock_screen();
            lock_screen();
            end_program(7);
        },
        ::testing::ExitedWithCode(7),
        "^\\[display passes stopped\\]\\[full screen left\\]\\[window destroyed\\]"
        "\\[screen saver restored\\]\\[display state discarded\\]$");
}

TEST(EndProgram, WithoutADisplayStillEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(end_program(3), ::testing::ExitedWithCode(3), "");
}

TEST(OpenScreen, AWindowThatCannotOpenIsAFailureWithItsReason) {
    headless_window() = HeadlessWindow{};
    headless_window().refuse_open = true;
    headless_window().refusal = "no screen here";
    EXPECT_NE(open_screen(800, 600, 32, 0, 0, 0), 0);
    EXPECT_STREQ(display_error(), "no screen here");
    EXPECT_FALSE(display().open);
    EXPECT_EQ(create_image(8, 8, 0, 0, 0), nullptr);
    headless_window() = HeadlessWindow{};
}

// Single passes, run on this thread in the display thread's place.
class DisplayPass : public ::testing::Test {
protected:
    void SetUp() override {
        headless_window() = HeadlessWindow{};
        open_display_state();
        std::string reason;
        ASSERT_TRUE(window_open("pass", display().frame.data(), reason));
        set_window_active(false);
        present_changed_lines(nullptr, 0);
    }
    void TearDown() override {
        std::int32_t code = 0;
        while (take_key(display().key_queue, code)) {
        }
        set_window_active(false);
        close_display_state();
    }
    static void activate() {
        headless_window().pending.activation_changed = true;
        headless_window().pending.active = true;
        run_display_pass();
        headless_window().presents.clear();
    }
};

// A line marked alone reaches the window, at the top, in the middle and at
// the bottom, and no other line changes there.
TEST_F(DisplayPass, PresentsASingleMarkedLine) {
    for (int line : {0, 300, 599}) {
        const Pixel colour = 0xFF000000u | Pixel(line + 1);
        std::fill(display().frame.begin(), display().frame.end(), colour);
        auto expected = headless_window().picture;
        std::fill_n(expected.begin() + line * 800, 800, colour);
        lock_screen();
        unlock_screen(line, line);
        run_display_pass();
        EXPECT_TRUE(headless_window().picture == expected) << "after marking line " << line;
        EXPECT_EQ(marked_count(), 0);
        // A pass with nothing marked presents nothing.
        const std::size_t presents = headless_window().presents.size();
        run_display_pass();
        EXPECT_EQ(headless_window().presents.size(), presents);
    }
}

TEST_F(DisplayPass, QueuesTheWindowsKeysInOrder) {
    for (std::int32_t code : {std::int32_t('a'), close_key_code, 27, special_key_code(72)}) add_key(headless_window().pending, code);
    run_display_pass();
    EXPECT_EQ(read_key(), "a");
    EXPECT_EQ(read_key(), "\xffk");
    EXPECT_EQ(read_key(), "\x1b");
    EXPECT_EQ(read_key(), "\xffH");
    EXPECT_EQ(read_key(), "");
}

// key_state follows the keyboard only while the window is active; every
// change of activation clears it and marks every line, and a keyboard that
// cannot be read leaves it as it was.
TEST_F(DisplayPass, KeyStateFollowsTheKeyboardOnlyWhileActive) {
    headless_window().keyboard[57] = 1;
    run_display_pass();
    EXPECT_FALSE(key_down(57)) << "inactive: no refresh";
    activate();
    EXPECT_EQ(marked_count(), 600);
    run_display_pass();
    EXPECT_TRUE(key_down(57));
    EXPECT_EQ(headless_window().presents.size(), 1u);

    headless_window().keyboard_readable = false;
    headless_window().keyboard[57] = 0;
    run_display_pass();
    EXPECT_TRUE(key_down(57)) << "an unreadable keyboard changes nothing";

    headless_window().keyboard_readable = true;
    headless_window().keyboard[57] = 1;
    headless_window().pending.activation_changed = true;
    headless_window().pending.active = false;
    run_display_pass();
    EXPECT_FALSE(key_down(57)) << "focus lost";
    EXPECT_EQ(marked_count(), 600);
    run_display_pass();
    EXPECT_FALSE(key_down(57)) << "no refresh while inactive";

    // Lost and regained within one pump is still a change: cleared, then refreshed.
    activate();
    run_display_pass();
    EXPECT_TRUE(key_down(57));
    headless_window().pending.activation_changed = true;
    headless_window().pending.active = true;
    run_display_pass();
    EXPECT_FALSE(key_down(57));
    EXPECT_EQ(marked_count(), 600);
}

TEST_F(DisplayPass, FullScreenRequestsSwitchAndRepaintsShowTheWholePicture) {
    activate();
    headless_window().pending.full_screen_requests = 1;
    run_display_pass();
    EXPECT_EQ(headless_window().switches, 1);
    EXPECT_TRUE(headless_window().full_screen);
    EXPECT_EQ(marked_count(), 600) << "the next pass presents the whole frame";
    EXPECT_TRUE(window_is_active());
    run_display_pass();
    EXPECT_EQ(marked_count(), 0);

    headless_window().presents.clear();
    std::fill(display().frame.begin(), display().frame.end(), 0xFF123456u);
    headless_window().pending.repaint = true;
    run_display_pass();
    ASSERT_EQ(headless_window().presents.size(), 1u);
    EXPECT_EQ(headless_window().presents[0].first, 0);
    EXPECT_EQ(headless_window().presents[0].last, 599);
    EXPECT_EQ(headless_window().picture[799 * 600 + 10], 0xFF123456u);
}

// Where the window offers memory it shows directly, the frame buffer moves
// there with its picture and the scene draws straight into the window; when
// the offer ends it moves back, picture and all.
TEST_F(DisplayPass, TheFrameBufferFollowsTheWindowsMemory) {
    auto all = [](const FrameBuffer& f, Pixel p) { return std::all_of(f.begin(), f.end(), [p](Pixel q) { return q == p; }); };
    display().frame.fill(0xFF0000AAu);
    headless_window().offer_memory = true;
    run_display_pass();
    ASSERT_EQ(display().frame.data(), headless_window().picture.data());
    EXPECT_TRUE(all(display().frame, 0xFF0000AAu)) << "the picture did not move with the frame buffer";

    lock_screen();
    display().frame.fill(0xFF00BB00u);
    unlock_screen(-1, -1);
    run_display_pass();
    ASSERT_FALSE(headless_window().presents.empty());
    EXPECT_EQ(headless_window().presents.back().first, 0);
    EXPECT_EQ(headless_window().presents.back().last, 599);

    headless_window().offer_memory = false;
    run_display_pass();
    ASSERT_EQ(display().frame.data(), display().own_frame.data());
    EXPECT_TRUE(all(display().frame, 0xFF00BB00u)) << "the picture did not come back with the frame buffer";
}

TEST(WindowEvents, AFullRecordKeepsTheNewestKeys) {
    WindowEvents events;
    for (int code = 1; code <= 70; ++code) add_key(events, code);
    ASSERT_EQ(events.key_count, 64);
    EXPECT_EQ(events.keys[0], 7);
    EXPECT_EQ(events.keys[63], 70);
}

}  // namespace
