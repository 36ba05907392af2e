#include "cut/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cut/cut_error.h"

extern char** environ;

namespace vintrel::cut {

namespace {

volatile sig_atomic_t cancelFlag = 0;
// Written to by the signal handler so a poll() waiting on a child wakes up at once.
int wakePipe[2] = {-1, -1};

void OnCancelSignal(int) {
  cancelFlag = 1;
  if (wakePipe[1] >= 0) {
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = write(wakePipe[1], "x", 1);
    errno = saved;
  }
}

void EnsureWakePipe() {
  // Steps started together may get here at once.
  static std::once_flag made;
  std::call_once(made, [] {
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
  });
}

class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

struct Pipe {
  int read = -1, write = -1;
  Pipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw CutError("The system could not start a program: no pipes left.");
    read = ends[0];
    write = ends[1];
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  void closeRead() {
    if (read >= 0) close(read);
    read = -1;
  }
  void closeWrite() {
    if (write >= 0) close(write);
    write = -1;
  }
};

// The environment of the programs a cut runs: ours, and unless it says otherwise, an allocator
// that backs its memory with huge pages and keeps what it frees. Every run is short and
// touches fresh frame buffers, and taking and zeroing memory page by page costs a cut a good
// tenth of its time (more in a virtual machine, where each page fault is dear); the results
// are the same.
char** ChildEnvironment() {
  static const std::vector<char*> environment = [] {
    std::vector<char*> entries;
    bool tuned = false;
    for (char** entry = environ; *entry; ++entry) {
      tuned = tuned || strncmp(*entry, "GLIBC_TUNABLES=", 15) == 0;
      entries.push_back(strdup(*entry));
    }
    if (!tuned)
      entries.push_back(
          strdup("GLIBC_TUNABLES=glibc.malloc.hugetlb=1:glibc.malloc.mmap_threshold=67108864:"
                 "glibc.malloc.trim_threshold=134217728"));
    entries.push_back(nullptr);
    return entries;
  }();
  return const_cast<char**>(environment.data());
}

pid_t Spawn(const QString& program, const QStringList& arguments, Pipe& out, Pipe& err,
            const std::vector<OwnedFd>& passed) {
  // Copies above any number the passed descriptors get in the child, so no dup2 below
  // overwrites one that is still to be passed.
  std::vector<OwnedFd> high;
  for (const OwnedFd& fd : passed) {
    high.emplace_back(fcntl(fd.get(), F_DUPFD_CLOEXEC, 64));
    if (high.back().get() < 0) throw CutError("The system could not start a program: no descriptors left.");
  }
  SpawnActions actions;
  posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.get(), out.write, 1);
  posix_spawn_file_actions_adddup2(actions.get(), err.write, 2);
  const int count = static_cast<int>(high.size());
  for (int i = 0; i < count; ++i) posix_spawn_file_actions_adddup2(actions.get(), high[i].get(), 3 + i);
  posix_spawn_file_actions_addclosefrom_np(actions.get(), 3 + count);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group, so a terminal's Ctrl+C reaches us first and we stop it in order
  // (not its own session: the scheduler shares the processors out between sessions, which
  // would make the priorities given to the steps of one cut meaningless); the child starts
  // with default signal handling and nothing blocked.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  const QByteArray programBytes = program.toLocal8Bit();
  std::vector<QByteArray> storage;
  storage.push_back(programBytes);
  for (const QString& argument : arguments) storage.push_back(argument.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& bytes : storage) argv.push_back(bytes.data());
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int failed = posix_spawn(&pid, programBytes.constData(), actions.get(), &attributes, argv.data(),
                                 ChildEnvironment());
  posix_spawnattr_destroy(&attributes);
  if (failed) throw CutError(QString("%1 could not be started (%2).").arg(program, strerror(failed)));
  return pid;
}

}  // namespace

OwnedFd& OwnedFd::operator=(OwnedFd&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void OwnedFd::reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

ChildPipe MakeChildPipe() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) throw CutError("The system could not start a program: no pipes left.");
  return {OwnedFd(ends[0]), OwnedFd(ends[1])};
}

