#include "export/command_line.h"

#include <QDir>
#include <cmath>

#include "platform/platform.h"
#include "player/format_time.h"

namespace vintrel {

ToolLocation LocateTool(IFiles& files, const QString& name) {
  ToolLocation tool;
  const QString appFolder = files.AppPath();
  tool.lookedIn = QString("%1/%2 and on the search path (PATH)").arg(appFolder, name);
  tool.folder = appFolder;
  if (files.IsExecutable(appFolder + "/" + name)) {
    tool.found = true;
  } else if (const QString inPath = files.FindInPath(name); !inPath.isEmpty()) {
    tool.found = true;
    tool.folder = inPath.left(inPath.lastIndexOf('/'));
  }
  tool.program = tool.folder + "/" + name;
  return tool;
}

QString FileArgument(const QString& path) {
  // Relative paths are completed by hand: cleaning "a/../b" by text would be wrong when
  // "a" is a symbolic link.
  return "file:" + (QDir::isAbsolutePath(path) ? path : QDir::currentPath() + "/" + path);
}

std::optional<double> ParseFrameRate(const QString& text) {
  const QStringList parts = text.trimmed().split('/');
  if (parts.size() > 2) return std::nullopt;
  bool ok = false;
  const double numerator = parts[0].toDouble(&ok);
  if (!ok) return std::nullopt;
  double denominator = 1;
  if (parts.size() == 2) {
    denominator = parts[1].toDouble(&ok);
    if (!ok || denominator == 0) return std::nullopt;
  }
  const double rate = numerator / denominator;
  if (!(rate > 0) || !std::isfinite(rate)) return std::nullopt;
  return rate;
}

std::optional<double> ProbeFrameRate(IFiles& files, IProcesses& processes, const QString& input) {
  const ToolLocation ffprobe = LocateTool(files, "ffprobe");
  if (!ffprobe.found) return std::nullopt;
  const ProgramRun run =
      processes.Run(ffprobe.program,
                    {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=r_frame_rate", "-of",
                     "default=noprint_wrappers=1:nokey=1", FileArgument(input)},
                    30000);
  if (!run.started || !run.finished || run.exitCode != 0) return std::nullopt;
  const QString out = QString::fromUtf8(run.out).trimmed();
  return ParseFrameRate(out.section('\n', 0, 0));
}

QString VcdTarget(std::optional<double> framesPerSecond) {
  if (!framesPerSecond) return "pal-vcd";
  auto near = [&](double rate) { return std::abs(*framesPerSecond - rate) < 0.01; };
  if (near(30000.0 / 1001) || near(30)) return "ntsc-vcd";
  if (near(24000.0 / 1001) || near(24)) return "film-vcd";
  return "pal-vcd";
}

bool IsVcdExtension(const QString& inputExtension) {
  return inputExtension == "DAT" || inputExtension == "dat";
}

QStringList CodecOptions(const QString& inputExtension, const QString& vcdTarget) {
  if (IsVcdExtension(inputExtension)) return {"-target", vcdTarget};
  // The encoder's best quality for its quantiser-driven codecs; encoders with a quality
  // scale of their own (libx264) keep their default.
  if (inputExtension == "WMV" || inputExtension == "wmv") return {"-q:v", "0", "-acodec", "wmav2"};
  return {"-q:v", "0"};
}

QString CommandLine(const EncoderJob& job) {
  const QChar quote = '"';
  return quote + job.encoderFolder + "/ffmpeg" + quote + " -ss " + NumberText(job.start) + " -t " +
         NumberText(job.length) + " " + "-i " + quote + job.input + quote + " " + job.options.join(' ') +
         " " + quote + job.output + quote;
}

ArgumentList Arguments(const EncoderJob& job) {
  ArgumentList list;
  list.program = job.encoderFolder + "/ffmpeg";
  list.args << "-ss" << NumberText(job.start).trimmed() << "-t" << NumberText(job.length).trimmed() << "-i"
            << FileArgument(job.input) << job.options << FileArgument(job.output);
  return list;
}

}  // namespace vintrel
