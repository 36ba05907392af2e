#pragma once
// Fakes of the outside world, and a rig that builds the main window on them. The fakes
// record what the window asked of them and answer as the test scripts them.
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "platform/platform.h"
#include "player/player.h"
#include "save/cut_job.h"

// Failure messages show texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace fakes {

using namespace vintrel;

// A player whose clock the test moves with advance(). It behaves as the libmpv one does
// towards the window: open() plays from 0 once the file has loaded, a seek reports the
// new position at once, and at the end it halts on the last frame and says so.
class FakePlayer : public Player {
  Q_OBJECT
 public:
  // Whether open() loads (or fails) before it returns; otherwise finishLoading() does it.
  bool autoLoad = true;
  // The length of the next file opened.
  double nextDuration = 100;
  // The time of one frame, for frame steps.
  double frameTime = 0.04;
  // Key frames stand every this many seconds, for the quick seeks of a drag.
  double keyFrameInterval = 2;

  // What the window asked for.
  std::vector<QString> opened;
  std::vector<double> seeks;          // every exact seek asked for, loaded or not
  std::vector<double> keyFrameSeeks;  // every quick seek to a key frame
  std::vector<bool> pauseRequests;    // every setPaused
  std::vector<bool> frameSteps;       // every stepFrame: true forward
  int closes = 0;

  // The state the window reads; a test may set it directly to stage a situation.
  bool ready = false;  // a file is loaded
  bool paused = false;
  double pos = 0;
  double len = 0;

  // The next open() fails with this reason.
  void failNext(const QString& reason) { failReason_ = reason; }
  // Ends a load started with autoLoad off: `loaded` or `failed`. False when none is pending.
  bool finishLoading();
  bool loadPending() const { return pending_; }
  // Plays on for `seconds`, reporting the position; stops at the end as the real one does.
  void advance(double seconds);
  // advance() in steps, one position report each, until `seconds` have passed or it halts.
  void advanceBy(double seconds, double step);
  bool running() const { return ready && !paused; }

  void open(const QString& path) override;
  void close() override;
  void setPaused(bool paused) override;
  void seek(double seconds) override;
  void seekKeyFrame(double seconds) override;
  void stepFrame(bool forward) override;
  bool isLoaded() const override { return ready; }
  bool isPaused() const override { return paused; }
  double position() const override { return ready ? pos : 0; }
  double duration() const override { return ready ? len : 0; }

 private:
  std::optional<QString> failReason_;
  bool pending_ = false;
  std::optional<QString> pendingFailure_;
  double pendingDuration_ = 0;
};

struct ShownMessage {
  QString text;
  QString detail;  // under the text: the detail, or the plain line of "Done"
  bool question = false;
  QString report = {};        // behind "Show Details..." in the box that tells a save is done
  bool offersFolder = false;  // that box, with its "Show in Folder"
};

class FakeMessages : public Messages {
 public:
  std::vector<ShownMessage> shown;
  std::deque<bool> answers;     // the next Yes (true) / No answers; none left: No
  std::deque<bool> showFolder;  // the next answers to "Done": true chooses "Show in Folder"; none left: OK
  std::function<void(const ShownMessage&)> onShow;  // runs while the box is "open"

  void inform(const QString& text, const QString& detail = {}) override;
  bool informSaved(const QString& text, const QString& summary, const QString& report) override;
  bool askYesNo(const QString& text, const QString& detail = {}) override;
  QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
  bool showed(const QString& text) const;
};

struct DialogUse {
  bool save = false;
  FileDialogRequest request;
};

class FakeDialogs : public FileDialogs {
 public:
  std::vector<DialogUse> uses;
  std::deque<std::optional<QString>> answers;    // nullopt, or none left: the user cancels
  std::function<void(const DialogUse&)> onShow;  // runs while the dialog is "open"

  std::optional<QString> chooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<QString> chooseFileToSave(const FileDialogRequest& request) override;
  // Answers as chooseFileToSave does, with the next of `choiceAnswers` (none left: the preselected).
  std::optional<SaveAnswer> chooseFileToSaveWithChoice(const FileDialogRequest& request) override;
  std::deque<int> choiceAnswers;

