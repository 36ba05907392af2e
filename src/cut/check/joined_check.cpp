#include "cut/check/joined_check.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "cut/check/judge.h"
#include "cut/check/measure.h"
#include "cut/cut_error.h"
#include "cut/cut_plan.h"
#include "cut/media/containers.h"

namespace vintrel::cut {

namespace {

// How many copied frames of each stretch are compared with the source's, picture for picture.
constexpr int kComparedFrames = 12;
// How far a frame may stand off its place: Matroska holds milliseconds.
constexpr double kPlaceSlack = 0.0015;
// How far the sound may end from the picture: a compressed stream ends on its packets' edges.
constexpr double kAudioLengthSlack = 0.05;

// Where each stretch's frames stand on the joined clock, seconds from its first stretch's start.
struct Place {
  double start = 0, length = 0;
  double firstFrame = 0;  // where its first picture stands after its start
  double tailFrom = 0;    // where its re-encoded tail (or its last half second) starts after its start
};

std::vector<Place> PlacesOf(const Source& source, const std::vector<PlannedStretch>& stretches,
                            const JoinedInOnePass& written) {
  const AVRational timeBase = source.video()->time_base;
  std::vector<Place> places;
  for (size_t i = 0; i < stretches.size(); ++i) {
    const Stretch& stretch = stretches[i].stretch;
    const SmartCutLayout& layout = stretches[i].layout;
    Place place;
    place.start = written.offsets[i];
    place.length = Seconds(stretch.end - stretch.start, timeBase);
    place.firstFrame =
        Seconds((layout.head.empty() ? layout.entry : layout.head.front()) - stretch.start, timeBase);
    place.tailFrom = layout.tail.empty() ? std::max(0.0, place.length - 0.5)
                                         : Seconds(layout.tail.front() - stretch.start, timeBase);
    places.push_back(place);
  }
  return places;
}

// Every packet's times of the made file: its pictures counted into the stretches' places, the
// first sound's span.
struct ReadBack {
  std::vector<int> frames;  // per stretch
  int outside = 0;          // pictures in no stretch's place
  double clockOrigin = 0;   // the made file's time of the joined clock's 0, seconds
  std::optional<double> audioFirst;
  double audioEnd = 0;
};

ReadBack ReadJoinedTimes(const QString& made, const std::vector<Place>& places) {
  Source file(made);
  AVFormatContext* context = file.context();
  const int audio = file.firstAudio();
  for (unsigned i = 0; i < context->nb_streams; ++i)
    if (int(i) != file.videoIndex() && int(i) != audio) context->streams[i]->discard = AVDISCARD_ALL;
  std::vector<int64_t> pictures;
  ReadBack read;
  PacketHandle packet = NewPacket();
  while (file.read(packet.get())) {
    const AVStream* stream = file.stream(packet->stream_index);
    if (packet->stream_index == file.videoIndex() && packet->pts != AV_NOPTS_VALUE &&
        !(packet->flags & AV_PKT_FLAG_DISCARD))
      pictures.push_back(packet->pts);
    if (packet->stream_index == audio && packet->pts != AV_NOPTS_VALUE) {
      if (!read.audioFirst) read.audioFirst = HeardFrom(packet.get(), stream);
      read.audioEnd = std::max(read.audioEnd, Seconds(packet->pts + packet->duration, stream->time_base));
    }
    av_packet_unref(packet.get());
  }
  read.frames.assign(places.size(), 0);
  if (pictures.empty()) return read;
  const AVRational timeBase = file.video()->time_base;
  read.clockOrigin =
      Seconds(*std::min_element(pictures.begin(), pictures.end()), timeBase) - places[0].firstFrame;
  for (const int64_t pts : pictures) {
    const double at = Seconds(pts, timeBase) - read.clockOrigin;
    const auto place = std::find_if(places.begin(), places.end(), [&](const Place& p) {
      return at >= p.start - kPlaceSlack && at < p.start + p.length - kPlaceSlack / 3;
    });
    if (place == places.end())
      ++read.outside;
    else
      ++read.frames[size_t(place - places.begin())];
  }
  return read;
}

double FrameTime(const AVFrame* frame, AVRational timeBase) {
  const int64_t pts =
      frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
  return pts == AV_NOPTS_VALUE ? -1e9 : Seconds(pts, timeBase);
}

// One stretch decoded in the made file from its first frame through its compared copied frames,
// and from its tail on to where the next begins.
Found MeasureStretch(Source& file, double clockOrigin, const Place& place, const SourceSample& sample,
                     int headFrames) {
  Found found;
  const AVRational timeBase = file.video()->time_base;
  const double first = clockOrigin + place.start + place.firstFrame - kPlaceSlack;
  int index = 0;
  const int compared = int(sample.copied.size());
  found.decodeErrors = DecodeVideoFrom(file, Ticks(first, timeBase), [&](AVFrame* frame) {
    if (FrameTime(frame, timeBase) < first) return false;
    const int copiedIndex = TallyPicture(frame, index, headFrames, sample, found);
    ++index;
    return copiedIndex + 1 >= compared;
  });
  const double end = clockOrigin + place.start + place.length - kPlaceSlack;
  found.decodeErrors += DecodeVideoFrom(file, Ticks(clockOrigin + place.start + place.tailFrom, timeBase),
                                        [&](AVFrame* frame) { return FrameTime(frame, timeBase) >= end; });
  found.decodedWhere = "around every join";
  found.rotation = StreamRotation(file.video());
  return found;
}

// Each stretch judged as a single cut is, but for its sound: the sound is judged as one.
QStringList CheckStretches(Source& source, const QString& made, const std::vector<PlannedStretch>& stretches,
                           const JoinedInOnePass& written, const std::vector<Place>& places,
                           const ReadBack& read) {
  Source file(made);
  int total = 0, compared = 0;
  double leastPsnr = kIdenticalPsnr;
  QStringList perStretch;
  for (size_t i = 0; i < stretches.size(); ++i) {
    const SmartCutLayout& layout = stretches[i].layout;
    const SmartCutMade& made = written.stretches[i];
    Expected expected;
    expected.frames = made.sourceFrames;
    expected.length = places[i].length;
    expected.copiedCompared = std::min(kComparedFrames, made.copied);
    expected.rotation = StreamRotation(source.video());
    const SourceSample sample = SampleSource(source.path(), stretches[i].stretch.start, layout.entry,
                                             expected.copiedCompared, SampleReading::kSeek);
    Found found = MeasureStretch(file, read.clockOrigin, places[i], sample, int(layout.head.size()));
    found.frames = read.frames[i];
    const Verdict verdict = Judge(expected, found);
    if (!verdict.passed())
      throw VerificationFailed(QString("segment %1: %2").arg(i + 1).arg(verdict.failure));
    total += found.frames;
    compared += expected.copiedCompared;
    leastPsnr = std::min(leastPsnr, found.firstFramePsnr.value_or(kIdenticalPsnr));
    perStretch << QString::number(found.frames);
  }
  if (read.outside > 0 || total != written.joined.frames)
    throw VerificationFailed(QString("the joined file holds %1 frames outside its segments' places")
                                 .arg(read.outside + written.joined.frames - total));
  return {QString("video length: %1 frames (%2 per segment), each in its own stretch of the joined clock")
              .arg(total)
              .arg(perStretch.join(" + ")),
          QString("every segment's first frame matches the source (at least %1 dB)")
              .arg(std::min(99.0, leastPsnr), 0, 'f', 1),
          QString("%1 copied frames identical to the source's").arg(compared),
          "decodes cleanly around every join"};
}

// The sound as one: its length the stretches' together, its start as in the source against the
// first picture, and at every join within half an audio frame of its picture.
QStringList CheckSound(const Source& source, const QString& output,
                       const std::vector<PlannedStretch>& stretches, const JoinedInOnePass& written,
                       const std::vector<Place>& places, const ReadBack& read) {
  if (source.firstAudio() < 0) return {};
  const double audioStart = AudioStart(source), audioEnd = AudioEnd(source);
  double expectedLength = 0;
  for (const PlannedStretch& planned : stretches) {
    const double start = Seconds(planned.stretch.start, source.video()->time_base) - source.startSeconds();
    const double end = Seconds(planned.stretch.end, source.video()->time_base) - source.startSeconds();
    expectedLength += std::max(0.0, std::min(end, audioEnd) - std::max(start, audioStart));
  }
  if (expectedLength <= 0) return {};
  if (!read.audioFirst) throw VerificationFailed("the sound is missing");
  const double frame = written.joined.soundFrame;
  const double length = read.audioEnd - *read.audioFirst;
  if (std::abs(length - expectedLength) > kAudioLengthSlack + frame * double(stretches.size() - 1))
    throw VerificationFailed(QString("the sound runs %1 s where %2 s were asked for")
                                 .arg(length, 0, 'f', 3)
                                 .arg(expectedLength, 0, 'f', 3));
  const bool trims = ContainerFor(output)->trimsSound;
  const std::optional<double> firstSound = written.stretches.front().firstSound;
  const double videoAfterAudio =
      places[0].firstFrame - (firstSound ? (trims ? std::max(0.0, *firstSound) : *firstSound) : 0);
  const double tolerance = trims ? 0.0011 : 0.0016;
  const double offset = (read.clockOrigin + places[0].firstFrame - *read.audioFirst) - videoAfterAudio;
  if (std::abs(offset) > tolerance)
    throw VerificationFailed(QString("the picture is %1 ms %2 the sound at the start")
                                 .arg(std::abs(offset) * 1000, 0, 'f', 1)
                                 .arg(offset > 0 ? "behind" : "ahead of"));
  if (written.joined.soundOffsetAtJoins > frame / 2 + 0.0005)
    throw VerificationFailed(QString("the sound stands %1 ms off its picture at a join")
                                 .arg(written.joined.soundOffsetAtJoins * 1000, 0, 'f', 1));
  return {
      QString("audio length: %1 s").arg(length, 0, 'f', 3),
      QString("picture and sound start as in the source (within %1 ms)").arg(tolerance * 1000, 0, 'f', 1),
      QString(
          "sound joined without a gap, at most %1 ms off its picture at a join (half a sound frame: %2 ms)")
          .arg(written.joined.soundOffsetAtJoins * 1000, 0, 'f', 1)
          .arg(frame * 500, 0, 'f', 1)};
}

}  // namespace

QStringList CheckJoinedInOnePass(Source& source, const QString& output, const QString& made,
                                 const std::vector<PlannedStretch>& stretches,
                                 const JoinedInOnePass& written) {
  const std::vector<Place> places = PlacesOf(source, stretches, written);
  const ReadBack read = ReadJoinedTimes(made, places);
  return CheckStretches(source, made, stretches, written, places, read) +
         CheckSound(source, output, stretches, written, places, read);
}

}  // namespace vintrel::cut
