// The figures our goals are stated in are ratios between benchmarks of one
// run, so each benchmark program prints them itself at the end rather than
// leaving the reader to divide columns.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Benchmark name, with "/<args>" when it has arguments, to CPU time per call.
using BenchTimes = std::map<std::string, double>;

// Prints "label  top/bottom" with the label in a column of label_width;
// nothing when either benchmark did not run (filtered out or failed).
inline void print_ratio(const BenchTimes& times, int label_width, const std::string& label, const std::string& top,
                        const std::string& bottom) {
    const auto a = times.find(top);
    const auto b = times.find(bottom);
    if (a == times.end() || b == times.end() || b->second <= 0.0) return;
    std::printf("  %-*s %6.2f\n", label_width, label.c_str(), a->second / b->second);
}

// Console output as usual, keeping each benchmark's CPU time per call (the
// median when repeated); once every run is done, hands them to print_ratios.
// CPU time, because the machine is shared: wall time would count the
// moments another process ran. A benchmark on manual time times only part
// of each iteration (leaving out a pause, say) and measures that part's CPU
// time itself: its manual time is kept.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(void (*print_ratios)(const BenchTimes&)) : print_ratios_(print_ratios) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median") continue;
            if (!aggregate && run.repetitions > 1) continue;
            const bool manual = run.run_name.time_type == "manual_time";
            times_[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                manual ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        print_ratios_(times_);
    }

private:
    void (*print_ratios_)(const BenchTimes&);
    BenchTimes times_;
};

// A benchmark program's main: parses the benchmark flags, runs `prepare`
// (building the shared pictures and display, so no benchmark's timing pays for
// them), runs the benchmarks and prints the ratios. Returns the exit code.
inline int run_benchmarks_with_ratios(int argc, char** argv, void (*prepare)(),
                                      void (*print_ratios)(const BenchTimes&)) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    prepare();
    RatioReporter reporter(print_ratios);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
