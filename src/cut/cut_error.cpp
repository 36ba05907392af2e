#include "cut/cut_error.h"

#include <signal.h>

#include <QFileInfo>
#include <QStringList>
#include <cerrno>

namespace vintrel::cut {

namespace {

volatile sig_atomic_t cancelFlag = 0;
void OnCancelSignal(int) { cancelFlag = 1; }

}  // namespace

QString FolderProblem(int error, const QString& folder) {
  if (error == ENOSPC) return "There is no space left on the disk.";
  if (error == EDQUOT) return "The disk quota is used up.";
  // A folder that is there but takes no new files (/proc) cannot be written, whatever errno says.
  if ((error == ENOENT || error == ENOTDIR) && !QFileInfo(folder).isDir())
    return QString("The folder %1 does not exist.").arg(folder);
  return QString("The folder %1 cannot be written.").arg(folder);
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
