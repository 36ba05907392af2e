#include "cut/cut_error.h"

#include <signal.h>

#include <QFileInfo>
#include <QStringList>
#include <cerrno>

namespace vintrel::cut {

namespace {

volatile sig_atomic_t cancelFlag = 0;
void OnCancelSignal(int) { cancelFlag = 1; }

QString LastMeaningfulLine(const QString& text) {
  const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
  for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
    const QString trimmed = line->trimmed();
    if (!trimmed.isEmpty() && !trimmed.startsWith("Conversion failed")) return trimmed;
  }
  return {};
}

}  // namespace

QString FolderProblem(int error, const QString& folder) {
  if (error == ENOSPC) return "There is no space left on the disk.";
  if (error == EDQUOT) return "The disk quota is used up.";
  // A folder that is there but takes no new files (/proc) cannot be written, whatever errno says.
  if ((error == ENOENT || error == ENOTDIR) && !QFileInfo(folder).isDir())
    return QString("The folder %1 does not exist.").arg(folder);
  return QString("The folder %1 cannot be written.").arg(folder);
}

QString PlainFailure(const QString& encoderOutput, const QString& outputFolder) {
  QString reason;
  if (encoderOutput.contains("No space left on device")) {
    reason = FolderProblem(ENOSPC, outputFolder);
  } else if (encoderOutput.contains("Read-only file system") || encoderOutput.contains("Permission denied")) {
    reason = FolderProblem(EACCES, outputFolder);
  } else if (encoderOutput.contains("No such file or directory")) {
    reason = "A file or folder the cut needs no longer exists.";
  }
  const QString detail = LastMeaningfulLine(encoderOutput);
  if (reason.isEmpty())
    return detail.isEmpty() ? QString("The encoder failed.") : "The encoder failed: " + detail;
  return detail.isEmpty() ? reason : reason + " (" + detail + ")";
}

void InstallCancelHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
}

bool CancelRequested() { return cancelFlag != 0; }

void ThrowIfCancelled() {
  if (CancelRequested()) throw CutCancelled();
}

}  // namespace vintrel::cut
