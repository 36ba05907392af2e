#include "save/cut_job.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "cut/protocol/cut_exit.h"
#include "cut/protocol/progress_lines.h"
#include "cut/protocol/work_file_names.h"
#include "platform/spawn.h"

extern char** environ;

namespace vintrel {

namespace {

int pidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Reads what is there without blocking; false at the end of the pipe.
bool drain(int fd, QByteArray& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 && errno == EAGAIN;
  }
}

// Kills every process of the session `leader` started, the leader first. The cut's encoder
// runs in a process group of its own but stays in the cut's session, so the group alone would
// leave it encoding into a file nobody wants. A session's id is not handed out again while a
// process of it lives, so nothing else is hit.
void killSession(pid_t leader) {
  ::kill(-leader, SIGKILL);
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool isPid = false;
    const pid_t pid = entry.toInt(&isPid);
    if (!isPid || pid == leader) continue;
    QFile stat("/proc/" + entry + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) continue;
    // "pid (name) state ppid pgrp session ...": the name may hold spaces and parentheses.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 3 && fields[3].toInt() == leader) ::kill(pid, SIGKILL);
  }
}

}  // namespace

QStringList cutArguments(const CutRequest& request) {
  CutRequest sent = request;
  sent.machineProgress = true;
  if (!sent.overwrite) sent.replaces.reset();
  return cut::CutCommandLine(sent);
}

QString findCutProgram(const QString& programFolder) {
  const QString beside = programFolder + "/vintrel-cut";
  const QFileInfo info(beside);
  if (info.isFile() && info.isExecutable()) return beside;
  return QStandardPaths::findExecutable("vintrel-cut");
}

ProcessCutJob::ProcessCutJob(QString program, QObject* parent)
    : CutJob(parent), program_(std::move(program)) {
  killTimer_.setSingleShot(true);
  killTimer_.setInterval(kCancelGraceMs);
  connect(&killTimer_, &QTimer::timeout, this, &ProcessCutJob::kill);
}

ProcessCutJob::~ProcessCutJob() {
  // A cut the user cancelled gets no more time once the window goes: it and its encoder are
  // ended, and what it leaves removed (not yet reaped, so the pid is still the cut's).
  if (cancelled_ && !done_ && pid_ > 0) {
    killSession(pid_);
    cut::RemoveWorkFilesOf(outputFolder_, pid_);
  }
  // Any other cut goes on without us (the window was closed): it finishes its file by itself.
  // Its pipes close here; it ignores the broken pipe.
  closeFd(exitFd_);
  closeFd(reportFd_);
  closeFd(progressFd_);
}

void ProcessCutJob::start(const CutRequest& request) {
  output_ = QFileInfo(request.output).absoluteFilePath();
  outputFolder_ = QFileInfo(output_).absolutePath();
  outputAtStart_ = cut::IdentityOf(output_);
  if (program_.isEmpty()) {
    finish({CutOutcome::Result::Failed,
            {},
            "The cutting program vintrel-cut was not found beside Vintrel or on the search path (PATH)."});
    return;
  }
  int reportPipe[2], progressPipe[2];
  if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
    finish(
        {CutOutcome::Result::Failed, {}, QString("The cut could not be started: %1").arg(strerror(errno))});
    return;
  }
  if (::pipe2(progressPipe, O_CLOEXEC) != 0) {
    ::close(reportPipe[0]);
    ::close(reportPipe[1]);
    finish(
        {CutOutcome::Result::Failed, {}, QString("The cut could not be started: %1").arg(strerror(errno))});
    return;
  }

  // A session of its own: the cut outlives this program and no terminal signal reaches it.
  QString problem;
  const std::optional<pid_t> started =
      spawnProgram(program_, cutArguments(request),
                   {.output = reportPipe[1], .errors = progressPipe[1], .ownSession = true}, &problem);
  ::close(reportPipe[1]);
  ::close(progressPipe[1]);
  reportFd_ = reportPipe[0];
  progressFd_ = progressPipe[0];
  if (!started) {
    pid_ = -1;
    closeFd(reportFd_);
    closeFd(progressFd_);
    finish({CutOutcome::Result::Failed, {}, QString("%1 could not be started: %2").arg(program_, problem)});
    return;
  }
  pid_ = *started;
  ::fcntl(reportFd_, F_SETFL, O_NONBLOCK);
  ::fcntl(progressFd_, F_SETFL, O_NONBLOCK);
  reportNotifier_ = std::make_unique<QSocketNotifier>(reportFd_, QSocketNotifier::Read);
  connect(reportNotifier_.get(), &QSocketNotifier::activated, this, &ProcessCutJob::readReport);
  progressNotifier_ = std::make_unique<QSocketNotifier>(progressFd_, QSocketNotifier::Read);
  connect(progressNotifier_.get(), &QSocketNotifier::activated, this, &ProcessCutJob::readErrorOutput);

  // The end of the process, without polling: its pidfd becomes readable when it exits.
  exitFd_ = pidfdOpen(pid_);
  if (exitFd_ < 0) {
    // No pidfd (an old kernel): the end of its error output marks it instead.
    return;
  }
  watchingExit_ = true;
  exitNotifier_ = std::make_unique<QSocketNotifier>(exitFd_, QSocketNotifier::Read);
  connect(exitNotifier_.get(), &QSocketNotifier::activated, this, &ProcessCutJob::onExited);
}

