#pragma once

// Shared by the benchmarks.

#include <QElapsedTimer>
#include <algorithm>

// The best of `runs` timings of `f`, in milliseconds.
template <class F>
double bestOf(int runs, F&& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

#include <cstdio>
#include <vector>

// The median and the spread (lowest, highest) of figures gathered round by
// round, printed as "median  (low - high)".
struct Spread {
    std::vector<double> values;

    void add(double v) { values.push_back(v); }
    double median() const {
        if (values.empty()) {
            return 0;
        }
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double low() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double high() const {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
    void print(const char* what, const char* unit = "") const {
        std::printf("%-60s %8.2f%s  (%.2f - %.2f, %zu rounds)\n", what, median(), unit, low(),
                    high(), values.size());
    }
};
