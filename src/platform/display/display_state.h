// The display's shared state, guarded by the one display lock: frame buffer,
// changed lines, keyboard state and key queue. Works without a window, so the
// drawing and keyboard code can be tested headless; the display thread and
// tests play the presenting side through present_changed_lines.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "core/key_queue.h"
#include "core/line_range.h"
#include "core/key_translate.h"
#include "platform.h"

inline constexpr int display_width = 800;
inline constexpr int display_height = 600;
inline constexpr int display_depth = 32;

struct DisplayState {
    std::mutex lock;        // the display lock
    bool open = false;
    int nesting = 0;        // frame nesting count, scene's thread only
    bool scene_holds_lock = false;
    alignas(64) std::array<Pixel, display_width * display_height> frame{};
    std::array<std::uint8_t, display_height> changed_lines{};
    std::array<std::uint8_t, key_state_entries> key_state{};
    KeyQueue key_queue{};
};

DisplayState& display();

// Opens the display state without a window or thread: frame buffer black
// (0xFF000000), no line marked, keys released. Keeps the key queue.
void open_display_state();

// Marks the display closed; drawing, locking and keys then do nothing.
// Releases a display lock the scene still holds (as release_scene_levels).
void close_display_state();

// Clears the nesting count and releases the display lock if the scene's thread
// holds it: end_program calls it before it waits for the display thread.
void release_scene_levels();

// Opens one level of frame nesting, taking the display lock when the count
// leaves 0. Returns false (and does nothing) when no display is open.
bool enter_level();

// Closes one level; releases the display lock when the count returns to 0.
void leave_level();

// Marks lines first..last (already valid, 0 <= first <= last <= 599).
void mark_lines(int first, int last);

// Presenting side, with the display lock held by the caller: copies every
// marked line of the frame buffer into `dest` (800 pixels a line, `dest_stride`
// pixels between lines), clears the marks, and returns how many lines it copied.
// A null `dest` only clears the marks.
int present_changed_lines(Pixel* dest, std::ptrdiff_t dest_stride);

// The first and last marked line, or first > last when none is marked.
LineRange marked_span();
