#pragma once
// The real outside world for the program.
#include <map>

#include "platform/common_dialog.h"
#include "platform/platform.h"

namespace vintrel {

class QtMessageBox : public IMessageBox {
 public:
  int MsgBox(const QString& text, int flags) override;
};

class SystemClock : public IClock {
 public:
  float Timer() override;
};

class QtPump : public IPump {
 public:
  void DoEvents() override;
  void Sleep(int milliseconds) override;
};

class PosixProcesses : public IProcesses {
 public:
  long Start(const QString& program, const QStringList& args, const QString& errorLog) override;
  std::optional<int> ExitCode(long pid) override;
  ProgramRun Run(const QString& program, const QStringList& args, int timeoutMs) override;

 private:
  std::map<long, int> ended_;  // exit codes of children already reaped
};

class RealFiles : public IFiles {
 public:
  QString AppPath() override;
  void ProbeOpen(const QString& path) override;
  void Kill(const QString& path) override;
  bool Exists(const QString& path) override;
  bool SameFile(const QString& a, const QString& b) override;
  bool IsExecutable(const QString& path) override;
  QString FindInPath(const QString& name) override;
  QString ReadText(const QString& path) override;
};

class DesktopUrlOpener : public IUrlOpener {
 public:
  void Open(const QString& url) override;
};

class ProcessExit : public IApp {
 public:
  [[noreturn]] void End(int exitCode) override;
};

// All of the above, owned together.
struct RealPlatform {
  QtMessageBox msg;
  QtCommonDialog dialog;
  SystemClock clock;
  QtPump pump;
  PosixProcesses processes;
  RealFiles files;
  DesktopUrlOpener url;
  ProcessExit app;
  Platform Make(std::function<std::unique_ptr<IPlayer>(QWidget*)> makePlayer) {
    return Platform{msg, dialog, clock, pump, processes, files, url, app, std::move(makePlayer)};
  }
};

}  // namespace vintrel
