// Times as people type and read them, and as the encoder program takes them.
#pragma once

#include <QString>
#include <optional>

namespace vintrel::cut {

// "12.5", "1:02", "1:02:03.250" -> seconds; nullopt for anything else (negative, empty, 1:75).
std::optional<double> ParseTimeText(const QString& text);

// Seconds with microsecond precision, the form ffmpeg's time options take: "7.040000".
QString SecondsArgument(double seconds);

// "0:12", "1:02:03": for remaining-time and length lines.
QString ClockText(double seconds);

}  // namespace vintrel::cut
