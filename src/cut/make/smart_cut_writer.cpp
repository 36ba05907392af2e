#include "cut/make/smart_cut_writer.h"

#include <QFileInfo>
#include <deque>
#include <map>
#include <memory>
#include <set>

#include "cut/cut_error.h"
#include "cut/make/decoding_times.h"
#include "cut/make/matched_encoder.h"
#include "cut/make/output_file.h"
#include "cut/make/subtitle_cues.h"
#include "cut/media/decoder.h"
#include "cut/media/nal.h"
#include "cut/media/versions.h"

namespace vintrel::cut {

namespace {

// Encoding a frame costs about as much as copying this many: the progress's weights.
constexpr double kEncodeCost = 40;

// Frames decoded from a key frame and re-encoded where they are wanted.
struct ReEncodedPart {
  ReEncodedPart(const Source& source, const std::vector<int64_t>& frames, int64_t from, int64_t origin,
                const QList<QByteArray>& sets)
      : decoder(source.video()),
        encoder(source.video(), sets, source.nalLengthSize()),
        wanted(frames.begin(), frames.end()),
        decodeFrom(from),
        origin(origin) {}

  // Feeds a packet in decoding order; true once every wanted frame is encoded.
  bool feed(const AVPacket* packet) {
    if (done) return true;
    decoding = decoding || (packet->pts == decodeFrom && (packet->flags & AV_PKT_FLAG_KEY));
    if (decoding) decoder.send(packet, [this](AVFrame* frame) { take(frame); });
    return done;
  }
  void finish() {
    if (done) return;
    decoder.drain([this](AVFrame* frame) { take(frame); });
    close();
    done = true;
  }

  Decoder decoder;
  MatchedEncoder encoder;
  std::set<int64_t> wanted;
  int64_t decodeFrom, origin;
  bool decoding = false, encoded = false, done = false;
  std::vector<PacketHandle> packets;  // encoded, times from the origin
  std::map<int64_t, int64_t> durations;

 private:
  void take(AVFrame* frame) {
    const int64_t pts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
    if (!encoded && wanted.count(pts)) {
      durations[pts - origin] = FrameDuration(frame);
      frame->pts = pts - origin;
      encoder.encode(frame, [this](PacketHandle packet) { keep(std::move(packet)); });
      if (encoder.encoded() == int(wanted.size())) close();
    }
    done = encoded;
  }
  void close() {
    if (!encoded) encoder.finish([this](PacketHandle packet) { keep(std::move(packet)); });
    encoded = true;
  }
  void keep(PacketHandle packet) {
    packet->duration = durations.count(packet->pts) ? durations[packet->pts] : 0;
    packets.push_back(std::move(packet));
  }
};

class SmartCutWriter {
 public:
  SmartCutWriter(Source& source, const SmartCutLayout& layout, const Stretch& stretch, bool trimsSound,
                 CutSink& sink, const std::function<void(double)>& progress)
      : source_(source),
        layout_(layout),
        stretch_(stretch),
        startSeconds_(Seconds(stretch.start, source.video()->time_base)),
        endSeconds_(Seconds(stretch.end, source.video()->time_base)),
        sink_(sink),
        progress_(progress),
        trimsSound_(trimsSound) {
    const AVCodecParameters* video = source.video()->codecpar;
    codec_ = video->codec_id;
    sets_ = ParameterSets(codec_,
                          QByteArray(reinterpret_cast<const char*>(video->extradata), video->extradata_size));
    if (!layout.head.empty()) {
      head_ =
          std::make_unique<ReEncodedPart>(source, layout.head, layout.headDecodeFrom, stretch.start, sets_);
    }
    if (!layout.tail.empty())
      tail_ =
          std::make_unique<ReEncodedPart>(source, layout.tail, layout.tailDecodeFrom, stretch.start, sets_);
    const double frames = (stretch.end - stretch.start) * av_q2d(source.video()->time_base) *
                          std::max(1.0, av_q2d(source.video()->avg_frame_rate));
    work_ = frames + (layout.head.size() + layout.tail.size()) * kEncodeCost;
  }

