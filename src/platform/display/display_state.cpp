// The one display state and its lock. The nesting count and the lock flag are
// touched only by the scene's thread; the frame buffer and the line marks only
// by whichever thread holds the display lock.
#include "display/display_state.h"

#include <algorithm>
#include <climits>
#include <cstring>

DisplayState& display() {
    // A function-local static, so the 1.9 MB frame buffer lives in zeroed
    // storage and exists before any other static needs it.
    static DisplayState state;
    return state;
}

void open_display_state() {
    DisplayState& d = display();
    // A lock still held from a frame left open must not outlive the reset.
    release_scene_levels();
    d.frame = FrameBuffer{d.own_frame.data()};
    d.frame.fill(0xFF000000u);
    d.changed_lines.fill(0);
    d.key_state.fill(0);
    d.open = true;
}

void close_display_state() {
    DisplayState& d = display();
    release_scene_levels();
    d.open = false;
}

void release_scene_levels() {
    DisplayState& d = display();
    d.nesting = 0;
    if (d.scene_holds_lock) {
        d.scene_holds_lock = false;
        d.lock.unlock();
    }
}

bool enter_level() {
    DisplayState& d = display();
    // A count that would overflow means unbalanced calls; refusing keeps the
    // count exact for the levels already open.
    if (!d.open || d.nesting == INT_MAX) return false;
    if (d.nesting == 0) {
        d.lock.lock();
        d.scene_holds_lock = true;
    }
    ++d.nesting;
    return true;
}

void leave_level() {
    DisplayState& d = display();
    if (d.nesting <= 0) return;
    --d.nesting;
    if (d.nesting == 0 && d.scene_holds_lock) {
        d.scene_holds_lock = false;
        d.lock.unlock();
    }
}

void mark_lines(int first, int last) {
    DisplayState& d = display();
    std::memset(d.changed_lines.data() + first, 1, static_cast<std::size_t>(last - first + 1));
}

int present_changed_lines(Pixel* dest, std::ptrdiff_t dest_stride) {
    DisplayState& d = display();
    int copied = 0;
    for (int line = 0; line < display_height; ++line) {
        if (!d.changed_lines[line]) continue;
        if (dest != nullptr) {
            std::memcpy(dest + line * dest_stride, d.frame.data() + line * display_width,
                        display_width * sizeof(Pixel));
        }
        ++copied;
    }
    d.changed_lines.fill(0);
    return copied;
}

void move_frame_buffer(Pixel* memory) {
    DisplayState& d = display();
    Pixel* target = memory != nullptr ? memory : d.own_frame.data();
    if (target == d.frame.data()) return;
    std::memcpy(target, d.frame.data(), frame_pixels * sizeof(Pixel));
    d.frame = FrameBuffer{target};
}

LineRange marked_span() {
    const DisplayState& d = display();
    const auto& lines = d.changed_lines;
    const auto first = std::find(lines.begin(), lines.end(), 1);
    if (first == lines.end()) return {0, -1};
    const auto last = std::find(lines.rbegin(), lines.rend(), 1);
    return {static_cast<int>(first - lines.begin()), static_cast<int>(lines.rend() - last - 1)};
}
