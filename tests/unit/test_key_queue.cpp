// The key ring and what read_key makes of its codes; key_down's range and lock.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "display/display_state.h"
#include "core/key_queue.h"
#include "platform.h"

namespace {

std::vector<int> drain(KeyQueue& queue) {
    std::vector<int> taken;
    std::int32_t code = 0;
    while (take_key(queue, code)) taken.push_back(code);
    return taken;
}

std::vector<int> range(int first, int last) {
    std::vector<int> values;
    for (int v = first; v <= last; ++v) values.push_back(v);
    return values;
}

TEST(KeyQueue, HoldsFifteenKeysInOrder) {
    KeyQueue queue;
    std::int32_t code = 0;
    EXPECT_FALSE(take_key(queue, code));
    for (int key = 1; key <= 15; ++key) push_key(queue, key);
    EXPECT_EQ(drain(queue), range(1, 15));
    EXPECT_FALSE(take_key(queue, code));
}

TEST(KeyQueue, FullQueueDropsItsOldestKey) {
    KeyQueue queue;
    for (int key = 1; key <= 40; ++key) push_key(queue, key);
    EXPECT_EQ(drain(queue), range(26, 40));
}

TEST(KeyQueue, EscapeFollowedByFifteenKeysIsLost) {
    KeyQueue queue;
    push_key(queue, 27);
    for (int key = 0; key < 15; ++key) push_key(queue, 'a');
    const std::vector<int> taken = drain(queue);
    EXPECT_EQ(taken, std::vector<int>(15, 'a'));

    push_key(queue, 27);  // with fourteen behind it, it stays
    for (int key = 0; key < 14; ++key) push_key(queue, 'a');
    EXPECT_EQ(drain(queue).front(), 27);
}

TEST(KeyQueue, KeepsWorkingAcrossTheWrap) {
    KeyQueue queue;
    std::int32_t code = 0;
    for (int key = 1; key <= 100; ++key) {
        push_key(queue, key);
        ASSERT_TRUE(take_key(queue, code));
        ASSERT_EQ(code, key);
    }
}

struct Encoding {
    std::int32_t code;
    std::string text;
};

class KeyEncoding : public ::testing::TestWithParam<Encoding> {};

TEST_P(KeyEncoding, ReadKeyString) { EXPECT_EQ(encode_key(GetParam().code), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    EveryRow, KeyEncoding,
    ::testing::Values(Encoding{0, ""},                       // typed character 0: used up, empty
                      Encoding{1, "\x01"}, Encoding{27, "\x1b"}, Encoding{'a', "a"},
                      Encoding{0x82, "\x82"}, Encoding{255, "\xff"},      // one byte, 1..255
                      Encoding{special_key_code(1), "\xff\x01"},
                      Encoding{special_key_code(59), "\xff;"},            // F1
                      Encoding{special_key_code(72), "\xffH"},            // cursor up
                      Encoding{special_key_code(255), std::string("\xff\xff")},
                      Encoding{close_key_code, "\xffk"}));                // the close key

TEST(KeyEncoding, CloseKeyIs27647) { EXPECT_EQ(close_key_code, 27647); }

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override { open_display_state(); }
    void TearDown() override {
        std::int32_t code = 0;
        while (take_key(display().key_queue, code)) {
        }
        close_display_state();
    }
};

TEST_F(KeyboardTest, ReadKeyTakesOneKeyPerCallAndNeverWaits) {
    push_key(display().key_queue, special_key_code(72));
    push_key(display().key_queue, 27);
    EXPECT_EQ(read_key(), "\xffH");
    EXPECT_EQ(read_key(), "\x1b");
    EXPECT_EQ(read_key(), "");
}

TEST_F(KeyboardTest, ReadKeyInsideAnOpenFrameOnlyCounts) {
    push_key(display().key_queue, 'x');
    lock_screen();
    EXPECT_EQ(read_key(), "x");
    EXPECT_EQ(display().nesting, 1);
    EXPECT_TRUE(display().scene_holds_lock);
    unlock_screen(1, 0);
    EXPECT_FALSE(display().scene_holds_lock);
}

TEST_F(KeyboardTest, KeyDownAnswersFromKeyStateWithinZeroTo127) {
    auto& state = display().key_state;
    state.fill(1);
    for (int code : {-1, 128, INT_MIN, INT_MAX, 255}) EXPECT_FALSE(key_down(code)) << code;
    EXPECT_TRUE(key_down(0));
    EXPECT_TRUE(key_down(127));
    state.fill(0);
    state[57] = 1;
    EXPECT_TRUE(key_down(57));
    EXPECT_FALSE(key_down(56));
    EXPECT_EQ(display().nesting, 0);
}

TEST_F(KeyboardTest, WithoutADisplayNothingIsHeldOrRead) {
    display().key_state[57] = 1;
    push_key(display().key_queue, 'q');
    close_display_state();
    EXPECT_FALSE(key_down(57));
    EXPECT_EQ(read_key(), "");
    open_display_state();  // keeps the queue: the key was never lost
    EXPECT_EQ(read_key(), "q");
}

}  // namespace
