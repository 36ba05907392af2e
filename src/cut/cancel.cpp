#include "cut/cancel.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "cut/cut_error.h"

namespace vintrel::cut {

namespace {

volatile sig_atomic_t cancelFlag = 0;
int wakePipe[2] = {-1, -1};

void EnsureWakePipe() {
  static std::once_flag made;
  std::call_once(made, [] {
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
  });
}

void OnCancelSignal(int) {
  cancelFlag = 1;
  if (wakePipe[1] >= 0) {
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = write(wakePipe[1], "x", 1);
    errno = saved;
  }
}

}  // namespace

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

bool CancelRequested() { return cancelFlag != 0; }

void ThrowIfCancelled() {
  if (CancelRequested()) throw CutCancelled();
}

void RequestCancel() {
  EnsureWakePipe();
  OnCancelSignal(0);
}

int CancelWakeDescriptor() {
  EnsureWakePipe();
  return wakePipe[0];
}

}  // namespace vintrel::cut