namespace {

// Keeps SIGPIPE from the calling thread while it lives: a write to a pipe whose reader has
// gone then fails with EPIPE, and the signal it raised is taken back before leaving.
class NoPipeSignal {
 public:
  NoPipeSignal() {
    sigemptyset(&pipeSignal_);
    sigaddset(&pipeSignal_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal_, &before_);
  }
  ~NoPipeSignal() {
    const timespec now = {0, 0};
    while (sigtimedwait(&pipeSignal_, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }

 private:
  sigset_t pipeSignal_, before_;
};

}  // namespace

void RelayBuffered(OwnedFd from, OwnedFd to, size_t hold) {
  NoPipeSignal quiet;
  fcntl(to.get(), F_SETFL, fcntl(to.get(), F_GETFL) | O_NONBLOCK);
  const size_t chunkSize = size_t(1) << 20;
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    size_t size = 0, sent = 0;
  };
  std::deque<Chunk> held;
  std::vector<std::unique_ptr<char[]>> spare;  // chunks sent, kept to be filled again
  size_t heldBytes = 0;
  bool ended = false;
  while (!ended || heldBytes > 0) {
    pollfd watched[2] = {{!ended && heldBytes < hold ? from.get() : -1, POLLIN, 0},
                         {heldBytes > 0 ? to.get() : -1, POLLOUT, 0}};
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents & POLLERR) return;  // the reader has gone
    while (!held.empty() && (watched[1].revents & POLLOUT)) {
      Chunk& first = held.front();
      const ssize_t wrote = write(to.get(), first.bytes.get() + first.sent, first.size - first.sent);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote < 0 && errno == EAGAIN) break;
      if (wrote <= 0) return;
      first.sent += wrote;
      heldBytes -= wrote;
      if (first.sent < first.size) break;
      spare.push_back(std::move(first.bytes));
      held.pop_front();
    }
    if (!(watched[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    if (held.empty()) {
      // Nothing waiting: the pages move from pipe to pipe without being copied.
      const ssize_t moved =
          splice(from.get(), nullptr, to.get(), nullptr, chunkSize, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
      if (moved > 0) continue;
      if (moved == 0) {
        ended = true;
        continue;
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN) return;  // EPIPE: the reader has gone
    }
    // The reader is busy: hold what comes meanwhile.
    Chunk chunk;
    if (spare.empty()) {
      chunk.bytes.reset(new char[chunkSize]);
    } else {
      chunk.bytes = std::move(spare.back());
      spare.pop_back();
    }
    const ssize_t got = read(from.get(), chunk.bytes.get(), chunkSize);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got < 0) return;
    if (got == 0) {
      ended = true;
      continue;
    }
    chunk.size = size_t(got);
    heldBytes += chunk.size;
    held.push_back(std::move(chunk));
  }
}

void InstallCancelHandlers() {
  EnsureWakePipe();
  struct sigaction action = {};
  action.sa_handler = OnCancelSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
}

void RunConcurrently(const std::vector<std::function<void()>>& steps) {
  std::vector<std::exception_ptr> failures(steps.size());
  std::vector<std::thread> threads;
  auto run = [&](size_t i) {
    try {
      steps[i]();
    } catch (...) {
      failures[i] = std::current_exception();
    }
  };
  for (size_t i = 1; i < steps.size(); ++i) threads.emplace_back(run, i);
  if (!steps.empty()) run(0);
  for (std::thread& thread : threads) thread.join();
  ThrowIfCancelled();  // a cancel outranks whatever the stopped children made of it
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

namespace {
// Enough for the work before to take the processors first.
constexpr int kStartedNicer = 10;
}  // namespace

StartedChild::StartedChild(const QString& program, const QStringList& arguments, int gates) {
  std::vector<OwnedFd> readEnds;
  for (int i = 0; i < gates; ++i) {
    ChildPipe gate = MakeChildPipe();
    readEnds.push_back(std::move(gate.read));
    gates_.push_back(std::move(gate.write));
  }
  thread_ = std::thread([this, program, arguments, ends = std::move(readEnds)]() mutable {
    try {
      result_ = RunChild(program, arguments, {}, std::move(ends), kStartedNicer);
    } catch (...) {
      failure_ = std::current_exception();
    }
  });
}

StartedChild::~StartedChild() { wait(); }

void StartedChild::wait() {
  gates_.clear();
  if (thread_.joinable()) thread_.join();
}

ChildResult StartedChild::finish(const QStringList& texts) {
  {
    NoPipeSignal quiet;  // a program that already ended has closed its gates
    for (size_t i = 0; i < gates_.size() && i < size_t(texts.size()); ++i) {
      const QByteArray bytes = texts[i].toUtf8();
      for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t wrote = write(gates_[i].get(), bytes.constData() + sent, bytes.size() - sent);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        sent += wrote;
      }
    }
  }
  wait();
  if (failure_) std::rethrow_exception(failure_);
  return result_;
}

bool CancelRequested() { return cancelFlag != 0; }

void ThrowIfCancelled() {
  if (CancelRequested()) throw CutCancelled();
}

void RequestCancel() { OnCancelSignal(0); }

ChildResult RunChild(const QString& program, const QStringList& arguments,
                     const std::function<void(const QByteArray&)>& onOutputLine, std::vector<OwnedFd> passed,
                     int nicer) {
  ThrowIfCancelled();
  EnsureWakePipe();
  // The times say which runs overlapped and what each cost.
  static const auto firstRun = std::chrono::steady_clock::now();
  const bool trace = getenv("VINTREL_CUT_TRACE") != nullptr;
  auto elapsed = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - firstRun).count(); };
  const double started = elapsed();
  Pipe out, err;
  const pid_t pid = Spawn(program, arguments, out, err, passed);
  if (trace)
    fprintf(stderr, "run: [%.3f s] %d: %s %s\n", started, int(pid), qPrintable(program),
            qPrintable(arguments.join(' ')));
  if (nicer > 0) {
    errno = 0;
    const int ours = getpriority(PRIO_PROCESS, 0);
    if (errno == 0) setpriority(PRIO_PROCESS, pid, std::min(19, ours + nicer));
  }
  out.closeWrite();
  err.closeWrite();
  passed.clear();

