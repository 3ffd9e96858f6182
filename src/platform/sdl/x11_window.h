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
// no resize handles. Size hints with minimum equal to maximum would make most
// window managers drop the maximise button.
void offer_maximise_without_resize(Display* display, Window window);

// The decoration a window manager will put around the window (left, right,
// top, bottom), asked for before the window is mapped
// (_NET_REQUEST_FRAME_EXTENTS) so that it can be placed centred from the
// start. False when no manager answers within a moment.
bool frame_extents_before_map(Display* display, Window window, int extents[4]);

// Whether a window manager runs (_NET_SUPPORTING_WM_CHECK) that has a
// full-screen state (_NET_WM_STATE_FULLSCREEN in _NET_SUPPORTED).
bool window_manager_has_full_screen(Display* display);

}  // namespace x11
