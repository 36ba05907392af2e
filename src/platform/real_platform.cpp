#include "platform/real_platform.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTime>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

extern char** environ;

namespace vintrel {

int QtMessageBox::MsgBox(const QString& text, int flags) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (flags & 0x70) {
    case vbCritical: icon = QMessageBox::Critical; break;
    case vbQuestion: icon = QMessageBox::Question; break;
    case vbExclamation: icon = QMessageBox::Warning; break;
    case vbInformation: icon = QMessageBox::Information; break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (flags & 0x7) {
    case vbOKCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case vbYesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    case vbYesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
  }
  QMessageBox box(icon, "Vintrel", text, buttons, QApplication::activeWindow());
  switch (box.exec()) {
    case QMessageBox::Yes: return vbYes;
    case QMessageBox::No: return vbNo;
    case QMessageBox::Cancel: return vbCancel;
    default: return (flags & 0x7) == vbYesNo ? vbNo : vbOK;
  }
}

float SystemClock::Timer() { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0f; }

void QtPump::DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtPump::Sleep(int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

long PosixProcesses::Start(const QString& program, const QStringList& args, const QString& errorLog) {
  std::vector<QByteArray> storage;
  storage.push_back(QFile::encodeName(program));
  for (const QString& arg : args) storage.push_back(arg.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& a : storage) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const QByteArray log = QFile::encodeName(errorLog);
  posix_spawn_file_actions_addopen(&actions, 2, errorLog.isEmpty() ? "/dev/null" : log.constData(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  // Nothing of ours (X connection, player, sockets) leaks into a process that outlives us.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // A session of its own: the child outlives this program and no terminal signal reaches it.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigfillset(&defaults);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = program.contains('/') ? posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ)
                                       : posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    throw VbError(kErrFileNotFound, QString("Cannot start %1: %2").arg(program, QString::fromLocal8Bit(strerror(rc))).toStdString());
  }
  return pid;
}

std::optional<int> PosixProcesses::ExitCode(long pid) {
  if (auto it = ended_.find(pid); it != ended_.end()) return it->second;
  int status = 0;
  const pid_t r = waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
  if (r == 0) return STILL_ACTIVE;
  if (r != static_cast<pid_t>(pid)) return std::nullopt;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  ended_[pid] = code;
  return code;
}

ProgramRun PosixProcesses::Run(const QString& program, const QStringList& args, int timeoutMs) {
  ProgramRun run;
  QProcess process;
  process.setStandardInputFile(QProcess::nullDevice());
  process.start(program, args);
  if (!process.waitForStarted(timeoutMs)) return run;
  run.started = true;
  // The window keeps answering meanwhile, as it does while the encoder runs.
  QElapsedTimer waited;
  waited.start();
  while (!(run.finished = process.waitForFinished(10)) && process.state() != QProcess::NotRunning &&
         waited.elapsed() < timeoutMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  run.finished = process.state() == QProcess::NotRunning;
  if (!run.finished) {
    process.kill();
    process.waitForFinished(1000);
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

QString RealFiles::AppPath() { return QCoreApplication::applicationDirPath(); }

namespace {
[[noreturn]] void RaiseErrno(const QString& what, const QString& path) {
  const int err = errno;
  const int number = err == ENOENT ? kErrFileNotFound : err == EACCES || err == EPERM ? kErrPermissionDenied : kErrPathNotFound;
  throw VbError(number, QString("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(strerror(err))).toStdString());
}
}  // namespace

void RealFiles::ProbeOpen(const QString& path) {
  // Non-blocking, so a named pipe chosen as the output cannot freeze the window.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) RaiseErrno("Cannot open", path);
  ::close(fd);
}

void RealFiles::Kill(const QString& path) {
  if (::unlink(QFile::encodeName(path).constData()) != 0) RaiseErrno("Cannot delete", path);
}

bool RealFiles::Exists(const QString& path) {
  struct stat st;
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool RealFiles::SameFile(const QString& a, const QString& b) {
  struct stat sa, sb;
  if (::stat(QFile::encodeName(a).constData(), &sa) != 0) return false;
  if (::stat(QFile::encodeName(b).constData(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RealFiles::IsExecutable(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && info.isExecutable();
}

QString RealFiles::FindInPath(const QString& name) { return QStandardPaths::findExecutable(name); }

QString RealFiles::ReadText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw VbError(kErrFileNotFound, QString("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
  }
  return QString::fromUtf8(file.readAll());
}

void DesktopUrlOpener::Open(const QString& url) {
  if (!QDesktopServices::openUrl(QUrl(url))) {
    throw VbError(kErrFileNotFound, QString("Cannot open %1 in a browser").arg(url).toStdString());
  }
}

void ProcessExit::End(int exitCode) {
  // At once, as the program's end must be: no handler runs after this, even from inside a wait loop.
  std::fflush(stdout);
  std::fflush(stderr);
  ::_exit(exitCode);
}

}  // namespace vintrel
