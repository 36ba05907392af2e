#include "clips.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace cuttest {

namespace {

struct RawRun {
  int exitCode = -1;
  QByteArray out, err;
};

RawRun RunRaw(const QString& program, const QStringList& arguments, int timeoutMs = 120000) {
  QProcess process;
  process.start(program, arguments);
  process.closeWriteChannel();
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished();
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput(), process.readAllStandardError()};
}

}  // namespace

ProgramRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
  const RawRun run = RunRaw(program, arguments, timeoutMs);
  return {run.exitCode, QString::fromUtf8(run.out), QString::fromUtf8(run.err)};
}

namespace {
int FfmpegMajorVersion() {
  static const int major = [] {
    const QString text = RunProgram("ffmpeg", {"-version"}).out;
    const QRegularExpressionMatch match = QRegularExpression(R"(version n?(\d+)\.)").match(text);
    if (!match.hasMatch())
      throw std::runtime_error(("ffmpeg -version says no version: " + text).toStdString());
    return match.captured(1).toInt();
  }();
  return major;
}
}  // namespace

QStringList RotatedCopyArguments(const QString& input, const QString& output, int degrees) {
  const QString turn = QString::number(degrees);
  if (FfmpegMajorVersion() >= 7)
    return {"-v", "error", "-y",  "-display_rotation:v:0", turn, "-i", input, "-map", "0",
            "-c", "copy",  output};
  return {"-v",  "error", "-y", "-i", input, "-map", "0", "-c", "copy", "-metadata:s:v:0", "rotate=" + turn,
          output};
}

void MakeClip(const QString& path, double seconds, const QStringList& outputOptions, int audioTracks,
              const QString& videoSource, const QStringList& extraInputs) {
  QStringList args = {"-v", "error", "-y", "-f", "lavfi", "-i", videoSource};
  for (int i = 0; i < audioTracks; ++i)
    args << "-f"
         << "lavfi"
         << "-i" << QString("sine=frequency=%1:sample_rate=44100").arg(440 + 220 * i);
  args << extraInputs << "-t" << QString::number(seconds) << "-map"
       << "0:v";
  for (int i = 0; i < audioTracks; ++i) args << "-map" << QString("%1:a").arg(i + 1);
  args << outputOptions << path;
  const ProgramRun run = RunProgram("ffmpeg", args);
  if (run.exitCode != 0) throw std::runtime_error(("making a clip failed: " + run.err).toStdString());
}

namespace {

QStringList HashesOf(const QString& file, const QString& filter) {
  QStringList args = {"-v", "error", "-noautorotate", "-i", file, "-map", "0:v:0"};
  if (!filter.isEmpty()) args << "-vf" << filter;
  args << "-f"
       << "framemd5"
       << "-";
  QStringList hashes;
  for (const QString& line : RunProgram("ffmpeg", args).out.split('\n'))
    if (!line.startsWith('#') && !line.trimmed().isEmpty()) hashes << line.section(',', -1).trimmed();
  return hashes;
}

}  // namespace

QList<double> FrameTimes(const QString& file) {
  const double start = Probe(file, "format=start_time").toDouble();
  // Frames with side data (MPEG's pan-scan) add lines of their own: count the timestamps only.
  // A frame without one (the first of packed B-frames) keeps its place, so indices stay frames.
  QList<double> times;
  for (const QString& line : Probe(file, "frame=best_effort_timestamp_time", "v:0").split('\n')) {
    const QString field = line.section(',', 0, 0).trimmed();
    bool isTime = false;
    const double time = field.toDouble(&isTime);
    if (isTime) times << time - start;
    if (field == "N/A") times << NAN;
  }
  return times;
}

int FrameIndexAt(const QList<double>& times, double seconds) {
  for (int i = 0; i < times.size(); ++i)
    if (times[i] >= seconds - 0.001) return i;
  return int(times.size());
}

QStringList FrameHashes(const QString& file) { return HashesOf(file, ""); }

QStringList SourceFrameHashes(const QString& file, int firstFrame, int frames) {
  return HashesOf(file, QString("trim=start_frame=%1:end_frame=%2").arg(firstFrame).arg(firstFrame + frames));
}

