// What the SDL window backend offers beyond window.h: one seam for its tests.
#pragma once

// Makes window_open use SDL's offscreen video driver, which otherwise counts
// as no display, so the backend's event handling runs without an X server.
void use_offscreen_driver_for_tests();
