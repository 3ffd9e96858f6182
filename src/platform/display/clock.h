// Test seam for clock_seconds: a test can supply the times it returns.
#pragma once

using ClockSource = double (*)();

// Makes clock_seconds return source(); nullptr restores the system counter.
void set_clock_source(ClockSource source);
