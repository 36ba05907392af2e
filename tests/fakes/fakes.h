#pragma once
// Fakes of the outside world, and a rig that builds the main window on them.
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/platform.h"
#include "player/player.h"

namespace fakes {

using namespace vintrel;

// A player whose position the test moves. Every call is logged ("Play", "Seek 10", ...);
// reads are not. A member named in `failing` raises an error.
class FakePlayer : public IPlayer {
 public:
  std::vector<std::string> calls;
  std::set<std::string> failing;  // "FileName", "Play", "Pause", "Stop", "Duration", "CurrentPosition", "Seek"
  QString fileName;
  bool loaded = false;   // Play succeeded and no Stop since
  bool paused = false;   // halted
  double duration = 100.0;
  double position = 0.0;
  std::function<void()> onPlay;  // runs inside Play, before it returns

  void SetFileName(const QString& path) override;
  void Play() override;
  void Pause() override;
  void Stop() override;
  double Duration() override;
  double CurrentPosition() override;
  void Seek(double seconds) override;
  // Advances a running player by the given seconds, stopping at the end.
  void Advance(double seconds);
  bool Running() const { return loaded && !paused; }
  int Count(const std::string& call) const;

 private:
  void MaybeFail(const std::string& member);
};

struct ShownMessage {
  QString text;
  int flags;
};

class FakeMessageBox : public IMessageBox {
 public:
  std::vector<ShownMessage> shown;
  std::deque<int> answers;                  // next answers; empty: OK, or No for questions
  std::function<void(const QString&)> onShow;  // runs while the box is "open"
  int MsgBox(const QString& text, int flags) override;
  QString Last() const { return shown.empty() ? QString() : shown.back().text; }
};

struct DialogUse {
  bool save;
  QString filter;
  int filterIndex;
  QString title;
  QString fileNameIn;
};

class FakeDialog : public ICommonDialog {
 public:
  std::vector<DialogUse> uses;
  std::deque<std::optional<QString>> answers;  // nullopt: the user cancels; empty queue: cancel
  std::function<void()> onShow;                 // runs while the dialog is "open"
  void ShowOpen() override { Show(false); }
  void ShowSave() override { Show(true); }

 private:
  void Show(bool save);
};

class FakeClock : public IClock {
 public:
  float now = 1000.0f;
  float Timer() override { return now; }
};

// DoEvents runs the queued actions (one per call) and `everyPass`; Sleep advances the
// clock and, through `onSleep`, whatever else the test lets time move.
class FakePump : public IPump {
 public:
  FakeClock* clock = nullptr;
  std::deque<std::function<void()>> queued;
  std::function<void()> everyPass;
  std::function<void(int)> onSleep;
  std::vector<std::string> log;  // "DoEvents", "Sleep 100"
  int doEvents = 0;
  int sleeps = 0;
  int maxPasses = 100000;  // a runaway loop fails the test instead of hanging it
  void DoEvents() override;
  void Sleep(int milliseconds) override;
};

struct StartedProcess {
  QString program;
  QStringList args;
  QString errorLog;
};

class FakeProcesses : public IProcesses {
 public:
  std::vector<StartedProcess> started;
  bool failStart = false;
  long nextPid = 4242;
  // Exit codes answered in turn; the last one repeats. nullopt: the query fails.
  std::deque<std::optional<int>> exitCodes{0};
  int exitCodeQueries = 0;
  std::function<void(const StartedProcess&)> onStart;  // e.g. write the output file, the error log
  std::vector<StartedProcess> runs;
  std::function<ProgramRun(const QString&, const QStringList&)> onRun;  // default: not started

  long Start(const QString& program, const QStringList& args, const QString& errorLog) override;
  std::optional<int> ExitCode(long pid) override;
  ProgramRun Run(const QString& program, const QStringList& args, int timeoutMs) override;
};

class FakeFiles : public IFiles {
 public:
  QString appPath = "/opt/vintrel";
  std::map<QString, QString> files;  // path -> contents
  std::set<QString> unreadable;      // exist, but ProbeOpen/ReadText fail
  std::set<QString> undeletable;
  std::set<QString> executables;
  std::map<QString, QString> inPath;  // name -> full path
  std::vector<std::pair<QString, QString>> samePairs;  // extra spellings of one file
  std::vector<QString> killed;
  std::vector<QString> probed;

  QString AppPath() override { return appPath; }
  void ProbeOpen(const QString& path) override;
  void Kill(const QString& path) override;
  bool Exists(const QString& path) override { return files.count(path) > 0; }
  bool SameFile(const QString& a, const QString& b) override;
  bool IsExecutable(const QString& path) override { return executables.count(path) > 0; }
  QString FindInPath(const QString& name) override;
  QString ReadText(const QString& path) override;
};

class FakeUrlOpener : public IUrlOpener {
 public:
  std::vector<QString> opened;
  bool fail = false;
  void Open(const QString& url) override;
};

class FakeApp : public IApp {
 public:
  bool ended = false;
  int code = -1;
  [[noreturn]] void End(int exitCode) override;
};

// The main window on fakes. thanks.txt is present unless a test removes it before Load().
struct Rig {
  FakeMessageBox msg;
  FakeDialog dialog;
  FakeClock clock;
  FakePump pump;
  FakeProcesses processes;
  FakeFiles files;
  FakeUrlOpener url;
  FakeApp app;
  FakePlayer* player = nullptr;
  Platform platform;
  std::unique_ptr<Form1> form;

  Rig();
  ~Rig();
  Form1& f() { return *form; }
  FakePlayer& mp() { return *player; }
  // Runs start-up; false when the program ended there.
  bool Load();
  // A file opened and playing, as a successful Open leaves it (without running Open).
  void SimulateOpen(const QString& path = "/videos/clip.avi", double duration = 100.0);
};

}  // namespace fakes
