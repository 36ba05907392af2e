#include "save/save_progress.h"

#include <algorithm>
#include <cmath>

#include "cut/time_text.h"

namespace vintrel {

namespace {
// Without reports the bar approaches this share, slower and slower, and never passes it.
constexpr double kCreepCeiling = 0.9;
// Seconds for the creeping bar to cover about two thirds of the way to its ceiling.
constexpr double kCreepSeconds = 60;
// A report this old no longer holds the bar still.
constexpr double kQuietSeconds = 2;
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
  shown_ = std::max(shown_, reported_);
}

void SaveProgress::tick(double now) {
  now_ = now;
  const double quiet = now - lastReportAt_;
  if (quiet < kQuietSeconds) return;
  // Creep from where the bar stands towards the ceiling (or half way to the end, once the
  // reports have passed the ceiling), so a cut that goes quiet still shows life.
  const double ceiling = std::max(kCreepCeiling, reported_ + (1 - reported_) / 2);
  const double step = 1 - std::exp(-(quiet - kQuietSeconds) / kCreepSeconds);
  const double from = reported_;
  shown_ = std::max(shown_, from + (ceiling - from) * step);
}

int SaveProgress::percent() const {
  if (completed_) return 100;
  // The small tolerance keeps a report of 0.29 from showing as 28 (0.29 * 100 is 28.999...).
  return std::min(99, static_cast<int>(std::floor(shown_ * 100 + 1e-9)));
}

std::optional<double> SaveProgress::secondsLeft() const {
  const double elapsed = now_ - started_;
  if (!anyReport_ || reported_ < kEstimateFrom || elapsed < kEstimateAfterSeconds || completed_) return std::nullopt;
  return elapsed * (1 - reported_) / reported_;
}

QString SaveProgress::title() const {
  if (!anyReport_ && shown_ == 0) return "Saving";
  QString text = QString("Saving %1%").arg(percent());
  if (const auto left = secondsLeft()) text += QString(" - %1 left").arg(cut::ClockText(*left));
  return text;
}

}  // namespace vintrel
