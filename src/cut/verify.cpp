#include "cut/verify.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <functional>
#include <vector>

#include "cut/child_process.h"
#include "cut/cut_error.h"
#include "cut/time_text.h"

namespace vintrel::cut {

namespace {

double Field(const QJsonObject& object, const char* key) { return object.value(key).toString().toDouble(); }

QString Decibels(double value) {
  return std::isinf(value) ? QString("identical") : QString("%1 dB").arg(value, 0, 'f', 1);
}

}  // namespace

QStringList ListingArguments(const QString& file) {
  return {"-v",           "error",
          "-of",          "json",
          "-show_format", "-show_streams",
          "-show_entries", "packet=stream_index,pts_time,duration_time",
          FileArgument(file)};
}

MadeListing ParseListing(const QByteArray& json) {
  MadeListing listing;
  try {
    listing.media = ParseMediaInfo(json);
  } catch (const CutError&) {
    throw VerificationFailed("the made file holds no video");
  }
  const int videoIndex = listing.media.video()->index;
  int audioIndex = -1;
  for (const StreamInfo& stream : listing.media.streams)
    if (stream.type == "audio" && audioIndex < 0) audioIndex = stream.index;
  StreamSpan video{INFINITY, -INFINITY, 0}, audio{INFINITY, -INFINITY, 0};
  for (const QJsonValue& value : QJsonDocument::fromJson(json).object().value("packets").toArray()) {
    const QJsonObject packet = value.toObject();
    const int index = packet.value("stream_index").toInt(-1);
    if (index == videoIndex) ++listing.videoPackets;
    StreamSpan* span = index == videoIndex ? &video : index == audioIndex ? &audio : nullptr;
    if (!span || !packet.contains("pts_time")) continue;
    const double pts = Field(packet, "pts_time"), duration = Field(packet, "duration_time");
    span->first = std::min(span->first, pts);
    span->end = std::max(span->end, pts + duration);
    span->packet = std::max(span->packet, duration);
  }
  if (std::isfinite(video.first)) listing.video = video;
  if (std::isfinite(audio.first)) listing.audio = audio;
  return listing;
}

QList<QStringList> ParseFrameHashes(const QByteArray& text) {
  static const QRegularExpression line(R"(^\s*(\d+),\s*-?\d+,\s*-?\d+,\s*\d+,\s*\d+,\s*([0-9a-f]{32})\s*$)");
  QList<QStringList> hashes;
  for (const QByteArray& bytes : text.split('\n')) {
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(bytes));
    if (!match.hasMatch()) continue;
    const int stream = match.captured(1).toInt();
    while (hashes.size() <= stream) hashes.append(QStringList{});
    hashes[stream] << match.captured(2);
  }
  return hashes;
}

namespace {

// What decoding a stretch of the file reports, or empty when it decodes cleanly.
QString DecodeProblem(const Tools& tools, const QString& file, double from, double length, const QString& where) {
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
    return QString("decoding %1 reports: %2").arg(where, errors.section('\n', 0, 0));
  return {};
}

struct SourceComparison {
  double psnr = -1;  // the best match of the first frame; -1 when nothing was compared
  QStringList made, source;  // hashes of the copied frames and of the source's
};

// One run that decodes the start of both files: the PSNR of the made file's first frame
// against the source frame where the stretch starts, and, for a smart cut, the hashes of
// `sample` frames of the copied part and of the source's frames there. MPEG-1/2 decoders
// place frames a frame apart depending on where decoding began, so for them the best match
// among the start frame and its neighbours counts.
SourceComparison CompareWithSource(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                                   const CutPlan& plan, const QString& madeFile, int sample) {
  const double frame = 1 / plan.frameRate;
  const SmartCutLayout& layout = plan.layout;
  const QString codec = source.video()->codec;
  const bool ambiguous = codec == "mpeg1video" || codec == "mpeg2video";
  const int candidates = ambiguous ? 3 : 1;
  const SplitSeek seek = SplitSeekTo(source, layout.headStart - frame / 4 - (ambiguous ? frame : 0));
  QString graph;
  double madeSeconds = 1, sourceSeconds = seek.after + 1;
  // The copied frames follow the head's; in the source they start at the copy's key frame.
  const double copyAfter = layout.copyStart - frame / 4 - seek.before;
  if (sample > 0) {
    graph = QString("[0:v:0]split[m0][m1];[1:v:0]split[s0][s1];"
                    "[m1]trim=start_frame=%1:end_frame=%2[madehash];"
                    "[s1]trim=start=%3,trim=end_frame=%4[sourcehash];")
                .arg(layout.headFrames)
                .arg(layout.headFrames + sample)
                .arg(SecondsArgument(copyAfter))
                .arg(sample);
    madeSeconds = std::max(madeSeconds, (layout.headFrames + sample + 1) * frame + 0.5);
    sourceSeconds = std::max(sourceSeconds, copyAfter + (sample + 1) * frame + 0.5);
  }
  graph += QString(
               "%1trim=end_frame=1,loop=loop=%2:size=1:start=0,setpts=N/TB[made];"
               "%3trim=start=%4,trim=end_frame=%5,setpts=N/TB[source];"
               "[source][made]scale2ref[scaled][reference];[reference][scaled]psnr=stats_file=-[compared]")
               .arg(sample > 0 ? "[m0]" : "[0:v:0]")
               .arg(candidates - 1)
               .arg(sample > 0 ? "[s0]" : "[1:v:0]")
               .arg(SecondsArgument(seek.after))
               .arg(candidates);
  // The input limits stop it at the compared frames instead of decoding both files.
  QStringList arguments = QStringList{"-nostdin", "-v", "error", "-t", SecondsArgument(madeSeconds), "-i",
                                      FileArgument(madeFile)}
                          << InputSeek(seek.before) << "-t" << SecondsArgument(sourceSeconds) << "-i"
                          << FileArgument(request.input) << "-filter_complex" << graph << "-map"
                          << "[compared]"
                          << "-frames:v" << QString::number(candidates) << "-f"
                          << "null"
                          << "-";
  // The PSNR lines go to standard output, the hashes to the error output, where nothing but
  // errors (which this comparison ignores) would come.
  if (sample > 0)
    arguments << "-map"
              << "[madehash]"
              << "-map"
              << "[sourcehash]"
              << "-f"
              << "framemd5"
              << "pipe:2";
  const ChildResult result = RunChild(tools.ffmpeg, arguments);
  SourceComparison comparison;
  static const QRegularExpression perFrame(R"(psnr_avg:(\S+))");
  for (const QRegularExpressionMatch& match : perFrame.globalMatch(QString::fromUtf8(result.output)))
    comparison.psnr =
        std::max(comparison.psnr, match.captured(1) == "inf" ? INFINITY : match.captured(1).toDouble());
  const QList<QStringList> hashes = ParseFrameHashes(result.errors);
  comparison.made = hashes.value(0);
  comparison.source = hashes.value(1);
  return comparison;
}

}  // namespace

