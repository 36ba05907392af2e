#include "cut/make/join_pieces.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "cut/cut_error.h"
#include "cut/make/output_file.h"
#include "cut/media/av.h"
#include "cut/media/source.h"

namespace vintrel::cut {

namespace {

QString StreamDifference(const Source& first, const Source& other) {
  const AVFormatContext* a = first.context();
  const AVFormatContext* b = other.context();
  if (a->nb_streams != b->nb_streams) return "they hold different streams";
  for (unsigned i = 0; i < a->nb_streams; ++i) {
    const AVCodecParameters* x = a->streams[i]->codecpar;
    const AVCodecParameters* y = b->streams[i]->codecpar;
    // The same parameter sets: a piece's packets decode with the first piece's.
    if (x->codec_id != y->codec_id || x->extradata_size != y->extradata_size ||
        (x->extradata_size > 0 && !std::equal(x->extradata, x->extradata + x->extradata_size, y->extradata)))
      return QString("stream %1 differs (codec or parameter sets)").arg(i);
  }
  return {};
}

// How many packets in decoding order hold the first picture in display order.
constexpr int kReorderReach = 16;

// The earliest picture time among a file's first video packets, seconds of its own clock.
double FirstVideoTime(const QString& file) {
  Source source(file);
  PacketHandle packet = NewPacket();
  std::optional<int64_t> first;
  for (int seen = 0; seen < kReorderReach && source.read(packet.get());) {
    if (packet->stream_index == source.videoIndex() && packet->pts != AV_NOPTS_VALUE) {
      first = std::min(first.value_or(packet->pts), packet->pts);
      ++seen;
    }
    av_packet_unref(packet.get());
  }
  return first ? Seconds(*first, source.video()->time_base) : 0;
}

double SoundFrame(const Source& source) {
  const int audio = source.firstAudio();
  if (audio < 0) return 0;
  const AVCodecParameters* parameters = source.stream(audio)->codecpar;
  return parameters->frame_size > 0 && parameters->sample_rate > 0
             ? double(parameters->frame_size) / parameters->sample_rate
             : 0.04;
}

// Where each stream of the joined file stands: the last decoding time written, and for sound
// where its next packet goes.
struct StreamClock {
  std::optional<int64_t> lastDts;
  std::optional<int64_t> nextSound;
  std::optional<int64_t> pieceShift;  // how far the piece's sound moved to follow on, once known
};

class Joiner {
 public:
  Joiner(const std::vector<JoinPiece>& pieces, const QString& made, bool chapters)
      : pieces_(pieces), made_(made) {
    for (const JoinPiece& piece : pieces) sources_.push_back(std::make_unique<Source>(piece.file));
    for (size_t i = 1; i < sources_.size(); ++i)
      if (const QString difference = StreamDifference(*sources_[0], *sources_[i]); !difference.isEmpty())
        throw CutError(QString("The segments' cuts cannot be joined: %1.").arg(difference));
    double total = 0;
    for (const JoinPiece& piece : pieces) total += piece.length;
    output_ = std::make_unique<OutputFile>(made, *sources_[0], 0, total);
    output_->setChapters(chapters ? SegmentChapters() : PieceChapters());
    clocks_.resize(sources_[0]->context()->nb_streams);
    joined_.soundFrame = SoundFrame(*sources_[0]);
  }

  Joined run(const std::function<void(double)>& progress) {
    output_->start();
    double offset = 0;
    for (size_t i = 0; i < sources_.size(); ++i) {
      ThrowIfCancelled();
      // A muxer may have moved a piece's clock (Matroska starts its earliest packet at 0): its
      // first picture goes where it stood after its start mark, the rest with it.
      copyPiece(*sources_[i], offset + pieces_[i].firstFrame - FirstVideoTime(pieces_[i].file), i > 0);
      offset += pieces_[i].length;
      if (progress) progress(double(i + 1) / double(sources_.size()));
    }
    output_->finish();
    return joined_;
  }

