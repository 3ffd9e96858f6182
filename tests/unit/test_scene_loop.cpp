// The frame loop in a child process over the headless display. Everything the
// test does happens inside the loop's own thread: the supplied clock, read
// four times in every frame while that frame holds the display lock, counts
// the frames, stamps when each one starts and types the keys scripted for
// it; an exit handler keeps the frame buffer the program ended with.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/key_queue.h"
#include "test_scene_support.h"

namespace {

using namespace scene_test;

constexpr int max_frames = 400;
constexpr int readings_per_frame = 4;
constexpr std::int32_t esc = 27;

// Written by the child, read by the parent once the child has ended.
struct LoopRecord {
    int readings;
    int deepest_nesting;  // most frame nesting levels open at any reading
    int keys_left_at_exit;  // -1 until the child's exit handler runs
    int lines_marked_after_last_reading;
    std::int64_t last_reading_ns;  // the last frame's last clock reading, inside its drawing
    std::int64_t exit_ns;          // when the exit handler ran
    std::int64_t frame_start_ns[max_frames];
    Pixel frame_at_exit[800 * 600];
};

// A key typed while frame `frame` is drawn, so that frame's read is the first
// that can take it (0: before the first frame).
struct ScriptedKey {
    int frame;
    std::int32_t code;
};

LoopRecord* record = nullptr;
std::vector<ScriptedKey> key_script;  // the child's

std::int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Called by the loop's thread with the display lock held, as the display
// thread would push keys.
void type_keys_of(int frame) {
    for (const ScriptedKey& k : key_script)
        if (k.frame == frame) push_key(display().key_queue, k.code);
}

// The wobble stays at cos 0 = 1, so every frame's ships are at base + (5, 10).
double recording_clock() {
    const int reading = record->readings++;
    const int frame = reading / readings_per_frame + 1;
    record->last_reading_ns = now_ns();
    record->deepest_nesting = std::max(record->deepest_nesting, display().nesting);
    if (reading % readings_per_frame == 0) {
        if (frame <= max_frames) record->frame_start_ns[frame - 1] = now_ns();
        type_keys_of(frame);
    }
    // After the frame's last reading only the bad ship, the disc and the
    // closing unlock_screen mark lines: whatever else is marked at the end
    // was marked by that unlock_screen, so the frame was drawn to its end.
    if (reading % readings_per_frame == readings_per_frame - 1) present_changed_lines(nullptr, 0);
    return 0.0;
}

// end_program ends the process through exit(), so this runs after the last
// read_key and keeps what the program ended with.
void keep_end_state() {
    record->exit_ns = now_ns();
    std::lock_guard<std::mutex> guard(display().lock);
    const KeyQueue& q = display().key_queue;
    record->keys_left_at_exit = (q.write_index - q.read_index + 16) % 16;
    record->lines_marked_after_last_reading = present_changed_lines(nullptr, 0);
    std::copy(display().frame.begin(), display().frame.end(), record->frame_at_exit);
}

struct LoopRun {
    bool exited = false;
    int exit_code = -1;
    int frames = 0;
    int deepest_nesting = 0;
    int keys_left_at_exit = -1;
    int lines_marked_after_last_reading = 0;
    std::int64_t pause_after_last_frame_ns = 0;
    std::vector<std::int64_t> frame_start_ns;
    std::vector<Pixel> frame_at_exit;
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
        key_script = std::move(keys);
        // The display state first, so it is still there when the handler runs.
        open_display_state();
        std::atexit(keep_end_state);
        scene_state = started_state(260.0, 280.0);
        create_pattern_images(scene_state);
        setup();
        type_keys_of(0);
        set_clock_source(recording_clock);
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
    EXPECT_EQ(record->readings % readings_per_frame, 0) << "a frame was cut short";
    run.frames = record->readings / readings_per_frame;
    run.deepest_nesting = record->deepest_nesting;
    run.keys_left_at_exit = record->keys_left_at_exit;
    run.lines_marked_after_last_reading = record->lines_marked_after_last_reading;
    run.pause_after_last_frame_ns = record->exit_ns - record->last_reading_ns;
    run.frame_start_ns.assign(record->frame_start_ns,
                              record->frame_start_ns + std::min(run.frames, max_frames));
    run.frame_at_exit.assign(record->frame_at_exit, record->frame_at_exit + 800 * 600);
    munmap(shared, sizeof(LoopRecord));
    record = nullptr;
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

::testing::AssertionResult same_picture(const std::vector<Pixel>& got, const Picture& want) {
    for (int i = 0; i < 800 * 600; ++i) {
        if (got[i] != want.px[i]) {
            return ::testing::AssertionFailure() << "the frame at the end differs first at ("
                                                 << i % 800 << ", " << i / 800 << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// The run ended with 0 after `frames` frames, the last one drawn to its end
// (the bad ship's top at `bad_top`) and followed by the whole pause, in which
// the display thread shows it; no frame found a level left open.
void expect_ended_after(const LoopRun& run, int frames, int bad_top) {
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.frames, frames);
    EXPECT_EQ(run.lines_marked_after_last_reading, screen_h)
        << "the last frame was not drawn to its end";
    EXPECT_TRUE(same_picture(run.frame_at_exit, frame_picture(frames, bad_top)));
    EXPECT_GE(run.pause_after_last_frame_ns, 18'000'000) << "the program ended without pausing after its last frame";
    EXPECT_EQ(run.deepest_nesting, 1) << "a level stayed open from one frame into the next";
}

// n keys ahead of ESC put it off by n frames; the frame that takes ESC is
// drawn to its end before the program ends with 0.
class LoopEsc : public ::testing::TestWithParam<int> {};

TEST_P(LoopEsc, KeysAheadDelayItFrameForFrame) {
    const int ahead = GetParam();
    std::vector<ScriptedKey> keys;
    const std::int32_t others[] = {'a', special_key_code(72), close_key_code, 0, ' '};
    for (int i = 0; i < ahead; ++i) keys.push_back({0, others[i % 5]});
    keys.push_back({0, esc});

    const LoopRun run = run_loop_in_child([] {}, keys);

    expect_ended_after(run, ahead + 1, 140);
    EXPECT_EQ(run.keys_left_at_exit, 0);
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
    // Every case's ship has fallen below the screen by the last frame.
    expect_ended_after(run, c.frames, screen_h);
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

    // The bad ship is at 601 + 10, off screen, in the last frame.
    expect_ended_after(run, c.last_frame, 611);
    EXPECT_EQ(run.keys_left_at_exit, 0) << "the key typed in the last frame was not taken";

    ASSERT_EQ(run.frame_start_ns.size(), std::size_t(c.last_frame));
    std::int64_t shortest = INT64_MAX;
    for (std::size_t i = 1; i < run.frame_start_ns.size(); ++i)
        shortest = std::min(shortest, run.frame_start_ns[i] - run.frame_start_ns[i - 1]);
    EXPECT_GE(shortest, 18'000'000) << "a frame shorter than the 18 ms pause";
}

INSTANTIATE_TEST_SUITE_P(StartPoints, LoopFall,
                         ::testing::Values(FallCase{260.0, 172}, FallCase{255.0, 173}));

}  // namespace
