#pragma once
// The clock and the small value types shared by the Qt side and the Xlib side of the
// benchmarks (Xlib's headers do not mix with Qt's, so this one includes neither).
#include <chrono>

namespace bench {

using Clock = std::chrono::steady_clock;
using Time = Clock::time_point;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Rgb {
  int r = 0, g = 0, b = 0;
};

struct Point {
  int x = 0, y = 0;
};

}  // namespace bench
