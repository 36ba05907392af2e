#pragma once
// What every benchmark shares: one clock, medians, the clips, and the rows of the table.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "timing.h"

namespace bench {

double Median(std::vector<double> values);
// "12, 15, 13": the samples, for the details under the table.
QString Samples(const std::vector<double>& values, int decimals = 0);

// How many times each comparison is made; BENCH_REPEATS overrides the default.
int Repeats(int fallback);

// User plus system time a process has used, in seconds (also for one that has ended but
// was not reaped yet); -1 when it cannot be read.
double CpuSeconds(long pid);

// The clips carry a grey marker in their top-left corner that names the clip and the
// second on screen, so a pixel read from the X server tells which frame the player has
// drawn: clip 0 climbs from 48 by 8 a second, clip 1 falls from 232 by 8 a second.
constexpr int kClipSeconds = 24;
constexpr int kClipWidth = 1280;
constexpr int kClipHeight = 720;
constexpr int kMarkerSize = 192;  // pixels of the clip, from its top-left corner
// The second the marker shows when it is clip `clip`'s, else nothing.
std::optional<int> MarkerSecond(Rgb pixel, int clip);
// Where the marker's middle lands on screen when the clip is scaled into an area
// (keeping its aspect, centred, as the player draws it).
Point MarkerOnScreen(int areaX, int areaY, int areaWidth, int areaHeight);

// Makes (or finds from an earlier run) the two marked 1280x720 H.264 + AAC clips.
// Empty when the encoder failed.
QStringList Clips(const QString& folder);

// One line of the table.
struct Row {
  QString measure;
  QString value;
  QString limit;    // the limit or the baseline it is held against
  QString compare;  // ratio or difference
  QString verdict;  // "ok", "MISSED", or "-" where there is no target
};

// The figures behind a row, for "where the time goes".
struct Report {
  std::vector<Row> rows;
  QStringList details;
};

}  // namespace bench