 private:
  std::vector<OutputFile::Chapter> SegmentChapters() const {
    std::vector<OutputFile::Chapter> chapters;
    double from = 0;
    for (const JoinPiece& piece : pieces_) {
      chapters.push_back({from, from + piece.length, piece.title});
      from += piece.length;
    }
    return chapters;
  }

  // The chapters each piece kept of the source, moved with it.
  std::vector<OutputFile::Chapter> PieceChapters() const {
    std::vector<OutputFile::Chapter> chapters;
    double from = 0;
    for (size_t i = 0; i < sources_.size(); ++i) {
      const AVFormatContext* context = sources_[i]->context();
      for (unsigned c = 0; c < context->nb_chapters; ++c) {
        const AVChapter* chapter = context->chapters[c];
        const AVDictionaryEntry* title = av_dict_get(chapter->metadata, "title", nullptr, 0);
        chapters.push_back({from + Seconds(chapter->start, chapter->time_base),
                            from + std::min(Seconds(chapter->end, chapter->time_base), pieces_[i].length),
                            title ? QString::fromUtf8(title->value) : QString()});
      }
      from += pieces_[i].length;
    }
    return chapters;
  }

  void copyPiece(Source& source, double offset, bool later) {
    for (StreamClock& clock : clocks_) clock.pieceShift.reset();
    PacketHandle packet = NewPacket();
    while (source.read(packet.get())) {
      ThrowIfCancelled();
      const int index = packet->stream_index;
      const AVStream* in = source.stream(index);
      // Every piece is written in the first piece's clocks.
      const AVRational timeBase = sources_[0]->stream(index)->time_base;
      av_packet_rescale_ts(packet.get(), in->time_base, timeBase);
      const bool sound = in->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
      if (sound ? placeSound(packet.get(), index, offset, timeBase, later)
                : place(packet.get(), index, offset, timeBase)) {
        if (index == source.videoIndex()) ++joined_.frames;
        output_->write(index, packet.get());
      }
      av_packet_unref(packet.get());
    }
  }

  bool place(AVPacket* packet, int index, double offset, AVRational timeBase) {
    const int64_t shift = Ticks(offset, timeBase);
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += shift;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts += shift;
    StreamClock& clock = clocks_[size_t(index)];
    if (packet->dts != AV_NOPTS_VALUE) {
      if (clock.lastDts && packet->dts <= *clock.lastDts)
        throw CutError("The segments' cuts cannot be joined: their decoding times overlap at a join.");
      clock.lastDts = packet->dts;
    }
    return true;
  }

  // Sound runs on without a gap: a piece's first packets that the piece before already covers
  // by more than half go, and the piece's sound moves as one by what is left (at most half a
  // packet), so that within it every packet keeps its own time.
  bool placeSound(AVPacket* packet, int index, double offset, AVRational timeBase, bool later) {
    StreamClock& clock = clocks_[size_t(index)];
    const int64_t ideal = packet->pts + Ticks(offset, timeBase);
    if (!clock.pieceShift) {
      if (clock.nextSound && ideal + packet->duration / 2 < *clock.nextSound) return false;
      clock.pieceShift = clock.nextSound ? *clock.nextSound - ideal : 0;
      if (later && index == sources_[0]->firstAudio())
        joined_.soundOffsetAtJoins =
            std::max(joined_.soundOffsetAtJoins, std::abs(Seconds(*clock.pieceShift, timeBase)));
    }
    // A piece's own start trims are its own; here the sound runs on.
    if (later) av_packet_free_side_data(packet);
    packet->dts = packet->pts = ideal + *clock.pieceShift;
    if (clock.nextSound && packet->pts < *clock.nextSound - packet->duration / 2) return false;
    clock.nextSound = packet->pts + packet->duration;
    return true;
  }

