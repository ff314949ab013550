// Round to nearest with ties to even, as the cut's arithmetic needs it: the layout search, the grid, the
// bevel alphas and the scale grid fit must give the same numbers wherever they run.
#pragma once

#include <cmath>
#include <cstdint>

namespace kv {

// Round(a / b) of the exact quotient, ties to even; b > 0.
inline int64_t RoundDiv(int64_t a, int64_t b) {
  // From the floor of the quotient, so that the remainder lies in [0, b) for a negative a too.
  int64_t q = a / b, remainder = a % b;
  if (remainder < 0) {
    --q;
    remainder += b;
  }
  // Above half rounds up, exactly half to the even neighbour.
  if (2 * remainder > b || (2 * remainder == b && (q & 1) != 0)) return q + 1;
  return q;
}

// Round of a value held exactly in extended precision, ties to even (the default rounding mode).
inline int64_t RoundExact(long double value) {
  return static_cast<int64_t>(std::nearbyintl(value));
}

} // namespace kv
