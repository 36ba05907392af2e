#include "platform/vb_error.h"

#include <cfenv>
#include <cmath>
#include <cstdint>

namespace vintrel {

namespace {
double RoundHalfEven(double value) {
  // nearbyint rounds in the current mode; make sure it is to-nearest (ties to even).
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(value);
  std::fesetround(saved);
  return r;
}
}  // namespace

long RoundToLong(double value) {
  const double r = RoundHalfEven(value);
  if (!(r >= INT32_MIN && r <= INT32_MAX)) throw VbError(kErrOverflow, "Overflow");
  return static_cast<long>(r);
}

short RoundToShort(double value) {
  const double r = RoundHalfEven(value);
  if (!(r >= INT16_MIN && r <= INT16_MAX)) throw VbError(kErrOverflow, "Overflow");
  return static_cast<short>(r);
}

}  // namespace vintrel
