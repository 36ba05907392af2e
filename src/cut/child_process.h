#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace vintrel::cut {

struct ChildResult {
  int exitCode = -1;  // -1 when it ended by a signal
  QByteArray output;  // stdout
  QByteArray errors;  // stderr
};

// A file descriptor, closed when its owner goes.
class OwnedFd {
 public:
  OwnedFd() = default;
  explicit OwnedFd(int fd) : fd_(fd) {}
  OwnedFd(OwnedFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  OwnedFd& operator=(OwnedFd&& other) noexcept;
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  ~OwnedFd() { reset(); }
  int get() const { return fd_; }
  void reset();

 private:
  int fd_ = -1;
};

// A pipe from one child to another: each end goes to one RunChild.
struct ChildPipe {
  OwnedFd read, write;
};
ChildPipe MakeChildPipe();

// Passes everything the pipe `from` gives on to the pipe `to`, straight through while `to`
// is read, else holding up to `hold` bytes, so that the child writing to `from` goes on
// meanwhile. Returns at the end of `from`'s data or when `to`'s reader has gone, and closes
// both, which the children at either end see as the end of the data or a broken pipe.
void RelayBuffered(OwnedFd from, OwnedFd to, size_t hold);

// Runs a program with an argument list (never a shell): stdin /dev/null, its own process group,
// no descriptors of ours but its two pipes and `passed`, which it sees as 3, 4, ... (for
// "pipe:3"); ours are closed as soon as it has started, so the other end sees the end of
// the data when the child ends. `onOutputLine` sees each stdout line as it comes. Throws
// CutCancelled once a cancel was asked for: the child (its whole process group) is stopped
// first and waited for. Throws CutError when the program cannot start.
// `nicer`: how much lower than ours its scheduling priority is.
ChildResult RunChild(const QString& program, const QStringList& arguments,
                     const std::function<void(const QByteArray&)>& onOutputLine = {},
                     std::vector<OwnedFd> passed = {}, int nicer = 0);

// A program started ahead of its work: it reads its first `gates` passed descriptors ("pipe:3",
// "pipe:4", ...: a concat list, a filter graph) and so waits there, its own start-up done,
// until finish() writes them. Destroyed unfinished, the gates close empty and the program
// ends at once, with nothing to wait for. It runs at a lower priority, so as not to slow the
// work before it; by the time it reads, that work is done.
class StartedChild {
 public:
  StartedChild(const QString& program, const QStringList& arguments, int gates);
  ~StartedChild();
  StartedChild(const StartedChild&) = delete;
  StartedChild& operator=(const StartedChild&) = delete;
  // One text per gate, in order; then waits for the program's end. Throws what RunChild would.
  ChildResult finish(const QStringList& texts);

 private:
  void wait();
  std::vector<OwnedFd> gates_;
  std::thread thread_;
  ChildResult result_;
  std::exception_ptr failure_;
};

// Runs independent steps (each typically one RunChild) at the same time, one thread each,
// and waits for all of them. Then throws CutCancelled if a cancel came, else the first
// step's failure in the list's order, so what is told does not depend on which ended first.
void RunConcurrently(const std::vector<std::function<void()>>& steps);

// SIGTERM, SIGINT and SIGHUP ask the running cut to stop; SIGPIPE is ignored, since whoever
// reads our progress may go away while the cut must still finish its file.
void InstallCancelHandlers();
bool CancelRequested();
void ThrowIfCancelled();
// For tests and callers without signals.
void RequestCancel();

}  // namespace vintrel::cut
