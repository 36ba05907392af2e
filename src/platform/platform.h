#pragma once
// The outside world, behind small interfaces: the program gets real versions,
// tests get fakes (tests/fakes).
#include <QString>
#include <QStringList>
#include <QByteArray>
#include <functional>
#include <memory>
#include <optional>

#include "platform/vb_error.h"

class QWidget;

namespace vintrel {

class IPlayer;

// Message box flags and answers, as the program's messages use them.
enum MsgBoxFlags : int {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbYesNoCancel = 3,
  vbYesNo = 4,
  vbCritical = 16,
  vbQuestion = 32,
  vbExclamation = 48,
  vbInformation = 64,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // Modal; the title is always the application's, "Vintrel". Returns the button pressed.
  virtual int MsgBox(const QString& text, int flags) = 0;
};

// The common Open/Save dialog. Settings are plain fields that stay between uses,
// as the program relies on (the file name is remembered from one Save to the next).
class ICommonDialog {
 public:
  virtual ~ICommonDialog() = default;
  QString Filter;       // "description|patterns|description|patterns"
  int FilterIndex = 0;  // 1-based; 0 or 1 preselects the first entry
  QString DialogTitle;  // empty: the toolkit's default title
  QString FileName;     // in: the name the dialog opens with; out: the chosen full path
  // Both are modal and raise VbError(kErrCancel) when the user cancels.
  virtual void ShowOpen() = 0;
  virtual void ShowSave() = 0;
};

class IClock {
 public:
  virtual ~IClock() = default;
  // Local time of day in seconds since midnight, with fractions (0 to just under 86400).
  virtual float Timer() = 0;
};

class IPump {
 public:
  virtual ~IPump() = default;
  // Handles every pending window event; other handlers may run inside.
  virtual void DoEvents() = 0;
  // Pauses the GUI thread. The video keeps playing: it is drawn by the player's own thread.
  virtual void Sleep(int milliseconds) = 0;
};

// The exit code a process reports while it still runs.
constexpr int STILL_ACTIVE = 259;

struct ProgramRun {
  bool started = false;
  bool finished = false;  // false when the time limit ran out
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

class IProcesses {
 public:
  virtual ~IProcesses() = default;
  // Starts a program from an argument list (no shell), stdin empty, stdout discarded,
  // stderr appended to errorLog (when not empty), in a session of its own so that it
  // outlives this program. Returns the process id; VbError(kErrFileNotFound) when it
  // cannot be started.
  virtual long Start(const QString& program, const QStringList& args, const QString& errorLog) = 0;
  // STILL_ACTIVE while the process runs, else its exit code (128 + signal when killed);
  // nothing when the process cannot be queried.
  virtual std::optional<int> ExitCode(long pid) = 0;
  // Runs a short helper program (ffprobe) to its end, waiting at most timeoutMs.
  virtual ProgramRun Run(const QString& program, const QStringList& args, int timeoutMs) = 0;
};

class IFiles {
 public:
  virtual ~IFiles() = default;
  // The folder that holds the program file, without a trailing separator.
  virtual QString AppPath() = 0;
  // Opens an existing file for reading and closes it again; raises an error when it cannot.
  virtual void ProbeOpen(const QString& path) = 0;
  // Deletes a file; raises an error when it cannot.
  virtual void Kill(const QString& path) = 0;
  // Whether anything (even a dangling link) is at the path.
  virtual bool Exists(const QString& path) = 0;
  // Whether two paths reach the same file (device and inode), however they are spelt.
  virtual bool SameFile(const QString& a, const QString& b) = 0;
  // Whether an executable file is at the path.
  virtual bool IsExecutable(const QString& path) = 0;
  // Searches PATH for a program; empty when not found.
  virtual QString FindInPath(const QString& name) = 0;
  // The whole file as text; raises an error when it cannot be read.
  virtual QString ReadText(const QString& path) = 0;
};

class IUrlOpener {
 public:
  virtual ~IUrlOpener() = default;
  // Opens the address in the user's browser without waiting; raises an error when
  // no opener can be started.
  virtual void Open(const QString& url) = 0;
};

class IApp {
 public:
  virtual ~IApp() = default;
  // Ends the program at once: no further handler runs.
  [[noreturn]] virtual void End(int exitCode) = 0;
};

struct Platform {
  IMessageBox& msg;
  ICommonDialog& dialog;
  IClock& clock;
  IPump& pump;
  IProcesses& processes;
  IFiles& files;
  IUrlOpener& url;
  IApp& app;
  // Makes the player that draws into the given video area.
  std::function<std::unique_ptr<IPlayer>(QWidget* videoArea)> makePlayer;
};

}  // namespace vintrel
