#include "program_rig.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTest>

#include "platform/qt_platform.h"
#include "player/mpv_player.h"

namespace bench {

using namespace vintrel;

QString BuildFolder() { return qEnvironmentVariable("VINTREL_BUILD_DIR", VINTREL_BUILD_DIR); }
QString ProgramPath() { return qEnvironmentVariable("VINTREL_PROGRAM", VINTREL_PROGRAM); }

QString CutProgram() {
  // Only the build folder's: one found on PATH could be another version than the one measured.
  const QString path = BuildFolder() + "/vintrel-cut";
  const QFileInfo info(path);
  return info.isFile() && info.isExecutable() ? path : QString();
}

namespace {

// The build folder stands for the program's own: the credits and vintrel-cut are there.
class BuildFolderFiles : public RealFiles {
 public:
  QString programFolder() override { return BuildFolder(); }
};

// The real dialogs, noting when they hand their answer back.
class StampedDialogs : public FileDialogs {
 public:
  explicit StampedDialogs(Time& returned) : returned_(returned) {}
  std::optional<QString> chooseFileToOpen(const FileDialogRequest& request) override {
    auto path = real_.chooseFileToOpen(request);
    returned_ = Clock::now();
    return path;
  }
  std::optional<QString> chooseFileToSave(const FileDialogRequest& request) override {
    auto path = real_.chooseFileToSave(request);
    returned_ = Clock::now();
    return path;
  }
  std::optional<SaveAnswer> chooseFileToSaveWithChoice(const FileDialogRequest& request) override {
    auto answer = real_.chooseFileToSaveWithChoice(request);
    returned_ = Clock::now();
    return answer;
  }

 private:
  QtFileDialogs real_;
  Time& returned_;
};

}  // namespace

struct ProgramRig::Parts {
  explicit Parts(Time& dialogReturned) : dialogs(dialogReturned) {}
  QtMessages messages;
  StampedDialogs dialogs;
  DesktopUrlOpener urls;
  BuildFolderFiles files;
};

ProgramRig::ProgramRig() : parts_(std::make_unique<Parts>(dialogReturned)) {
  qApp->installEventFilter(this);
  // As main() makes them on X11: the player draws into the video area's native window.
  Services services{parts_->messages,
                    parts_->dialogs,
                    parts_->urls,
                    parts_->files,
                    [](QWidget* area) { return makeEmbeddedPlayer(area, {}, "null"); },
                    [this]() -> std::unique_ptr<CutJob> {
                      auto job = std::make_unique<ProcessCutJob>(CutProgram());
                      cuts.push_back({Clock::now(), {}, {}, {}});
                      const size_t i = cuts.size() - 1;
                      connect(job.get(), &CutJob::progress, this, [this, i](double) {
                        if (!cuts[i].firstProgress) cuts[i].firstProgress = Clock::now();
                      });
                      connect(job.get(), &CutJob::finished, this, [this, i](const CutOutcome& outcome) {
                        cuts[i].finished = Clock::now();
                        cuts[i].outcome = outcome;
                      });
                      return job;
                    }};
  const QString credits = parts_->files.readText(BuildFolder() + "/thanks.txt").value_or(QString());
  window_ = std::make_unique<MainWindow>(services, credits);
  connect(&window_->player(), &Player::loaded, this, [this] { loaded = Clock::now(); });
  window_->move(0, 0);
  window_->show();
  (void)QTest::qWaitForWindowExposed(window_.get(), 5000);
}

ProgramRig::~ProgramRig() {
  qApp->removeEventFilter(this);
  // Destroyed without close(): Qt 6 destroys a closed window's native windows at once, and
  // libmpv's video output must let go of its child window first. The window's destructor
  // ends the player before its widgets go.
  window_.reset();
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

std::optional<Time> ProgramRig::BoxShown(const QString& text) const {
  for (const Shown& s : boxes) {
    if (s.text == text) return s.when;
  }
  return std::nullopt;
}

}  // namespace bench
