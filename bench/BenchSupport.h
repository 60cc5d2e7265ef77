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
