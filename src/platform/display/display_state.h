// The display's shared state, guarded by the one display lock: frame buffer,
// changed lines, keyboard state and key queue. Works without a window, so the
// drawing and keyboard code can be tested headless; the display thread and
// tests play the presenting side through present_changed_lines.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "core/key_queue.h"
#include "core/line_range.h"
#include "core/key_translate.h"
#include "platform.h"

inline constexpr int display_width = 800;
inline constexpr int display_height = 600;
inline constexpr int display_depth = 32;

inline constexpr std::size_t frame_pixels = std::size_t(display_width) * display_height;

// The frame buffer: 800x600 pixels, 800 a line, wherever they live (the
// display's own block, or the window's memory when the window can show it
// directly). Moving it is the display thread's, under the display lock.
struct FrameBuffer {
    Pixel* pixels;
    Pixel* data() const { return pixels; }
    Pixel* begin() const { return pixels; }
    Pixel* end() const { return pixels + frame_pixels; }
    Pixel& operator[](std::size_t i) const { return pixels[i]; }
    void fill(Pixel value) const { std::fill(begin(), end(), value); }
};

struct DisplayState {
    std::mutex lock;        // the display lock
    bool open = false;
    int nesting = 0;        // frame nesting count, scene's thread only
    bool scene_holds_lock = false;
    alignas(64) std::array<Pixel, frame_pixels> own_frame{};
    FrameBuffer frame{own_frame.data()};
    std::array<std::uint8_t, display_height> changed_lines{};
    std::array<std::uint8_t, key_state_entries> key_state{};
    KeyQueue key_queue{};
};

DisplayState& display();

// Opens the display state without a window or thread: frame buffer black
// (0xFF000000) in the display's own block, no line marked, keys released.
// Keeps the key queue.
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

// Moves the frame buffer, picture and all, to `memory` (the window's), or
// back to the display's own block for nullptr. Display lock held.
void move_frame_buffer(Pixel* memory);

// The first and last marked line, or first > last when none is marked.
LineRange marked_span();
