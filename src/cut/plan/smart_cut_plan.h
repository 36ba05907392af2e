// Pure decisions of a smart cut: which frames are re-encoded, which copied, where decoding starts.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "cut/media/source.h"

namespace vintrel::cut {

// A stretch of the source's video, in ticks of its time base on the file's own clock: from
// the start mark (the time origin of every stream of the cut) up to, not including, the end.
struct Stretch {
  int64_t start = 0;
  int64_t end = 0;
};

// [head: re-encoded][copy: the source's packets][tail: re-encoded], frames by their times.
struct SmartCutLayout {
  std::vector<int64_t> head;          // the frames before the entry, in display order
  int64_t headDecodeFrom = 0;         // the key frame the head's decoding starts at
  int64_t entry = 0;                  // the clean key frame the copy starts with
  std::optional<int64_t> copyBefore;  // the first packet not copied, in decoding order; none: the file's end
  std::vector<int64_t> tail;          // frames that refer past the end (or follow a gap of the copy)
  int64_t tailDecodeFrom = 0;         // the clean key frame the tail's decoding starts at
  int reorderDepth = 0;               // how many frames decoding runs ahead of display, at most
};

struct SmartCutDecision {
  std::optional<SmartCutLayout> layout;
  QString reason;  // why not, when there is no layout
};

// Whether the packets read from before the start mark reach far enough: past the first clean
// entry in the stretch with room for its leading pictures, or past the end with none.
bool StartWindowDone(const std::vector<VideoPacket>& packets, const Stretch& stretch);
// Whether the packets read from before the end mark reach past every frame before it.
bool EndWindowDone(const std::vector<VideoPacket>& packets, const Stretch& stretch);

// `startWindow` and `endWindow`: video packets in decoding order, each from a key frame at or
// before its mark (the same packets where the marks are close). `declaredReorderDepth`: what
// the stream says of its reordering (see Source::reorderDepth); the windows show only what
// happens near the marks, and a copy may reorder deeper between them.
SmartCutDecision PlanSmartCut(const std::vector<VideoPacket>& startWindow,
                              const std::vector<VideoPacket>& endWindow, const Stretch& stretch,
                              int declaredReorderDepth);

}  // namespace vintrel::cut
