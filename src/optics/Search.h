// One-dimensional searches for the optical check. Internal to the optics library.
#pragma once

#include <functional>

namespace optics::detail {

// The argument in [lo, hi] where f is largest, to within `tolerance` (Brent's method:
// golden sections with parabolic steps). f should have one maximum in the interval.
double Maximise(const std::function<double(double)>& f, double lo, double hi, double tolerance);

// The argument in [lo, hi] where f crosses zero, to within `tolerance`; f(lo) and f(hi) must
// have opposite signs (false position, Illinois variant).
double Crossing(const std::function<double(double)>& f, double lo, double hi, double tolerance);

} // namespace optics::detail
