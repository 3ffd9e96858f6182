// Presenting on Wayland without a GPU: the picture goes into shared-memory
// buffers (wl_shm) attached to the window's own surface, so no OpenGL
// rasterizer runs in software on the way. SDL keeps the window (its shell
// role, decoration and events); it draws nothing into the surface itself.
#pragma once

#include <cstdint>

struct wl_display;
struct wl_surface;

namespace wayland {

// A buffer ready to be written: 32-bit pixels, `stride` pixels a row.
struct Target {
    std::uint32_t* pixels;
    int width;
    int height;
    int stride;
};

// Binds wl_shm on a queue of its own; false when the compositor offers none.
bool open_buffers(wl_display* display, wl_surface* surface);

// A buffer of width x height that the compositor does not hold, for the next
// picture; `fresh` tells that it does not hold the previous picture. False
// when every buffer is still in use or none can be made.
bool next_target(int width, int height, Target& target, bool& fresh);

// Attaches the buffer of the last next_target, damages rows first..last of it
// and commits.
void show_target(int first, int last);

void close_buffers();

}  // namespace wayland