 private:
  std::optional<QString> answer(bool save, const FileDialogRequest& request);
};

class FakeUrlOpener : public UrlOpener {
 public:
  std::vector<QString> opened;  // every address asked for, opened or not
  bool fail = false;
  bool open(const QString& url) override;
};

class FakeFiles : public Files {
 public:
  QString folder = "/opt/vintrel";
  std::map<QString, QString> files;                    // path -> contents; present = exists
  std::vector<std::pair<QString, QString>> samePairs;  // two spellings of one file
  std::set<QString> unwritableFolders;
  std::set<QString> missingFolders;

  QString programFolder() override { return folder; }
  bool exists(const QString& path) override { return files.count(path) > 0; }
  bool sameFile(const QString& a, const QString& b) override;
  bool folderWritable(const QString& path) override;
  bool folderExists(const QString& path) override;
  // A file's identity follows its path and contents: new contents, a new file.
  std::optional<cut::FileIdentity> identity(const QString& path) override;
  std::optional<QString> readText(const QString& path) override;
  bool writeText(const QString& path, const QString& text) override;
};

// The desktop's notifications, as sent.
class FakeNotifier : public Notifier {
 public:
  std::vector<std::pair<QString, QString>> sent;  // summary, body
  bool notify(const QString& summary, const QString& body) override {
    sent.emplace_back(summary, body);
    return true;
  }
};

// A cut the test runs by hand: it reports progress and finishes when the test says.
class FakeCutJob : public CutJob {
  Q_OBJECT
 public:
  std::optional<CutRequest> request;
  int cancels = 0;
  std::function<void(FakeCutJob&)> onStart;  // runs inside start(), e.g. to finish at once

  void start(const CutRequest& request) override;
  void cancel() override;
  void report(double fraction) { emit progress(fraction); }
  void finish(const CutOutcome& outcome) { emit finished(outcome); }
};

// A mark as the slider draws it: the middle of a run of the marks' colour across the
// slider's middle row, in the slider's coordinates, its width, and whether it spans the
// slider's whole height.
struct PaintedMark {
  int middle = 0;
  int width = 0;
  bool wholeHeight = false;
};
std::vector<PaintedMark> PaintedMarks(QWidget& slider);

// The main window on fakes, on Qt's offscreen platform.
struct Rig {
  FakeMessages messages;
  FakeDialogs dialogs;
  FakeUrlOpener urls;
  FakeFiles files;
  FakeNotifier notifier;
  FakePlayer* player = nullptr;  // owned by the window
  QPointer<FakeCutJob> job;      // the last cut started; gone once the window let go of it
  std::vector<CutRequest> cutRequests;
  int jobsMade = 0;
  std::function<void(FakeCutJob&)> onJobMade;  // runs as each cut starts
  std::unique_ptr<MainWindow> window;

  // Fresh: the window starts as on a first run; Kept: with what the windows before it left
  // in the (test's own) settings.
  enum class Settings { Fresh, Kept };
  // The credits are what the program read from thanks.txt.
  explicit Rig(const QString& credits = "Thanks to everyone.", Settings settings = Settings::Fresh);
  ~Rig();
  MainWindow& w() { return *window; }
  FakePlayer& p() { return *player; }
  // Shows the window and makes it the active one, as a user has it: shortcuts only reach an
  // active window.
  void activate();

  // Opens a file through Open's dialog; it plays from 0 once loaded (at once, unless the
  // player's autoLoad is off).
  void open(const QString& path = "/videos/clip.avi", double duration = 100);
  // Marks the given positions as Mark Start and Mark End do.
  void markStart(double position);
  void markEnd(double position);
  // The once-a-second position update, at once.
  void tick();
  // Ends the running cut and waits until the window has dealt with the outcome.
  void finishCut(const CutOutcome& outcome);
  // Which commands answer, as their buttons show it: Open, Play/Pause, Stop, Mark Start,
  // Mark End, Play Selected, the slider, Save, Website, Help, About.
  std::vector<bool> enabledCommands();
};

}  // namespace fakes
