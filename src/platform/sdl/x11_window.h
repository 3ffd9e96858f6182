// What the SDL backend needs of an X11 window beyond SDL: a few Xlib calls,
// taken from the libX11 that SDL itself has loaded, so there is no second copy
// and no link dependency on X11 where the program runs on Wayland. Every call
// does nothing (or answers no) when libX11 is not loaded.
#pragma once

#include <X11/Xlib.h>

namespace x11 {

// A black background, so between the map and the first present the window
// shows black rather than whatever lay beneath it.
void set_black_background(Display* display, Window window);

// Whether the server renders through a GPU (DRI3, DRI2 or NVIDIA's GLX);
// Xvfb, Xvnc and the like offer none.
bool has_gpu(Display* display);

// Motif hints: a caption with the window menu, minimise and maximise buttons,
// no resize handles; the window moves, minimises, maximises and closes, and
// is resized only with `allow_resize` (for managers that offer maximise only
// to a window they may resize). Size hints with minimum equal to maximum would
// make most window managers drop the maximise button.
void set_window_functions(Display* display, Window window, bool allow_resize);

// Whether a window manager that lists the actions it allows
// (_NET_WM_ALLOWED_ACTIONS) leaves maximising out; false where none are listed.
bool maximise_refused(Display* display, Window window);

// The decoration a window manager will put around the window (left, right,
// top, bottom), asked for before the window is mapped
// (_NET_REQUEST_FRAME_EXTENTS) so that it can be placed centred from the
// start. False when no manager answers within a moment.
bool frame_extents_before_map(Display* display, Window window, int extents[4]);

// Asks for the window to be width x height, straight to the server: SDL's
// own idea of the size stays what the server last reported, so a refusal
// (a tiling manager) leaves the picture placed in the size the window has.
void request_size(Display* display, Window window, int width, int height);

// Whether the layout, in its current group, puts the level-3 shift (AltGr)
// or Mode_switch on the right Alt key (the key named RALT).
bool right_alt_is_level3_shift(Display* display);

// Whether a window manager runs (_NET_SUPPORTING_WM_CHECK) that has a
// full-screen state (_NET_WM_STATE_FULLSCREEN in _NET_SUPPORTED).
bool window_manager_has_full_screen(Display* display);

}  // namespace x11
