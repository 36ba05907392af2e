#pragma once
// What the window shows of a running cut: the bar's percentage and the title. The bar shows
// what the cut has reported and nothing more: while the cut reports nothing the bar stands
// still, and once it has been quiet for a while the title says it is waiting instead of
// counting down a time nobody can know. It never claims 100 before the file is there.
#include <QString>
#include <optional>

namespace vintrel {

class SaveProgress {
 public:
  // A cut that has reported nothing for this long is waiting (stopped, or stuck in a step
  // that reports nothing); the title says so.
  static constexpr double kQuietSeconds = 5;

  // Times are seconds on any steady clock.
  void start(double now);
  void report(double fraction, double now);
  // Called regularly while the cut runs.
  void tick(double now);
  // The file is written and checked.
  void complete() { completed_ = true; }

  // 0 to 99 while the cut runs, 100 once it is complete.
  int percent() const;
  // "Saving", then "Saving 42%", then "Saving 42% - 0:12 left" once the time left can be
  // told; "Saving - waiting for the encoder" while the cut has gone quiet.
  QString title() const;
  // Seconds left, once they can be estimated; none while the cut is quiet.
  std::optional<double> secondsLeft() const;
  bool waiting() const;

 private:
  double started_ = 0;
  double now_ = 0;
  double reported_ = 0;
  double lastReportAt_ = 0;
  bool anyReport_ = false;
  bool completed_ = false;
};

}  // namespace vintrel
