#include "cut/engine.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "cut/check/measure.h"
#include "cut/check/tracks_check.h"
#include "cut/cut_error.h"
#include "cut/cut_plan.h"
#include "cut/make/output_file.h"
#include "cut/make/re_encode.h"
#include "cut/make/smart_cut_writer.h"
#include "cut/make/subtitle_cues.h"
#include "cut/make/video_encoder.h"
#include "cut/make/work_files.h"
#include "cut/media/containers.h"
#include "cut/media/tracks.h"
#include "cut/plan/cut_choice.h"
#include "cut/plan/smart_cut_plan.h"
#include "cut/time_text.h"

namespace vintrel::cut {

QString PhaseName(CutPhase phase) {
  static const char* const kNames[] = {"probing", "encoding", "copying", "verifying"};
  return kNames[static_cast<int>(phase)];
}

QString OutputProblem(const QString& input, const QString& output, bool overwrite) {
  struct stat inputStatus = {}, outputStatus = {};
  if (stat(input.toLocal8Bit().constData(), &inputStatus) != 0)
    return QString("The file %1 does not exist.").arg(input);
  if (!S_ISREG(inputStatus.st_mode)) return QString("%1 is not a file.").arg(input);
  if (stat(output.toLocal8Bit().constData(), &outputStatus) != 0) return {};
  if (outputStatus.st_dev == inputStatus.st_dev && outputStatus.st_ino == inputStatus.st_ino)
    return "The output is the input file itself; choose another name.";
  if (S_ISDIR(outputStatus.st_mode)) return QString("%1 is a folder.").arg(output);
  if (!overwrite) return QString("%1 already exists (--overwrite replaces it).").arg(output);
  return {};
}

QString OutputTypeProblem(const QString& output) {
  const QString type = LowerExtension(output);
  if (OutputFormat(output)) return {};
  const QString what =
      type.isEmpty() ? QString("%1 has no ending that names its type.").arg(QFileInfo(output).fileName())
                     : QString("vintrel-cut cannot write .%1 files.").arg(type);
  return QString("%1 It writes %2 files.").arg(what, WritableTypesText());
}

namespace {

// How many copied frames are compared with the source's, picture for picture.
constexpr int kComparedFrames = 12;

struct Cut {
  const CutArguments& request;
  const CutObserver& observer;
  Source& source;
  WorkFiles& files;
  double start = 0, end = 0;  // from the player's 0, the end within the video
  double reported = 0;

