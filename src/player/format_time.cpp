#include "player/format_time.h"

#include <cstdint>

#include "app/form1.h"

namespace vintrel {

namespace {
// The hour, minute and second counts are 16-bit values; a count that does not fit is
// the overflow error rather than a wrapped number on screen.
int16_t ToInteger(int32_t value) {
  if (value < INT16_MIN || value > INT16_MAX) throw VbError(kErrOverflow, "Overflow");
  return static_cast<int16_t>(value);
}
}  // namespace

QString NumberText(int64_t value) { return value >= 0 ? QString(" %1").arg(value) : QString::number(value); }

QString Form1::FormatTime(int32_t seconds) {
  const int16_t hours = ToInteger(seconds / 3600);
  const int16_t minutes = ToInteger((seconds - int32_t{hours} * 3600) / 60);
  const int16_t secs = ToInteger(seconds - int32_t{hours} * 3600 - int32_t{minutes} * 60);
  return NumberText(hours) + " :" + NumberText(minutes) + " :" + NumberText(secs);
}

}  // namespace vintrel
