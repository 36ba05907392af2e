#include "cut/verify.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "cut/child_process.h"
#include "cut/cut_error.h"
#include "cut/mp4_index.h"
#include "cut/time_text.h"

namespace vintrel::cut {

namespace {

QString Decibels(double value) {
  return std::isinf(value) ? QString("identical") : QString("%1 dB").arg(value, 0, 'f', 1);
}

}  // namespace

MadeListing ParseFrameCrcListing(const QByteArray& text) {
  // "#tb 0: 1/90000" per stream, then "stream, dts, pts, duration, size, crc[, ...]" per packet;
  // stream 0 is the video, 1 the audio when there is one.
  static const QRegularExpression timeBase(R"(^#tb (\d+): (\d+)/(\d+)\s*$)");
  // Flags ("F=0x0") and side data may follow the checksum.
  static const QRegularExpression packetLine(
      R"(^\s*(\d+),\s*(-?\d+),\s*(-?\d+),\s*(-?\d+),\s*\d+,\s*0x[0-9a-f]+\s*(,.*)?$)");
  QList<double> units;
  MadeListing listing;
  StreamSpan spans[2] = {{INFINITY, -INFINITY, 0}, {INFINITY, -INFINITY, 0}};
  for (const QByteArray& bytes : text.split('\n')) {
    const QString line = QString::fromLatin1(bytes);
    if (const QRegularExpressionMatch match = timeBase.match(line); match.hasMatch()) {
      const int stream = match.captured(1).toInt();
      while (units.size() <= stream) units << 0.0;
      units[stream] = match.captured(2).toDouble() / std::max(1.0, match.captured(3).toDouble());
      continue;
    }
    const QRegularExpressionMatch match = packetLine.match(line);
    if (!match.hasMatch()) continue;
    const int stream = match.captured(1).toInt();
    if (stream > 1) continue;
    if (stream == 0) ++listing.videoPackets;
    const qint64 pts = match.captured(3).toLongLong();
    if (pts == std::numeric_limits<qint64>::min() || stream >= units.size()) continue;  // no timestamp
    const double time = pts * units[stream], duration = match.captured(4).toLongLong() * units[stream];
    StreamSpan& span = spans[stream];
    span.first = std::min(span.first, time);
    span.end = std::max(span.end, time + duration);
    span.packet = std::max(span.packet, duration);
  }
  if (std::isfinite(spans[0].first)) listing.video = spans[0];
  if (std::isfinite(spans[1].first)) listing.audio = spans[1];
  return listing;
}

bool LengthsFromIndex(const QString& output) {
  return QStringList{"mp4", "m4v", "mov"}.contains(LowerExtension(output));
}

std::optional<MadeListing> ListingFromIndex(const Mp4Index& made) {
  if (!made.video || made.video->samples <= 0) return std::nullopt;
  auto span = [](const Mp4Track& track) {
    return StreamSpan{track.start, track.end,
                      track.samples > 0 ? (track.end - track.start) / double(track.samples) : 0};
  };
  MadeListing listing;
  listing.videoPackets = static_cast<int>(made.video->samples);
  listing.video = span(*made.video);
  if (made.audio) listing.audio = span(*made.audio);
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

// An input's first video and its audio decoded, and the frames dropped: what is wanted of
// the decoding is what it reports.
QStringList DecodedOnly(int input) {
  return {"-map", QString("%1:v:0").arg(input), "-map", QString("%1:a?").arg(input), "-f", "null", "-"};
}

// What decoding a stretch of the file reports, or empty when it decodes cleanly.
QString DecodeProblem(const Tools& tools, const QString& file, double from, double length, const QString& where) {
  QStringList arguments = {"-nostdin", "-v", "error"};
  if (from > 0) arguments << "-ss" << SecondsArgument(from);
  if (length > 0) arguments << "-t" << SecondsArgument(length);
  arguments << "-i" << FileArgument(file) << DecodedOnly(0);
  const ChildResult result = RunChild(tools.ffmpeg, arguments);
  const QString errors = QString::fromUtf8(result.errors).trimmed();
  if (result.exitCode != 0 || !errors.isEmpty())
    return QString("decoding %1 reports: %2").arg(where, errors.section('\n', 0, 0));
  return {};
}

struct DecodeRange {
  double from = 0, length = 0;  // 0: from the start, to the end
  QString where;
  // A short range decoded beside another run: one decoding thread each wastes least.
  bool oneThread = false;
};

// One run over the made file: every packet of its first video and audio stream listed by a
// stream copy (no decoding), and the ranges decoded. Errors of any of it are the made file's;
// only when there are some are the ranges decoded one by one again, to tell which.
struct ListedAndDecoded {
  MadeListing listing;
  QString problem;  // what decoding reports, or empty
  double psnr = -1;  // of the first frame against the source's, when compared here
  QStringList hashes;  // of the copied frames compared
};

// A smart cut's comparison done by the same run, from its first decoded range.
struct MadeComparison {
  QString sourceFrameFile;
  int headFrames = 0, sample = 0;
  QString hashFile;
};

// The graph comparing the first decoded range's frames with the source's: its first frame
// against the source's (PSNR lines to standard output), the copied frames' hashes, and the
// rest decoded only. `made` leads the made file's frames in: an input's pad, or a chain
// ending in a comma.
QString ComparisonGraph(const QString& made, int source, const MadeComparison& compare) {
  return QString(
             "%1split=3[d0][d1][d2];"
             "[d0]trim=end_frame=1,setpts=N/TB[made];[%2:v:0]setpts=N/TB[source];"
             "[source][made]scale2ref[scaled][reference];"
             "[reference][scaled]psnr=stats_file=-[compared];"
             "[d1]trim=start_frame=%3:end_frame=%4[madehash]")
      .arg(made)
      .arg(source)
      .arg(compare.headFrames)
      .arg(compare.headFrames + compare.sample);
}

QStringList ComparisonOutputs(const QString& hashFile) {
  return {"-map", "[compared]", "-frames:v",  "1",  "-f",       "null",
          "-",    "-map",       "[madehash]", "-f", "framemd5", FileArgument(hashFile)};
}

// -copyinkf: a video that does not start with a key frame still has all its packets counted.
QStringList ListingOutput(int input) {
  return {"-map",      QString("%1:v:0").arg(input),
          "-map",      QString("%1:a:0?").arg(input),
          "-c",        "copy",
          "-copyinkf", "-f",
          "framecrc",  "pipe:1"};
}

// What a run of ListAndDecode's kind tells. Errors of any of it are the made file's; only
// when there are some are the ranges decoded one by one again, to tell which.
ListedAndDecoded Findings(const Tools& tools, const QString& file, const ChildResult& result, bool list,
                          const QList<DecodeRange>& ranges, const MadeComparison* compare) {
  const QString errors = QString::fromUtf8(result.errors).trimmed();
  if (list && result.exitCode != 0 && result.output.isEmpty())
    throw VerificationFailed("the made file cannot be read: " + errors.section('\n', -1));
  ListedAndDecoded found;
  if (list) found.listing = ParseFrameCrcListing(result.output);
  if (compare) {
    static const QRegularExpression perFrame(R"(psnr_avg:(\S+))");
    if (const QRegularExpressionMatch match = perFrame.match(QString::fromUtf8(result.output));
        match.hasMatch())
      found.psnr = match.captured(1) == "inf" ? INFINITY : match.captured(1).toDouble();
    QFile hashes(compare->hashFile);
    if (hashes.open(QIODevice::ReadOnly)) found.hashes = ParseFrameHashes(hashes.readAll()).value(0);
  }
  if (result.exitCode == 0 && errors.isEmpty()) return found;
  for (const DecodeRange& range : ranges) {
    found.problem = DecodeProblem(tools, file, range.from, range.length, range.where);
    if (!found.problem.isEmpty()) return found;
  }
  found.problem = (ranges.isEmpty() ? QString("reading the file reports: ")
                                    : "decoding " + ranges[0].where + " reports: ") +
                  errors.section('\n', 0, 0);
  return found;
}

// One run over the made file: with `list`, every packet of its first video and audio stream
// listed by a stream copy (no decoding); the ranges decoded; with `compare`, the first range's
// frames compared with the source's.
ListedAndDecoded ListAndDecode(const Tools& tools, const QString& file, bool list, const QList<DecodeRange>& ranges,
                               const MadeComparison* compare = nullptr) {
  QStringList arguments = {"-nostdin", "-v", "error"};
  if (list) arguments << "-i" << FileArgument(file);
  const int first = list ? 1 : 0;  // the input number of the first range
  for (const DecodeRange& range : ranges) {
    if (range.from > 0) arguments << "-ss" << SecondsArgument(range.from);
    if (range.length > 0) arguments << "-t" << SecondsArgument(range.length);
    // The source's sample is taken unturned, as the head is encoded; the made file's frames
    // are compared with it unturned too.
    if (compare && &range == &ranges.first()) arguments << "-noautorotate";
    if (range.oneThread)
      arguments << "-threads"
                << "1";
    arguments << "-i" << FileArgument(file);
  }
  if (compare)
    arguments << "-i" << FileArgument(compare->sourceFrameFile) << "-filter_complex"
              << ComparisonGraph(QString("[%1:v:0]").arg(first), first + ranges.size(), *compare);
  if (list) arguments << ListingOutput(0);
  for (int i = first; i < first + ranges.size(); ++i) {
    if (i == first && compare)
      arguments << "-map"
                << "[d2]";
    else
      arguments << "-map" << QString("%1:v:0").arg(i);
    arguments << "-map" << QString("%1:a?").arg(i);
  }
  arguments << "-f"
            << "null"
            << "-";
  if (compare) arguments << ComparisonOutputs(compare->hashFile);
  return Findings(tools, file, RunChild(tools.ffmpeg, arguments), list, ranges, compare);
}

// A concat list of `file` from its key frame at or before `from`: how a started end read
// is let in once the file is made.
QString ListFrom(const QString& file, double from) {
  QString quoted = FileArgument(file);
  quoted.replace("'", "'\\''");
  return "ffconcat version 1.0\nfile '" + quoted + "'\ninpoint " + SecondsArgument(from) + "\n";
}

// The PSNR of a re-encode's first frame against the source frame where the stretch starts
// (a smart cut's is taken with its other reads of the made file). MPEG-1/2 decoders place
// frames a frame apart depending on where decoding began, so for them the best match among
// the start frame and its neighbours counts.
double FirstFramePsnr(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile) {
  const double frame = 1 / plan.frameRate;
  const QString codec = source.video()->codec;
  const bool ambiguous = codec == "mpeg1video" || codec == "mpeg2video";
  const int candidates = ambiguous ? 3 : 1;
  const SplitSeek seek = SplitSeekTo(source, plan.layout.headStart - frame / 4 - (ambiguous ? frame : 0));
  const QString graph = QString(
                            "[0:v:0]trim=end_frame=1,loop=loop=%1:size=1:start=0,setpts=N/TB[made];"
                            "[1:v:0]trim=start=%2,trim=end_frame=%3,setpts=N/TB[source];"
                            "[source][made]scale2ref[scaled][reference];[reference][scaled]psnr=stats_file=-")
                            .arg(candidates - 1)
                            .arg(SecondsArgument(seek.after))
                            .arg(candidates);
  const ChildResult result =
      // The input limits stop it at the compared frames instead of decoding both files.
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
  return best;
}

}  // namespace

int CopiedFramesCompared(const CutPlan& plan) { return std::min(plan.layout.copyFrames, 12); }

namespace {
double SampleStart(const CutPlan& plan) { return std::max(0.0, plan.layout.headStart - 0.25 / plan.frameRate); }
}  // namespace

SampleOutputs SourceSampleOutputs(const CutPlan& plan, const QString& firstFrameFile, const QString& hashFile) {
  const double frame = 1 / plan.frameRate;
  const SmartCutLayout& layout = plan.layout;
  const int sample = CopiedFramesCompared(plan);
  // The copy's first frame comes (copyStart - headStart) after the stretch's first.
  const double copyAfter = layout.copyStart - frame / 4 - SampleStart(plan);
  // The input's length limit goes by decoding times, which never come after the frames'
  // own: two frames more cover rounding.
  return {copyAfter, sample, copyAfter + (sample + 3) * frame, firstFrameFile, hashFile};
}

SourceSample ReadSourceSample(const SampleOutputs& outputs) {
  SourceSample taken;
  QFile hashes(outputs.hashFile);
  if (!QFileInfo(outputs.firstFrameFile).size() || !hashes.open(QIODevice::ReadOnly)) return taken;
  taken.firstFrameFile = outputs.firstFrameFile;
  taken.hashes = ParseFrameHashes(hashes.readAll()).value(0);
  return taken;
}

SourceSample SampleSource(const Tools& tools, const CutRequest& request, const CutPlan& plan,
                          const SampleOutputs& outputs) {
  const QString graph = QString("[0:v:0]split[a][b];[a]trim=end_frame=1[first];"
                                "[b]trim=start=%1,trim=end_frame=%2[hashed]")
                            .arg(SecondsArgument(outputs.hashAfter))
                            .arg(outputs.hashFrames);
  const ChildResult result = RunChild(
      tools.ffmpeg, QStringList{"-nostdin", "-v", "error", "-y"}
                        << InputSeek(SampleStart(plan)) << "-noautorotate"
                        << "-t" << SecondsArgument(outputs.seconds) << "-i" << FileArgument(request.input)
                        << "-filter_complex" << graph << SampleOutputArguments(outputs));
  if (result.exitCode != 0) return {};
  return ReadSourceSample(outputs);
}

namespace {

QStringList EndReadArguments(const QString& madeFile, bool listPackets) {
  // The concat list names the made file and where to start (the key frame before the end's
  // range, as -ss lands); a plain input after it is opened only once that list has come.
  QStringList arguments = {"-nostdin",  "-v", "error",  "-threads", "1", "-protocol_whitelist",
                           "file,pipe", "-f", "concat", "-safe",    "0", "-auto_convert",
                           "0",         "-i", "pipe:3"};
  if (listPackets) arguments << "-i" << FileArgument(madeFile) << ListingOutput(1);
  return arguments << DecodedOnly(0);
}

QStringList StartReadArguments(const QString& madeFile, const QString& sourceFrameFile,
                               const QString& hashFile) {
  // The graph is read before any input is opened; it ends the decoding itself (a trim).
  return QStringList{"-nostdin", "-v",
                     "error",    "-filter_complex_script",
                     "pipe:3",   "-noautorotate",
                     "-threads", "1",
                     "-i",       FileArgument(madeFile),
                     "-i",       FileArgument(sourceFrameFile),
                     "-map",     "[d2]",
                     "-f",       "null",
                     "-"}
         << ComparisonOutputs(hashFile);
}

}  // namespace

EarlyChecks::EarlyChecks(const Tools& tools, const QString& madeFile, const QString& sourceFrameFile,
                         const QString& hashFile, bool listPackets)
    : madeFile(madeFile),
      hashFile(hashFile),
      listPackets(listPackets),
      end(tools.ffmpeg, EndReadArguments(madeFile, listPackets), 1),
      start(tools.ffmpeg, StartReadArguments(madeFile, sourceFrameFile, hashFile), 1) {}

QStringList VerifyCut(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile, const SourceSample& sourceSample,
                      const std::function<QString(const QString&)>& workFile, EarlyChecks* early) {
  QStringList checks;
  const double stretch = VideoStretchEnd(source, request) - request.start;
  const double frame = 1 / plan.frameRate;
  const bool smart = plan.method == CutMethod::kSmartCut;
  const SmartCutLayout& layout = plan.layout;
  const int sample = smart ? CopiedFramesCompared(plan) : 0;

  QList<DecodeRange> ranges;
  if (smart) {
    // The encoded parts and the frames around each join; the copy in between is the source's.
    // The start through the compared copied frames; the end from the copy's last GOP on
    // (a second before the tail lands on its key frame).
    ranges << DecodeRange{0, (layout.headFrames + sample + 1) * frame, "the start", true};
    ranges << (layout.tailFrames > 0
                   ? DecodeRange{layout.tailStart - layout.headStart - 1, 0, "the end", true}
                   : DecodeRange{std::max(0.0, stretch - 1), 0, "the end", true});
  } else {
    ranges << DecodeRange{0, 0, "the file"};
  }
  // A smart cut into MP4 takes its lengths from the file's index, as players do: listing
  // every packet would read all the copied bytes once more.
  const bool indexed = smart && LengthsFromIndex(request.output);
  // Runs at the same time: the listing (or the index) with the end's decoding, and the
  // start's decoding with the comparison (a re-encode: the listing with the whole decoding,
  // and the comparison alone). The findings are then judged in a fixed order.
  ListedAndDecoded made, start;
  std::optional<VerificationFailed> unreadable;
  double psnr = -1;
  const bool started = smart && early && early->madeFile == madeFile;
  std::vector<std::function<void()>> reads = {[&] {
    try {
      if (started) {
        const ChildResult result = early->end.finish({ListFrom(madeFile, ranges[1].from)});
        made = Findings(tools, madeFile, result, !indexed, ranges.mid(1), nullptr);
      } else {
        made = ListAndDecode(tools, madeFile, !indexed, smart ? ranges.mid(1) : ranges);
      }
    } catch (const VerificationFailed& failure) {
      unreadable = failure;
    }
  }};
  // The started start read compares with the source's frame; without one (its sample could
  // not be taken), the check says so below.
  if (started && !sourceSample.firstFrameFile.isEmpty()) {
    const MadeComparison compare{sourceSample.firstFrameFile, layout.headFrames, sample, early->hashFile};
    reads.push_back([&, compare] {
      // The start's frames, then nothing more: the trim ends the run.
      const QString graph = QString("[0:v:0]trim=end_frame=%1,").arg(layout.headFrames + sample + 1) +
                            ComparisonGraph("", 1, compare);
      start = Findings(tools, madeFile, early->start.finish({graph}), false, ranges.mid(0, 1), &compare);
    });
  } else if (smart) {
    const MadeComparison compare{sourceSample.firstFrameFile, layout.headFrames, sample, workFile("hashes.md5")};
    reads.push_back([&, compare] {
      start = ListAndDecode(tools, madeFile, false, ranges.mid(0, 1),
                            sourceSample.firstFrameFile.isEmpty() ? nullptr : &compare);
    });
  } else {
    reads.push_back([&] { psnr = FirstFramePsnr(tools, source, request, plan, madeFile); });
  }
  RunConcurrently(reads);
  if (unreadable) throw *unreadable;
  const std::optional<Mp4Index> index = indexed ? ReadMp4Index(madeFile) : std::nullopt;
  if (indexed) {
    const std::optional<MadeListing> lengths = index ? ListingFromIndex(*index) : std::nullopt;
    if (!lengths) throw VerificationFailed("the made file's index cannot be read");
    made.listing = *lengths;
  }
  const MadeListing& listing = made.listing;
  // Only an MP4 keeps the rotation of a smart cut's copy (the plan re-encodes otherwise).
  const int madeRotation = index ? index->rotation : 0;
  if (smart) psnr = start.psnr;

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

  // The start's problem first, as a reader of the file meets it.
  if (!start.problem.isEmpty()) throw VerificationFailed(start.problem);
  if (!made.problem.isEmpty()) throw VerificationFailed(made.problem);
  if (smart) {
    if (start.hashes.size() != sample || start.hashes != sourceSample.hashes)
      throw VerificationFailed("the copied frames differ from the source's");
    checks
        << QString("decodes cleanly around every join; %1 copied frames identical to the source").arg(sample);
  } else {
    checks << "decodes cleanly from start to end";
  }

  // A re-encode turns the frames themselves; a smart cut copies them and must keep the flag.
  if (const int rotation = source.video()->rotation; rotation != 0 && smart) {
    if ((madeRotation - rotation) % 360 != 0)
      throw VerificationFailed(QString("the rotation is %1°, %2° expected").arg(madeRotation).arg(rotation));
    checks << QString("rotation kept: %1°").arg(rotation);
  }

  if (psnr < 0) throw VerificationFailed("the first frame could not be compared with the source");
  const bool quantiser = !ReEncodeCodecOptions(source, request).contains("-crf") && !smart;
  const double threshold = quantiser ? 25 : 35;
  if (psnr < threshold)
    throw VerificationFailed(QString("the first frame does not match the source (%1)").arg(Decibels(psnr)));
  checks << "first frame matches the source: " + Decibels(psnr);
  return checks;
}

}  // namespace vintrel::cut
