#pragma once
// Timing for the benchmarks that run inside a Windows program of their own (Google Benchmark is not
// built for mingw) and for their native twins: one untimed run, then the timed ones, summed up as
// median, fastest and slowest in milliseconds.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <vector>

namespace bench_timing {

struct Times {
  double median = 0, fastest = 0, slowest = 0;
};

inline Times Measure(int runs, const std::function<void()>& operation) {
  operation();
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    operation();
    times.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  const std::size_t middle = times.size() / 2;
  const double median = times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
  return {median, times.front(), times.back()};
}

}  // namespace bench_timing
