#include "app/command_line.h"

#include <QFileInfo>
#include <QUrl>

namespace vintrel {

namespace {
// A file manager's %u and %U give file:///home/me/my%20clip.mp4; a path is taken as it stands.
QString localFile(const QString& argument) {
  if (argument.startsWith("file:", Qt::CaseInsensitive)) {
    const QUrl url(argument);
    if (url.isValid() && url.isLocalFile()) return url.toLocalFile();
  }
  return QFileInfo(argument).absoluteFilePath();
}
}  // namespace

StartRequest parseStartArguments(const QStringList& arguments) {
  StartRequest request;
  bool optionsEnded = false;
  for (const QString& argument : arguments) {
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (argument == "--help" || argument == "-h")) {
      return StartRequest{StartRequest::Action::Help, {}, {}};
    } else if (!optionsEnded && argument == "--version") {
      return StartRequest{StartRequest::Action::Version, {}, {}};
    } else if (!optionsEnded && argument.startsWith('-') && argument != "-") {
      return StartRequest{
          StartRequest::Action::BadArguments, {}, QString("Unknown option %1.").arg(argument)};
    } else if (request.file.isEmpty() && !argument.isEmpty()) {
      // Several files (a file manager's %U): the first is opened, as one window shows one video.
      request.file = localFile(argument);
    }
  }
  return request;
}

QString usageText() {
  return QString(
      "Usage: vintrel [FILE]\n"
      "Cut a stretch out of a video: mark its start and end while it plays, then save it.\n"
      "\n"
      "  FILE           the video to open, as a path or a file: URI\n"
      "  -h, --help     show this help and exit\n"
      "  --version      show the version and exit\n");
}

}  // namespace vintrel
