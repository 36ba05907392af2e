#include "cut/plan.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "cut/time_text.h"

namespace vintrel::cut {

namespace {

const QStringList kSmartCutTypes = {"mp4", "m4v", "mov", "mkv"};

double Rate(const MediaInfo& media) { return media.video()->frameRate.value(); }

double FirstFrameTime(const MediaInfo& media) { return media.video()->startTime - media.startTime; }

}  // namespace

QString LowerExtension(const QString& path) { return QFileInfo(path).suffix().toLower(); }

long long FrameIndex(const MediaInfo& media, double time) {
  return std::llround((time - FirstFrameTime(media)) * Rate(media));
}

long long FirstFrameAtOrAfter(const MediaInfo& media, double time) {
  // A hundredth of a frame absorbs the rounding of times typed or shown in milliseconds.
  return std::max(0LL, (long long)std::ceil((time - FirstFrameTime(media)) * Rate(media) - 0.01));
}

double FrameTime(const MediaInfo& media, long long index) {
  return FirstFrameTime(media) + index / Rate(media);
}

double VideoEnd(const MediaInfo& media) {
  const StreamInfo& video = *media.video();
  return video.duration > 0 ? FirstFrameTime(media) + video.duration : media.duration;
}

double VideoStretchEnd(const MediaInfo& media, const CutRequest& request) {
  return media.duration > 0 ? std::min(request.end, VideoEnd(media)) : request.end;
}

QString StretchProblem(const MediaInfo& media, const CutRequest& request) {
  if (request.end <= request.start) return "The end of the stretch must come after its start.";
  const double rate = media.video()->frameRate.valid() ? Rate(media) : 25;
  if (media.duration > 0 && request.start >= media.duration)
    return QString("The stretch starts after the end of the video (%1).").arg(ClockText(media.duration));
  if (media.duration > 0 && request.end > media.duration + 0.5 / rate)
    return QString("The stretch ends after the end of the video (%1).").arg(ClockText(media.duration));
  return {};
}

QString SmartCutObstacle(const MediaInfo& media, const CutRequest& request) {
  if (request.forceReEncode) return "a re-encode was asked for";
  const QString in = LowerExtension(request.input), out = LowerExtension(request.output);
  // MP4, MOV and Matroska hold each other's H.264/HEVC as it is.
  if (!kSmartCutTypes.contains(out) || !kSmartCutTypes.contains(in)) {
    if (out == in) return QString("only .mp4, .mov, .m4v and .mkv files are cut without re-encoding");
    return QString("a .%1 file cannot hold the video of a .%2 file as it is").arg(out, in);
  }
  const StreamInfo* video = media.video();
  if (video->codec != "h264" && video->codec != "hevc")
    return QString("only H.264 and HEVC video is cut without re-encoding (this is %1)").arg(video->codec);
  if (!media.constantFrameRate()) return "the frame rate varies";
  if (video->rotation != 0 && out == "mkv") return "a .mkv file made here cannot keep the video's rotation";
  return {};
}

std::optional<DirectCopy> DirectCopyBounds(const MediaInfo& media, const CutPlan& plan,
                                           const QList<Packet>& start, const QList<Packet>& endEvery) {
  const StreamInfo& video = *media.video();
  const SmartCutLayout& layout = plan.layout;
  // MP4 and MOV keep every packet's decoding time; Matroska keeps none, and the join's guesses
  // at it across the edges of the parts come out of order.
  if (plan.method != CutMethod::kSmartCut || !media.formatName.startsWith("mov,mp4") ||
      video.codec != "h264" || video.index != 0 || video.timeBase.numerator != 1 || plan.frameRate <= 0)
    return std::nullopt;
  const long long first = FrameIndex(media, layout.copyStart), after = first + layout.copyFrames;
  std::optional<double> inpoint, afterDecoding;
  for (const Packet& packet : start)
    if (packet.stream == video.index && packet.key && FrameIndex(media, packet.pts) == first)
      inpoint = packet.pts;
  // The first packet not copied, in decoding order: the tail's key frame, or where the copy
  // runs to the end mark, maybe a frame shown after the end but decoded before the one at it.
  for (const Packet& packet : endEvery)
    if (packet.stream == video.index && FrameIndex(media, packet.pts) >= after)
      afterDecoding = std::min(afterDecoding.value_or(packet.dts), packet.dts);
  if (!inpoint || !afterDecoding) return std::nullopt;
  // Half a frame early, so that rounding the time to microseconds never lets that packet in.
  const double outpoint = *afterDecoding - 0.5 / plan.frameRate;
  bool reached = false;
  for (const Packet& packet : endEvery) {
    reached = reached || packet.dts >= outpoint;
    if (reached && packet.stream == video.index && packet.dts < outpoint) return std::nullopt;
  }
  if (!reached) return std::nullopt;
  return DirectCopy{*inpoint, outpoint, video.timeBase.denominator};
}

bool SmartCutPossible(const CutRequest& request) {
  return !request.forceReEncode && kSmartCutTypes.contains(LowerExtension(request.input)) &&
         kSmartCutTypes.contains(LowerExtension(request.output));
}

QList<double> EntryCandidates(const MediaInfo& media, const QList<Packet>& packets, double from, double to) {
  // A packet this close to the end of the list may still have leading pictures after it.
  const int reorderMargin = 8;
  QList<double> entries;
  for (qsizetype i = 0; i + reorderMargin < packets.size(); ++i) {
    const Packet& key = packets[i];
    if (!key.key) continue;
    const long long keyIndex = FrameIndex(media, key.pts);
    if (keyIndex < FirstFrameAtOrAfter(media, from) || keyIndex >= FirstFrameAtOrAfter(media, to)) continue;
    const bool leading = std::any_of(packets.begin() + i + 1, packets.end(), [&](const Packet& later) {
      return FrameIndex(media, later.pts) < keyIndex;
    });
    if (!leading) entries << FrameTime(media, keyIndex);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

bool FrameTimesRegular(const MediaInfo& media, const QList<Packet>& packets) {
  const double rate = Rate(media);
  for (const Packet& packet : packets) {
    const double frames = (packet.pts - FirstFrameTime(media)) * rate;
    if (std::abs(frames - std::round(frames)) > 0.1) return false;
  }
  return true;
}

CutPlan PlanReEncode(const MediaInfo& media, const CutRequest& request, const QString& reason) {
  CutPlan plan;
  plan.method = CutMethod::kReEncode;
  plan.reason = reason;
  const StreamInfo* video = media.video();
  plan.frameRate = media.constantFrameRate() ? video->frameRate.value() : video->averageFrameRate.value();
  if (media.constantFrameRate()) {
    plan.layout.headStart = FrameTime(media, FirstFrameAtOrAfter(media, request.start));
    plan.expectedFrames = int(FirstFrameAtOrAfter(media, VideoStretchEnd(media, request)) -
                              FirstFrameAtOrAfter(media, request.start));
  } else {
    plan.layout.headStart = request.start;
    plan.expectedFrames =
        int(std::lround((VideoStretchEnd(media, request) - request.start) * plan.frameRate));
  }
  return plan;
}

namespace {

// Whether copying packets up to the end keeps exactly the frames before it: every packet
// displayed before the end must come, in decode order, before every packet displayed after.
bool CopyEndsExactly(const MediaInfo& media, const QList<Packet>& endWindow, long long endIndex) {
  qsizetype groupStart = -1;
  for (qsizetype i = 0; i < endWindow.size(); ++i)
    if (endWindow[i].key && FrameIndex(media, endWindow[i].pts) <= endIndex) groupStart = i;
  if (groupStart < 0) return false;
  bool passedEnd = false;
  for (qsizetype i = groupStart; i < endWindow.size(); ++i) {
    const bool inside = FrameIndex(media, endWindow[i].pts) < endIndex;
    if (inside && passedEnd) return false;
    passedEnd = passedEnd || !inside;
  }
  return true;
}

}  // namespace

CutPlan PlanSmartCut(const MediaInfo& media, const CutRequest& request, std::optional<double> startEntry,
                     const QList<Packet>& endWindow, std::optional<double> endEntry) {
  if (!FrameTimesRegular(media, endWindow)) return PlanReEncode(media, request, "the frame rate varies");
  const long long first = FirstFrameAtOrAfter(media, request.start);
  const long long end = FirstFrameAtOrAfter(media, VideoStretchEnd(media, request));
  if (!startEntry || FrameIndex(media, *startEntry) >= end)
    return PlanReEncode(media, request, "the stretch holds no key frame to copy from");
  const long long entry = FrameIndex(media, *startEntry);

  CutPlan plan;
  plan.method = CutMethod::kSmartCut;
  plan.frameRate = Rate(media);
  plan.expectedFrames = int(end - first);
  SmartCutLayout& layout = plan.layout;
  layout.headStart = FrameTime(media, first);
  layout.headFrames = int(entry - first);
  layout.copyStart = FrameTime(media, entry);
  const bool exactEnd = end >= FrameIndex(media, VideoEnd(media)) || CopyEndsExactly(media, endWindow, end);
  if (exactEnd) {
    layout.copyFrames = int(end - entry);
    return plan;
  }
  const long long tailEntry = endEntry ? FrameIndex(media, *endEntry) : entry;
  if (tailEntry <= entry)
    return PlanReEncode(media, request, "the stretch holds no whole group of pictures to copy");
  layout.copyFrames = int(tailEntry - entry);
  layout.tailStart = FrameTime(media, tailEntry);
  layout.tailFrames = int(end - tailEntry);
  return plan;
}

}  // namespace vintrel::cut
