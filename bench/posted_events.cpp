#include "posted_events.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>

namespace bench {

namespace {
const QEvent::Type kStamp = static_cast<QEvent::Type>(QEvent::registerEventType());

struct StampEvent : QEvent {
  explicit StampEvent(Time when) : QEvent(kStamp), posted(when) {}
  Time posted;
};
}  // namespace

PostedEventProbe::~PostedEventProbe() { Stop(); }

void PostedEventProbe::Start(int everyMs) {
  Stop();
  samples_.clear();
  stop_ = false;
  poster_ = std::thread([this, everyMs] {
    while (!stop_) {
      QCoreApplication::postEvent(this, new StampEvent(Clock::now()));
      std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
    }
  });
}

void PostedEventProbe::Stop() {
  stop_ = true;
  if (poster_.joinable()) poster_.join();
  QCoreApplication::sendPostedEvents(this, kStamp);
}

bool PostedEventProbe::event(QEvent* e) {
  if (e->type() != kStamp) return QObject::event(e);
  samples_.push_back({static_cast<StampEvent*>(e)->posted, Clock::now()});
  return true;
}

double PostedEventProbe::LongestWaitMs(Time from, Time to) const {
  double longest = 0;
  for (const Sample& s : samples_) {
    if (s.posted >= from && s.posted <= to) longest = std::max(longest, Ms(s.handled - s.posted));
  }
  return longest;
}

std::vector<double> PostedEventProbe::WaitsMs(Time from, Time to) const {
  std::vector<double> waits;
  for (const Sample& s : samples_) {
    if (s.posted >= from && s.posted <= to) waits.push_back(Ms(s.handled - s.posted));
  }
  return waits;
}

int PostedEventProbe::Count(Time from, Time to) const {
  return static_cast<int>(std::count_if(samples_.begin(), samples_.end(),
                                        [&](const Sample& s) { return s.posted >= from && s.posted <= to; }));
}

}  // namespace bench
