// What stops a cut: its errors, told in one line for the user, and the signals that cancel it.
#pragma once

#include <QString>
#include <stdexcept>

namespace vintrel::cut {

// A cut that cannot be made; the message is one line for the user, the reason first.
class CutError : public std::runtime_error {
 public:
  explicit CutError(const QString& message) : std::runtime_error(message.toStdString()) {}
  QString message() const { return QString::fromStdString(what()); }
};

// The output cannot be written (a full disk, a folder without permission): trying another
// way would fail the same, so the cut ends at once with this reason.
class WriteFailed : public CutError {
 public:
  using CutError::CutError;
};

// The output name no longer holds what the cut may write over when the made file is to be moved
// there: a file appeared, or the one to replace was changed. Nothing was written; the user may
// be asked again.
class OutputTaken : public CutError {
 public:
  using CutError::CutError;
};

// A made file that does not pass its checks; the message says which and by how much.
class VerificationFailed : public CutError {
 public:
  using CutError::CutError;
};

// The user (or the system) asked the cut to stop.
class CutCancelled : public std::runtime_error {
 public:
  CutCancelled() : std::runtime_error("cancelled") {}
};

// SIGTERM, SIGINT and SIGHUP ask the running cut to stop where it can. SIGPIPE is ignored:
// whoever reads our progress may go away while the cut must still finish its file.
void InstallCancelHandlers();
bool CancelRequested();
void ThrowIfCancelled();  // throws CutCancelled

// A file system's refusal (an errno) in the output's folder as a line for the user.
QString FolderProblem(int error, const QString& folder);

}  // namespace vintrel::cut
