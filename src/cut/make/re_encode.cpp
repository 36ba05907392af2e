#include "cut/make/re_encode.h"

#include <map>
#include <memory>

#include "cut/cut_error.h"
#include "cut/make/output_file.h"
#include "cut/make/sound_stretch.h"
#include "cut/make/subtitle_cues.h"
#include "cut/make/video_encoder.h"
#include "cut/media/decoder.h"

namespace vintrel::cut {

namespace {

// Where a type puts frames on slots, the first frame moves to its slot by up to half a slot:
// the sound is taken from as much later, so that the two stay as they were. Seconds.
double SlotShift(const Source& source, const Stretch& stretch, const ContainerFacts& facts) {
  const AVStream* video = source.video();
  const std::optional<AVRational> rate =
      SlotRate(facts, video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate);
  if (!rate) return 0;
  Source probe(source.path());
  SeekBefore(probe, stretch.start);
  const int64_t beyond = stretch.start + Ticks(1, video->time_base);
  int64_t first = INT64_MAX;
  for (const VideoPacket& packet :
       probe.readVideo(Source::kFromStart,
                       [&](const std::vector<VideoPacket>& read) { return read.back().pts >= beyond; }))
    if (packet.pts >= stretch.start) first = std::min(first, packet.pts);
  if (first == INT64_MAX) return 0;
  const int64_t since = first - stretch.start;
  return Seconds(since, video->time_base) - SlotOf(since, video->time_base, *rate) * av_q2d(av_inv_q(*rate));
}

class ReEncodeWriter {
 public:
  ReEncodeWriter(Source& source, const Stretch& stretch, const QString& made,
                 const std::function<void(double)>& progress)
      : source_(source),
        stretch_(stretch),
        timeBase_(source.video()->time_base),
        output_(made, source, Seconds(stretch.start, timeBase_), Seconds(stretch.end, timeBase_), nullptr,
                true),
        globalHeader_(output_.format()->flags & AVFMT_GLOBALHEADER),
        decoder_(source.video()),
        video_(source.video(), output_.facts(), globalHeader_),
        progress_(progress) {
    output_.setCodec(source.videoIndex(), video_.context());
    made_.encodings << video_.description();
    const double shift = SlotShift(source, stretch, output_.facts());
    const SoundStretch::Span span{Seconds(stretch.start, timeBase_) + shift,
                                  Seconds(stretch.end, timeBase_) + shift};
    for (const int index : source.streamsOf(AVMEDIA_TYPE_AUDIO)) {
      if (!output_.keeps(index)) continue;
      sound_[index] = MakeSoundStretch(
          source.stream(index), output_.facts(), globalHeader_, span,
          [this, index](AVPacket* packet, AVRational timeBase) { output_.write(index, packet, timeBase); });
      if (const AVCodecContext* encoder = sound_[index]->encoder()) {
        output_.setCodec(index, encoder);
        made_.encodings << sound_[index]->description();
      }
    }
  }

  ReEncodeMade write() {
    const double start = Seconds(stretch_.start, timeBase_), end = Seconds(stretch_.end, timeBase_);
    std::vector<Cue> cues = ReadCues(source_, start, end, output_);
    output_.start();
    for (Cue& cue : cues) output_.writeCue(cue.sourceIndex, cue.packet.get());
    SeekBefore(source_, stretch_.start);
    PacketHandle packet = NewPacket();
    while (!finished() && source_.read(packet.get())) {
      ThrowIfCancelled();
      const int index = packet->stream_index;
      if (index == source_.videoIndex() && !videoDone_) {
        decoder_.send(packet.get(), [this](AVFrame* frame) { take(frame); });
      } else if (const auto sound = sound_.find(index); sound != sound_.end()) {
        sound->second->take(packet.get());
      }
      av_packet_unref(packet.get());
    }
    if (!videoDone_) decoder_.drain([this](AVFrame* frame) { take(frame); });
    video_.finish([this](AVPacket* encoded) { writeVideo(encoded); });
    for (auto& [index, sound] : sound_) sound->finish();
    output_.finish();
    return made_;
  }

 private:
  bool finished() const {
    if (!videoDone_) return false;
    for (const auto& [index, sound] : sound_)
      if (!sound->done()) return false;
    return true;
  }

  void take(AVFrame* frame) {
    const int64_t pts =
        frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    if (videoDone_ || pts == AV_NOPTS_VALUE || pts < stretch_.start) return;
    if (pts >= stretch_.end) {
      videoDone_ = true;
      return;
    }
    if (video_.encode(frame, pts - stretch_.start, [this](AVPacket* encoded) { writeVideo(encoded); }))
      ++made_.frames;
    if (progress_)
      progress_(double(pts - stretch_.start) / double(std::max<int64_t>(1, stretch_.end - stretch_.start)));
  }

  void writeVideo(AVPacket* packet) {
    output_.write(source_.videoIndex(), packet, video_.context()->time_base);
  }

  Source& source_;
  const Stretch stretch_;
  const AVRational timeBase_;
  OutputFile output_;
  const bool globalHeader_;
  Decoder decoder_;
  VideoEncoder video_;
  std::map<int, std::unique_ptr<SoundStretch>> sound_;
  std::function<void(double)> progress_;
  bool videoDone_ = false;
  ReEncodeMade made_;
};

}  // namespace

int64_t FirstTicks(const Source& source) {
  const int64_t first = source.video()->start_time;
  return first == AV_NOPTS_VALUE ? 0 : first;
}

void SeekBefore(Source& fresh, int64_t start) {
  const int64_t target = start - Ticks(1, fresh.video()->time_base);
  if (target <= FirstTicks(fresh)) return;  // where a fresh reader stands
  Source probe(fresh.path());
  const std::vector<VideoPacket> first =
      probe.readVideo(target, [](const std::vector<VideoPacket>& read) { return !read.empty(); });
  if (!first.empty() && first.front().pts <= start) fresh.seekVideo(target);
}

ReEncodeMade WriteReEncode(const Source& source, const Stretch& stretch, const QString& made,
                           const std::function<void(double)>& progress) {
  Source fresh(source.path());
  return ReEncodeWriter(fresh, stretch, made, progress).write();
}

}  // namespace vintrel::cut