void ProcessCutJob::cancel() {
  if (done_ || pid_ <= 0 || cancelled_) return;
  cancelled_ = true;
  // vintrel-cut stops its encoder and removes its work files on SIGTERM; one that is stuck
  // (stopped, hung in a read) does not, and is killed once its time is up.
  ::kill(pid_, SIGTERM);
  killTimer_.start();
}

void ProcessCutJob::kill() {
  // Not yet reaped (that happens only in onExited), so the pid is still the cut's.
  if (done_ || pid_ <= 0) return;
  killSession(pid_);
}

void ProcessCutJob::readReport() {
  if (reportFd_ < 0) return;
  if (!drain(reportFd_, report_)) {
    reportNotifier_.reset();
    closeFd(reportFd_);
  }
}

void ProcessCutJob::readErrorOutput() {
  if (progressFd_ < 0) return;
  const bool open = drain(progressFd_, progressPending_);
  for (qsizetype newline; (newline = progressPending_.indexOf('\n')) >= 0;) {
    const QString line = QString::fromUtf8(progressPending_.left(newline)).trimmed();
    progressPending_.remove(0, newline + 1);
    if (line.isEmpty()) continue;
    const cut::ProgressEvent parsed = cut::ParseProgressLine(line);
    if (parsed.kind == cut::ProgressEvent::Kind::Progress) {
      if (!done_) emit progress(parsed.fraction);
    } else if (parsed.kind == cut::ProgressEvent::Kind::Error) {
      lastError_ = parsed.text;
    }
    // Phase lines and stray output are no reason to show anyone.
  }
  if (!open) {
    progressNotifier_.reset();
    closeFd(progressFd_);
    if (!watchingExit_) onExited();
  }
}

void ProcessCutJob::onExited() {
  // Looked at without reaping it: until it is reaped its pid, and so its work files' names,
  // cannot be taken by another process.
  siginfo_t ending = {};
  if (::waitid(P_PID, pid_, &ending, WEXITED | WNOHANG | WNOWAIT) != 0 || ending.si_pid == 0) {
    // Not yet: a spurious wakeup, or (without a pidfd) its output closed just before it ended.
    if (!watchingExit_) QTimer::singleShot(100, this, &ProcessCutJob::onExited);
    return;
  }
  killTimer_.stop();
  exitNotifier_.reset();
  closeFd(exitFd_);
  // Whatever it wrote before it ended is in the pipes still.
  readReport();
  readErrorOutput();
  CutOutcome outcome;
  const bool exited = ending.si_code == CLD_EXITED;
  const int code = exited ? ending.si_status : -1;
  if (exited && code == 0) {
    outcome.result = CutOutcome::Result::Saved;
    outcome.report = QString::fromUtf8(report_).trimmed();
  } else {
    // An encoder it started may outlive a cut that was killed or crashed.
    if (!exited) killSession(pid_);
    if (cancelled_ || code == static_cast<int>(cut::CutExit::kCancelled)) {
      outcome.result = CutOutcome::Result::Cancelled;
    } else {
      outcome.result = CutOutcome::Result::Failed;
      outcome.reason = failureReason(ending);
      outcome.outputTaken = code == static_cast<int>(cut::CutExit::kOutputTaken);
    }
    // A cut that ends by itself has removed them already; one that was killed could not.
    cut::RemoveWorkFilesOf(outputFolder_, pid_);
  }
  ::waitpid(pid_, nullptr, 0);
  finish(outcome);
}

QString ProcessCutJob::failureReason(const siginfo_t& ending) const {
  const bool reported = ending.si_code == CLD_EXITED && !lastError_.isEmpty();
  if (reported) return lastError_;
  const QString how = ending.si_code == CLD_EXITED ? QString("exit code %1").arg(ending.si_status)
                                                   : QString("signal %1").arg(ending.si_status);
  // It may have died after its file was moved into place, which is the last thing it does.
  const std::optional<cut::FileIdentity> now = cut::IdentityOf(output_);
  if (now && now != outputAtStart_)
    return QString("The cutting program stopped unexpectedly (%1) after it had written %2.")
        .arg(how, QFileInfo(output_).fileName());
  return QString("The cutting program stopped unexpectedly (%1). Nothing was written.").arg(how);
}

void ProcessCutJob::finish(const CutOutcome& outcome) {
  if (done_) return;
  done_ = true;
  if (outcome.result == CutOutcome::Result::Saved) emit progress(1.0);
  emit finished(outcome);
}

}  // namespace vintrel
