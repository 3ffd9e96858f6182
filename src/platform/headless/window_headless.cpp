// The headless window backend: the contract of window.h over HeadlessWindow.
#include <algorithm>
#include <cstring>

#include "headless/headless_window.h"

HeadlessWindow& headless_window() {
    static HeadlessWindow* instance = new HeadlessWindow;
    return *instance;
}

bool window_open(const char* title, const Pixel* frame, std::string& reason) {
    HeadlessWindow& w = headless_window();
    if (w.refuse_open) {
        reason = w.refusal;
        return false;
    }
    w.open = true;
    w.title = title;
    w.full_screen = false;
    w.switches = 0;
    w.presents.clear();
    w.closing.clear();
    std::copy_n(frame, w.picture.size(), w.picture.begin());
    return true;
}

void window_present(const Pixel* frame, int first, int last) {
    HeadlessWindow& w = headless_window();
    w.presents.push_back({first, last});
    if (frame == w.picture.data()) return;  // drawn in place
    const std::size_t offset = std::size_t(first) * window_width;
    std::copy_n(frame + offset, std::size_t(last - first + 1) * window_width, w.picture.begin() + offset);
}

Pixel* window_frame_memory() {
    HeadlessWindow& w = headless_window();
    return w.offer_memory && w.open ? w.picture.data() : nullptr;
}

bool window_read_keyboard(std::uint8_t* key_state) {
    HeadlessWindow& w = headless_window();
    if (!w.keyboard_readable) return false;
    std::memcpy(key_state, w.keyboard.data(), w.keyboard.size());
    return true;
}

void window_pump_events(WindowEvents& events) {
    HeadlessWindow& w = headless_window();
    ++w.pumps;
    events = w.pending;
    w.pending = WindowEvents{};
    w.pending.active = events.active;
}

void window_switch_full_screen() {
    HeadlessWindow& w = headless_window();
    w.full_screen = !w.full_screen;
    ++w.switches;
}

bool window_leave_full_screen() {
    HeadlessWindow& w = headless_window();
    w.closing.push_back("leave full screen");
    const bool was = w.full_screen;
    w.full_screen = false;
    return was;
}

void window_destroy() {
    HeadlessWindow& w = headless_window();
    w.closing.push_back("destroy");
    w.open = false;
}

void window_restore_screen_saver() { headless_window().closing.push_back("restore screen saver"); }

void window_quit() { headless_window().closing.push_back("quit"); }
