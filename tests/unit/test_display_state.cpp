// test-label: threads
// The headless display state: opening, the frame nesting with the display
// lock, the line ranges of unlock_screen and the presenting side.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "display/display_state.h"
#include "platform.h"
#include "test_display_support.h"

namespace {

class DisplayStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        open_display_state();
        present_changed_lines(nullptr, 0);
    }
    void TearDown() override { close_display_state(); }
};

TEST_F(DisplayStateTest, OpensBlackWithNothingMarkedAndKeysReleasedButKeepsQueuedKeys) {
    DisplayState& d = display();
    close_display_state();
    d.frame.fill(0x12345678);
    d.changed_lines.fill(1);
    d.key_state.fill(1);
    d.key_queue.slots[3] = 27;
    d.key_queue.write_index = 4;
    d.key_queue.read_index = 3;
    open_display_state();
    EXPECT_TRUE(d.open);
    EXPECT_TRUE(std::all_of(d.frame.begin(), d.frame.end(), [](Pixel p) { return p == 0xFF000000u; }));
    EXPECT_EQ(marked_count(), 0);
    EXPECT_TRUE(std::all_of(d.key_state.begin(), d.key_state.end(), [](auto k) { return k == 0; }));
    EXPECT_EQ(d.key_queue.slots[3], 27);
    EXPECT_EQ(d.key_queue.write_index, 4);
    EXPECT_EQ(d.key_queue.read_index, 3);
    EXPECT_EQ(d.nesting, 0);
    d.key_queue = KeyQueue{};
}

struct RangeCase {
    int first_line, last_line;
    int marked_first, marked_last;  // marked_first > marked_last: nothing marked
};

const RangeCase range_cases[] = {
    {1, 0, 0, -1},      {-1, -1, 0, 599},  {0, 599, 0, 599},  {-50, 10, 0, 10},  {10, -7, 10, 599},
    {-3, -9, 0, 599},   {5, 600, 0, -1},   {600, 599, 0, -1}, {599, 599, 599, 599}, {0, 0, 0, 0},
    {300, 200, 0, -1},  {598, 1000, 0, -1}, {700, -1, 0, -1},
};

class UnlockRanges : public DisplayStateTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(UnlockRanges, MarkExactlyTheClampedRange) {
    const RangeCase c = GetParam();
    for (const bool inside_frame : {true, false}) {
        SetUp();
        if (inside_frame) lock_screen();
        unlock_screen(c.first_line, c.last_line);
        const LineRange span = marked_span();
        EXPECT_EQ(span.first <= span.last, c.marked_first <= c.marked_last);
        if (c.marked_first <= c.marked_last) {
            EXPECT_EQ(span.first, c.marked_first);
            EXPECT_EQ(span.last, c.marked_last);
            EXPECT_EQ(marked_count(), c.marked_last - c.marked_first + 1);
        } else {
            EXPECT_EQ(marked_count(), 0);
        }
        EXPECT_EQ(display().nesting, 0);
        EXPECT_TRUE(lock_free_for_another_thread());
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, UnlockRanges, ::testing::ValuesIn(range_cases));

TEST_F(DisplayStateTest, LockIsTakenWhenTheCountLeavesZeroAndReleasedWhenItReturns) {
    EXPECT_TRUE(lock_free_for_another_thread());
    lock_screen();
    EXPECT_EQ(display().nesting, 1);
    EXPECT_FALSE(lock_free_for_another_thread());
    lock_screen();
    lock_screen();
    EXPECT_EQ(display().nesting, 3);
    unlock_screen(1, 0);
    unlock_screen(1, 0);
    EXPECT_EQ(display().nesting, 1);
    EXPECT_FALSE(lock_free_for_another_thread());
    unlock_screen(1, 0);
    EXPECT_EQ(display().nesting, 0);
    EXPECT_TRUE(lock_free_for_another_thread());
    // An unlock too many marks its lines but leaves the count at 0.
    unlock_screen(7, 9);
    EXPECT_EQ(display().nesting, 0);
    EXPECT_EQ(marked_count(), 3);
    EXPECT_TRUE(lock_free_for_another_thread());
}

TEST_F(DisplayStateTest, AFrameWaitsForAPassInProgress) {
    std::vector<int> order;
    std::mutex order_lock;
    auto note = [&](int step) {
        std::lock_guard<std::mutex> guard(order_lock);
        order.push_back(step);
    };
    display().lock.lock();  // a display pass is running
    std::thread scene([&] {
        lock_screen();
        note(2);
        unlock_screen(-1, -1);
    });
    // Give the scene's thread time to reach the lock before the pass ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    note(1);
    display().lock.unlock();
    scene.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(marked_count(), 600);
}

TEST_F(DisplayStateTest, NothingHappensWhenNoDisplayIsOpen) {
    close_display_state();
    lock_screen();
    EXPECT_EQ(display().nesting, 0);
    EXPECT_TRUE(lock_free_for_another_thread());
    unlock_screen(-1, -1);
    EXPECT_EQ(marked_count(), 0);
    EXPECT_FALSE(enter_level());
}

TEST_F(DisplayStateTest, ClosingReleasesALockTheSceneStillHolds) {
    lock_screen();
    lock_screen();
    release_scene_levels();
    EXPECT_EQ(display().nesting, 0);
    EXPECT_TRUE(lock_free_for_another_thread());
    lock_screen();
    close_display_state();
    EXPECT_FALSE(display().open);
    EXPECT_EQ(display().nesting, 0);
    EXPECT_TRUE(lock_free_for_another_thread());
}

TEST_F(DisplayStateTest, ReopeningReleasesALockTheSceneStillHolds) {
    lock_screen();
    open_display_state();
    EXPECT_EQ(display().nesting, 0);
    EXPECT_TRUE(lock_free_for_another_thread());
}

TEST_F(DisplayStateTest, PresentingCopiesOnlyMarkedLinesAndClearsTheMarks) {
    DisplayState& d = display();
    for (int y = 0; y < display_height; ++y) {
        std::fill_n(d.frame.begin() + y * display_width, display_width, Pixel(y));
    }
    constexpr std::ptrdiff_t stride = 812;  // a window row longer than the frame's
    std::vector<Pixel> window(stride * display_height, 0xDEADBEEF);
    unlock_screen(10, 12);
    unlock_screen(599, 599);
    EXPECT_EQ(present_changed_lines(window.data(), stride), 4);
    for (int y = 0; y < display_height; ++y) {
        const bool copied = (y >= 10 && y <= 12) || y == 599;
        for (int x = 0; x < stride; ++x) {
            const Pixel expected = copied && x < display_width ? Pixel(y) : 0xDEADBEEF;
            ASSERT_EQ(window[y * stride + x], expected) << "(" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(marked_count(), 0);
    EXPECT_EQ(present_changed_lines(window.data(), stride), 0);
}

}  // namespace
