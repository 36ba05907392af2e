#include "cut/make/re_encode.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cmath>
#include <vector>

#include "cut/cancel.h"
#include "cut/cut_error.h"
#include "cut/time_text.h"

extern char** environ;

namespace vintrel::cut {

namespace {

const QStringList kMp4Family = {"mp4", "m4v", "mov"};

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
  if (in == "dat") return {"-target", VcdTarget(source.frameRate), "-fps_mode", "vfr"};
  QStringList options = {"-fps_mode", "passthrough"};
  if (kMp4Family.contains(out) || out == "mkv") {
    // x264 and x265 ignore -q:v; their constant-quality scale is -crf.
    if (source.videoCodec == "hevc")
      options << "-c:v" << "libx265" << "-crf" << "18" << "-x265-params" << "log-level=error";
    else
      options << "-c:v" << "libx264" << "-crf" << "16";
    options << "-c:a" << "aac" << "-b:a" << "192k";
    if (out == "m4v") options << "-f" << "mp4";
    return options;
  }
  // The other types take the encoder's quantiser-driven codecs: 2 is near their best.
  options << "-q:v" << "2";
  if (out == "wmv" || in == "wmv") options << "-c:a" << "wmav2";
  if (out == "flv") options << "-ar" << "44100";  // FLV's MP3 allows only 44.1/22.05/11.025 kHz
  if (out == "divx") options << "-f" << "avi";
  if (out == "vob") options << "-f" << "vob";
  return options;
}

QStringList TrackOptions(const ReEncodeSource& source, const QString& out) {
  QStringList options;
  const bool manyTracks = kMp4Family.contains(out) || out == "mkv";
  for (int i = 0; i < source.audio.size() && (manyTracks || i == 0); ++i) {
    // Sound is re-encoded too: a copy would start at the packet the seek lands on, before the start.
    options << "-map" << QString("0:%1").arg(source.audio[i]);
  }
  if (!manyTracks) return options;
  for (int i = 0; i < source.subtitles.size(); ++i)
    options << "-map" << QString("0:%1").arg(source.subtitles[i]) << QString("-c:s:%1").arg(i)
            << (kMp4Family.contains(out) ? "mov_text" : "srt");
  return options;
}

}  // namespace

QStringList ReEncodeArguments(const ReEncodeSource& source, double start, double end, const QString& output) {
  const QString in = QFileInfo(source.input).suffix().toLower(), out = QFileInfo(output).suffix().toLower();
  QStringList args = {"-nostdin", "-hide_banner", "-v", "error", "-nostats", "-progress", "pipe:1", "-y"};
  // MPEG-1/2 decoders misplace their first frames after a seek of the demuxer: they decode from
  // well before the start and the frames before it are dropped by time.
  const bool mpeg = source.videoCodec == "mpeg1video" || source.videoCodec == "mpeg2video";
  const double seek = mpeg ? std::max(0.0, start - 5) : start;
  if (seek > 0) args << "-ss" << SecondsArgument(seek);
  args << "-i" << FileArgument(source.input);
  if (start - seek > 0)
    args << "-filter:v" << QString("trim=start=%1,setpts=PTS-STARTPTS").arg(SecondsArgument(start - seek))
         << "-filter:a" << QString("atrim=start=%1,asetpts=PTS-STARTPTS").arg(SecondsArgument(start - seek));
  args << "-t" << SecondsArgument(end - start) << "-map" << QString("0:%1").arg(source.videoIndex);
  args << TrackOptions(source, out) << CodecOptions(source, in, out);
  return args << "-map_metadata" << "0" << FileArgument(output);
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

namespace {

struct Pipe {
  int ends[2] = {-1, -1};
  Pipe() {
    if (pipe2(ends, O_CLOEXEC) != 0) throw CutError("The system could not start the encoder: no pipes left.");
  }
  ~Pipe() {
    for (int& end : ends)
      if (end >= 0) close(end);
  }
  void closeEnd(int which) {
    if (ends[which] >= 0) close(ends[which]);
    ends[which] = -1;
  }
};

pid_t Spawn(const QString& program, const QStringList& arguments, Pipe& out, Pipe& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out.ends[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err.ends[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group, so that a terminal's Ctrl+C reaches us first, and we stop it.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  std::vector<QByteArray> bytes = {program.toLocal8Bit()};
  for (const QString& argument : arguments) bytes.push_back(argument.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& argument : bytes) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) throw CutError(QString("The encoder %1 could not be started: %2.").arg(program, strerror(error)));
  return pid;
}

}  // namespace

void RunEncoder(const QString& program, const QStringList& arguments, double seconds,
                const std::function<void(double)>& progress) {
  ThrowIfCancelled();
  Pipe out, err;
  const pid_t pid = Spawn(program, arguments, out, err);
  out.closeEnd(1);
  err.closeEnd(1);
  QByteArray errors, pending;
  bool stopping = false;
  while (out.ends[0] >= 0 || err.ends[0] >= 0) {
    if (CancelRequested() && !stopping) {
      kill(-pid, SIGTERM);
      stopping = true;
    }
    pollfd watched[3] = {{out.ends[0], POLLIN, 0}, {err.ends[0], POLLIN, 0}, {stopping ? -1 : CancelWakeDescriptor(), POLLIN, 0}};
    // Asked to stop, it has a few seconds; then it is made to.
    if (poll(watched, 3, stopping ? 5000 : -1) == 0 && stopping) kill(-pid, SIGKILL);
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (!(watched[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t got = read(watched[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        (i == 0 ? out : err).closeEnd(0);
        continue;
      }
      if (i == 1) {
        errors.append(buffer, got);
        continue;
      }
      pending.append(buffer, got);
      for (qsizetype newline; (newline = pending.indexOf('\n')) >= 0;) {
        const QByteArray line = pending.left(newline);
        pending.remove(0, newline + 1);
        // out_time_us counts the output's time; N/A and negative values come before the first frame.
        bool ok = false;
        const double micro = line.startsWith("out_time_us=") ? line.mid(12).toDouble(&ok) : -1;
        if (ok && micro >= 0 && seconds > 0 && progress) progress(std::min(1.0, micro / 1e6 / seconds));
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ThrowIfCancelled();
  const QString text = QString::fromUtf8(errors);
  // The encoder exits 0 when only the closing of its file failed (a disk that filled up while
  // it wrote the index): the file is unusable all the same.
  const bool closingFailed = text.contains("Error closing file") || text.contains("Error writing trailer");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || closingFailed)
    throw CutError(PlainFailure(text, QFileInfo(arguments.last().mid(5)).absolutePath()));
}

}  // namespace vintrel::cut