  ChildResult result;
  QByteArray pendingLine;
  bool stopping = false;
  while (out.read >= 0 || err.read >= 0) {
    if (CancelRequested() && !stopping) {
      kill(-pid, SIGTERM);  // the child leads its own process group
      stopping = true;
    }
    // The wake pipe is never drained: only a cancel writes to it, and every child running
    // at the same time (see RunConcurrently) must see it. Once stopping, it is left out.
    pollfd watched[3] = {
        {out.read, POLLIN, 0}, {err.read, POLLIN, 0}, {stopping ? -1 : wakePipe[0], POLLIN, 0}};
    // After asking it to stop, give it a few seconds to finish, then make sure.
    if (poll(watched, 3, stopping ? 5000 : -1) == 0 && stopping) kill(-pid, SIGKILL);
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (!(watched[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t got = read(watched[i].fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        (i == 0 ? out : err).closeRead();
        continue;
      }
      if (i == 1) {
        result.errors.append(buffer, got);
        continue;
      }
      result.output.append(buffer, got);
      pendingLine.append(buffer, got);
      for (qsizetype newline; (newline = pendingLine.indexOf('\n')) >= 0;) {
        if (onOutputLine) onOutputLine(pendingLine.left(newline));
        pendingLine.remove(0, newline + 1);
      }
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (trace)
    fprintf(stderr, "end: [%.3f s] %d: %s after %.3f s, exit %d\n", elapsed(), int(pid),
            qPrintable(QFileInfo(program).fileName()), elapsed() - started, result.exitCode);
  ThrowIfCancelled();
  return result;
}

}  // namespace vintrel::cut
