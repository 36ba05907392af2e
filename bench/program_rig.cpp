#include "program_rig.h"

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <string_view>

#include "bench.h"
#include "player/mpv_player.h"

namespace bench {

using namespace vintrel;

QString BuildFolder() { return qEnvironmentVariable("VINTREL_BUILD_DIR", VINTREL_BUILD_DIR); }
QString ProgramPath() { return qEnvironmentVariable("VINTREL_PROGRAM", VINTREL_PROGRAM); }

// --- StampedProcesses --------------------------------------------------------------------

StampedProcesses::~StampedProcesses() { Clear(); }

void StampedProcesses::Clear() {
  for (std::thread& t : watchers_) t.join();
  watchers_.clear();
  started.clear();
  helpers.clear();
}

long StampedProcesses::Start(const QString& program, const QStringList& args, const QString& errorLog) {
  auto record = std::make_shared<Started>();
  record->program = program;
  record->args = args;
  record->called = Clock::now();
  record->pid = real_.Start(program, args, errorLog);
  // A pidfd turns readable when the process ends, before anyone reaps it: the true end,
  // however late the program looks.
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(record->pid), 0));
  if (fd >= 0) {
    watchers_.emplace_back([record, fd] {
      pollfd p{fd, POLLIN, 0};
      while (poll(&p, 1, -1) < 0) {
      }
      record->ended = Clock::now().time_since_epoch().count();
      record->cpu = CpuSeconds(record->pid);
      close(fd);
    });
  }
  started.push_back(record);
  return record->pid;
}

std::optional<int> StampedProcesses::ExitCode(long pid) {
  const std::optional<int> code = real_.ExitCode(pid);
  if (code && *code != STILL_ACTIVE) {
    for (auto& s : started) {
      if (s->pid == pid && !s->noticed) s->noticed = Clock::now();
    }
  }
  return code;
}

ProgramRun StampedProcesses::Run(const QString& program, const QStringList& args, int timeoutMs) {
  Helper helper{program, Clock::now(), {}};
  ProgramRun run = real_.Run(program, args, timeoutMs);
  helper.to = Clock::now();
  helpers.push_back(helper);
  return run;
}

// --- ProgramRig ---------------------------------------------------------------------------

namespace {

class BuildFolderFiles : public RealFiles {
 public:
  QString AppPath() override { return BuildFolder(); }
};

// The end of the program becomes an exception, so the benchmark outlives the window.
class BenchEnd : public IApp {
 public:
  [[noreturn]] void End(int code) override { throw ProgramEnded{code}; }
};

// The real dialog, noting when it hands its answer back.
class StampedDialog : public ICommonDialog {
 public:
  explicit StampedDialog(Time& returned) : returned_(returned) {}
  void ShowOpen() override { Show(false); }
  void ShowSave() override { Show(true); }

 private:
  void Show(bool save) {
    real_.Filter = Filter;
    real_.FilterIndex = FilterIndex;
    real_.DialogTitle = DialogTitle;
    real_.FileName = FileName;
    save ? real_.ShowSave() : real_.ShowOpen();
    FileName = real_.FileName;
    returned_ = Clock::now();
  }
  QtCommonDialog real_;
  Time& returned_;
};

// The real player, with the time each call takes written down.
class StampedPlayer : public IPlayer {
 public:
  StampedPlayer(std::unique_ptr<IPlayer> real, std::vector<PlayerCall>& calls)
      : real_(std::move(real)), calls_(calls) {}
  void SetFileName(const QString& path) override {
    Stamp("SetFileName", [&] { real_->SetFileName(path); });
  }
  void Play() override {
    Stamp("Play", [&] { real_->Play(); });
  }
  void Pause() override {
    Stamp("Pause", [&] { real_->Pause(); });
  }
  void Stop() override {
    Stamp("Stop", [&] { real_->Stop(); });
  }
  double Duration() override {
    double d = 0;
    Stamp("Duration", [&] { d = real_->Duration(); });
    return d;
  }
  double CurrentPosition() override {
    double p = 0;
    Stamp("CurrentPosition", [&] { p = real_->CurrentPosition(); });
    return p;
  }
  void Seek(double seconds) override {
    Stamp("Seek", [&] { real_->Seek(seconds); });
  }

 private:
  template <class F>
  void Stamp(const char* member, F&& call) {
    PlayerCall record{member, Clock::now(), {}};
    try {
      call();
    } catch (const std::exception&) {
      record.to = Clock::now();
      calls_.push_back(record);
      throw;
    }
    record.to = Clock::now();
    calls_.push_back(record);
  }
  std::unique_ptr<IPlayer> real_;
  std::vector<PlayerCall>& calls_;
};

}  // namespace

struct ProgramRig::Parts {
  explicit Parts(Time& dialogReturned) : dialog(dialogReturned) {}
  QtMessageBox msg;
  StampedDialog dialog;
  SystemClock clock;
  QtPump pump;
  BuildFolderFiles files;
  DesktopUrlOpener url;
  BenchEnd app;
};

ProgramRig::ProgramRig() : parts_(std::make_unique<Parts>(dialogReturned)) {
  qApp->installEventFilter(this);
  // As main() makes it on X11: the player draws into the video area's native window.
  platform_.reset(new Platform{parts_->msg, parts_->dialog, parts_->clock, parts_->pump, processes,
                               parts_->files, parts_->url, parts_->app, [this](QWidget* area) {
                                 MpvOptions options;
                                 options.wid = static_cast<qint64>(area->winId());
                                 options.ao = "null";
                                 return std::unique_ptr<IPlayer>(std::make_unique<StampedPlayer>(
                                     std::make_unique<MpvPlayer>(options), playerCalls));
                               }});
  form_ = std::make_unique<Form1>(*platform_);
  form_->move(0, 0);
  form_->Form_Load();
}

ProgramRig::~ProgramRig() {
  qApp->removeEventFilter(this);
  try {
    form_->Form_Unload();
  } catch (const ProgramEnded&) {
  }
}

bool ProgramRig::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    if (auto* box = qobject_cast<QMessageBox*>(watched)) boxes.push_back({box->text(), Clock::now()});
    if (qobject_cast<QFileDialog*>(watched)) dialogShown = Clock::now();
  } else if (event->type() == QEvent::Hide && qobject_cast<QFileDialog*>(watched)) {
    dialogHidden = Clock::now();
  }
  return false;
}

double ProgramRig::PlayerMs(const char* member, Time from) const {
  double total = 0;
  for (const PlayerCall& c : playerCalls) {
    if (c.from >= from && std::string_view(c.member) == member) total += Ms(c.to - c.from);
  }
  return total;
}

std::optional<Time> ProgramRig::BoxShown(const QString& text) const {
  for (const Shown& s : boxes) {
    if (s.text == text) return s.when;
  }
  return std::nullopt;
}

std::function<void(QWidget*)> ChoosePath(const QString& path, Time* chosen) {
  return [path, chosen](QWidget* modal) {
    auto* edit = modal->findChild<QLineEdit*>("fileNameEdit");
    if (!edit) {
      modal->close();
      return;
    }
    edit->setFocus();
    edit->setText(path);
    *chosen = Clock::now();
    QTest::keyClick(edit, Qt::Key_Return);
  };
}

}  // namespace bench
