#include "cut/protocol/progress_lines.h"

namespace vintrel::cut {

QString ProgressLine(double fraction) {
  return fraction >= 1 ? QString("progress 1") : QString("progress %1").arg(fraction, 0, 'f', 4);
}

QString PhaseLine(const QString& phase) { return "phase " + phase; }

QString ErrorLine(const QString& message) { return "error " + QString(message).replace('\n', ' '); }

ProgressEvent ParseProgressLine(const QString& line) {
  using Kind = ProgressEvent::Kind;
  const QString rest = line.section(' ', 1).trimmed();
  if (line.startsWith("phase ")) return {Kind::Phase, 0, rest};
  if (line.startsWith("error ")) return {Kind::Error, 0, rest};
  bool ok = false;
  const double fraction = rest.toDouble(&ok);
  if (line.startsWith("progress ") && ok && fraction >= 0 && fraction <= 1)
    return {Kind::Progress, fraction, {}};
  return {Kind::Other, 0, line};
}

}  // namespace vintrel::cut
