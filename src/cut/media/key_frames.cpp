#include "cut/media/key_frames.h"

#include <algorithm>
#include <cmath>

#include "cut/media/source.h"

namespace vintrel::cut {

namespace {

// Times closer than this stand on the same frame (a player's position is rounded to it).
constexpr double kSameFrame = 0.002;

std::vector<const AVIndexEntry*> IndexedKeyFrames(AVStream* stream) {
  std::vector<const AVIndexEntry*> keys;
  const int count = avformat_index_get_entries_count(stream);
  for (int i = 0; i < count; ++i) {
    const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
    if (entry && (entry->flags & AVINDEX_KEYFRAME) && entry->timestamp != AV_NOPTS_VALUE)
      keys.push_back(entry);
  }
  return keys;
}

// An index covers the file when it reaches near the video's end; demuxers without one of
// their own build it only from the packets read so far.
bool CoversTheFile(const Source& source, const std::vector<const AVIndexEntry*>& keys) {
  if (keys.size() < 2) return false;
  const double last = Seconds(keys.back()->timestamp, source.video()->time_base) - source.startSeconds();
  const double end = source.videoEndSeconds();
  return end <= 0 || last >= end - std::max(30.0, end * 0.1);
}

// Only these demuxers hold an index of the whole file; others index what they have read so far.
bool HasOwnIndex(const AVFormatContext* context) {
  const QString name = context->iformat->name;
  return name.contains("mov") || name.contains("matroska") || name == "avi";
}

// Reads only the video's packets from here on.
void ReadOnlyVideo(Source& source) {
  AVFormatContext* context = source.context();
  for (unsigned i = 0; i < context->nb_streams; ++i)
    if (int(i) != source.videoIndex()) context->streams[i]->discard = AVDISCARD_ALL;
}

// The display time of the key frame an index entry stands for, read from its packet.
std::optional<int64_t> ShownAt(Source& source, const AVIndexEntry& entry, int64_t expectedShift) {
  constexpr int kMostPackets = 600;
  if (av_seek_frame(source.context(), source.videoIndex(), entry.timestamp + expectedShift,
                    AVSEEK_FLAG_BACKWARD) < 0)
    return std::nullopt;
  PacketHandle packet = NewPacket();
  for (int read = 0; read < kMostPackets && source.read(packet.get()); ++read) {
    const int64_t position = packet->pos, time = packet->pts;
    av_packet_unref(packet.get());
    if (position == entry.pos && time != AV_NOPTS_VALUE) return time;
    if (position > entry.pos) break;
  }
  return std::nullopt;
}

// MP4 times its index by decoding: each key frame's display time is its packet's, which lies
// ahead by however many frames decode before it and show after (more after a time jump, or
// for an open GOP's entry than for its first key frame).
std::vector<int64_t> DisplayTimes(Source& source, const std::vector<const AVIndexEntry*>& keys,
                                  const std::atomic<bool>* stop) {
  ReadOnlyVideo(source);
  std::vector<int64_t> ticks;
  ticks.reserve(keys.size());
  // A seek goes by display time: to where this entry shows if it lies as far ahead as the last
  // one did, which lands on it; where it lies further, on the key frame before, read on from.
  int64_t shift = 0;
  for (const AVIndexEntry* entry : keys) {
    if (stop && *stop) break;
    const std::optional<int64_t> shown = ShownAt(source, *entry, shift);
    if (shown) shift = *shown - entry->timestamp;
    ticks.push_back(entry->timestamp + shift);
  }
  return ticks;
}

KeyFrames InSeconds(const Source& source, std::vector<int64_t> ticks, bool fromIndex) {
  KeyFrames found;
  found.fromIndex = fromIndex;
  const AVRational timeBase = source.video()->time_base;
  found.seconds.reserve(ticks.size());
  for (const int64_t tick : ticks) found.seconds.push_back(Seconds(tick, timeBase) - source.startSeconds());
  std::sort(found.seconds.begin(), found.seconds.end());
  found.seconds.erase(std::unique(found.seconds.begin(), found.seconds.end(),
                                  [](double a, double b) { return std::abs(a - b) < 1e-6; }),
                      found.seconds.end());
  return found;
}

std::vector<int64_t> FromIndex(Source& source, const std::atomic<bool>* stop, const KeyFramesDraft& draft) {
  if (!HasOwnIndex(source.context())) return {};
  // Matroska reads its cues on the first seek by time (not by bytes, as from the very start).
  const AVStream* video = source.video();
  av_seek_frame(source.context(), source.videoIndex(),
                video->start_time == AV_NOPTS_VALUE ? 0 : video->start_time, AVSEEK_FLAG_BACKWARD);
  const std::vector<const AVIndexEntry*> keys = IndexedKeyFrames(source.video());
  if (!CoversTheFile(source, keys)) return {};
  std::vector<int64_t> ticks;
  ticks.reserve(keys.size());
  for (const AVIndexEntry* entry : keys) ticks.push_back(entry->timestamp);
  if (!QString(source.context()->iformat->name).contains("mov")) return ticks;
  if (draft) draft(InSeconds(source, ticks, true));
  return DisplayTimes(source, keys, stop);
}

std::vector<int64_t> FromPackets(Source& source, const std::atomic<bool>* stop) {
  ReadOnlyVideo(source);
  source.seekVideo(INT64_MIN);
  std::vector<int64_t> ticks;
  PacketHandle packet = NewPacket();
  while ((!stop || !*stop) && source.read(packet.get())) {
    if (packet->stream_index == source.videoIndex() && (packet->flags & AV_PKT_FLAG_KEY)) {
      const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      if (time != AV_NOPTS_VALUE) ticks.push_back(time);
    }
    av_packet_unref(packet.get());
  }
  return ticks;
}

}  // namespace

KeyFrames ReadKeyFrames(const QString& path, const std::atomic<bool>* stop, const KeyFramesDraft& draft) {
  Source source(path);
  std::vector<int64_t> ticks = FromIndex(source, stop, draft);
  if (!ticks.empty()) return InSeconds(source, std::move(ticks), true);
  return InSeconds(source, FromPackets(source, stop), false);
}

std::optional<double> KeyFrameBefore(const std::vector<double>& keyFrames, double seconds) {
  const auto after = std::lower_bound(keyFrames.begin(), keyFrames.end(), seconds - kSameFrame);
  if (after == keyFrames.begin()) return std::nullopt;
  return *std::prev(after);
}

std::optional<double> KeyFrameAfter(const std::vector<double>& keyFrames, double seconds) {
  const auto after = std::upper_bound(keyFrames.begin(), keyFrames.end(), seconds + kSameFrame);
  if (after == keyFrames.end()) return std::nullopt;
  return *after;
}

}  // namespace vintrel::cut