  SmartCutMade write() {
    // From a second before the start too, where a demuxer keeps sound that starts before the frame.
    const int64_t decodeFrom = head_ ? layout_.headDecodeFrom : layout_.entry;
    source_.seekVideo(std::min(decodeFrom, stretch_.start - Ticks(1, source_.video()->time_base)));
    PacketHandle packet = NewPacket();
    while (!finished() && source_.read(packet.get())) {
      ThrowIfCancelled();
      take(packet.get());
      av_packet_unref(packet.get());
    }
    if (head_) head_->finish();
    if (tail_) tail_->finish();
    releaseHead();
    copyDone_ = true;
    releaseTail();
    return std::move(made_);
  }

 private:
  bool finished() const {
    if (!copyDone_ || (tail_ && !tail_->done)) return false;
    for (const int audio : source_.streamsOf(AVMEDIA_TYPE_AUDIO))
      if (!audioDone_.count(audio)) return false;
    return true;
  }

  void take(AVPacket* packet) {
    const AVStream* stream = source_.stream(packet->stream_index);
    if (packet->stream_index == source_.videoIndex()) return takeVideo(packet);
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) takeAudio(packet, stream);
  }

  // Sound from the packet that holds the start mark to the one that holds the end, on the
  // start mark's clock; where a packet begins before it, the container's edit list (MP4,
  // MOV) trims it to the sample, or the whole file is shifted by that much (Matroska). Where
  // the edit list trims, a packet or two before go along unheard: a decoder needs them to
  // give the first heard one whole (MP3's bit reservoir, the overlap of AAC's transform).
  void takeAudio(AVPacket* packet, const AVStream* stream) {
    if (packet->pts == AV_NOPTS_VALUE) return;
    const int64_t origin = Ticks(startSeconds_, stream->time_base),
                  end = Ticks(endSeconds_, stream->time_base);
    if (packet->pts >= end) {
      audioDone_.insert(packet->stream_index);
      return;
    }
    std::deque<PacketHandle>& preRoll = preRoll_[packet->stream_index];
    if (packet->pts + std::max<int64_t>(packet->duration, 1) <= origin) {
      if (trimsSound_) preRoll.push_back(ClonePacket(packet));
      if (preRoll.size() > (stream->codecpar->codec_id == AV_CODEC_ID_MP3 ? 2u : 1u)) preRoll.pop_front();
      return;
    }
    for (PacketHandle& early : preRoll) writeAudio(early.get(), stream, origin);
    preRoll.clear();
    writeAudio(packet, stream, origin);
  }

  void writeAudio(AVPacket* packet, const AVStream* stream, int64_t origin) {
    packet->pts -= origin;
    packet->dts = packet->dts == AV_NOPTS_VALUE ? packet->pts : packet->dts - origin;
    if (!made_.firstSound && packet->stream_index == source_.firstAudio())
      made_.firstSound = Seconds(packet->pts, stream->time_base);
    sink_.sound(packet->stream_index, packet);
  }

  void takeVideo(AVPacket* packet) {
    if (packet->pts == AV_NOPTS_VALUE) return;
    const bool key = packet->flags & AV_PKT_FLAG_KEY;
    if (packet->pts >= stretch_.start && packet->pts < stretch_.end && packet->size > 0) ++made_.sourceFrames;
    if (head_ && head_->feed(packet)) releaseHead();
    if (!copyDone_) {
      copying_ = copying_ || (packet->pts == layout_.entry && key);
      if (copying_ && layout_.copyBefore && packet->pts == *layout_.copyBefore) {
        copyDone_ = true;
        releaseTail();
      } else if (copying_ && (packet->pts >= layout_.entry)) {
        copy(packet);
      }
    }
    if (tail_ && !(tail_->decodeFrom == layout_.entry && packet->pts < layout_.entry) && tail_->feed(packet))
      releaseTail();
    report();
  }

