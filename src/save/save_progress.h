#pragma once
// What the window shows of a running cut: the bar's percentage and the title. The bar
// follows the cut's own progress, and creeps on by itself while the cut reports none, so
// that it never stands still and never claims 100 before the file is there.
#include <QString>
#include <optional>

namespace vintrel {

class SaveProgress {
 public:
  // Times are seconds on any steady clock.
  void start(double now);
  void report(double fraction, double now);
  // Called regularly while the cut runs.
  void tick(double now);
  // The file is written and checked.
  void complete() { completed_ = true; }

  // 0 to 99 while the cut runs, 100 once it is complete.
  int percent() const;
  // "Saving", then "Saving 42%", then "Saving 42% - 0:12 left" once the time left can be told.
  QString title() const;
  // Seconds left, once they can be estimated.
  std::optional<double> secondsLeft() const;

 private:
  double started_ = 0;
  double now_ = 0;
  double reported_ = 0;
  double shown_ = 0;
  double lastReportAt_ = 0;
  bool anyReport_ = false;
  bool completed_ = false;
};

}  // namespace vintrel
