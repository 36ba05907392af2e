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

bool SameExtradata(const AVCodecParameters* x, const AVCodecParameters* y) {
  return x->extradata_size == y->extradata_size &&
         (x->extradata_size == 0 || std::equal(x->extradata, x->extradata + x->extradata_size, y->extradata));
}

// An H.264 stream's parameter sets from its avcC record, as NAL units with the record's length
// prefix: what a piece's first packet carries where its sets differ from the first piece's.
// Empty where the record is none such.
QByteArray InBandSets(const AVCodecParameters* parameters) {
  const uint8_t* data = parameters->extradata;
  const int size = parameters->extradata_size;
  if (parameters->codec_id != AV_CODEC_ID_H264 || size < 7 || data[0] != 1) return {};
  const int lengthSize = (data[4] & 3) + 1;
  QByteArray sets;
  int at = 5;
  for (int kind = 0; kind < 2; ++kind) {
    if (at >= size) return {};
    const int count = kind == 0 ? data[at] & 0x1f : data[at];
    ++at;
    for (int i = 0; i < count; ++i) {
      if (at + 2 > size) return {};
      const int length = data[at] << 8 | data[at + 1];
      at += 2;
      if (at + length > size) return {};
      for (int byte = lengthSize - 1; byte >= 0; --byte) sets.append(char(length >> (8 * byte) & 0xff));
      sets.append(reinterpret_cast<const char*>(data + at), length);
      at += length;
    }
  }
  return sets;
}

QString StreamDifference(const Source& first, const Source& other) {
  const AVFormatContext* a = first.context();
  const AVFormatContext* b = other.context();
  if (a->nb_streams != b->nb_streams) return "they hold different streams";
  for (unsigned i = 0; i < a->nb_streams; ++i) {
    const AVCodecParameters* x = a->streams[i]->codecpar;
    const AVCodecParameters* y = b->streams[i]->codecpar;
    // The same parameter sets, or H.264 sets the piece's first packet can carry in band; sound of
    // the same codec, rate and channels (each packet decodes on its own); text cues of the same
    // codec (each cue is whole; a piece without one may carry another style header).
    const bool sound = x->codec_type == AVMEDIA_TYPE_AUDIO;
    if (sound && x->codec_id == y->codec_id && x->sample_rate == y->sample_rate &&
        x->ch_layout.nb_channels == y->ch_layout.nb_channels)
      continue;
    if (x->codec_type == AVMEDIA_TYPE_SUBTITLE && IsTextSubtitle(x->codec_id) && x->codec_id == y->codec_id)
      continue;
    if (x->codec_id != y->codec_id || (!SameExtradata(x, y) && InBandSets(y).isEmpty()))
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

// How many pictures decoding may run ahead of display: more than any encoder here reorders.
constexpr size_t kMostReordering = 8;

// A decoding time for a picture shown at `pts`: the earliest time among the pictures seen that
// no decoding time has taken yet, once as many as reordering may hold are waiting; rising, and
// never after the picture's own time.
int64_t DecodingTime(std::vector<int64_t>& waiting, int64_t pts) {
  if (waiting.empty())
    for (size_t i = kMostReordering; i > 0; --i) waiting.push_back(pts - int64_t(i));
  waiting.insert(std::upper_bound(waiting.begin(), waiting.end(), pts), pts);
  const int64_t earliest = waiting.front();
  waiting.erase(waiting.begin());
  return earliest;
}

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
    output_->setChapters(chapters ? segmentChapters() : pieceChapters());
    // Matroska keeps no decoding times, and its reader's guesses run backwards around the
    // pictures a cut re-encoded: they are made afresh from the pictures' own times.
    streams_ = std::make_unique<JoinedStreams>(*output_, *sources_[0],
                                               QString(output_->format()->name).contains("matroska"));
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
    streams_->finish();
    output_->finish();
    return streams_->joined();
  }

 private:
  std::vector<OutputFile::Chapter> segmentChapters() const {
    std::vector<OutputFile::Chapter> chapters;
    double from = 0;
    for (const JoinPiece& piece : pieces_) {
      chapters.push_back({from, from + piece.length, piece.title});
      from += piece.length;
    }
    return chapters;
  }

  // The chapters each piece kept of the source, moved with it.
  std::vector<OutputFile::Chapter> pieceChapters() const {
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

  // `offset`: what moves the piece's packets to where it starts in the joined file, seconds.
  void copyPiece(Source& source, double offset, bool later) {
    streams_->startPiece();
    const AVCodecParameters* video = source.video()->codecpar;
    QByteArray sets = SameExtradata(video, sources_[0]->video()->codecpar) ? QByteArray() : InBandSets(video);
    PacketHandle packet = NewPacket();
    while (source.read(packet.get())) {
      ThrowIfCancelled();
      const int index = packet->stream_index;
      if (index == source.videoIndex() && !sets.isEmpty()) {
        // The piece's own parameter sets go before its first picture.
        PacketHandle withSets = PacketWith(
            sets + QByteArray(reinterpret_cast<const char*>(packet->data), packet->size), packet.get());
        av_packet_unref(packet.get());
        av_packet_move_ref(packet.get(), withSets.get());
        sets.clear();
      }
      const AVStream* in = source.stream(index);
      // Every piece is written in the first piece's clocks.
      const AVRational timeBase = sources_[0]->stream(index)->time_base;
      av_packet_rescale_ts(packet.get(), in->time_base, timeBase);
      streams_->write(index, packet.get(), offset, later);
      av_packet_unref(packet.get());
    }
  }

  const std::vector<JoinPiece>& pieces_;
  QString made_;
  std::vector<std::unique_ptr<Source>> sources_;
  std::unique_ptr<OutputFile> output_;
  std::unique_ptr<JoinedStreams> streams_;
};

}  // namespace

