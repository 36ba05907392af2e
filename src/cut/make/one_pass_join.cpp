#include "cut/make/one_pass_join.h"

#include <algorithm>

#include "cut/cut_error.h"
#include "cut/make/decoding_times.h"
#include "cut/make/output_file.h"
#include "cut/make/subtitle_cues.h"

namespace vintrel::cut {

namespace {

// One stretch's packets into the joined streams: its pictures moved by `videoShift` ticks into
// the decoding times shared by every stretch, its sound run on from the stretch before.
class StretchSink : public CutSink {
 public:
  StretchSink(JoinedStreams& streams, DecodingTimes& video, int64_t videoShift, double offset, bool later)
      : streams_(streams), video_(video), videoShift_(videoShift), offset_(offset), later_(later) {}
  void video(PacketHandle packet) override {
    packet->pts += videoShift_;
    video_.push(std::move(packet));
  }
  void sound(int sourceIndex, AVPacket* packet) override {
    streams_.write(sourceIndex, packet, offset_, later_);
  }

 private:
  JoinedStreams& streams_;
  DecodingTimes& video_;
  int64_t videoShift_;
  double offset_;
  bool later_;
};

double StartSeconds(const Source& source, const Stretch& stretch) {
  return Seconds(stretch.start, source.video()->time_base);
}
double EndSeconds(const Source& source, const Stretch& stretch) {
  return Seconds(stretch.end, source.video()->time_base);
}

// A chapter at each stretch, or the source's chapters within each, moved with it.
std::vector<OutputFile::Chapter> JoinedChapters(const Source& source,
                                                const std::vector<PlannedStretch>& stretches,
                                                const std::vector<double>& offsets,
                                                const std::optional<QStringList>& titles) {
  std::vector<OutputFile::Chapter> chapters;
  const AVFormatContext* context = source.context();
  for (size_t i = 0; i < stretches.size(); ++i) {
    const double start = StartSeconds(source, stretches[i].stretch),
                 end = EndSeconds(source, stretches[i].stretch);
    if (titles) {
      chapters.push_back({offsets[i], offsets[i] + end - start, titles->value(qsizetype(i))});
      continue;
    }
    for (unsigned c = 0; c < context->nb_chapters; ++c) {
      const AVChapter* chapter = context->chapters[c];
      const double from = Seconds(chapter->start, chapter->time_base),
                   to = Seconds(chapter->end, chapter->time_base);
      if (to <= start || from >= end) continue;
      const AVDictionaryEntry* title = av_dict_get(chapter->metadata, "title", nullptr, 0);
      chapters.push_back({offsets[i] + std::max(from, start) - start, offsets[i] + std::min(to, end) - start,
                          title ? QString::fromUtf8(title->value) : QString()});
    }
  }
  return chapters;
}

}  // namespace

JoinedInOnePass WriteJoined(Source& source, const std::vector<PlannedStretch>& stretches, const QString& made,
                            const std::optional<QStringList>& titles,
                            const std::function<void(double)>& progress) {
  if (stretches.empty()) throw CutError("There is nothing to join.");
  const AVRational timeBase = source.video()->time_base;
  JoinedInOnePass result;
  std::vector<int64_t> shifts;
  int64_t at = 0;
  int depth = 0;
  for (const PlannedStretch& planned : stretches) {
    shifts.push_back(at);
    result.offsets.push_back(Seconds(at, timeBase));
    at += planned.stretch.end - planned.stretch.start;
    depth = std::max(depth, planned.layout.reorderDepth);
  }
  OutputFile output(made, source, StartSeconds(source, stretches.front().stretch),
                    EndSeconds(source, stretches.back().stretch));
  output.setChapters(JoinedChapters(source, stretches, result.offsets, titles));
  // Every cue stream's format is settled before the file's header is written.
  std::vector<std::vector<Cue>> cues;
  for (const PlannedStretch& planned : stretches)
    cues.push_back(
        ReadCues(source, StartSeconds(source, planned.stretch), EndSeconds(source, planned.stretch), output));
  output.start();
  JoinedStreams streams(output, source, false);
  // One clock of decoding times for the pictures of every stretch, as deep as the deepest.
  DecodingTimes video(
      depth, [&](PacketHandle packet) { streams.write(source.videoIndex(), packet.get(), 0, false); });
  for (size_t i = 0; i < stretches.size(); ++i) {
    ThrowIfCancelled();
    streams.startPiece();
    for (Cue& cue : cues[i]) streams.write(cue.sourceIndex, cue.packet.get(), result.offsets[i], i > 0);
    StretchSink sink(streams, video, shifts[i], result.offsets[i], i > 0);
    const double share = double(stretches[i].stretch.end - stretches[i].stretch.start) / double(at);
    const double before = double(shifts[i]) / double(at);
    result.stretches.push_back(WriteStretch(source, stretches[i].layout, stretches[i].stretch,
                                            output.facts().trimsSound, sink, [&](double done) {
                                              if (progress) progress(before + share * done);
                                            }));
  }
  video.finish();
  streams.finish();
  output.finish();
  result.joined = streams.joined();
  return result;
}

}  // namespace vintrel::cut
