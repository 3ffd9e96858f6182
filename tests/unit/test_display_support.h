// Checks on the headless display state shared by the display and drawing tests.
#pragma once

#include <algorithm>
#include <thread>

#include "display/display_state.h"

// How many lines are marked changed and not yet presented.
inline int marked_count() {
    const auto& lines = display().changed_lines;
    return int(std::count(lines.begin(), lines.end(), 1));
}

// The lock as the display thread sees it; tried from another thread because
// try_lock by the thread that already holds a std::mutex is undefined.
inline bool lock_free_for_another_thread() {
    bool got = false;
    std::thread([&] {
        got = display().lock.try_lock();
        if (got) display().lock.unlock();
    }).join();
    return got;
}
