// The contract between the display thread and a window backend (SDL2 on
// Linux, the Windows API on Windows, a headless one for tests). The display
// thread makes every call, from window_open to window_quit; a backend never
// touches the display state, it hands back what happened in WindowEvents.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform.h"

// The frame the backend shows: 800x600 pixels, 800 pixels from one line to the next.
inline constexpr int window_width = 800;
inline constexpr int window_height = 600;

// What one pump of the window's events brought; the display pass applies it
// under the display lock.
struct WindowEvents {
    std::array<std::int32_t, 64> keys{};  // key queue codes, oldest first
    int key_count = 0;
    bool activation_changed = false;  // focus or minimise changed at least once
    bool active = false;              // focused and not minimised, after the events
    int full_screen_requests = 0;     // Alt+Enter presses and maximise requests while active
    bool repaint = false;             // the window needs the whole picture again
};

// Adds a key code; a full record drops its oldest, as the key queue would.
inline void add_key(WindowEvents& events, std::int32_t code) {
    if (events.key_count == int(events.keys.size())) {
        for (int i = 1; i < events.key_count; ++i) events.keys[std::size_t(i - 1)] = events.keys[std::size_t(i)];
        --events.key_count;
    }
    events.keys[std::size_t(events.key_count++)] = code;
}

// Opens the window showing `frame` (full screen when no window can be had);
// false with a reason for the user, everything shut down again.
bool window_open(const char* title, const Pixel* frame, std::string& reason);

// Shows lines first..last (0 <= first <= last <= 599) of `frame`; nothing
// to copy when `frame` is the window's own memory.
void window_present(const Pixel* frame, int first, int last);

// The window's own memory that it shows directly (800x600, 800 pixels a
// line), where the frame buffer can live so that presenting copies nothing;
// nullptr where there is none, or while it is about to change. What is
// written there stays until the next call, which the display thread makes
// after every pump and switch, before it presents again.
Pixel* window_frame_memory();

// Sets key_state's 128 entries (by set-1 make code) from the keys held now;
// false, the entries untouched, when the keyboard cannot be read.
bool window_read_keyboard(std::uint8_t* key_state);

// Handles every pending event, adding what happened to `events`.
void window_pump_events(WindowEvents& events);

// Switches between the window and full screen (back to the mode it had when
// the new one cannot be set up); the window counts as active afterwards.
void window_switch_full_screen();

// Closing, called in this order. window_leave_full_screen returns false when
// the window was not in full screen.
bool window_leave_full_screen();
void window_destroy();
void window_restore_screen_saver();
void window_quit();
