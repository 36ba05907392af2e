#include "cut/cli/protocol.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>
#include <cmath>

namespace vintrel::cut {

std::optional<FileIdentity> IdentityOf(const QString& path) {
  struct stat status = {};
  if (stat(QFile::encodeName(path).constData(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<unsigned long long>(status.st_dev),
                      static_cast<unsigned long long>(status.st_ino)};
}

QString IdentityText(const FileIdentity& identity) {
  return QString("%1:%2").arg(identity.device).arg(identity.inode);
}

std::optional<FileIdentity> ParseIdentity(const QString& text) {
  const QStringList parts = text.split(':');
  bool deviceOk = false, inodeOk = false;
  if (parts.size() != 2) return std::nullopt;
  const FileIdentity identity{parts[0].toULongLong(&deviceOk), parts[1].toULongLong(&inodeOk)};
  if (!deviceOk || !inodeOk) return std::nullopt;
  return identity;
}

QStringList CutCommandLine(const CutArguments& arguments) {
  QStringList line;
  if (arguments.machineProgress) line << "--progress=machine";
  if (arguments.overwrite) line << "--overwrite";
  if (arguments.overwrite && arguments.replaces) line << "--replace=" + IdentityText(*arguments.replaces);
  if (arguments.reEncode) line << "--reencode";
  if (!arguments.tracks.isEmpty()) line << "--tracks=" + arguments.tracks.join(',');
  if (!arguments.dropTracks.isEmpty()) line << "--drop=" + arguments.dropTracks.join(',');
  if (!arguments.defaultSound.isEmpty()) line << "--default-sound=" + arguments.defaultSound;
  if (!arguments.segments.empty()) {
    const bool remove = arguments.segmentMode == SegmentMode::kRemove;
    line << QString(remove ? "--remove=" : "--keep=") + SegmentListArgument(arguments.segments);
    if (arguments.eachSegment) line << "--each";
    if (arguments.chapters) line << "--chapters";
    return line << "--" << arguments.input << arguments.output;
  }
  // "--" ends the options: a path that starts with a dash is still a path.
  return line << "--" << arguments.input << TimeArgument(arguments.start) << TimeArgument(arguments.end)
              << arguments.output;
}

QString TimeArgument(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  // The small allowance keeps 3.48, held as 3.4799999..., at 3.48.
  const auto milliseconds = static_cast<long long>(std::floor(seconds * 1000 + 1e-6));
  QString text = QString::number(milliseconds / 1000);
  if (const long long fraction = milliseconds % 1000; fraction != 0) {
    text += QString(".%1").arg(fraction, 3, 10, QChar('0'));
    while (text.endsWith('0')) text.chop(1);
  }
  return text;
}

QString ProgressLine(double fraction) {
  return fraction >= 1 ? QString("progress 1") : QString("progress %1").arg(fraction, 0, 'f', 4);
}

QString PhaseLine(const QString& phase) { return "phase " + phase; }

QString ErrorLine(const QString& message) { return "error " + QString(message).replace('\n', ' '); }

ProgressEvent ParseProgressLine(const QString& line) {
  using Kind = ProgressEvent::Kind;
  const QString rest = line.section(' ', 1).trimmed();
  if (line.startsWith("phase ")) return {Kind::Phase, 0, rest};
  if (line.startsWith("error ")) return {Kind::Error, 0, rest};
  bool ok = false;
  const double fraction = rest.toDouble(&ok);
  if (line.startsWith("progress ") && ok && fraction >= 0 && fraction <= 1)
    return {Kind::Progress, fraction, {}};
  return {Kind::Other, 0, line};
}

QString WorkFilePrefix(pid_t pid, quint64 random) {
  return QString(".vintrel-%1-%2-").arg(pid).arg(random, 0, 36);
}

std::optional<pid_t> WorkFileOwner(const QString& fileName) {
  static const QRegularExpression pattern(R"(^\.vintrel-(\d+)-[0-9a-z]+-)");
  const QRegularExpressionMatch match = pattern.match(fileName);
  if (!match.hasMatch()) return std::nullopt;
  bool ok = false;
  const long pid = match.captured(1).toLong(&ok);
  if (!ok || pid <= 0) return std::nullopt;
  return pid_t(pid);
}

namespace {
template <typename Pick>
int RemoveWorkFiles(const QString& folder, Pick pick) {
  int removed = 0;
  const QDir dir(folder);
  for (const QString& name : dir.entryList({".vintrel-*"}, QDir::Files | QDir::Hidden | QDir::System)) {
    const std::optional<pid_t> owner = WorkFileOwner(name);
    if (!owner || !pick(*owner)) continue;
    if (unlink(QFile::encodeName(dir.filePath(name)).constData()) == 0) ++removed;
  }
  return removed;
}
}  // namespace

int RemoveLeftoverWorkFiles(const QString& folder) {
  // Only a process that is certainly gone: one we may not signal may still be cutting.
  return RemoveWorkFiles(folder, [](pid_t owner) { return kill(owner, 0) != 0 && errno == ESRCH; });
}

int RemoveWorkFilesOf(const QString& folder, pid_t pid) {
  return RemoveWorkFiles(folder, [pid](pid_t owner) { return owner == pid; });
}

}  // namespace vintrel::cut
