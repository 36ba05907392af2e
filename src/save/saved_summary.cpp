#include "save/saved_summary.h"

#include <QRegularExpression>
#include <QStringList>

#include "cut/time_text.h"

namespace vintrel {

namespace {

QString lengthAndMethod(const QString& report, const QString& fileName, double stretchSeconds) {
  const QStringList lines = report.split('\n');
  const QString first = lines.isEmpty() ? QString() : lines.first().trimmed();

  // "Length: 0:30 (750 frames at 25 fps)"
  QString length = cut::ClockText(stretchSeconds);  // the same clock form as the report's
  long long frames = -1;
  static const QRegularExpression lengthLine(R"(^Length: (\d+(?::\d+)+(?:\.\d+)?)(?: \((\d+) frames\b.*)?$)");
  for (const QString& line : lines) {
    const QRegularExpressionMatch match = lengthLine.match(line.trimmed());
    if (!match.hasMatch()) continue;
    length = match.captured(1);
    if (match.hasCaptured(2)) frames = match.captured(2).toLongLong();
    break;
  }
  const QString saved = QString("%1 saved as %2").arg(length, fileName);

  static const QRegularExpression smartCut(R"(^Smart cut: (\d+) frames? re-encoded, (\d+) copied\.$)");
  if (const QRegularExpressionMatch match = smartCut.match(first); match.hasMatch()) {
    const long long copied = match.captured(2).toLongLong();
    const long long total = frames >= copied ? frames : match.captured(1).toLongLong() + copied;
    return QString("%1; %2 of its %3 frames copied untouched.").arg(saved).arg(copied).arg(total);
  }
  static const QRegularExpression reEncoded(R"(^Re-encoded: (.+?)\.?$)");
  if (const QRegularExpressionMatch match = reEncoded.match(first); match.hasMatch()) {
    return QString("%1; re-encoded at high quality because %2.").arg(saved, match.captured(1));
  }
  return saved + ".";
}

}  // namespace

QString savedSummary(const QString& report, const QString& fileName, double stretchSeconds) {
  QString summary = lengthAndMethod(report, fileName, stretchSeconds);
  // "Tracks: video h264; sound aac eng (default)": which tracks the file holds.
  for (const QString& line : report.split('\n'))
    if (line.startsWith("Tracks: ")) summary += "\n" + line.trimmed();
  return summary;
}

}  // namespace vintrel
