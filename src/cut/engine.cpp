#include "cut/engine.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>

#include "cut/check/measure.h"
#include "cut/check/tracks_check.h"
#include "cut/cut_error.h"
#include "cut/cut_plan.h"
#include "cut/make/output_file.h"
#include "cut/make/re_encode.h"
#include "cut/make/smart_cut_writer.h"
#include "cut/make/subtitle_cues.h"
#include "cut/make/work_files.h"
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
  // Types the encoder program is told the format of, and those its muxers know by their ending.
  const QString type = LowerExtension(output);
  if (QStringList{"divx", "vob", "dat"}.contains(type) ||
      av_guess_format(nullptr, "x." + type.toUtf8(), nullptr))
    return {};
  return type.isEmpty() ? QString("%1 has no ending that names its type.").arg(QFileInfo(output).fileName())
                        : QString("vintrel-cut cannot write .%1 files.").arg(type);
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

  Stretch stretch() const {
    const AVRational timeBase = source.video()->time_base;
    return {source.ticksAt(start, timeBase), source.ticksAt(end, timeBase)};
  }
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

// Where the source's first sound stream ends, from the player's 0; 0 without sound.
double AudioEnd(const Source& source) {
  const int audio = source.firstAudio();
  return audio < 0 ? 0 : source.endSeconds(source.stream(audio));
}

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
  expected.audioLength = std::min(cut.end, AudioEnd(cut.source)) - cut.start;
  expected.videoAfterAudio = firstFrame - firstSound;
  expected.rotation = StreamRotation(cut.source.video());
  return expected;
}

QStringList CheckSmartCut(Cut& cut, const SmartCutLayout& layout, SmartCutMade& made, const QString& file) {
  cut.phase(CutPhase::kVerifying);
  const Stretch stretch = cut.stretch();
  const AVRational timeBase = cut.source.video()->time_base;
  const int compared = std::min(kComparedFrames, made.copied);
  if (!made.sample.first)
    made.sample = SampleSource(cut.source, layout.entry, stretch.start, layout.entry, compared);
  SourceSample& sample = made.sample;
  sample.copied.resize(std::min<size_t>(sample.copied.size(), compared));
  cut.progress(0.4, 0.85, 1);
  DecodePlan decode;
  decode.headFrames = int(layout.head.size());
  decode.endFrom = layout.tail.empty() ? std::max(0.0, cut.end - cut.start - 0.5)
                                       : Seconds(layout.tail.front() - stretch.start, timeBase);
  const Found found = MeasureMade(file, sample, decode);
  const double firstFrame =
      Seconds((layout.head.empty() ? layout.entry : layout.head.front()) - stretch.start, timeBase);
  // MP4 and MOV trim the sound to the sample with their edit list; Matroska starts it with
  // its first packet.
  const bool trims = LowerExtension(cut.request.output) != "mkv";
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
    SmartCutMade result = WriteSmartCut(cut.source, layout, cut.stretch(), made.file, kComparedFrames,
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

ReEncodeSource ReEncodeSourceOf(const Source& source) {
  const AVStream* video = source.video();
  const AVRational rate = video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate;
  ReEncodeSource described;
  described.input = source.path();
  described.videoCodec = avcodec_get_name(video->codecpar->codec_id);
  described.frameRate = rate.num > 0 ? av_q2d(rate) : 25;
  described.videoIndex = source.videoIndex();
  for (const int audio : source.streamsOf(AVMEDIA_TYPE_AUDIO))
    if (source.stream(audio)->discard < AVDISCARD_ALL) described.audio << audio;
  if (!described.audio.isEmpty())
    described.sampleRate = source.stream(described.audio.first())->codecpar->sample_rate;
  return described;
}

Made ReEncode(Cut& cut, const QString& reason) {
  cut.phase(CutPhase::kEncoding);
  const QString made = cut.madePath();
  const QString encoder = FindEncoder();
  if (encoder.isEmpty())
    throw CutError("ffmpeg was not found beside this program nor on the search path (PATH).");
  // Subtitles go in afterwards, clipped to the stretch, where the type holds them.
  const bool cues =
      !cut.source.streamsOf(AVMEDIA_TYPE_SUBTITLE).empty() && SmartCutFormat(cut.request.output);
  const QString encoded = cues ? cut.files.path("encoded." + LowerExtension(cut.request.output)) : made;
  RunEncoder(encoder, ReEncodeArguments(ReEncodeSourceOf(cut.source), cut.start, cut.end, encoded),
             cut.end - cut.start, [&](double share) { cut.progress(share, 0, 0.85); });
  if (cues)
    AddCues(encoded, cut.source, cut.start + cut.source.startSeconds(), cut.end + cut.source.startSeconds(),
            made);
  cut.phase(CutPhase::kVerifying);
  // The source's frames in the stretch, by their own times: a variable rate counts as it is.
  const Stretch stretch = cut.stretch();
  // Read from the file's start: the types re-encoded here (MPEG among them) seek by bytes and guesses.
  Source counted(cut.request.input), sampled(cut.request.input);
  const std::vector<VideoPacket> frames =
      counted.readVideo(Source::kFromStart, [&](const std::vector<VideoPacket>& read) {
        return !read.empty() && read.back().pts >= stretch.end + (stretch.end - stretch.start) / 4 + 1;
      });
  int inStretch = 0;
  int64_t firstFrame = stretch.end;
  for (const VideoPacket& frame : frames)
    if (frame.pts >= stretch.start && frame.pts < stretch.end) {
      ++inStretch;
      firstFrame = std::min(firstFrame, frame.pts);
    }
  const SourceSample sample = SampleSource(sampled, Source::kFromStart, stretch.start, std::nullopt, 0);
  DecodePlan decode;
  decode.wholeFile = true;
  Found found = MeasureMade(made, sample, decode);
  const AVRational timeBase = cut.source.video()->time_base;
  Expected expected = ExpectedOf(cut, inStretch, Seconds(firstFrame - stretch.start, timeBase), 0);
  expected.frameSlack = 1;
  // The encoder program places sound and picture to an audio frame, and its seek to a frame more.
  const AVRational rate = cut.source.video()->avg_frame_rate;
  expected.syncTolerance = AudioFrame(cut.source) + (rate.num > 0 ? av_q2d(av_inv_q(rate)) : 0.04) + 0.001;
  expected.rotation = 0;  // a re-encode turns the frames upright
  // A re-encode of another size (VCD) or turned upright is not compared picture for picture.
  expected.firstFrameCompared = found.firstFramePsnr || !sample.first;
  const Verdict verdict = Judge(expected, found);
  if (!verdict.passed()) throw CutError(QString("The cut file failed its check: %1.").arg(verdict.failure));
  return {made, QString("Re-encoded: %1.").arg(reason), inStretch, verdict.checked};
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
  // The encoder program's re-encode keeps the tracks chosen but not the default flag.
  const QString tracks = TracksProblem(source, made->file, request.output,
                                       method == CutMethod::kSmartCut ? request.defaultSound : QString());
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