QList<double> FirstFramePsnrs(const QString& made, const QString& source, int first, int count) {
  const QString graph = QString(
                            "[0:v:0]trim=end_frame=1,loop=loop=%1:size=1:start=0,setpts=N/TB[made];"
                            "[1:v:0]trim=start_frame=%2:end_frame=%3,setpts=N/TB[source];"
                            "[source][made]scale2ref[scaled][reference];[reference][scaled]psnr=stats_file=-")
                            .arg(count - 1)
                            .arg(first)
                            .arg(first + count);
  const ProgramRun run = RunProgram(
      "ffmpeg", {"-v", "error", "-i", made, "-i", source, "-filter_complex", graph, "-f", "null", "-"});
  QList<double> values;
  for (const QRegularExpressionMatch& match : QRegularExpression(R"(psnr_avg:(\S+))").globalMatch(run.out))
    values << (match.captured(1) == "inf" ? 1000 : match.captured(1).toDouble());
  return values;
}

namespace {
constexpr int kThumbnailBytes = 32 * 18;
}

namespace {

// Frames in the decoder's order get the stream's times in order: the same as sorting by time
// where the times follow the pictures, and what a player shows where the container gives times
// in decoding order though the pictures are reordered. The times are the shown packets', as a
// decoder's best-effort guesses for such frames differ between containers.
void GiveShownTimes(const QString& file, QList<TimedFrame>& frames) {
  QList<double> times;
  for (const StoredPacket& packet : StoredPackets(file, "v:0"))
    if (!packet.discarded) times << packet.time;
  if (times.size() != frames.size()) {
    times.clear();
    for (const TimedFrame& frame : frames) times << frame.time;
  }
  std::sort(times.begin(), times.end());
  for (qsizetype i = 0; i < frames.size(); ++i) frames[i].time = times[i];
}

}  // namespace

QList<TimedFrame> FramesByTime(const QString& file) {
  // One decoding for both: the hashes on the standard output, the thumbnails to a file.
  QTemporaryFile thumbnails;
  if (!thumbnails.open()) throw std::runtime_error("no temporary file for thumbnails");
  const ProgramRun run = RunProgram("ffmpeg", {"-v",
                                               "error",
                                               "-i",
                                               file,
                                               "-map",
                                               "0:v:0",
                                               "-fps_mode",
                                               "passthrough",
                                               "-enc_time_base",
                                               "-1",
                                               "-f",
                                               "framemd5",
                                               "-",
                                               "-map",
                                               "0:v:0",
                                               "-fps_mode",
                                               "passthrough",
                                               "-vf",
                                               "scale=32:18,format=gray",
                                               "-f",
                                               "rawvideo",
                                               "-y",
                                               thumbnails.fileName()});
  const QByteArray pictures = thumbnails.readAll();
  QList<TimedFrame> frames;
  double tick = 0;
  for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
    if (line.startsWith("#tb 0:")) {
      const QString rate = line.section(':', 1).trimmed();
      tick = rate.section('/', 0, 0).toDouble() / rate.section('/', 1, 1).toDouble();
    }
    const QStringList fields = line.split(',');
    if (line.startsWith('#') || fields.size() < 6) continue;
    const qsizetype at = frames.size() * kThumbnailBytes;
    frames << TimedFrame{fields[2].trimmed().toDouble() * tick, fields[5].trimmed(),
                         pictures.mid(at, kThumbnailBytes)};
  }
  GiveShownTimes(file, frames);
  return frames;
}

double ThumbnailDistance(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size() || a.isEmpty()) return 255;
  double sum = 0;
  for (qsizetype i = 0; i < a.size(); ++i) sum += std::abs(int(quint8(a[i])) - int(quint8(b[i])));
  return sum / double(a.size());
}

QList<StoredPacket> StoredPackets(const QString& file, const QString& stream) {
  const ProgramRun run = RunProgram("ffprobe", {"-v", "error", "-select_streams", stream, "-show_entries",
                                                "format=start_time:packet=pts_time,flags,data_hash",
                                                "-show_data_hash", "md5", "-of", "json", file});
  const QJsonObject probed = QJsonDocument::fromJson(run.out.toUtf8()).object();
  const double start = probed["format"].toObject()["start_time"].toString().toDouble();
  QList<StoredPacket> packets;
  for (const QJsonValue& value : probed["packets"].toArray()) {
    const QJsonObject packet = value.toObject();
    packets << StoredPacket{packet["pts_time"].toString().toDouble() - start,
                            packet["flags"].toString().startsWith('K'), packet["data_hash"].toString(),
                            packet["flags"].toString().mid(1, 1) == "D"};
  }
  return packets;
}

