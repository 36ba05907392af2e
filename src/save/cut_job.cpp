#include "save/cut_job.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "cut/cli/protocol.h"

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

}  // namespace

QStringList cutArguments(const CutRequest& request) {
  return cut::CutCommandLine({.input = request.input,
                              .output = request.output,
                              .start = request.start,
                              .end = request.end,
                              .overwrite = request.replaceExisting,
                              .machineProgress = true});
}

QString findCutProgram(const QString& programFolder) {
  const QString beside = programFolder + "/vintrel-cut";
  const QFileInfo info(beside);
  if (info.isFile() && info.isExecutable()) return beside;
  return QStandardPaths::findExecutable("vintrel-cut");
}

ProcessCutJob::ProcessCutJob(QString program, QObject* parent) : CutJob(parent), program_(std::move(program)) {}

ProcessCutJob::~ProcessCutJob() {
  // The cut goes on without us (the window was closed): it finishes its file by itself.
  // Its pipes close here; it ignores the broken pipe.
  closeFd(exitFd_);
  closeFd(reportFd_);
  closeFd(progressFd_);
}

void ProcessCutJob::start(const CutRequest& request) {
  if (program_.isEmpty()) {
    finish({CutOutcome::Result::Failed, {}, "The cutting program vintrel-cut was not found beside Vintrel or on the search path (PATH)."});
    return;
  }
  int reportPipe[2], progressPipe[2];
  if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
    finish({CutOutcome::Result::Failed, {}, QString("The cut could not be started: %1").arg(strerror(errno))});
    return;
  }
  if (::pipe2(progressPipe, O_CLOEXEC) != 0) {
    ::close(reportPipe[0]);
    ::close(reportPipe[1]);
    finish({CutOutcome::Result::Failed, {}, QString("The cut could not be started: %1").arg(strerror(errno))});
    return;
  }

  std::vector<QByteArray> storage{QFile::encodeName(program_)};
  for (const QString& arg : cutArguments(request)) storage.push_back(QFile::encodeName(arg));
  std::vector<char*> argv;
  for (QByteArray& a : storage) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, reportPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, progressPipe[1], 2);
  // Nothing of ours (the X connection, the player, sockets) leaks into a process that outlives us.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // A session of its own: the cut outlives this program and no terminal signal reaches it.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigfillset(&defaults);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const int rc = posix_spawn(&pid_, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(reportPipe[1]);
  ::close(progressPipe[1]);
  reportFd_ = reportPipe[0];
  progressFd_ = progressPipe[0];
  if (rc != 0) {
    pid_ = -1;
    closeFd(reportFd_);
    closeFd(progressFd_);
    finish({CutOutcome::Result::Failed, {}, QString("%1 could not be started: %2").arg(program_, strerror(rc))});
    return;
  }
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
  exitNotifier_ = std::make_unique<QSocketNotifier>(exitFd_, QSocketNotifier::Read);
  connect(exitNotifier_.get(), &QSocketNotifier::activated, this, &ProcessCutJob::onExited);
}

void ProcessCutJob::cancel() {
  if (done_ || pid_ <= 0) return;
  cancelled_ = true;
  // vintrel-cut stops its encoder and removes its temporary files on SIGTERM.
  ::kill(pid_, SIGTERM);
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
  for (int newline; (newline = progressPending_.indexOf('\n')) >= 0;) {
    const QString line = QString::fromUtf8(progressPending_.left(newline)).trimmed();
    progressPending_.remove(0, newline + 1);
    if (line.isEmpty()) continue;
    const cut::ProgressEvent parsed = cut::ParseProgressLine(line);
    if (parsed.kind == cut::ProgressEvent::Kind::Progress) {
      if (!done_) emit progress(parsed.fraction);
    } else if (parsed.kind == cut::ProgressEvent::Kind::Error) {
      lastError_ = parsed.text;
    } else {
      lastLines_ = parsed.text;
    }
  }
  if (!open) {
    progressNotifier_.reset();
    closeFd(progressFd_);
    if (exitFd_ < 0) onExited();
  }
}

void ProcessCutJob::onExited() {
  int status = 0;
  const pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r == 0) return;  // not yet (a spurious wakeup)
  exitNotifier_.reset();
  closeFd(exitFd_);
  // Whatever it wrote before it ended is in the pipes still.
  readReport();
  readErrorOutput();
  CutOutcome outcome;
  const bool exited = r == pid_ && WIFEXITED(status);
  const int code = exited ? WEXITSTATUS(status) : -1;
  if (exited && code == 0) {
    outcome.result = CutOutcome::Result::Saved;
    outcome.report = QString::fromUtf8(report_).trimmed();
  } else if (cancelled_ || code == static_cast<int>(cut::CutExit::kCancelled)) {
    outcome.result = CutOutcome::Result::Cancelled;
  } else {
    outcome.result = CutOutcome::Result::Failed;
    outcome.reason = !lastError_.isEmpty()   ? lastError_
                     : !lastLines_.isEmpty() ? lastLines_
                     : exited                ? QString("The cut stopped with exit code %1.").arg(code)
                                             : QString("The cut was ended from outside.");
  }
  finish(outcome);
}

void ProcessCutJob::finish(const CutOutcome& outcome) {
  if (done_) return;
  done_ = true;
  if (outcome.result == CutOutcome::Result::Saved) emit progress(1.0);
  emit finished(outcome);
}

}  // namespace vintrel
