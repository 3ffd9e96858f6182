// A window backend with no window, for tests of the display thread: presents
// go into a picture in memory, the keyboard and the events come from the test.
// The display thread calls the backend with the display lock held, so a test
// touches headless_window() only while it holds the display lock too (or
// while no display is open).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/line_range.h"
#include "display/window.h"

struct HeadlessWindow {
    // Set by the test before open_screen: the open fails with this reason.
    bool refuse_open = false;
    std::string refusal = "refused by the test";

    // What the backend saw.
    bool open = false;
    std::string title;
    std::array<Pixel, window_width * window_height> picture{};  // what the window shows
    std::vector<LineRange> presents;                             // every present, in order
    bool full_screen = false;
    int switches = 0;
    std::vector<std::string> closing;  // the closing calls, in order

    // Played by the test.
    bool offer_memory = false;  // window_frame_memory hands out `picture`
    std::array<std::uint8_t, 128> keyboard{};  // held keys by set-1 code
    bool keyboard_readable = true;
    WindowEvents pending;  // handed to the next pump, then cleared
    int pumps = 0;
};

HeadlessWindow& headless_window();
