// The display thread: it opens the window, runs the display passes and, when
// told to stop, closes the window again. window.h is the backend it drives.
#pragma once

// end_program without the process end: releases a display lock the caller
// holds, stops the display thread and waits for it (which leaves full screen,
// destroys the window and restores the screen saver), discards the display state.
void close_screen();

// Display thread, display lock held: whether the window is active (has the
// focus and is not minimised). Setting it clears key_state and marks every line.
void set_window_active(bool active);
bool window_is_active();

// One display pass: present the marked lines, refresh key_state while the
// window is active, pump the window's events and apply them (keys queued,
// activation, full-screen switches, repaint); takes the display lock itself.
void run_display_pass();

// Called with the name of each shutdown step as it is done, so tests can check
// the order; nullptr (the default) for none. Called from both threads.
using ShutdownTrace = void (*)(const char* step);
void set_shutdown_trace(ShutdownTrace trace);
