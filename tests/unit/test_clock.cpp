// clock_seconds and sleep_ms.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif
#include <time.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "display/clock.h"
#include "platform.h"

namespace {

double monotonic_now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

TEST(Clock, ReadsTheMonotonicCounterWithNoStartSubtracted) {
    const double before = monotonic_now();
    const double t = clock_seconds();
    const double after = monotonic_now();
    EXPECT_GE(t, before - 1e-6);
    EXPECT_LE(t, after + 1e-6);
    double last = t;
    for (int i = 0; i < 1000; ++i) {
        const double next = clock_seconds();
        ASSERT_GE(next, last);
        last = next;
    }
}

double fake_time = 0.0;
double fake_clock() { return fake_time; }

TEST(Clock, TestsCanSupplyTheTimes) {
    set_clock_source(fake_clock);
    for (const double t : {0.0, 1.25, -3.5, 1e9}) {
        fake_time = t;
        EXPECT_EQ(clock_seconds(), t);
    }
    set_clock_source(nullptr);
    EXPECT_NEAR(clock_seconds(), monotonic_now(), 0.5);
}

double elapsed_ms_of_sleep(int ms) {
    const double start = monotonic_now();
    sleep_ms(ms);
    return (monotonic_now() - start) * 1000.0;
}

TEST(Sleep, WaitsAtLeastTheGivenTime) {
    for (const int ms : {1, 5, 18, 40}) {
        EXPECT_GE(elapsed_ms_of_sleep(ms), double(ms)) << ms;
    }
    // Zero and negative times do not wait and do not fail.
    sleep_ms(0);
    sleep_ms(-5);
}

#ifndef _WIN32
std::atomic<int> signals_seen{0};
void count_signal(int) { signals_seen.fetch_add(1); }

TEST(Sleep, SignalsNeitherCutTheWaitShortNorStartItAgain) {
    struct sigaction action {};
    action.sa_handler = count_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: every signal interrupts the wait
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    const pthread_t sleeper = pthread_self();
    std::atomic<bool> stop{false};
    // A signal every 10 ms for up to 1.5 s: a wait that restarted from the
    // whole time on each signal would last the full 1.5 s.
    std::thread sender([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
        while (!stop && std::chrono::steady_clock::now() < end) {
            pthread_kill(sleeper, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    signals_seen = 0;
    const double elapsed = elapsed_ms_of_sleep(100);
    stop = true;
    sender.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GT(signals_seen.load(), 2);
    EXPECT_GE(elapsed, 100.0);
    EXPECT_LT(elapsed, 1000.0);
}
#else
TEST(Sleep, SignalsNeitherCutTheWaitShortNorStartItAgain) {
    GTEST_SKIP() << "Windows has no POSIX signals to interrupt a wait with";
}
#endif

}  // namespace
