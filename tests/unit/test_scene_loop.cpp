// test-label: threads
// The frame loop in a child process over the headless display. A stand-in
// for the display thread presents each finished frame into shared memory and
// types scripted keys; the supplied clock counts frames (four readings each)
// and stamps when each one starts.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "key_queue.h"
#include "test_scene_support.h"

namespace {

using namespace scene_test;

constexpr int max_frames = 400;
constexpr std::int32_t esc = 27;

// Written by the child, read by the parent after it has ended.
struct LoopRecord {
    std::atomic<int> readings;
    std::atomic<int> presented;
    std::atomic<int> keys_left_at_exit;  // -1 until the child's exit handlers run
    std::int64_t frame_start_ns[max_frames];
    Pixel shown[800 * 600];  // the last frame the stand-in presented
};

// A key the stand-in types right after it has presented frame `after_frame`
// (0: before the first frame).
struct ScriptedKey {
    int after_frame;
    std::int32_t code;
};

LoopRecord* record = nullptr;
// Never freed: the stand-in may still read it while the child's exit runs.
const std::vector<ScriptedKey>* key_script = nullptr;

std::int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The wobble stays at cos 0 = 1, so every frame's ships are at base + (5, 10).
double recording_clock() {
    const int reading = record->readings.fetch_add(1);
    if (reading % 4 == 0 && reading / 4 < max_frames) record->frame_start_ns[reading / 4] = now_ns();
    return 0.0;
}

void push_keys_after(int frame) {
    for (const ScriptedKey& k : *key_script)
        if (k.after_frame == frame) push_key(display().key_queue, k.code);
}

// end_program ends the process through exit(), so this runs after the last
// read_key: it tells which keys were never taken.
void count_keys_left() {
    std::lock_guard<std::mutex> guard(display().lock);
    const KeyQueue& q = display().key_queue;
    record->keys_left_at_exit = (q.write_index - q.read_index + 16) % 16;
}

// Stands in for the display thread: present under the lock, then type.
void stand_in_display() {
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(display().lock);
            if (present_changed_lines(record->shown, 800) > 0) {
                push_keys_after(record->presented.fetch_add(1) + 1);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

struct LoopRun {
    bool exited = false;
    int exit_code = -1;
    int frames = 0;
    int presented = 0;
    int keys_left_at_exit = -1;
    std::vector<std::int64_t> frame_start_ns;
};

// Runs start-up's state plus `setup` and then the loop in a child; returns
// how it ended.
LoopRun run_loop_in_child(const std::function<void()>& setup, std::vector<ScriptedKey> keys) {
    void* shared = mmap(nullptr, sizeof(LoopRecord), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        ADD_FAILURE() << "mmap failed";
        return {};
    }
    record = new (shared) LoopRecord{};
    record->keys_left_at_exit = -1;

    const pid_t child = fork();
    if (child == 0) {
        key_script = new std::vector<ScriptedKey>(std::move(keys));
        std::atexit(count_keys_left);
        open_display_state();
        scene_state = started_state(260.0, 280.0);
        create_pattern_images(scene_state);
        setup();
        push_keys_after(0);
        set_clock_source(recording_clock);
        std::thread(stand_in_display).detach();
        run_frame_loop();
    }

    LoopRun run;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the loop did not end within 60 s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.exited = WIFEXITED(status);
    run.exit_code = run.exited ? WEXITSTATUS(status) : -1;
    const int readings = record->readings.load();
    EXPECT_EQ(readings % 4, 0) << "a frame was cut short";
    run.frames = readings / 4;
    run.presented = record->presented.load();
    run.keys_left_at_exit = record->keys_left_at_exit.load();
    run.frame_start_ns.assign(record->frame_start_ns,
                              record->frame_start_ns + std::min(run.frames, max_frames));
    return run;
}

// What frame n shows with the clock at 0 and no disc: the scroll after n
// steps and both ships, the bad one at `bad_top`.
Picture frame_picture(int n, int bad_top) {
    Picture want = background_at((800 - n % 800) % 800);
    add_ship(want, 65, 120, 200, 244, good_pixel);
    add_ship(want, 485, bad_top, 233, 250, bad_pixel);
    return want;
}

::testing::AssertionResult shown_equals(const Picture& want) {
    for (int i = 0; i < 800 * 600; ++i) {
        if (record->shown[i] != want.px[i]) {
            return ::testing::AssertionFailure() << "shown frame differs first at (" << i % 800
                                                 << ", " << i / 800 << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// n keys ahead of ESC put it off by n frames; the frame that takes ESC is
// drawn and shown before the program ends with 0.
class LoopEsc : public ::testing::TestWithParam<int> {};

TEST_P(LoopEsc, KeysAheadDelayItFrameForFrame) {
    const int ahead = GetParam();
    std::vector<ScriptedKey> keys;
    const std::int32_t others[] = {'a', special_key_code(72), close_key_code, 0, ' '};
    for (int i = 0; i < ahead; ++i) keys.push_back({0, others[i % 5]});
    keys.push_back({0, esc});

    const LoopRun run = run_loop_in_child([] {}, keys);

    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.frames, ahead + 1);
    EXPECT_EQ(run.presented, ahead + 1) << "the last frame was not shown before the end";
    EXPECT_EQ(run.keys_left_at_exit, 0);
    EXPECT_TRUE(shown_equals(frame_picture(ahead + 1, 140)));
}

INSTANTIATE_TEST_SUITE_P(KeysAhead, LoopEsc, ::testing::Values(0, 1, 3, 14));

// An ESC typed mid-run with 15 keys behind it before the next read is pushed
// out; nothing but the fall ends the run then. Neither does the close key, a
// special key (even one whose extended code is 27), nor any other character.
struct NoEndCase {
    const char* name;
    std::vector<ScriptedKey> keys;
    double bad_ship_y = 541.0;  // 20 fall steps from the bottom: 541 + 20 * 3 = 601
    int frames = 20;
};
std::ostream& operator<<(std::ostream& os, const NoEndCase& c) { return os << c.name; }

class LoopNoEnd : public ::testing::TestWithParam<NoEndCase> {};

TEST_P(LoopNoEnd, OnlyTheFallEndsIt) {
    const NoEndCase& c = GetParam();
    const LoopRun run = run_loop_in_child(
        [y = c.bad_ship_y] {
            scene_state.bad_ship_hit = true;
            scene_state.bad_ship_y = y;
        },
        c.keys);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.frames, c.frames);
}

std::vector<ScriptedKey> esc_then_fifteen() {
    std::vector<ScriptedKey> keys{{5, esc}};
    for (int i = 0; i < 15; ++i) keys.push_back({5, 'a' + i});
    return keys;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, LoopNoEnd,
    ::testing::Values(
        NoEndCase{"esc_pushed_out_by_15_keys", esc_then_fifteen()},
        NoEndCase{"close_and_special_keys",
                  {{0, close_key_code},
                   {0, special_key_code(72)},
                   {0, special_key_code(59)},
                   {0, special_key_code(27)},
                   {2, close_key_code},
                   {3, 'q'},
                   {3, 0},
                   {3, 255},
                   {3, 13},
                   {3, 1},
                   {7, close_key_code}}},
        // The limit is strict: exactly 600.0 ends the run.
        NoEndCase{"fall_to_exactly_600", {}, 597.0, 1},
        NoEndCase{"fall_to_just_below_600", {}, 596.5, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Space held from the start (frame F = 1): the fall ends the run after frame
// F + 171, or F + 172 when the shot starts at exactly 255; a key typed in
// that last frame is taken and changes nothing. No frame is shorter than the
// 18 ms pause.
struct FallCase {
    double x0;
    int last_frame;
};
std::ostream& operator<<(std::ostream& os, const FallCase& c) { return os << "x0 " << c.x0; }

class LoopFall : public ::testing::TestWithParam<FallCase> {};

TEST_P(LoopFall, EndsByItselfAfterTheLastFallStep) {
    const FallCase c = GetParam();
    const LoopRun run = run_loop_in_child(
        [x0 = c.x0] {
            scene_state.shot_x = x0;
            std::lock_guard<std::mutex> guard(display().lock);
            display().key_state[57] = 1;
        },
        {{c.last_frame, 'z'}, {c.last_frame - 1, 'y'}});

    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.frames, c.last_frame);
    EXPECT_EQ(run.presented, c.last_frame);
    EXPECT_EQ(run.keys_left_at_exit, 0) << "the key typed in the last frame was not taken";
    // The bad ship is at 601 + 10, off screen, in the last frame.
    EXPECT_TRUE(shown_equals(frame_picture(c.last_frame, 611)));

    ASSERT_EQ(run.frame_start_ns.size(), std::size_t(c.last_frame));
    std::int64_t shortest = INT64_MAX;
    for (std::size_t i = 1; i < run.frame_start_ns.size(); ++i)
        shortest = std::min(shortest, run.frame_start_ns[i] - run.frame_start_ns[i - 1]);
    EXPECT_GE(shortest, 18'000'000) << "a frame shorter than the 18 ms pause";
}

INSTANTIATE_TEST_SUITE_P(StartPoints, LoopFall,
                         ::testing::Values(FallCase{260.0, 172}, FallCase{255.0, 173}));

}  // namespace
