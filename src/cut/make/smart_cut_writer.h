// Writes a planned smart cut in one pass over the source: the head and the tail re-encoded, the
// copy and every other stream's packets as they are, all timed from the start mark.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "cut/media/source.h"
#include "cut/plan/smart_cut_plan.h"

namespace vintrel::cut {

struct SmartCutMade {
  int reEncoded = 0;
  int copied = 0;
  int sourceFrames = 0;              // the source's frames whose times lie in the stretch, as read
  std::optional<double> firstSound;  // where the first sound packet starts, seconds from the start mark
};

// Where a stretch's packets go, all with times from its start mark in the source streams' time
// bases: the video in decoding order without decoding times, the sound ready to write.
class CutSink {
 public:
  virtual ~CutSink() = default;
  virtual void video(PacketHandle packet) = 0;
  virtual void sound(int sourceIndex, AVPacket* packet) = 0;
};

// One stretch's video and sound into `sink`, which another stretch's may follow; `trimsSound`:
// the container trims sound to the sample (so a packet or two before the start go along).
SmartCutMade WriteStretch(Source& source, const SmartCutLayout& layout, const Stretch& stretch,
                          bool trimsSound, CutSink& sink, const std::function<void(double)>& progress);

// `stretch`: in the video's ticks; the other streams are cut at the same times. Throws CutError
// (a write failure, told in words) or CutCancelled.
SmartCutMade WriteSmartCut(Source& source, const SmartCutLayout& layout, const Stretch& stretch,
                           const QString& made, const std::function<void(double)>& progress);

}  // namespace vintrel::cut
