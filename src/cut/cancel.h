// Stopping a cut: SIGTERM, SIGINT and SIGHUP ask the running cut to stop where it can.
#pragma once

namespace vintrel::cut {

// SIGPIPE is ignored too: whoever reads our progress may go away while the cut must still
// finish its file.
void InstallCancelHandlers();
bool CancelRequested();
void ThrowIfCancelled();  // throws CutCancelled

}  // namespace vintrel::cut
