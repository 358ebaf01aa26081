// Frame pacing: 60 Hz waits through plyx_sleep, as the frame loop makes them when a frame has
// nothing to draw, against the same waits as bare clock_nanosleep calls. Reports the processor
// time a wait costs and how late it wakes. Targets: a wait costs at most 3 times the processor
// time of the bare sleep (both near the accounting's noise; the busy wait it replaced cost about
// half a core, some 20 times as much), and wakes at most 1 ms late.
#include <time.h>

#include <vector>

#include "bench/bench.h"

static const int WAITS = 60;            // a run: a second of frames
static const int RUNS = 5;
static const int FRAME_US = 16667;

static double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Per run: processor seconds a wait, and the median lateness of its waits.
template <class Wait>
static void bench_waits(Wait wait, bench_stats *cpu, bench_stats *late) {
    std::vector<double> cpus, lates;
    for (int run = 0; run < RUNS; run++) {
        std::vector<double> run_lates;
        double start = cpu_seconds();
        for (int i = 0; i < WAITS; i++) run_lates.push_back(wait());
        cpus.push_back((cpu_seconds() - start) / WAITS);
        lates.push_back(bench_stats_of(run_lates).median);
    }
    *cpu = bench_stats_of(cpus);
    *late = bench_stats_of(lates);
}

int main() {
    bench_stats ours_cpu, ours_late, bare_cpu, bare_late;
    bench_waits(
        [] {
            int late_s, late_us;
            plyx_sleep(0, FRAME_US, &late_s, &late_us);
            return late_s + late_us * 1e-6;
        },
        &ours_cpu, &ours_late);
    bench_waits(
        [] {
            timespec deadline, now;
            clock_gettime(CLOCK_MONOTONIC, &deadline);
            deadline.tv_nsec += FRAME_US * 1000L;
            if (deadline.tv_nsec >= 1000000000L) deadline.tv_sec++, deadline.tv_nsec -= 1000000000L;
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
            clock_gettime(CLOCK_MONOTONIC, &now);
            return (now.tv_sec - deadline.tv_sec) + (now.tv_nsec - deadline.tv_nsec) * 1e-9;
        },
        &bare_cpu, &bare_late);
    printf("processor time a 60 Hz wait: plyx_sleep %s, bare clock_nanosleep %s\n",
           bench_spread(ours_cpu).c_str(), bench_spread(bare_cpu).c_str());
    printf("share of a core: plyx_sleep %.3g, bare clock_nanosleep %.3g (medians)\n",
           ours_cpu.median * 1e6 / FRAME_US, bare_cpu.median * 1e6 / FRAME_US);
    printf("lateness: plyx_sleep %s, bare clock_nanosleep %s\n", bench_spread(ours_late).c_str(),
           bench_spread(bare_late).c_str());
    int failed = bench_report("plyx_sleep processor time a wait", "plyx_sleep", ours_cpu,
                              "bare clock_nanosleep", bare_cpu, 3.0);
    failed |= bench_report_budget("plyx_sleep lateness", "late", ours_late, "budget", 1e-3);
    plyx_shutdown();
    return failed;
}