  const std::vector<JoinPiece>& pieces_;
  QString made_;
  std::vector<std::unique_ptr<Source>> sources_;
  std::unique_ptr<OutputFile> output_;
  std::vector<StreamClock> clocks_;
  Joined joined_;
};

}  // namespace

double FirstFrameAfter(Source& source, double start) {
  const AVRational timeBase = source.video()->time_base;
  const int64_t mark = source.ticksAt(start, timeBase);
  // From the key frame before the mark until the pictures in decoding order run well past it.
  const std::vector<VideoPacket> read = source.readVideo(mark, [&](const std::vector<VideoPacket>& packets) {
    int after = 0;
    for (const VideoPacket& packet : packets) after += packet.pts >= mark;
    return after >= kReorderReach;
  });
  std::optional<int64_t> first;
  for (const VideoPacket& packet : read)
    if (packet.pts >= mark) first = std::min(first.value_or(packet.pts), packet.pts);
  return first ? Seconds(*first - mark, timeBase) : 0;
}

Joined JoinPieces(const std::vector<JoinPiece>& pieces, const QString& made, bool chapters,
                  const std::function<void(double)>& progress) {
  if (pieces.empty()) throw CutError("There is nothing to join.");
  Joiner joiner(pieces, made, chapters);
  return joiner.run(progress);
}

namespace {

// The video packets' hashes of a file, with their times in seconds from its first picture, in
// decoding order.
std::vector<std::pair<double, QByteArray>> VideoPackets(const QString& file) {
  Source source(file);
  const double first = FirstVideoTime(file);
  std::vector<std::pair<double, QByteArray>> packets;
  PacketHandle packet = NewPacket();
  while (source.read(packet.get())) {
    if (packet->stream_index == source.videoIndex())
      packets.emplace_back(
          Seconds(packet->pts, source.video()->time_base) - first,
          QCryptographicHash::hash(QByteArrayView(packet->data, packet->size), QCryptographicHash::Md5));
    av_packet_unref(packet.get());
  }
  return packets;
}

}  // namespace

QStringList CheckJoined(const std::vector<JoinPiece>& pieces, const QString& made, const Joined& joined) {
  const std::vector<std::pair<double, QByteArray>> all = VideoPackets(made);
  size_t next = 0;
  double from = 0;
  QStringList perSegment;
  int total = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::vector<std::pair<double, QByteArray>> own = VideoPackets(pieces[i].file);
    int inStretch = 0;
    for (const auto& [time, hash] : own) {
      if (next >= all.size() || all[next].second != hash)
        throw VerificationFailed(QString("segment %1's pictures differ from its cut's").arg(i + 1));
      // Each frame stands where it stood in its own cut, moved by the segments before it (to the
      // millisecond Matroska holds).
      const double at = all[next++].first + pieces[0].firstFrame;
      const double expected = from + pieces[i].firstFrame + time;
      if (std::abs(at - expected) < 0.0015 && at >= from - 0.0015 && at < from + pieces[i].length - 0.0005)
        ++inStretch;
    }
    if (inStretch != int(own.size()))
      throw VerificationFailed(
          QString("%1 of segment %2's %3 frames stand outside its stretch of the joined file")
              .arg(int(own.size()) - inStretch)
              .arg(i + 1)
              .arg(own.size()));
    perSegment << QString::number(inStretch);
    total += inStretch;
    from += pieces[i].length;
  }
  if (next != all.size() || total != joined.frames)
    throw VerificationFailed(QString("the joined file holds %1 frames, not %2").arg(all.size()).arg(total));
  if (joined.soundFrame > 0 && joined.soundOffsetAtJoins > joined.soundFrame / 2 + 0.0005)
    throw VerificationFailed(QString("the sound stands %1 ms off its picture at a join")
                                 .arg(joined.soundOffsetAtJoins * 1000, 0, 'f', 1));
  QStringList checked{QString("video length: %1 frames (%2 per segment), each segment's pictures the same "
                              "bytes as its checked cut, in its own stretch of the joined clock")
                          .arg(total)
                          .arg(perSegment.join(" + "))};
  if (joined.soundFrame > 0)
    checked << QString(
                   "sound joined without a gap, at most %1 ms off its picture at a join (half a sound frame: "
                   "%2 ms)")
                   .arg(joined.soundOffsetAtJoins * 1000, 0, 'f', 1)
                   .arg(joined.soundFrame * 500, 0, 'f', 1);
  return checked;
}

}  // namespace vintrel::cut
