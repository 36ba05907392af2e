#pragma once
// What every benchmark shares: one clock, medians, the clips, and the rows of the table.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "marker.h"
#include "timing.h"

namespace bench {

double Median(std::vector<double> values);
// The value below which the share `fraction` (0.99) of the values lie, nearest rank.
double Percentile(std::vector<double> values, double fraction);
// "12, 15, 13": the samples, for the details under the table.
QString Samples(const std::vector<double>& values, int decimals = 0);

// How many times each comparison is made; BENCH_REPEATS overrides the default.
int Repeats(int fallback);

// A line of /proc/<pid>/status ("VmRSS"), in MiB; 0 when it cannot be read.
double StatusMiB(long pid, const QString& key);

// Makes (or finds from an earlier run) the two marked 24 s 1280x720 H.264 + AAC clips.
// Empty when the encoder failed.
QStringList Clips(const QString& folder);

// The clip the exports cut: 45 s of 1280x720 H.264 + AAC with a key frame every 2 s.
constexpr int kExportClipSeconds = 45;
QString ExportClip(const QString& folder);

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
