#include "clips.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <stdexcept>

namespace cuttest {

ProgramRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs) {
  QProcess process;
  process.start(program, arguments);
  process.closeWriteChannel();
  if (!process.waitForFinished(timeoutMs)) {
    process.kill();
    process.waitForFinished();
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()),
          QString::fromUtf8(process.readAllStandardError())};
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
  QList<double> times;
  for (const QString& line : Probe(file, "frame=best_effort_timestamp_time", "v:0").split('\n')) {
    bool isTime = false;
    const double time = line.section(',', 0, 0).trimmed().toDouble(&isTime);
    if (isTime) times << time - start;
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

int StreamCount(const QString& file, const QString& type) {
  return Probe(file, "stream=codec_type").split('\n', Qt::SkipEmptyParts).count(type);
}

QString DecodeErrors(const QString& file) {
  return RunProgram("ffmpeg", {"-v", "error", "-i", file, "-map", "0:v", "-map", "0:a?", "-f", "null", "-"})
      .err.trimmed();
}

QStringList HiddenWorkFiles(const QString& folder) {
  return QDir(folder).entryList({".vintrel-*"}, QDir::Files | QDir::Hidden);
}

QString CutProgram() { return qEnvironmentVariable("VINTREL_CUT_PROGRAM", "vintrel-cut"); }

}  // namespace cuttest
