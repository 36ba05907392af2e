#pragma once
// The one plain line the "Done" box shows under its text, read from the first lines of the
// report vintrel-cut prints: how long the cut is, its name, and how it was made.
#include <QString>

namespace vintrel {

// "0:30 saved as clip-cut.mp4; 700 of its 750 frames copied untouched." for a smart cut,
// "0:30 saved as clip-cut.avi; re-encoded at high quality because <reason>." for a
// re-encode, and "0:30 saved as clip-cut.mp4." when the report says neither in a form known
// here. The length comes from the report's "Length: " line, else from `stretchSeconds`.
QString savedSummary(const QString& report, const QString& fileName, double stretchSeconds);

}  // namespace vintrel