QString DebianFile(const QString& package, const QString& pathInPackage, QString& problem) {
  const QString cache =
      qEnvironmentVariable("VINTREL_TEST_CACHE", QDir::temp().filePath("vintrel-test-cache"));
  const QString name = QFileInfo(pathInPackage).fileName(),
                kept = QDir(cache).filePath(name.endsWith(".gz") ? name.chopped(3) : name);
  if (QFileInfo(kept).size() > 0) return kept;
  if (QStandardPaths::findExecutable("apt-get").isEmpty() ||
      QStandardPaths::findExecutable("dpkg-deb").isEmpty()) {
    problem = "apt-get and dpkg-deb are not here to fetch " + package;
    return {};
  }
  QDir().mkpath(cache);
  // One shell line: download, take the one file out of the package, unpack it, drop the package.
  const QString script =
      QString(
          "set -e; cd \"$1\"; rm -f %1_*.deb; apt-get download -q %1 2>&1; "
          "dpkg-deb --fsys-tarfile %1_*.deb | tar -xO \"./%2\" > \"$2.part\"; rm -f %1_*.deb; "
          "case \"%2\" in *.gz) gzip -dc \"$2.part\" > \"$2\"; rm \"$2.part\";; "
          "*) mv \"$2.part\" \"$2\";; esac")
          .arg(package, pathInPackage);
  const ProgramRun run = RunProgram("sh", {"-c", script, "sh", cache, kept}, 600000);
  if (run.exitCode != 0 || QFileInfo(kept).size() == 0) {
    QFile::remove(kept);
    problem = QString("%1 could not be fetched with apt-get: %2")
                  .arg(package, (run.out + run.err).simplified().right(300));
    return {};
  }
  return kept;
}