JoinedStreams::JoinedStreams(OutputFile& output, const Source& first, bool remakeDecodingTimes)
    : output_(output),
      first_(first),
      clocks_(first.context()->nb_streams),
      remakeDecodingTimes_(remakeDecodingTimes) {
  joined_.soundFrame = SoundFrame(first);
}

void JoinedStreams::startPiece() {
  for (StreamClock& clock : clocks_) clock.pieceShift.reset();
}

void JoinedStreams::write(int index, AVPacket* packet, double offset, bool later) {
  const AVMediaType type = first_.stream(index)->codecpar->codec_type;
  if (type == AVMEDIA_TYPE_AUDIO) return placeSound(packet, index, offset, later);
  place(packet, index, offset);
  if (index == first_.videoIndex()) ++joined_.frames;
  // The muxer keeps text subtitles as cues, in streams of their own.
  if (type == AVMEDIA_TYPE_SUBTITLE)
    output_.writeCue(index, packet);
  else
    output_.write(index, packet);
}

void JoinedStreams::place(AVPacket* packet, int index, double offset) {
  const AVRational timeBase = first_.stream(index)->time_base;
  const int64_t shift = Ticks(offset, timeBase);
  if (packet->pts != AV_NOPTS_VALUE) packet->pts += shift;
  if (packet->dts != AV_NOPTS_VALUE) packet->dts += shift;
  StreamClock& clock = clocks_[size_t(index)];
  if (remakeDecodingTimes_ && packet->pts != AV_NOPTS_VALUE)
    packet->dts = index == first_.videoIndex() ? DecodingTime(clock.waiting, packet->pts) : packet->pts;
  if (packet->dts != AV_NOPTS_VALUE) {
    // Two cues may start together; two pictures or sound packets may not.
    const bool cue = first_.stream(index)->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
    if (clock.lastDts && (packet->dts < *clock.lastDts || (packet->dts == *clock.lastDts && !cue)))
      throw CutError("The segments' cuts cannot be joined: their decoding times overlap at a join.");
    clock.lastDts = packet->dts;
  }
}