QStringList VerifyCut(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile) {
  QStringList checks;
  const double stretch = VideoStretchEnd(source, request) - request.start;
  const double frame = 1 / plan.frameRate;
  const bool smart = plan.method == CutMethod::kSmartCut;
  const SmartCutLayout& layout = plan.layout;
  const double head = layout.headFrames * frame;
  const int sample = smart ? std::min(layout.copyFrames, 12) : 0;

  // Every read of the made file at once; the findings are then judged in a fixed order, so
  // the first failing check is the one told whichever run ended first.
  MadeListing listing;
  QString decodeStart, decodeEnd;
  SourceComparison comparison;
  std::vector<std::function<void()>> reads = {
      [&] {
        const ChildResult result = RunChild(tools.ffprobe, ListingArguments(madeFile));
        if (result.exitCode != 0)
          throw VerificationFailed("the made file cannot be read: " + QString::fromUtf8(result.errors).trimmed());
        listing = ParseListing(result.output);
      },
      [&] { comparison = CompareWithSource(tools, source, request, plan, madeFile, sample); }};
  if (smart) {
    // The encoded parts and a second around each join; the copy in between is the source's.
    reads.push_back([&] { decodeStart = DecodeProblem(tools, madeFile, 0, head + 1, "the start"); });
    reads.push_back([&] {
      decodeEnd = layout.tailFrames > 0
                      ? DecodeProblem(tools, madeFile, layout.tailStart - layout.headStart - 1, 0, "the end")
                      : DecodeProblem(tools, madeFile, std::max(0.0, stretch - 1), 0, "the end");
    });
  } else {
    reads.push_back([&] { decodeStart = DecodeProblem(tools, madeFile, 0, 0, "the file"); });
  }
  RunConcurrently(reads);

  // Length: exact frame count where the rate is constant, the timestamps' span otherwise.
  if (smart || source.constantFrameRate()) {
    const int frames = listing.videoPackets;
    const double length = frames * frame;
    const bool near = smart ? frames == plan.expectedFrames : std::abs(length - stretch) <= frame * 1.01;
    if (!near)
      throw VerificationFailed(
          QString("the video has %1 frames, %2 expected").arg(frames).arg(plan.expectedFrames));
    checks << QString("video length: %1 frames (%2 s)").arg(frames).arg(length, 0, 'f', 3);
  } else {
    const StreamSpan& video = listing.video;
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
    const StreamSpan& audio = listing.audio;
    const double length = audio.length();
    // Within 50 ms, and one packet more for codecs whose frames are long (MP3's 26 ms
    // frames plus its encoder padding cannot end closer than that).
    if (std::abs(length - expected) > 0.05 + audio.packet)
      throw VerificationFailed(
          QString("the audio lasts %1 s, %2 s expected").arg(length, 0, 'f', 3).arg(expected, 0, 'f', 3));
    checks << QString("audio length: %1 s").arg(length, 0, 'f', 3);
  }

  if (!decodeStart.isEmpty()) throw VerificationFailed(decodeStart);
  if (!decodeEnd.isEmpty()) throw VerificationFailed(decodeEnd);
  if (smart) {
    if (comparison.made.size() != sample || comparison.made != comparison.source)
      throw VerificationFailed("the copied frames differ from the source's");
    checks
        << QString("decodes cleanly around every join; %1 copied frames identical to the source").arg(sample);
  } else {
    checks << "decodes cleanly from start to end";
  }

  // A re-encode turns the frames themselves; a smart cut copies them and must keep the flag.
  if (const int rotation = source.video()->rotation; rotation != 0 && smart) {
    const int made = listing.media.video()->rotation;
    if ((made - rotation) % 360 != 0)
      throw VerificationFailed(QString("the rotation is %1°, %2° expected").arg(made).arg(rotation));
    checks << QString("rotation kept: %1°").arg(rotation);
  }

  const double psnr = comparison.psnr;
  if (psnr < 0) throw VerificationFailed("the first frame could not be compared with the source");
  const bool quantiser = !ReEncodeCodecOptions(source, request).contains("-crf") && !smart;
  const double threshold = quantiser ? 25 : 35;
  if (psnr < threshold)
    throw VerificationFailed(QString("the first frame does not match the source (%1)").arg(Decibels(psnr)));
  checks << "first frame matches the source: " + Decibels(psnr);
  return checks;
}

}  // namespace vintrel::cut
