// Round to nearest with ties to even, as the cut's arithmetic needs it: the layout search, the grid, the
// bevel alphas and the scale grid fit must give the same numbers wherever they run.
#pragma once

#include <cmath>
#include <cstdint>

namespace kv {

// Round(a / b) of the exact quotient, ties to even; a >= 0, b > 0.
inline int64_t RoundDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  const int64_t twice = 2 * (a % b);
  if (twice > b || (twice == b && (q & 1) != 0)) return q + 1;
  return q;
}

// Round of a value held exactly in extended precision, ties to even (the default rounding mode).
inline int64_t RoundExact(long double value) {
  return static_cast<int64_t>(std::nearbyintl(value));
}

} // namespace kv