double AudioLength(const QString& file) {
  const QStringList lines = RunProgram("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                                   "packet=pts_time,duration_time", "-of", "csv=p=0", file})
                                .out.split('\n', Qt::SkipEmptyParts);
  double first = 1e9, end = -1e9;
  for (const QString& line : lines) {
    const double pts = line.section(',', 0, 0).toDouble(), duration = line.section(',', 1, 1).toDouble();
    first = std::min(first, pts);
    end = std::max(end, pts + duration);
  }
  return lines.isEmpty() ? 0 : end - first;
}

QString Probe(const QString& file, const QString& entries, const QString& streams) {
  QStringList args = {"-v", "error"};
  if (!streams.isEmpty()) args << "-select_streams" << streams;
  return RunProgram("ffprobe", args << "-show_entries" << entries << "-of"
                                    << "csv=p=0" << file)
      .out.trimmed();
}

QStringList StreamValues(const QString& file, const QString& entry, const QString& streams) {
  // Side data (AC-3's service type) adds empty fields after the value.
  QStringList values;
  for (const QString& line : Probe(file, "stream=" + entry, streams).split('\n', Qt::SkipEmptyParts))
    values << line.section(',', 0, 0);
  return values;
}

int StreamCount(const QString& file, const QString& type) {
  return StreamValues(file, "codec_type").count(type);
}

QString DecodeErrors(const QString& file) {
  const QString err =
      RunProgram("ffmpeg", {"-v", "error", "-i", file, "-map", "0:v", "-map", "0:a?", "-f", "null", "-"}).err;
  QStringList errors;
  for (const QString& line : err.split('\n', Qt::SkipEmptyParts))
    if (!line.startsWith("[null @")) errors << line;
  return errors.join('\n').trimmed();
}

QStringList HiddenWorkFiles(const QString& folder) {
  return QDir(folder).entryList({".vintrel-*"}, QDir::Files | QDir::Hidden);
}

QString CutProgram() { return qEnvironmentVariable("VINTREL_CUT_PROGRAM", "vintrel-cut"); }

namespace {

constexpr double kBeepAmplitude = 0.5;

// The start of the second that `t` lies in, moved on to the first frame at or after it: the
// frame that flashes, so that beep and flash start together at any rate.
QString FirstFrameOfSecond(const QString& rate) {
  return QString("ceil(floor(t)*(%1)-0.000001)/(%1)").arg(rate);
}

void Run(const QString& program, const QStringList& arguments) {
  const ProgramRun run = RunProgram(program, arguments);
  if (run.exitCode != 0)
    throw std::runtime_error(
        ("making a sync clip failed: " + program + ": " + run.out + run.err).toStdString());
}

}  // namespace

void MakeSyncClip(const QString& path, const SyncClip& clip) {
  // One frame in each second is closer to its second's start than 0.9 frames, whatever the rate.
  QString video = clip.darkPicture ? QString(
                                         "color=color=black:size=160x120:rate=%1,"
                                         "drawtext=text='%{n}':fontcolor=white:fontsize=40:x=20:y=40")
                                         .arg(clip.rate)
                                   : QString("testsrc2=size=160x120:rate=%1").arg(clip.rate);
  video +=
      QString(",drawbox=color=white:thickness=fill:enable='lt(mod(t+0.0001\\,1)\\,0.9/(%1))'").arg(clip.rate);
  if (!clip.videoFilter.isEmpty()) video += "," + clip.videoFilter;
  const QString since = "(t-" + FirstFrameOfSecond(clip.rate) + ")";
  const QString audio = QString("aevalsrc='%1*sin(2*PI*1000*%2)*gte(%2\\,0)*lt(%2\\,0.02)':sample_rate=%3")
                            .arg(kBeepAmplitude)
                            .arg(since)
                            .arg(clip.sampleRate);
  QStringList args = {"-v", "error", "-y", "-f", "lavfi", "-i", video};
  if (clip.audioDelay != 0) args << "-itsoffset" << QString::number(clip.audioDelay);
  args << "-f"
       << "lavfi"
       << "-i" << audio;
  if (!clip.subtitles.isEmpty()) {
    QFile srt(path + ".srt");
    if (!srt.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write the subtitles");
    srt.write(clip.subtitles.toUtf8());
    srt.close();
    args << "-i" << srt.fileName();
  }
  args << "-t" << QString::number(clip.seconds);
  args << "-map" << (clip.audioFirst ? "1:a" : "0:v") << "-map" << (clip.audioFirst ? "0:v" : "1:a");
  if (!clip.subtitles.isEmpty())
    args << "-map"
         << "2:s"
         << "-c:s" << (path.endsWith(".mkv") ? "srt" : "mov_text");
  if (clip.mkvmergeVideo.isEmpty()) {
    args << clip.options << path;
    Run("ffmpeg", args);
    return;
  }
  Run("ffmpeg", args << clip.options << path + ".made.mkv");
  QStringList merge = {"-q", "-o", path + ".tagged.mkv"};
  for (const QString& option : clip.mkvmergeVideo) merge << option;
  Run("mkvmerge", merge << path + ".made.mkv");
  Run("ffmpeg", QStringList{"-v", "error", "-y", "-i", path + ".tagged.mkv", "-map", "0", "-c", "copy"}
                    << clip.remux << path);
}

namespace {

QList<double> FlashTimes(const QString& file) {
  // ffmpeg's filters see each decoded frame at its best-effort time less the file's start.
  const ProgramRun run = RunProgram(
      "ffmpeg", {"-v", "error", "-i", file, "-map", "0:v:0", "-vf",
                 "scale=32:24,format=yuv420p,signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-",
                 "-f", "null", "-"});
  QList<double> flashes;
  double time = 0;
  bool lastWasWhite = false;
  for (const QString& line : run.out.split('\n')) {
    if (line.startsWith("frame:")) time = line.section("pts_time:", 1).trimmed().toDouble();
    if (!line.startsWith("lavfi.signalstats.YAVG=")) continue;
    // White is 235 and the moving picture about 110 (8 bits, whatever the source's depth); a
    // repeated white frame is the same flash.
    const bool white = line.section('=', 1).toDouble() > 200;
    if (white && !lastWasWhite) flashes << time;
    lastWasWhite = white;
  }
  return flashes;
}

}  // namespace

SyncMarks MeasureSync(const QString& file) {
  SyncMarks marks;
  marks.flashes = FlashTimes(file);
  // Mono samples at the file's own rate, so an onset is found to the sample; the first
  // frame's time tells where they start.
  const double rate = StreamValues(file, "sample_rate", "a:0").value(0).toDouble();
  const RawRun run = RunRaw("ffmpeg", {"-nostats", "-v", "info", "-i", file, "-map", "0:a:0", "-af",
                                       "ashowinfo", "-ac", "1", "-f", "s16le", "-"});
  const QRegularExpressionMatch first =
      QRegularExpression(R"( n:0 pts:\S+ pts_time:(\S+))").match(QString::fromUtf8(run.err));
  if (!first.hasMatch() || rate <= 0) return marks;
  marks.firstAudio = first.captured(1).toDouble();
  const qsizetype count = run.out.size() / 2;
  marks.audioSeconds = count / rate;
  // An onset is a loud sample after a third of a second of quiet; the threshold stays above a
  // lossy codec's pre-echo and below the beep's first half-wave.
  const int threshold = int(0.3 * kBeepAmplitude * 32767), quiet = int(rate / 3);
  qsizetype lastLoud = -quiet;
  for (qsizetype i = 0; i < count; ++i) {
    const qint16 sample = qint16(quint8(run.out[2 * i]) | (quint8(run.out[2 * i + 1]) << 8));
    if (std::abs(int(sample)) < threshold) continue;
    if (i - lastLoud >= quiet) marks.beeps << marks.firstAudio + i / rate;
    lastLoud = i;
  }
  return marks;
}

QMap<int, double> AvOffsets(const SyncMarks& marks, double shift) {
  QMap<int, double> offsets;
  for (const double flash : marks.flashes) {
    const auto nearest = std::min_element(marks.beeps.begin(), marks.beeps.end(), [&](double a, double b) {
      return std::abs(a - flash) < std::abs(b - flash);
    });
    if (nearest != marks.beeps.end() && std::abs(*nearest - flash) < 0.45)
      offsets[int(std::lround(flash + shift))] = *nearest - flash;
  }
  return offsets;
}

QList<Cue> ParseSrt(const QString& text) {
  static const QRegularExpression timing(
      R"((\d+):(\d\d):(\d\d)[,.](\d\d\d)\s*-->\s*(\d+):(\d\d):(\d\d)[,.](\d\d\d))");
  QList<Cue> cues;
  for (const QString& block : QString(text).replace("\r\n", "\n").split("\n\n", Qt::SkipEmptyParts)) {
    const QStringList lines = block.trimmed().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
      const QRegularExpressionMatch match = timing.match(lines[i]);
      if (!match.hasMatch()) continue;
      const auto at = [&](int group) {
        return match.captured(group).toInt() * 3600 + match.captured(group + 1).toInt() * 60 +
               match.captured(group + 2).toInt() + match.captured(group + 3).toInt() / 1000.0;
      };
      cues << Cue{at(1), at(5), lines.mid(i + 1).join('\n').trimmed()};
      break;
    }
  }
  return cues;
}

QList<Cue> Cues(const QString& file) {
  return ParseSrt(RunProgram("ffmpeg", {"-v", "error", "-i", file, "-map", "0:s:0", "-f", "srt", "-"}).out);
}

OtherReading ReadWithGStreamer(const QString& file) {
  const ProgramRun run = RunProgram("gst-discoverer-1.0", {"-v", file});
  OtherReading reading;
  const int error = run.out.indexOf("An error was encountered");
  if (run.exitCode != 0 || !run.out.contains("Done discovering") || error >= 0)
    return {"gst-discoverer-1.0: " + (error >= 0 ? run.out.mid(error) : run.out + run.err).simplified()};
  const QRegularExpressionMatch duration =
      QRegularExpression(R"(Duration: (\d+):(\d\d):(\d\d\.\d+))").match(run.out);
  if (duration.hasMatch())
    reading.duration = duration.captured(1).toInt() * 3600 + duration.captured(2).toInt() * 60 +
                       duration.captured(3).toDouble();
  const QRegularExpression stream(R"(^\s+(video|audio|subtitles) #\d+: )",
                                  QRegularExpression::MultilineOption);
  for (const QRegularExpressionMatch& match : stream.globalMatch(run.out)) {
    const QString type = match.captured(1);
    ++(type == "video" ? reading.video : type == "audio" ? reading.audio : reading.subtitles);
  }
  return reading;
}

OtherReading ReadWithMkvmerge(const QString& file) {
  const ProgramRun run = RunProgram("mkvmerge", {"-J", file});
  const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8()).object();
  const QJsonObject container = root["container"].toObject();
  const QJsonArray errors = root["errors"].toArray();
  if (!container["recognized"].toBool() || !container["supported"].toBool() || !errors.isEmpty()) {
    QStringList problems;
    for (const QJsonValue& error : errors) problems << error.toString();
    return {"mkvmerge -J: " + (problems.isEmpty() ? run.out + run.err : problems.join("; ")).simplified()};
  }
  OtherReading reading;
  reading.duration = container["properties"].toObject()["duration"].toDouble() / 1e9;
  for (const QJsonValue& track : root["tracks"].toArray()) {
    const QString type = track.toObject()["type"].toString();
    if (type == "video") ++reading.video;
    if (type == "audio") ++reading.audio;
    if (type == "subtitles") ++reading.subtitles;
  }
  return reading;
}

}  // namespace cuttest
