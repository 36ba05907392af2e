#include "save/save_progress.h"

#include <algorithm>
#include <cmath>

#include "cut/time_text.h"

namespace vintrel {

namespace {
// The time left is guessed only from this much of the work and of the time.
constexpr double kEstimateFrom = 0.03;
constexpr double kEstimateAfterSeconds = 1;
}  // namespace

void SaveProgress::start(double now) {
  *this = SaveProgress();
  started_ = now_ = lastReportAt_ = now;
}

void SaveProgress::report(double fraction, double now) {
  now_ = now;
  reported_ = std::max(reported_, std::clamp(fraction, 0.0, 1.0));
  anyReport_ = true;
  lastReportAt_ = now;
}

void SaveProgress::tick(double now) { now_ = std::max(now_, now); }

bool SaveProgress::waiting() const { return !completed_ && now_ - lastReportAt_ >= kQuietSeconds; }

int SaveProgress::percent() const {
  if (completed_) return 100;
  // The small tolerance keeps a report of 0.29 from showing as 28 (0.29 * 100 is 28.999...).
  return std::min(99, static_cast<int>(std::floor(reported_ * 100 + 1e-9)));
}

std::optional<double> SaveProgress::secondsLeft() const {
  const double workedFor = lastReportAt_ - started_;
  if (!anyReport_ || reported_ < kEstimateFrom || workedFor < kEstimateAfterSeconds || completed_ ||
      waiting())
    return std::nullopt;
  // Estimated at the last report and counted down since: the time since then is no news of
  // the cut's pace, so it must not stretch the estimate.
  return std::max(0.0, workedFor * (1 - reported_) / reported_ - (now_ - lastReportAt_));
}

QString SaveProgress::title() const {
  if (waiting()) return "Saving - waiting for the encoder";
  if (!anyReport_) return "Saving";
  QString text = QString("Saving %1%").arg(percent());
  if (const auto left = secondsLeft()) text += QString(" - %1 left").arg(cut::ClockText(*left));
  return text;
}

}  // namespace vintrel
