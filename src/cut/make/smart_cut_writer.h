// Writes a planned smart cut in one pass over the source: the head and the tail re-encoded, the
// copy and every other stream's packets as they are, all timed from the start mark.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "cut/check/measure.h"
#include "cut/media/source.h"
#include "cut/plan/smart_cut_plan.h"

namespace vintrel::cut {

struct SmartCutMade {
  int reEncoded = 0;
  int copied = 0;
  int sourceFrames = 0;              // the source's frames whose times lie in the stretch, as read
  std::optional<double> firstSound;  // where the first sound packet starts, seconds from the start mark
  SourceSample sample;               // the source's side of the check, where the head's decoding kept it
};

// `stretch`: in the video's ticks; the other streams are cut at the same times. The head's
// decoding keeps the source's frame at the start and the hashes of `comparedFrames` from the
// entry on. Throws CutError (a write failure, told in words) or CutCancelled.
SmartCutMade WriteSmartCut(Source& source, const SmartCutLayout& layout, const Stretch& stretch,
                           const QString& made, int comparedFrames,
                           const std::function<void(double)>& progress);

}  // namespace vintrel::cut