// Sound runs on without a gap. At a join either the piece before's last packet (most of it
// past its end mark) or this piece's first packets (most of them before its start) go, or
// neither, whichever leaves the sound nearest its picture; the piece's sound then moves as one
// by what is left (at most half a packet), so that within it every packet keeps its own time.
void JoinedStreams::placeSound(AVPacket* packet, int index, double offset, bool later) {
  const AVRational timeBase = first_.stream(index)->time_base;
  StreamClock& clock = clocks_[size_t(index)];
  const int64_t ideal = packet->pts + Ticks(offset, timeBase);
  const int64_t duration = packet->duration;
  if (!clock.pieceShift) {
    while (clock.nextSound) {
      const int64_t keepBoth = *clock.nextSound - ideal, dropHead = *clock.nextSound - (ideal + duration);
      const int64_t dropTail = clock.held ? clock.held->pts - ideal : keepBoth;
      if (clock.held && std::abs(dropTail) <= std::min(std::abs(keepBoth), std::abs(dropHead))) {
        clock.nextSound = clock.held->pts;
        clock.held.reset();
        continue;
      }
      if (std::abs(dropHead) < std::abs(keepBoth)) return;
      break;
    }
    clock.pieceShift = clock.nextSound ? *clock.nextSound - ideal : 0;
    if (later && index == first_.firstAudio())
      joined_.soundOffsetAtJoins =
          std::max(joined_.soundOffsetAtJoins, std::abs(Seconds(*clock.pieceShift, timeBase)));
  }
  // A piece's own start trims are its own; here the sound runs on.
  if (later) av_packet_free_side_data(packet);
  packet->dts = packet->pts = ideal + *clock.pieceShift;
  if (clock.nextSound && packet->pts < *clock.nextSound - duration / 2) return;
  clock.nextSound = packet->pts + duration;
  // Each packet waits for the next: at a join it may yet go.
  if (clock.held) output_.write(index, clock.held.get());
  clock.held = ClonePacket(packet);
}

void JoinedStreams::finish() {
  for (size_t index = 0; index < clocks_.size(); ++index)
    if (clocks_[index].held) output_.write(int(index), clocks_[index].held.get());
}

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

// A file's video packets one by one in decoding order, each with its time from the file's first
// picture.
class VideoReader {
 public:
  explicit VideoReader(const QString& file) : source_(file), first_(FirstVideoTime(file)) {}
  bool next(QByteArray& bytes, double& time) {
    while (source_.read(packet_.get())) {
      const bool video = packet_->stream_index == source_.videoIndex();
      if (video) {
        bytes = QByteArray(reinterpret_cast<const char*>(packet_->data), packet_->size);
        time = Seconds(packet_->pts, source_.video()->time_base) - first_;
      }
      av_packet_unref(packet_.get());
      if (video) return true;
    }
    return false;
  }

 private:
  Source source_;
  double first_;
  PacketHandle packet_ = NewPacket();
};

}  // namespace

QStringList CheckJoined(const std::vector<JoinPiece>& pieces, const QString& made, const Joined& joined) {
  VideoReader all(made);
  double from = 0;
  QStringList perSegment;
  int total = 0;
  QByteArray bytes, madeBytes;
  double time = 0, at = 0;
  for (size_t i = 0; i < pieces.size(); ++i) {
    VideoReader own(pieces[i].file);
    int frames = 0;
    while (own.next(bytes, time)) {
      // The same bytes (a piece's first picture may carry its parameter sets before them), each
      // frame where it stood in its own cut, moved by the segments before it (to the
      // millisecond Matroska holds), within its own stretch.
      if (!all.next(madeBytes, at) || !madeBytes.endsWith(bytes))
        throw VerificationFailed(QString("segment %1's pictures differ from its cut's").arg(i + 1));
      at += pieces[0].firstFrame;
      const double expected = from + pieces[i].firstFrame + time;
      if (std::abs(at - expected) >= 0.0015 || at < from - 0.0015 || at >= from + pieces[i].length - 0.0005)
        throw VerificationFailed(
            QString("segment %1's frame at %2 s stands at %3 s of the joined file, outside its place")
                .arg(i + 1)
                .arg(time, 0, 'f', 3)
                .arg(at, 0, 'f', 3));
      ++frames;
    }
    perSegment << QString::number(frames);
    total += frames;
    from += pieces[i].length;
  }
  if (all.next(madeBytes, at) || total != joined.frames)
    throw VerificationFailed(QString("the joined file holds other frames than its segments' %1").arg(total));
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
