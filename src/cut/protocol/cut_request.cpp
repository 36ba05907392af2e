#include "cut/protocol/cut_request.h"

#include <sys/stat.h>

#include <QFile>
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

}  // namespace vintrel::cut
