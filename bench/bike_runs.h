// Timing runs for the bike benchmarks: median, min and max of several runs, and the report
// against a time budget.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

struct bench_runs {
    double median, min, max;
};

template <class F>
bench_runs bench_time_runs(int runs, F f) {
    std::vector<double> t;
    for (int i = 0; i < runs; i++) {
        auto start = std::chrono::steady_clock::now();
        f();
        t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t.front(), t.back()};
}

// One line: median (min, max) per unit against the budget per unit; the exit code.
inline int bench_budget(const char *what, bench_runs r, double units, double budget) {
    double ratio = r.median / units / budget;
    printf("%s: median %.3g s (min %.3g, max %.3g) per unit, budget %.3g s, ratio %.2f: %s\n", what,
           r.median / units, r.min / units, r.max / units, budget, ratio, ratio <= 1 ? "met" : "MISSED");
    return ratio <= 1 ? 0 : 1;
}
