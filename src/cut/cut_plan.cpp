#include "cut/cut_plan.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "cut/check/measure.h"
#include "cut/cut_error.h"
#include "cut/make/output_file.h"
#include "cut/plan/cut_choice.h"

namespace vintrel::cut {

// Where the source's first sound stream ends, from the player's 0; 0 without sound.
double AudioEnd(const Source& source) {
  const int audio = source.firstAudio();
  return audio < 0 ? 0 : source.endSeconds(source.stream(audio));
}

// Where the source's first sound stream starts, from the player's 0 (a camera's may start late).
double AudioStart(const Source& source) {
  const int audio = source.firstAudio();
  if (audio < 0 || source.stream(audio)->start_time == AV_NOPTS_VALUE) return 0;
  return std::max(0.0, Seconds(source.stream(audio)->start_time, source.stream(audio)->time_base) -
                           source.startSeconds());
}

Stretch StretchOf(const Source& source, double start, double end) {
  const AVRational timeBase = source.video()->time_base;
  auto at = [&](double seconds) {
    return int64_t(std::ceil((seconds + source.startSeconds()) * timeBase.den / timeBase.num - 1e-6));
  };
  return {at(start), at(end)};
}

QString SmartCutObstacleOf(const Source& source, const QString& output, bool forceReEncode) {
  const SmartCutInput input{LowerExtension(source.path()), LowerExtension(output),
                            avcodec_get_name(source.video()->codecpar->codec_id),
                            StreamRotation(source.video()), forceReEncode};
  QString obstacle = SmartCutObstacle(input);
  if (obstacle.isEmpty()) obstacle = StreamObstacle(source, OutputFormat(output));
  return obstacle;
}

SmartCutDecision PlanFromPackets(Source& source, const Stretch& stretch) {
  const std::vector<VideoPacket> startWindow = source.readVideo(
      stretch.start, [&](const std::vector<VideoPacket>& read) { return StartWindowDone(read, stretch); });
  const std::vector<VideoPacket> endWindow = source.readVideo(
      stretch.end, [&](const std::vector<VideoPacket>& read) { return EndWindowDone(read, stretch); });
  return PlanSmartCut(startWindow, endWindow, stretch, source.reorderDepth());
}

namespace {

// The source's frames whose display times lie in the stretch, read from the key frame before it.
int FramesIn(Source& source, const Stretch& stretch) {
  int after = 0;  // packets past the end: a few more may still show before it
  const std::vector<VideoPacket> packets =
      source.readVideo(stretch.start, [&](const std::vector<VideoPacket>& read) {
        after += read.back().pts >= stretch.end;
        return after > 16;
      });
  int frames = 0;
  for (const VideoPacket& packet : packets) frames += packet.pts >= stretch.start && packet.pts < stretch.end;
  return frames;
}

}  // namespace

CutPlan PlanCut(const QString& input, double start, double end, const QString& output, bool countFrames) {
  Source source(input);
  if (const QString problem = StretchProblem(start, end, source.videoEndSeconds()); !problem.isEmpty())
    throw CutError(problem);
  end = StretchEnd(end, source.videoEndSeconds());
  const AVRational timeBase = source.video()->time_base;
  const Stretch stretch = StretchOf(source, start, end);
  CutPlan plan;
  plan.why = SmartCutObstacleOf(source, output, false);
  const int frames = countFrames ? FramesIn(source, stretch) : -1;
  if (plan.why.isEmpty()) {
    const SmartCutDecision decision = PlanFromPackets(source, stretch);
    plan.why = decision.reason;
    if (decision.layout) {
      plan.smart = true;
      plan.head = int(decision.layout->head.size());
      plan.tail = int(decision.layout->tail.size());
      plan.entry = Seconds(decision.layout->entry, timeBase) - source.startSeconds();
    }
  }
  if (frames < 0)
    plan.copy = -1;
  else if (plan.smart)
    plan.copy = std::max(0, frames - plan.head - plan.tail);
  else
    plan.head = frames;  // every frame is made anew
  return plan;
}

QString PlanJson(const CutPlan& plan) {
  QJsonObject json{{"method", plan.smart ? "smart" : "re-encode"},
                   {"head", plan.head},
                   {"copy", plan.copy},
                   {"tail", plan.tail},
                   {"why", plan.why}};
  if (plan.entry >= 0) json["entry"] = std::round(plan.entry * 1e6) / 1e6;
  return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

QString CostLine(const CutPlan& plan) {
  if (!plan.smart) return QString("Re-encoded: %1").arg(plan.why);
  if (plan.head == 0 && plan.tail == 0) return "Copied whole";
  auto frames = [](int count) { return QString("%1 frame%2").arg(count).arg(count == 1 ? "" : "s"); };
  if (plan.tail == 0) return frames(plan.head) + " re-encoded at the start";
  if (plan.head == 0) return frames(plan.tail) + " re-encoded at the end";
  return QString("%1 re-encoded at the start, %2 at the end").arg(frames(plan.head)).arg(plan.tail);
}

}  // namespace vintrel::cut
