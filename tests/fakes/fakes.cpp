#include "fakes/fakes.h"

#include <gtest/gtest.h>

#include "about/about_module.h"

namespace fakes {

namespace {
std::string Num(double v) {
  std::string s = std::to_string(v);
  s.erase(s.find_last_not_of('0') + 1);
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}
}  // namespace

void FakePlayer::MaybeFail(const std::string& member) {
  if (failing.count(member)) throw VbError(kErrPlayerFailed, member + " failed");
}

void FakePlayer::SetFileName(const QString& path) {
  calls.push_back("FileName " + path.toStdString());
  MaybeFail("FileName");
  fileName = path;
}

void FakePlayer::Play() {
  calls.push_back("Play");
  MaybeFail("Play");
  loaded = true;
  paused = false;
  position = 0;
  if (onPlay) onPlay();
}

void FakePlayer::Pause() {
  calls.push_back("Pause");
  MaybeFail("Pause");
  paused = !paused;
}

void FakePlayer::Stop() {
  calls.push_back("Stop");
  MaybeFail("Stop");
  loaded = false;
  paused = false;
}

double FakePlayer::Duration() {
  MaybeFail("Duration");
  if (!loaded) throw VbError(kErrPlayerFailed, "no file");
  return duration;
}

double FakePlayer::CurrentPosition() {
  MaybeFail("CurrentPosition");
  if (!loaded) throw VbError(kErrPlayerFailed, "no file");
  return position;
}

void FakePlayer::Seek(double seconds) {
  calls.push_back("Seek " + Num(seconds));
  MaybeFail("Seek");
  position = seconds;
}

void FakePlayer::Advance(double seconds) {
  if (!Running()) return;
  position += seconds;
  if (position >= duration) {
    position = duration;
    paused = true;  // the player halts itself at the end
  }
}

int FakePlayer::Count(const std::string& call) const {
  int n = 0;
  for (const auto& c : calls) n += c == call;
  return n;
}

int FakeMessageBox::MsgBox(const QString& text, int flags) {
  shown.push_back({text, flags});
  if (onShow) onShow(text);
  if (!answers.empty()) {
    const int a = answers.front();
    answers.pop_front();
    return a;
  }
  return (flags & 7) == vbYesNo ? vbNo : vbOK;
}

void FakeDialog::Show(bool save) {
  uses.push_back({save, Filter, FilterIndex, DialogTitle, FileName});
  if (onShow) onShow();
  std::optional<QString> answer;
  if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
  }
  if (!answer) throw VbError(kErrCancel, "Cancel was selected.");
  FileName = *answer;
}

void FakePump::DoEvents() {
  log.push_back("DoEvents");
  if (++doEvents > maxPasses) {
    ADD_FAILURE() << "wait loop did not end";
    throw std::runtime_error("runaway wait loop");
  }
  if (!queued.empty()) {
    auto action = std::move(queued.front());
    queued.pop_front();
    action();
  }
  if (everyPass) everyPass();
}

void FakePump::Sleep(int milliseconds) {
  log.push_back("Sleep " + std::to_string(milliseconds));
  ++sleeps;
  if (clock) clock->now += milliseconds / 1000.0f;
  if (onSleep) onSleep(milliseconds);
}

long FakeProcesses::Start(const QString& program, const QStringList& args, const QString& errorLog) {
  if (failStart) throw VbError(kErrFileNotFound, ("Cannot start " + program).toStdString());
  started.push_back({program, args, errorLog});
  if (onStart) onStart(started.back());
  return nextPid;
}

std::optional<int> FakeProcesses::ExitCode(long) {
  ++exitCodeQueries;
  std::optional<int> code = exitCodes.empty() ? std::optional<int>(0) : exitCodes.front();
  if (exitCodes.size() > 1) exitCodes.pop_front();
  return code;
}

ProgramRun FakeProcesses::Run(const QString& program, const QStringList& args, int) {
  runs.push_back({program, args, {}});
  if (onRun) return onRun(program, args);
  return ProgramRun{};
}

void FakeFiles::ProbeOpen(const QString& path) {
  probed.push_back(path);
  if (!files.count(path) || unreadable.count(path)) throw VbError(kErrFileNotFound, "File not found");
}

void FakeFiles::Kill(const QString& path) {
  if (!files.count(path) || undeletable.count(path)) throw VbError(kErrPermissionDenied, "Permission denied");
  killed.push_back(path);
  files.erase(path);
}

bool FakeFiles::SameFile(const QString& a, const QString& b) {
  if (!files.count(a) || !files.count(b)) return false;
  if (a == b) return true;
  for (const auto& [x, y] : samePairs) {
    if ((x == a && y == b) || (x == b && y == a)) return true;
  }
  return false;
}

QString FakeFiles::FindInPath(const QString& name) {
  auto it = inPath.find(name);
  return it == inPath.end() ? QString() : it->second;
}

QString FakeFiles::ReadText(const QString& path) {
  if (!files.count(path) || unreadable.count(path)) throw VbError(kErrFileNotFound, "File not found");
  return files.at(path);
}

void FakeUrlOpener::Open(const QString& url) {
  if (fail) throw VbError(kErrFileNotFound, "no browser");
  opened.push_back(url);
}

void FakeApp::End(int exitCode) {
  ended = true;
  code = exitCode;
  throw ProgramEnded{exitCode};
}

Rig::Rig()
    : platform{msg, dialog, clock, pump, processes, files, url, app,
               [this](QWidget*) {
                 auto p = std::make_unique<FakePlayer>();
                 player = p.get();
                 return p;
               }} {
  pump.clock = &clock;
  files.files[files.appPath + "/thanks.txt"] = "Thanks to everyone.";
  form = std::make_unique<Form1>(platform);
}

Rig::~Rig() {
  About::Unload();
  About::PrevWndProc = nullptr;
}

bool Rig::Load() {
  try {
    form->Form_Load();
    return true;
  } catch (const ProgramEnded&) {
    return false;
  }
}

void Rig::SimulateOpen(const QString& path, double duration) {
  player->duration = duration;
  player->SetFileName(path);
  player->Play();
  player->calls.clear();
  form->CurrentFile = path;
  form->IsPlaying = true;
  form->Command1->setText("Pause");
  form->T->start();
  form->H->setMaximum(vintrel::RoundToLong(duration));
  form->MarkerScale = form->H->maximum() ? 9230 / form->H->maximum() : 0;
}

}  // namespace fakes