  // A copied packet, with the source's parameter sets in front of each key frame: the
  // re-encoded parts carry their own, and whichever a decoder saw last, these frames find theirs.
  void copy(const AVPacket* packet) {
    PacketHandle copied = ClonePacket(packet);
    const int lengthSize = source_.nalLengthSize();
    if ((packet->flags & AV_PKT_FLAG_KEY) && (codec_ == AV_CODEC_ID_H264 || codec_ == AV_CODEC_ID_HEVC)) {
      QByteArray bytes(reinterpret_cast<const char*>(packet->data), packet->size);
      if (codec_ == AV_CODEC_ID_HEVC && packet->pts == layout_.entry)
        bytes = MarkedAsBrokenLink(bytes, lengthSize);
      QList<QByteArray> units = SplitLengthPrefixed(bytes, lengthSize);
      const bool hasSets = std::any_of(units.begin(), units.end(),
                                       [&](const QByteArray& unit) { return IsParameterSet(codec_, unit); });
      if (!hasSets) copied = PacketWith(JoinLengthPrefixed(sets_ + units, lengthSize), packet);
    }
    copied->pts -= stretch_.start;
    copied->dts = AV_NOPTS_VALUE;
    ++made_.copied;
    if (head_ && !headReleased_) {
      held_.push_back(std::move(copied));
    } else {
      sink_.video(std::move(copied));
    }
  }

  void releaseHead() {
    if (headReleased_) return;
    headReleased_ = true;
    if (head_) {
      made_.reEncoded += int(head_->packets.size());
      for (PacketHandle& packet : head_->packets) sink_.video(std::move(packet));
    }
    for (PacketHandle& packet : held_) sink_.video(std::move(packet));
    held_.clear();
  }

  void releaseTail() {
    if (!tail_ || !tail_->done || !copyDone_ || tailReleased_) return;
    releaseHead();
    tailReleased_ = true;
    made_.reEncoded += int(tail_->packets.size());
    for (PacketHandle& packet : tail_->packets) sink_.video(std::move(packet));
  }

  void report() {
    const double done =
        made_.copied +
        ((head_ ? head_->encoder.encoded() : 0) + (tail_ ? tail_->encoder.encoded() : 0)) * kEncodeCost;
    if (progress_ && work_ > 0) progress_(std::min(1.0, done / work_));
  }

  Source& source_;
  const SmartCutLayout& layout_;
  const Stretch stretch_;
  const double startSeconds_, endSeconds_;
  CutSink& sink_;
  std::function<void(double)> progress_;
  AVCodecID codec_ = AV_CODEC_ID_NONE;
  QList<QByteArray> sets_;
  std::unique_ptr<ReEncodedPart> head_, tail_;
  std::vector<PacketHandle> held_;
  std::set<int> audioDone_;
  std::map<int, std::deque<PacketHandle>> preRoll_;
  const bool trimsSound_;
  bool copying_ = false, copyDone_ = false, headReleased_ = false, tailReleased_ = false;
  double work_ = 0;
  SmartCutMade made_;
};

}  // namespace

SmartCutMade WriteStretch(Source& source, const SmartCutLayout& layout, const Stretch& stretch,
                          bool trimsSound, CutSink& sink, const std::function<void(double)>& progress) {
  return SmartCutWriter(source, layout, stretch, trimsSound, sink, progress).write();
}

namespace {

// A single cut's packets straight into its file, the video's decoding times made from its own.
class FileSink : public CutSink {
 public:
  FileSink(OutputFile& output, const Source& source, int reorderDepth)
      : output_(output), video_(reorderDepth, [this, index = source.videoIndex()](PacketHandle packet) {
          output_.write(index, packet.get());
        }) {}
  void video(PacketHandle packet) override { video_.push(std::move(packet)); }
  void sound(int sourceIndex, AVPacket* packet) override { output_.write(sourceIndex, packet); }
  void finish() { video_.finish(); }

 private:
  OutputFile& output_;
  DecodingTimes video_;
};

}  // namespace

SmartCutMade WriteSmartCut(Source& source, const SmartCutLayout& layout, const Stretch& stretch,
                           const QString& made, const std::function<void(double)>& progress) {
  const AVRational timeBase = source.video()->time_base;
  const double start = Seconds(stretch.start, timeBase), end = Seconds(stretch.end, timeBase);
  OutputFile output(made, source, start, end);
  std::vector<Cue> cues = ReadCues(source, start, end, output);
  output.start();
  for (Cue& cue : cues) output.writeCue(cue.sourceIndex, cue.packet.get());
  FileSink sink(output, source, layout.reorderDepth);
  SmartCutMade result = WriteStretch(source, layout, stretch, output.facts().trimsSound, sink, progress);
  sink.finish();
  output.finish();
  return result;
}

}  // namespace vintrel::cut
