// open_screen, end_program and the display thread between them. The thread
// makes every window call, so the window answers while the scene draws or
// sleeps; the scene's thread only ever waits for the display lock.
#include "display/display_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include "display/display_state.h"
#include "display/executable_path.h"
#include "platform.h"
#include "core/window_title.h"
#include "display/window.h"

namespace {

constexpr int display_pause_ms = 10;

struct DisplayThread {
    std::thread thread;
    bool running = false;  // scene's thread only
    std::atomic<bool> stop{false};
    std::string error;  // why the last open_screen failed

    // The handshake that lets open_screen return only once the window exists.
    std::mutex start_lock;
    std::condition_variable started;
    bool start_done = false;
    bool start_ok = false;

    bool active = false;  // display thread, display lock held
};

DisplayThread& control() {
    // Never destroyed: a process that ends some other way than end_program
    // must not trip over a joinable std::thread in a static destructor.
    static DisplayThread* instance = new DisplayThread;
    return *instance;
}

std::atomic<ShutdownTrace> shutdown_trace{nullptr};

void trace(const char* step) {
    if (ShutdownTrace callback = shutdown_trace.load()) callback(step);
}

std::string executable_title() { return window_title(executable_path()); }

void display_thread_main(std::string title) {
    DisplayThread& c = control();
    std::string reason;
    const bool opened = window_open(title.c_str(), display().frame.data(), reason);
    if (opened) {
        std::lock_guard<std::mutex> guard(display().lock);
        move_frame_buffer(window_frame_memory());
    }
    {
        std::lock_guard<std::mutex> guard(c.start_lock);
        c.start_ok = opened;
        c.start_done = true;
        if (!opened) c.error = reason;
    }
    c.started.notify_one();
    if (!opened) return;

    while (!c.stop.load()) {
        run_display_pass();
        sleep_ms(display_pause_ms);
    }
    trace("display passes stopped");
    if (window_leave_full_screen()) trace("full screen left");
    window_destroy();
    trace("window destroyed");
    window_restore_screen_saver();
    trace("screen saver restored");
    window_quit();
}

}  // namespace

void set_shutdown_trace(ShutdownTrace callback) { shutdown_trace.store(callback); }

void set_window_active(bool active) {
    DisplayThread& c = control();
    c.active = active;
    display().key_state.fill(0);
    mark_lines(0, display_height - 1);
}

bool window_is_active() { return control().active; }

void apply_window_events(const WindowEvents& events) {
    DisplayState& d = display();
    for (int i = 0; i < events.key_count; ++i) push_key(d.key_queue, events.keys[std::size_t(i)]);
    // Losing the focus and getting it back within one pump is still a change.
    if (events.activation_changed) set_window_active(events.active);
    // The frame buffer follows the window's memory, which a pump or a switch
    // may take away; it is moved before anything presents again.
    move_frame_buffer(window_frame_memory());
    for (int i = 0; i < events.full_screen_requests; ++i) {
        window_switch_full_screen();
        move_frame_buffer(window_frame_memory());
        set_window_active(true);
    }
    if (events.repaint) window_present(d.frame.data(), 0, display_height - 1);
}

void run_display_pass() {
    DisplayState& d = display();
    std::lock_guard<std::mutex> guard(d.lock);
    const LineRange span = marked_span();
    if (span.first <= span.last) {
        window_present(d.frame.data(), span.first, span.last);
        present_changed_lines(nullptr, 0);
    }
    if (window_is_active()) window_read_keyboard(d.key_state.data());
    WindowEvents events;
    window_pump_events(events);
    apply_window_events(events);
}

int open_screen(int width, int height, int depth, int pages, std::uint32_t flags, int refresh_rate) {
    DisplayThread& c = control();
    // The refresh rate needs no check: the display's mode is never changed.
    (void)refresh_rate;
    if (c.running) {
        c.error = "the display is already open";
        return 1;
    }
    if (width != display_width || height != display_height || (depth != 0 && depth != display_depth) ||
        pages < 0 || pages > 1 || flags != 0) {
        c.error = "only one page of 800x600 pixels in 32-bit colour, without flags, is supported";
        return 1;
    }
    open_display_state();
    c.stop.store(false);
    c.start_done = false;
    c.start_ok = false;
    c.active = false;
    try {
        c.thread = std::thread(display_thread_main, executable_title());
    } catch (const std::system_error& failure) {
        c.error = std::string("cannot start the display thread: ") + failure.what();
        close_display_state();
        return 1;
    }
    std::unique_lock<std::mutex> wait(c.start_lock);
    c.started.wait(wait, [&c] { return c.start_done; });
    const bool opened = c.start_ok;
    wait.unlock();
    if (!opened) {
        c.thread.join();
        close_display_state();
        return 1;
    }
    c.running = true;
    c.error.clear();
    return 0;
}

const char* display_error() { return control().error.c_str(); }

void close_screen() {
    DisplayThread& c = control();
    // A frame left open would keep the display thread waiting for the lock
    // at its next pass, and the wait below would never end.
    release_scene_levels();
    if (c.running) {
        c.stop.store(true);
        c.thread.join();
        c.running = false;
    }
    close_display_state();
    trace("display state discarded");
}

void end_program(int exit_code) {
    close_screen();
    std::exit(exit_code);
}
