#include "cut/time_text.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace vintrel::cut {

std::optional<double> ParseTimeText(const QString& text) {
  static const QRegularExpression form(R"(^(?:(\d+):)?(?:(\d+):)?(\d+(?:\.\d*)?|\.\d+)$)");
  const QRegularExpressionMatch match = form.match(text.trimmed());
  if (!match.hasMatch()) return std::nullopt;
  // With one colon the first group holds minutes; with two, hours then minutes.
  const bool hasHours = match.hasCaptured(2);
  const double hours = hasHours ? match.captured(1).toDouble() : 0;
  const double minutes = hasHours ? match.captured(2).toDouble() : match.captured(1).toDouble();
  const double seconds = match.captured(3).toDouble();
  const bool hasMinutes = match.hasCaptured(1);
  if (hasMinutes && seconds >= 60) return std::nullopt;
  if (hasHours && minutes >= 60) return std::nullopt;
  const double total = hours * 3600 + minutes * 60 + seconds;
  if (!std::isfinite(total)) return std::nullopt;
  return total;
}

QString SecondsArgument(double seconds) { return QString::number(seconds, 'f', 6); }

QString ClockText(double seconds) {
  const long long whole = std::llround(std::max(0.0, seconds));
  const long long hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
  if (hours > 0)
    return QString("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QChar('0')).arg(rest, 2, 10, QChar('0'));
  return QString("%1:%2").arg(minutes).arg(rest, 2, 10, QChar('0'));
}

}  // namespace vintrel::cut
