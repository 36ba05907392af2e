#pragma once
// How long an event posted to the GUI thread waits before it is handled: a helper thread
// posts a time-stamped event every few milliseconds, the GUI thread notes when each arrives.
#include <QObject>
#include <atomic>
#include <thread>
#include <vector>

#include "timing.h"

namespace bench {

class PostedEventProbe : public QObject {
 public:
  PostedEventProbe() = default;
  ~PostedEventProbe() override;
  void Start(int everyMs = 5);
  // Stops posting and takes in the events still queued.
  void Stop();
  // The longest wait of an event posted within [from, to]; 0 when none was.
  double LongestWaitMs(Time from, Time to) const;
  // The waits of the events posted within [from, to], in ms.
  std::vector<double> WaitsMs(Time from, Time to) const;
  // How many events were posted within [from, to].
  int Count(Time from, Time to) const;

 protected:
  bool event(QEvent* e) override;

 private:
  struct Sample {
    Time posted;
    Time handled;
  };
  std::vector<Sample> samples_;
  std::thread poster_;
  std::atomic<bool> stop_{false};
};

}  // namespace bench
