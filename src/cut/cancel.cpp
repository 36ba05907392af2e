#include "cut/cancel.h"

#include <signal.h>

#include "cut/cut_error.h"

namespace vintrel::cut {

namespace {
volatile sig_atomic_t cancelFlag = 0;
void OnCancelSignal(int) { cancelFlag = 1; }
}  // namespace

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
