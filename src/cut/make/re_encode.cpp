#include "cut/make/re_encode.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>

#include "cut/cut_error.h"
#include "cut/time_text.h"

namespace vintrel::cut {

namespace {

const QStringList kMp4Family = {"mp4", "m4v", "mov"};
// Samples the MP3 encoder puts before the sound (LAME's delay and the decoder's).
constexpr double kMp3EncoderDelay = 1105;

QString FileArgument(const QString& path) {
  return "file:" + (QDir::isAbsolutePath(path) ? path : QDir::currentPath() + "/" + path);
}

QString VcdTarget(double framesPerSecond) {
  auto near = [&](double rate) { return std::abs(framesPerSecond - rate) < 0.01; };
  if (near(30000.0 / 1001) || near(30)) return "ntsc-vcd";
  if (near(24000.0 / 1001) || near(24)) return "film-vcd";
  return "pal-vcd";
}

QStringList CodecOptions(const ReEncodeSource& source, const QString& in, const QString& out) {
  if (in == "dat" || out == "dat") return {"-target", VcdTarget(source.frameRate), "-fps_mode", "vfr"};
  QStringList options = {"-fps_mode", "passthrough"};
  if (kMp4Family.contains(out) || out == "mkv") {
    // x264 and x265 ignore -q:v; their constant-quality scale is -crf.
    if (source.videoCodec == "hevc") {
      options += {"-c:v", "libx265", "-crf", "18", "-x265-params", "log-level=error"};
    } else {
      options += {"-c:v", "libx264", "-crf", "16"};
    }
    options += {"-c:a", "aac", "-b:a", "192k"};
    if (out == "m4v") options += {"-f", "mp4"};
    return options;
  }
  // The other types take the encoder's quantiser-driven codecs: 2 is near their best.
  options += {"-q:v", "2"};
  if (out == "wmv" || in == "wmv") options += {"-c:a", "wmav2"};
  if (out == "flv") options += {"-ar", "44100"};  // FLV's MP3 allows only 44.1/22.05/11.025 kHz
  if (out == "divx") options += {"-f", "avi"};
  if (out == "vob") options += {"-f", "vob"};
  return options;
}

}  // namespace

QStringList ReEncodeArguments(const ReEncodeSource& source, double start, double end, const QString& output) {
  const QString in = QFileInfo(source.input).suffix().toLower(), out = QFileInfo(output).suffix().toLower();
  QStringList args = {"-nostdin", "-hide_banner", "-v", "error", "-nostats", "-progress", "pipe:1", "-y"};
  // The demuxer seeks to before the start (MPEG-1/2 decoders misplace their first frames after
  // a seek, so well before); frames and samples are then taken by their own times, those of
  // the stretch exactly, and counted from the start mark, so each stream keeps its place.
  const bool mpeg = source.videoCodec == "mpeg1video" || source.videoCodec == "mpeg2video";
  const double seek = std::max(0.0, start - (mpeg ? 5 : 1));
  if (seek > 0) args << "-ss" << SecondsArgument(seek);
  args << "-i" << FileArgument(source.input);
  const QString from = SecondsArgument(start - seek), to = SecondsArgument(end - seek);
  args << "-filter:v" << QString("trim=start=%1:end=%2,setpts=PTS-%1/TB").arg(from, to);
  // AVI keeps no time for its sound: the MP3 encoder's delay would be heard before it, and
  // the muxer, moving every stream by it, would put the frames after the first one slot late.
  // The sound gives up as much at its start instead, and the frames keep their slots.
  const bool avi = out == "avi" || out == "divx";
  const double skipped = avi && source.sampleRate > 0 ? kMp3EncoderDelay / source.sampleRate : 0;
  if (!source.audio.isEmpty())
    args << "-filter:a"
         << QString("atrim=start=%1:end=%2,asetpts=PTS-%3/TB")
                .arg(SecondsArgument(start - seek + skipped), to, SecondsArgument(start - seek + skipped));
  if (avi)
    args << "-avoid_negative_ts"
         << "disabled";
  args << "-map" << QString("0:%1").arg(source.videoIndex);
  // Sound is re-encoded too: a copy would start at the packet the seek lands on, before the
  // start. Subtitles are not the encoder's: the engine adds them to its file, clipped.
  const bool manyTracks = kMp4Family.contains(out) || out == "mkv";
  for (int i = 0; i < source.audio.size() && (manyTracks || i == 0); ++i)
    args << "-map" << QString("0:%1").arg(source.audio[i]);
  return args << CodecOptions(source, in, out) << "-map_metadata"
              << "0" << FileArgument(output);
}

QString FindEncoder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length > 0) {
    const QString beside = QFileInfo(QString::fromLocal8Bit(path, length)).absolutePath() + "/ffmpeg";
    if (QFileInfo(beside).isExecutable()) return beside;
  }
  return QStandardPaths::findExecutable("ffmpeg");
}

void RunEncoder(const QString& program, const QStringList& arguments, double seconds,
                const std::function<void(double)>& progress) {
  ThrowIfCancelled();
  QProcess encoder;
  encoder.setProgram(program);
  encoder.setArguments(arguments);
  encoder.setStandardInputFile(QProcess::nullDevice());
  // A process group of its own, so that a terminal's Ctrl+C reaches us first, and we stop it.
  encoder.setChildProcessModifier([] { setpgid(0, 0); });
  encoder.start();
  if (!encoder.waitForStarted())
    throw CutError(QString("The encoder %1 could not be started: %2.").arg(program, encoder.errorString()));
  QByteArray pending;
  QElapsedTimer stopping;
  while (encoder.state() != QProcess::NotRunning) {
    encoder.waitForReadyRead(100);
    if (CancelRequested() && !stopping.isValid()) {
      kill(-pid_t(encoder.processId()), SIGTERM);
      stopping.start();
    }
    // Asked to stop, it has a few seconds; then it is made to.
    if (stopping.isValid() && stopping.elapsed() > 5000) kill(-pid_t(encoder.processId()), SIGKILL);
    pending += encoder.readAllStandardOutput();
    for (qsizetype newline; (newline = pending.indexOf('\n')) >= 0; pending.remove(0, newline + 1)) {
      // out_time_us counts the output's time; N/A and negative values come before the first frame.
      bool ok = false;
      const QByteArray line = pending.left(newline);
      const double micro = line.startsWith("out_time_us=") ? line.mid(12).toDouble(&ok) : -1;
      if (ok && micro >= 0 && seconds > 0 && progress) progress(std::min(1.0, micro / 1e6 / seconds));
    }
  }
  ThrowIfCancelled();
  // The file it writes is a hidden work file, whose name means nothing to the user.
  const QString output = arguments.last();
  const QString errors = QString::fromUtf8(encoder.readAllStandardError())
                             .replace(output, "the new file")
                             .replace(output.mid(5), "the new file");
  // The encoder exits 0 when only the closing of its file failed (a disk that filled up while
  // it wrote the index): the file is unusable all the same.
  const bool closingFailed =
      errors.contains("Error closing file") || errors.contains("Error writing trailer");
  if (encoder.exitStatus() != QProcess::NormalExit || encoder.exitCode() != 0 || closingFailed)
    throw CutError(PlainFailure(errors, QFileInfo(output.mid(5)).absolutePath()));
}

}  // namespace vintrel::cut
