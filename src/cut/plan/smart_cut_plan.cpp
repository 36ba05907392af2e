#include "cut/plan/smart_cut_plan.h"

#include <algorithm>
#include <limits>

namespace vintrel::cut {

namespace {

// Packets after a key frame within which its leading pictures (shown before it) come.
constexpr size_t kReorderReach = 16;

std::optional<size_t> FirstEntry(const std::vector<VideoPacket>& packets, const Stretch& stretch) {
  for (size_t i = 0; i < packets.size(); ++i)
    if (packets[i].cleanEntry && packets[i].pts >= stretch.start && packets[i].pts < stretch.end) return i;
  return std::nullopt;
}

std::optional<size_t> IndexOf(const std::vector<VideoPacket>& packets, int64_t pts) {
  for (size_t i = 0; i < packets.size(); ++i)
    if (packets[i].pts == pts) return i;
  return std::nullopt;
}

// The packets after `from` in decoding order, less the leading pictures of the key frame there.
std::vector<VideoPacket> WithoutLeadingPictures(const std::vector<VideoPacket>& packets, size_t from) {
  std::vector<VideoPacket> kept;
  for (size_t i = from; i < packets.size(); ++i)
    if (i == from || packets[i].pts > packets[from].pts) kept.push_back(packets[i]);
  return kept;
}

// The longest prefix, in decoding order, of frames before the end whose display has no gap:
// no frame left out of it is shown before one in it. Each copied frame decodes, since its
// references come before it in decoding order.
size_t GaplessPrefix(const std::vector<VideoPacket>& packets, int64_t end) {
  size_t prefix = 0;
  while (prefix < packets.size() && packets[prefix].pts < end) ++prefix;
  std::vector<int64_t> laterMinimum(packets.size() + 1, std::numeric_limits<int64_t>::max());
  for (size_t i = packets.size(); i-- > 0;) laterMinimum[i] = std::min(laterMinimum[i + 1], packets[i].pts);
  int64_t shownLast = std::numeric_limits<int64_t>::min();
  size_t best = 0;
  for (size_t n = 1; n <= prefix; ++n) {
    shownLast = std::max(shownLast, packets[n - 1].pts);
    if (laterMinimum[n] > shownLast) best = n;
  }
  return best;
}

// The last key frame before the entry that the head's first frame does not come before.
std::optional<int64_t> HeadDecodeStart(const std::vector<VideoPacket>& packets, size_t entry,
                                       int64_t firstHead) {
  std::optional<int64_t> from;
  for (size_t i = 0; i < entry; ++i)
    if (packets[i].key && packets[i].pts <= firstHead) from = packets[i].pts;
  return from;
}

// How many packets decoded before a frame are shown after it, at most.
int ReorderDepth(const std::vector<VideoPacket>& packets) {
  int depth = 0;
  for (size_t i = 0; i < packets.size(); ++i) {
    int later = 0;
    for (size_t j = i >= 64 ? i - 64 : 0; j < i; ++j) later += packets[j].pts > packets[i].pts;
    depth = std::max(depth, later);
  }
  return depth;
}

}  // namespace

bool StartWindowDone(const std::vector<VideoPacket>& packets, const Stretch& stretch) {
  if (const std::optional<size_t> entry = FirstEntry(packets, stretch))
    return packets.size() > *entry + kReorderReach;
  size_t pastEnd = 0;
  for (const VideoPacket& packet : packets) pastEnd += packet.pts >= stretch.end;
  return pastEnd > kReorderReach;
}

bool EndWindowDone(const std::vector<VideoPacket>& packets, const Stretch& stretch) {
  for (size_t i = 0; i < packets.size(); ++i)
    if (packets[i].key && packets[i].pts >= stretch.end) return packets.size() > i + kReorderReach;
  return false;
}

SmartCutDecision PlanSmartCut(const std::vector<VideoPacket>& startWindow,
                              const std::vector<VideoPacket>& endWindow, const Stretch& stretch,
                              int declaredReorderDepth) {
  const std::optional<size_t> entryIndex = FirstEntry(startWindow, stretch);
  if (!entryIndex) return {std::nullopt, "the stretch holds no key frame a copy can start at"};
  SmartCutLayout layout;
  layout.entry = startWindow[*entryIndex].pts;
  layout.reorderDepth = std::max({declaredReorderDepth, ReorderDepth(startWindow), ReorderDepth(endWindow)});

  // The head: frames shown from the start mark to the entry, leading pictures of it included.
  for (const VideoPacket& packet : startWindow)
    if (packet.pts >= stretch.start && packet.pts < layout.entry) layout.head.push_back(packet.pts);
  std::sort(layout.head.begin(), layout.head.end());
  if (!layout.head.empty()) {
    const std::optional<int64_t> from = HeadDecodeStart(startWindow, *entryIndex, layout.head.front());
    if (!from) return {std::nullopt, "the frames before the first key frame cannot be decoded"};
    layout.headDecodeFrom = *from;
  }

  // The copy runs in decoding order from the entry (or the end window's first key frame,
  // everything before that being copied) for as long as no frame past the end or out of
  // display order would come with it.
  const std::optional<size_t> entryInEnd = IndexOf(endWindow, layout.entry);
  const std::vector<VideoPacket> ending =
      entryInEnd ? WithoutLeadingPictures(endWindow, *entryInEnd) : endWindow;
  if (ending.empty()) return {std::nullopt, "the end of the stretch could not be read"};
  const size_t copied = GaplessPrefix(ending, stretch.end);
  if (copied == 0 && entryInEnd) return {std::nullopt, "no frame of the stretch can be copied as it is"};
  if (copied < ending.size()) layout.copyBefore = ending[copied].pts;

  // The tail: the frames before the end that the copy leaves out, decoded from the last clean
  // key frame before them (at worst the entry).
  std::optional<size_t> firstTail;
  for (size_t i = copied; i < ending.size(); ++i) {
    if (ending[i].pts >= stretch.end || ending[i].pts < stretch.start) continue;
    layout.tail.push_back(ending[i].pts);
    firstTail = firstTail.value_or(i);
  }
  std::sort(layout.tail.begin(), layout.tail.end());
  if (firstTail) {
    layout.tailDecodeFrom = layout.entry;
    for (size_t i = 0; i <= *firstTail; ++i)
      if (ending[i].cleanEntry && ending[i].pts <= layout.tail.front()) layout.tailDecodeFrom = ending[i].pts;
  }
  return {layout, {}};
}

}  // namespace vintrel::cut
