#include "player/format_time.h"

#include "app/form1.h"

namespace vintrel {

QString NumberText(int64_t value) {
  return value >= 0 ? QString(" %1").arg(value) : QString::number(value);
}

QString Form1::FormatTime(int32_t seconds) {
  (void)seconds;
  return QString();
}

}  // namespace vintrel
