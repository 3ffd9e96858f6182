// The clock and the frame pause on Windows: the performance counter, and a
// waitable timer that never ends before its time.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "display/clock.h"
#include "platform.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

std::atomic<ClockSource> clock_source{nullptr};

// Seconds per count of the performance counter, or 0 where the system has
// none (then the millisecond tick count serves). Chosen once, on first use.
double counter_seconds_per_count() {
    static const double factor = [] {
        LARGE_INTEGER frequency{};
        LARGE_INTEGER probe{};
        if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 || !QueryPerformanceCounter(&probe)) {
            return 0.0;
        }
        return 1.0 / double(frequency.QuadPart);
    }();
    return factor;
}

// A timer per thread, made once: the high-resolution kind where the system
// has it, which ends close to its time without the system-wide tick being
// shortened; else an ordinary one, which the display's timeBeginPeriod(1)
// makes fine enough.
HANDLE thread_timer() {
    thread_local HANDLE timer = [] {
        HANDLE made = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                             TIMER_ALL_ACCESS);
        if (made == nullptr) made = CreateWaitableTimerW(nullptr, TRUE, nullptr);
        return made;
    }();
    return timer;
}

// The system's seconds, whatever a test has set.
double system_seconds() {
    const double factor = counter_seconds_per_count();
    if (factor == 0.0) return double(GetTickCount()) * 0.001;  // unsigned 32-bit milliseconds
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * factor;
}

}  // namespace

void set_clock_source(ClockSource source) { clock_source.store(source); }

double clock_seconds() {
    if (ClockSource source = clock_source.load()) return source();
    return system_seconds();
}

void sleep_ms(int milliseconds) {
    if (milliseconds <= 0) return;
    // The timer is not due before its time, however the wait is woken; a
    // wait that ends early (an APC) goes on until the clock has passed the end.
    const double end = system_seconds() + milliseconds * 0.001;
    HANDLE timer = thread_timer();
    LARGE_INTEGER due{};
    due.QuadPart = -std::int64_t(milliseconds) * 10'000;  // relative, in 100 ns
    if (timer != nullptr && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
        WaitForSingleObject(timer, INFINITE);
    } else {
        Sleep(DWORD(milliseconds));
    }
    while (system_seconds() < end) Sleep(0);
}
