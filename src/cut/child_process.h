#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace vintrel::cut {

struct ChildResult {
  int exitCode = -1;  // -1 when it ended by a signal
  QByteArray output;  // stdout
  QByteArray errors;  // stderr
};

// Runs a program with an argument list (never a shell): stdin /dev/null, its own session,
// no descriptors of ours but its two pipes. `onOutputLine` sees each stdout line as it
// comes. Throws CutCancelled once a cancel was asked for: the child (its whole process
// group) is stopped first and waited for. Throws CutError when the program cannot start.
ChildResult RunChild(const QString& program, const QStringList& arguments,
                     const std::function<void(const QByteArray&)>& onOutputLine = {});

// SIGTERM, SIGINT and SIGHUP ask the running cut to stop; SIGPIPE is ignored, since whoever
// reads our progress may go away while the cut must still finish its file.
void InstallCancelHandlers();
bool CancelRequested();
void ThrowIfCancelled();
// For tests and callers without signals.
void RequestCancel();

}  // namespace vintrel::cut
