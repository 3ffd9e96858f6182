// The clock and the frame pause, both on the monotonic counter so that a
// change of the wall-clock time can neither jump the wobble nor stretch a pause.
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>

#include "display/clock.h"
#include "platform.h"

namespace {

constexpr std::int64_t nanoseconds_per_second = 1'000'000'000;
constexpr double seconds_per_tick = 1e-9;

std::atomic<ClockSource> clock_source{nullptr};

}  // namespace

void set_clock_source(ClockSource source) { clock_source.store(source); }

double clock_seconds() {
    if (ClockSource source = clock_source.load()) return source();
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::int64_t ticks = std::int64_t(now.tv_sec) * nanoseconds_per_second + now.tv_nsec;
    return double(ticks) * seconds_per_tick;
}

void sleep_ms(int milliseconds) {
    if (milliseconds <= 0) return;
    // An absolute deadline: a signal that cuts the wait short resumes it for
    // the time left, never for the whole time again.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += milliseconds / 1000;
    deadline.tv_nsec += long(milliseconds % 1000) * 1'000'000;
    if (deadline.tv_nsec >= nanoseconds_per_second) {
        deadline.tv_nsec -= nanoseconds_per_second;
        ++deadline.tv_sec;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}
