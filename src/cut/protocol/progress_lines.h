// The machine progress lines vintrel-cut writes on stderr for the window: a share done, the
// phase it is in, and the one-line reason it failed.
#pragma once

#include <QString>

namespace vintrel::cut {

QString ProgressLine(double fraction);  // "progress 0.4200"; "progress 1" once the file is in place
QString PhaseLine(const QString& phase);
QString ErrorLine(const QString& message);

struct ProgressEvent {
  enum class Kind { Progress, Phase, Error, Other };
  Kind kind = Kind::Other;
  double fraction = 0;
  QString text;
};
ProgressEvent ParseProgressLine(const QString& line);

}  // namespace vintrel::cut
