// Decoding times for a video stream of joined parts, from the frames' display times alone.
#pragma once

#include <deque>
#include <functional>
#include <queue>
#include <vector>

#include "cut/media/av.h"

namespace vintrel::cut {

// A packet's decoding time is the display time `depth` places before it in display order (the
// first `depth` packets count back from the first frame by its duration). Re-encoded and
// copied packets so count on one clock with even steps, and a variable rate keeps its times.
// Packets go in in decoding order and come out `depth` packets later with their dts set; a
// depth below the packets' own reordering throws CutError, as no valid times would follow.
class DecodingTimes {
 public:
  using Sink = std::function<void(PacketHandle)>;
  DecodingTimes(int depth, Sink sink);
  void push(PacketHandle packet);
  void finish();

 private:
  void release();
  int depth_;
  Sink sink_;
  std::deque<PacketHandle> waiting_;
  std::priority_queue<int64_t, std::vector<int64_t>, std::greater<>> shown_;
  int released_ = 0;
  int64_t firstStep_ = 0;
  int64_t last_ = AV_NOPTS_VALUE;
};

}  // namespace vintrel::cut
