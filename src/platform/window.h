// The window backend, the one part that talks to SDL. Every call runs on the
// display thread, between window_open and window_quit.
#pragma once

#include <cstdint>
#include <string>

#include "platform.h"

// Starts SDL video and opens the 800x600 window, titled, centred, shown,
// raised and black (full screen when no window can be had). On failure returns
// false with the reason for the user and leaves SDL shut down.
bool window_open(const char* title, bool allow_offscreen, std::string& reason);

// Copies lines first..last of an 800x600 frame into the window and shows it.
void window_present(const Pixel* frame, int first, int last);

// key_state (128 entries) from the keys held now.
void window_read_keyboard(std::uint8_t* key_state);

// Handles every pending event: typed keys and close requests into the key
// queue, activation, the full-screen switch, repaints. Display lock held.
void window_handle_events();

// Leaves full screen for the desktop's window mode; false when not in it.
bool window_leave_full_screen();

void window_destroy();

// Puts back the screen-saver setting that opening the window suspended.
void window_restore_screen_saver();

// Shuts SDL down.
void window_quit();