  Stretch stretch() const { return StretchOf(source, start, end); }
  // Making takes the first 85 % of the bar, checking the rest; never 1 before the file is in place.
  void progress(double share, double from, double to) {
    const double overall = std::min(0.999, from + (to - from) * share);
    if (overall > reported && observer.progress) observer.progress(overall);
    reported = std::max(reported, overall);
  }
  void phase(CutPhase phase) const {
    if (observer.phase) observer.phase(phase);
  }
  QString madePath() { return files.path("cut." + LowerExtension(request.output)); }
};

// A made file, checked: how it was made and what the check found.
struct Made {
  QString file;
  QString how;  // the report's first line
  int frames = 0;
  QStringList checked;
};

// One audio frame of the first sound stream, in seconds: how far apart sound and picture may
// start where the container cannot trim the sound to the sample.
double AudioFrame(const Source& source) {
  const int audio = source.firstAudio();
  if (audio < 0) return 0;
  const AVCodecParameters* parameters = source.stream(audio)->codecpar;
  if (parameters->frame_size > 0 && parameters->sample_rate > 0)
    return double(parameters->frame_size) / parameters->sample_rate;
  return 0.04;
}

Expected ExpectedOf(const Cut& cut, int frames, double firstFrame, double firstSound) {
  Expected expected;
  expected.frames = frames;
  expected.length = cut.end - cut.start;
  expected.audio = cut.source.firstAudio() >= 0 && AudioEnd(cut.source) > cut.start;
  expected.audioLength =
      std::min(cut.end, AudioEnd(cut.source)) - std::max(cut.start, AudioStart(cut.source));
  expected.videoAfterAudio = firstFrame - firstSound;
  expected.rotation = StreamRotation(cut.source.video());
  return expected;
}

QStringList CheckSmartCut(Cut& cut, const SmartCutLayout& layout, const SmartCutMade& made,
                          const QString& file) {
  cut.phase(CutPhase::kVerifying);
  const Stretch stretch = cut.stretch();
  const AVRational timeBase = cut.source.video()->time_base;
  const int compared = std::min(kComparedFrames, made.copied);
  const SourceSample sample =
      SampleSource(cut.request.input, stretch.start, layout.entry, compared, SampleReading::kSeek);
  cut.progress(0.4, 0.85, 1);
  DecodePlan decode;
  decode.headFrames = int(layout.head.size());
  decode.endFrom = layout.tail.empty() ? std::max(0.0, cut.end - cut.start - 0.5)
                                       : Seconds(layout.tail.front() - stretch.start, timeBase);
  const Found found = MeasureMade(file, sample, decode);
  const double firstFrame =
      Seconds((layout.head.empty() ? layout.entry : layout.head.front()) - stretch.start, timeBase);
  const bool trims = ContainerFor(cut.request.output)->trimsSound;
  const double firstSound =
      made.firstSound ? (trims ? std::max(0.0, *made.firstSound) : *made.firstSound) : 0;
  Expected expected = ExpectedOf(cut, made.sourceFrames, firstFrame, firstSound);
  expected.syncTolerance = trims ? 0.0011 : 0.0016;
  expected.copiedCompared = compared;
  const Verdict verdict = Judge(expected, found);
  if (!verdict.passed()) throw VerificationFailed(verdict.failure);
  return verdict.checked;
}

// A smart cut, checked; none where it cannot be made or fails its check (`reason` says why).
std::optional<Made> TrySmartCut(Cut& cut, QString& reason) {
  reason = SmartCutObstacleOf(cut.source, cut.request.output, cut.request.reEncode);
  if (!reason.isEmpty()) return std::nullopt;
  const SmartCutDecision decision = PlanFromPackets(cut.source, cut.stretch());
  reason = decision.reason;
  if (!decision.layout) return std::nullopt;
  const SmartCutLayout& layout = *decision.layout;
  try {
    cut.phase(layout.head.empty() && layout.tail.empty() ? CutPhase::kCopying : CutPhase::kEncoding);
    Made made;
    made.file = cut.madePath();
    const SmartCutMade result = WriteSmartCut(cut.source, layout, cut.stretch(), made.file,
                                              [&](double share) { cut.progress(share, 0, 0.85); });
    made.checked = CheckSmartCut(cut, layout, result, made.file);
    made.how =
        QString("Smart cut: %1 frames re-encoded, %2 copied.").arg(result.reEncoded).arg(result.copied);
    made.frames = result.sourceFrames;
    return made;
  } catch (const WriteFailed&) {
    throw;
  } catch (const VerificationFailed& failure) {
    reason = QString("the smart cut failed its check (%1)").arg(failure.message());
    cut.files.removeAll();  // the failed attempt's file would only take disk space
    return std::nullopt;
  } catch (const CutError& failure) {
    reason = QString("the smart cut could not be made (%1)").arg(failure.message());
    cut.files.removeAll();  // the failed attempt's file would only take disk space
    return std::nullopt;
  }
}

// The source's frames whose display times lie in the stretch, from a reading of its own: how
// many (on the type's slots where it has them: one a slot) and the first one's time.
struct StretchFrames {
  int count = 0;
  int64_t first = 0;
  int64_t keyBefore = Source::kFromStart;  // a key frame to decode the first one from
};

StretchFrames FramesIn(const QString& input, const Stretch& stretch, std::optional<AVRational> slotRate) {
  Source source(input);
  const AVRational timeBase = source.video()->time_base;
  SeekBefore(source, stretch.start);
  // Past the end by a second: later frames may come first in decoding order.
  const int64_t beyond = stretch.end + Ticks(1, timeBase);
  const std::vector<VideoPacket> packets = source.readVideo(
      Source::kFromStart, [&](const std::vector<VideoPacket>& read) { return read.back().pts >= beyond; });
  StretchFrames frames;
  frames.first = stretch.end;
  std::set<int64_t> taken;
  for (const VideoPacket& packet : packets) {
    if (packet.key && packet.pts <= stretch.start && packet.pts > FirstTicks(source))
      frames.keyBefore = packet.pts;
    if (packet.pts < stretch.start || packet.pts >= stretch.end) continue;
    frames.first = std::min(frames.first, packet.pts);
    taken.insert(slotRate ? SlotOf(packet.pts - stretch.start, timeBase, *slotRate) : packet.pts);
  }
  frames.count = int(taken.size());
  return frames;
}

// MPEG program and transport streams find a time by guessing from bytes and rates.
bool SeeksByGuess(const Source& source) {
  const QString format = source.context()->iformat->name;
  return format == "mpeg" || format == "mpegts" || format == "mpegvideo";
}

QStringList CheckReEncode(Cut& cut, const QString& made) {
  cut.phase(CutPhase::kVerifying);
  const Stretch stretch = cut.stretch();
  const ContainerFacts& facts = *ContainerFor(cut.request.output);
  const AVStream* video = cut.source.video();
  const AVRational timeBase = video->time_base;
  const std::optional<AVRational> slotRate =
      SlotRate(facts, video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate);
  const StretchFrames frames = FramesIn(cut.request.input, stretch, slotRate);
  cut.progress(0.3, 0.85, 1);
  // From the key frame before the start, or the file's start where a seek would guess (AVI's
  // counts start over wrong after a seek to the start) or lands past it (MPEG's). Where the
  // picture read after a seek is not the made file's first, the reference is read again from
  // the file's start: a seek may land off in a container's guesses, a reading from the start
  // cannot.
  const bool seekable = frames.keyBefore != Source::kFromStart && !SeeksByGuess(cut.source);
  SourceSample sample = SampleSource(cut.request.input, stretch.start, std::nullopt, 0,
                                     seekable ? SampleReading::kSeek : SampleReading::kFromFileStart);
  cut.progress(0.6, 0.85, 1);
  // One encode has no joins to decode across: its first frame is decoded, to be compared.
  Found found = MeasureMade(made, sample, DecodePlan{});
  if (seekable && (!sample.first || !found.firstFramePsnr || *found.firstFramePsnr < kSamePicture)) {
    sample = SampleSource(cut.request.input, stretch.start, std::nullopt, 0, SampleReading::kFromFileStart);
    found = MeasureMade(made, sample, DecodePlan{});
  }
  double firstFrame = Seconds(frames.first - stretch.start, timeBase);
  if (slotRate)
    firstFrame = SlotOf(frames.first - stretch.start, timeBase, *slotRate) * av_q2d(av_inv_q(*slotRate));
  Expected expected =
      ExpectedOf(cut, frames.count, firstFrame, std::max(0.0, AudioStart(cut.source) - cut.start));
  // Where nothing trims the sound, it starts on a packet's edge: the source's or the encoder's.
  constexpr double kLongestAudioFrame = 1152.0 / 44100;
  expected.syncTolerance =
      facts.trimsSound ? 0.0011 : std::max(AudioFrame(cut.source), kLongestAudioFrame) + 0.001;
  expected.rotation = 0;  // a re-encode turns the frames upright
  // A picture of another size (a Video CD's, one turned upright) is not compared sample for sample.
  expected.firstFrameCompared = found.firstFramePsnr || !sample.first;
  const Verdict verdict = Judge(expected, found);
  if (!verdict.passed()) throw VerificationFailed(verdict.failure);
  return verdict.checked;
}

Made ReEncode(Cut& cut, const QString& reason) {
  cut.phase(CutPhase::kEncoding);
  Made made;
  made.file = cut.madePath();
  const ReEncodeMade result = WriteReEncode(cut.source, cut.stretch(), made.file,
                                            [&](double share) { cut.progress(share, 0, 0.85); });
  try {
    made.checked = CheckReEncode(cut, made.file);
  } catch (const VerificationFailed& failure) {
    throw CutError(QString("The cut file failed its check: %1.").arg(failure.message()));
  }
  made.how = QString("Re-encoded: %1.\nEncoded: %2.").arg(reason, result.encodings.join("; "));
  made.frames = result.frames;
  return made;
}

}  // namespace

CutReport RunCut(const CutArguments& request, const CutObserver& observer) {
  ThrowIfCancelled();
  // Replacing is agreed to for the file there now (or the one the window's user saw), no other.
  std::optional<FileIdentity> replaces = request.replaces;
  if (request.overwrite && !replaces) replaces = IdentityOf(request.output);
  WorkFiles files(request.output);
  if (observer.phase) observer.phase(CutPhase::kProbing);
  Source source(request.input);
  ApplyTrackChoice(source, {request.tracks, request.dropTracks, request.defaultSound});
  Cut cut{request, observer, source, files};
  cut.start = request.start;
  if (const QString problem = StretchProblem(cut.start, request.end, source.videoEndSeconds());
      !problem.isEmpty())
    throw CutError(problem);
  cut.end = StretchEnd(request.end, source.videoEndSeconds());

  QString reason;
  std::optional<Made> made = TrySmartCut(cut, reason);
  const CutMethod method = made ? CutMethod::kSmartCut : CutMethod::kReEncode;
  if (!made) made = ReEncode(cut, reason);
  const QString tracks = TracksProblem(source, made->file, request.output, request.defaultSound);
  if (!tracks.isEmpty()) throw CutError(QString("The cut file failed its check: %1.").arg(tracks));
  made->checked << "the tracks chosen";
  ThrowIfCancelled();  // a signal during the last check still means "leave nothing"
  files.moveIntoPlace(made->file, request.overwrite ? replaces : std::nullopt);
  if (observer.progress) observer.progress(1);

  const AVRational rate = source.video()->avg_frame_rate;
  const QString length = QString("Length: %1 (%2 frames at %3 fps)")
                             .arg(ClockText(cut.end - cut.start))
                             .arg(made->frames)
                             .arg(rate.num > 0 ? av_q2d(rate) : 0, 0, 'g', 6);
  return {method, made->how + "\n" + length + "\n" + TracksLine(KeptTracks(source)) +
                      "\nChecked: " + made->checked.join("; ") + "\n"};
}

}  // namespace vintrel::cut
