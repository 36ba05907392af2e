#pragma once
#include <QString>
#include <cstdint>

namespace vintrel {
// A whole number as " 12" (a blank, then the digits) or "-3"; no leading zeros.
QString NumberText(int64_t value);
}  // namespace vintrel
