#include "cut/verify.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

#include "cut/child_process.h"
#include "cut/time_text.h"

namespace vintrel::cut {

namespace {

QByteArray ProbeJson(const Tools& tools, const QStringList& arguments) {
  const ChildResult result = RunChild(tools.ffprobe, QStringList{"-v", "error", "-of", "json"} << arguments);
  if (result.exitCode != 0)
    throw VerificationFailed("the made file cannot be read: " + QString::fromUtf8(result.errors).trimmed());
  return result.output;
}

double Field(const QJsonObject& object, const char* key) { return object.value(key).toString().toDouble(); }

QString Decibels(double value) {
  return std::isinf(value) ? QString("identical") : QString("%1 dB").arg(value, 0, 'f', 1);
}

}  // namespace

StreamSpan MeasureSpan(const Tools& tools, const QString& file, const QString& stream) {
  const QJsonObject format =
      QJsonDocument::fromJson(
          ProbeJson(tools, {"-show_entries", "format=start_time,duration", FileArgument(file)}))
          .object()
          .value("format")
          .toObject();
  const double tailFrom = Field(format, "start_time") + std::max(0.0, Field(format, "duration") - 3);
  const QJsonArray packets =
      QJsonDocument::fromJson(
          ProbeJson(tools,
                    {"-select_streams", stream, "-show_entries", "packet=pts_time,duration_time",
                     "-read_intervals", "%+#16," + SecondsArgument(tailFrom) + "%", FileArgument(file)}))
          .object()
          .value("packets")
          .toArray();
  StreamSpan span{INFINITY, -INFINITY, 0};
  for (const QJsonValue& value : packets) {
    const QJsonObject packet = value.toObject();
    if (!packet.contains("pts_time")) continue;
    const double pts = Field(packet, "pts_time");
    span.first = std::min(span.first, pts);
    span.end = std::max(span.end, pts + Field(packet, "duration_time"));
    span.packet = std::max(span.packet, Field(packet, "duration_time"));
  }
  if (!std::isfinite(span.first)) return {};
  return span;
}

int CountVideoFrames(const Tools& tools, const QString& file) {
  const QJsonArray streams =
      QJsonDocument::fromJson(ProbeJson(tools, {"-select_streams", "v:0", "-count_packets", "-show_entries",
                                                "stream=nb_read_packets", FileArgument(file)}))
          .object()
          .value("streams")
          .toArray();
  return streams.isEmpty() ? 0 : Field(streams[0].toObject(), "nb_read_packets");
}

QStringList FrameHashes(const Tools& tools, const QString& file, double from, int frames) {
  const ChildResult result =
      RunChild(tools.ffmpeg, {"-nostdin", "-v", "error", "-ss", SecondsArgument(std::max(0.0, from)),
                              "-noautorotate", "-i", FileArgument(file), "-map", "0:v:0", "-frames:v",
                              QString::number(frames), "-f", "framemd5", "-"});
  QStringList hashes;
  for (const QByteArray& line : result.output.split('\n'))
    if (!line.startsWith('#') && !line.trimmed().isEmpty())
      hashes << QString::fromLatin1(line).section(',', -1).trimmed();
  return hashes;
}

namespace {

void CheckDecodes(const Tools& tools, const QString& file, double from, double length, const QString& where) {
  QStringList arguments = {"-nostdin", "-v", "error"};
  if (from > 0) arguments << "-ss" << SecondsArgument(from);
  if (length > 0) arguments << "-t" << SecondsArgument(length);
  arguments << "-i" << FileArgument(file) << "-map"
            << "0:v:0"
            << "-map"
            << "0:a?"
            << "-f"
            << "null"
            << "-";
  const ChildResult result = RunChild(tools.ffmpeg, arguments);
  const QString errors = QString::fromUtf8(result.errors).trimmed();
  if (result.exitCode != 0 || !errors.isEmpty())
    throw VerificationFailed(QString("decoding %1 reports: %2").arg(where, errors.section('\n', 0, 0)));
}

// PSNR of the made file's first frame against the source frame where the stretch starts.
// MPEG-1/2 decoders place frames a frame apart depending on where decoding began, so for
// them the best match among the start frame and its neighbours counts.
double FirstFramePsnr(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      double firstFrameTime, double frame, const QString& madeFile) {
  const QString codec = source.video()->codec;
  const bool ambiguous = codec == "mpeg1video" || codec == "mpeg2video";
  const int candidates = ambiguous ? 3 : 1;
  const SplitSeek seek = SplitSeekTo(source, firstFrameTime - frame / 4 - (ambiguous ? frame : 0));
  const QString graph = QString(
                            "[0:v:0]trim=end_frame=1,loop=loop=%1:size=1:start=0,setpts=N/TB[made];"
                            "[1:v:0]trim=start=%2,trim=end_frame=%3,setpts=N/TB[source];"
                            "[source][made]scale2ref[scaled][reference];[reference][scaled]psnr=stats_file=-")
                            .arg(candidates - 1)
                            .arg(SecondsArgument(seek.after))
                            .arg(candidates);
  const ChildResult result =
      // The input and output limits stop it at the compared frames instead of decoding both files.
      RunChild(tools.ffmpeg, QStringList{"-nostdin", "-v", "error", "-t", "1", "-i", FileArgument(madeFile)}
                                 << InputSeek(seek.before) << "-t" << SecondsArgument(seek.after + 1) << "-i"
                                 << FileArgument(request.input) << "-filter_complex" << graph << "-frames:v"
                                 << QString::number(candidates) << "-f"
                                 << "null"
                                 << "-");
  static const QRegularExpression perFrame(R"(psnr_avg:(\S+))");
  double best = -1;
  for (const QRegularExpressionMatch& match : perFrame.globalMatch(QString::fromUtf8(result.output)))
    best = std::max(best, match.captured(1) == "inf" ? INFINITY : match.captured(1).toDouble());
  if (best < 0) throw VerificationFailed("the first frame could not be compared with the source");
  return best;
}

}  // namespace

QStringList VerifyCut(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile) {
  QStringList checks;
  const double stretch = VideoStretchEnd(source, request) - request.start;
  const double frame = 1 / plan.frameRate;
  const bool smart = plan.method == CutMethod::kSmartCut;
  const SmartCutLayout& layout = plan.layout;

  // Length: exact frame count where the rate is constant, the timestamps' span otherwise.
  const StreamSpan video = MeasureSpan(tools, madeFile, "v:0");
  if (smart || source.constantFrameRate()) {
    const int frames = CountVideoFrames(tools, madeFile);
    const double length = frames * frame;
    const bool near = smart ? frames == plan.expectedFrames : std::abs(length - stretch) <= frame * 1.01;
    if (!near)
      throw VerificationFailed(
          QString("the video has %1 frames, %2 expected").arg(frames).arg(plan.expectedFrames));
    checks << QString("video length: %1 frames (%2 s)").arg(frames).arg(length, 0, 'f', 3);
  } else {
    if (std::abs(video.length() - stretch) > frame * 1.5)
      throw VerificationFailed(
          QString("the video lasts %1 s, %2 s expected").arg(video.length()).arg(stretch));
    checks << QString("video length: %1 s").arg(video.length(), 0, 'f', 3);
  }

  if (source.count("audio") > 0) {
    const StreamInfo* audioSource = nullptr;
    for (const StreamInfo& stream : source.streams)
      if (stream.type == "audio" && !audioSource) audioSource = &stream;
    const double audioStart = audioSource->startTime - source.startTime;
    const double audioEnd = audioSource->duration > 0 ? audioStart + audioSource->duration : source.duration;
    const double expected = std::min(request.end, audioEnd) - std::max(request.start, audioStart);
    const StreamSpan audio = MeasureSpan(tools, madeFile, "a:0");
    const double length = audio.length();
    // Within 50 ms, and one packet more for codecs whose frames are long (MP3's 26 ms
    // frames plus its encoder padding cannot end closer than that).
    if (std::abs(length - expected) > 0.05 + audio.packet)
      throw VerificationFailed(
          QString("the audio lasts %1 s, %2 s expected").arg(length, 0, 'f', 3).arg(expected, 0, 'f', 3));
    checks << QString("audio length: %1 s").arg(length, 0, 'f', 3);
  }

  if (smart) {
    // The encoded parts and a second around each join; the copy in between is the source's.
    const double head = layout.headFrames * frame;
    CheckDecodes(tools, madeFile, 0, head + 1, "the start");
    if (layout.tailFrames > 0)
      CheckDecodes(tools, madeFile, layout.tailStart - layout.headStart - 1, 0, "the end");
    else
      CheckDecodes(tools, madeFile, std::max(0.0, stretch - 1), 0, "the end");
    const int sample = std::min(layout.copyFrames, 12);
    const QStringList made = FrameHashes(tools, madeFile, head - frame / 4, sample);
    const QStringList original = FrameHashes(tools, request.input, layout.copyStart - frame / 4, sample);
    if (made.size() != sample || made != original)
      throw VerificationFailed("the copied frames differ from the source's");
    checks
        << QString("decodes cleanly around every join; %1 copied frames identical to the source").arg(sample);
  } else {
    CheckDecodes(tools, madeFile, 0, 0, "the file");
    checks << "decodes cleanly from start to end";
  }

  // A re-encode turns the frames themselves; a smart cut copies them and must keep the flag.
  if (const int rotation = source.video()->rotation; rotation != 0 && smart) {
    const ChildResult probe = RunChild(tools.ffprobe, MediaProbeArguments(madeFile));
    const int made = ParseMediaInfo(probe.output).video()->rotation;
    if ((made - rotation) % 360 != 0)
      throw VerificationFailed(QString("the rotation is %1°, %2° expected").arg(made).arg(rotation));
    checks << QString("rotation kept: %1°").arg(rotation);
  }

  const double psnr = FirstFramePsnr(tools, source, request, layout.headStart, frame, madeFile);
  const bool quantiser = !ReEncodeCodecOptions(source, request).contains("-crf") && !smart;
  const double threshold = quantiser ? 25 : 35;
  if (psnr < threshold)
    throw VerificationFailed(QString("the first frame does not match the source (%1)").arg(Decibels(psnr)));
  checks << "first frame matches the source: " + Decibels(psnr);
  return checks;
}

}  // namespace vintrel::cut
