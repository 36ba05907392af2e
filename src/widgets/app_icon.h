#pragma once
#include <QIcon>

namespace vintrel {
// The program's icon at 48, 32, 24 and 16 pixels, drawn rather than shipped as images.
QIcon appIcon();
}  // namespace vintrel
