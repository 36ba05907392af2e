#pragma once
// Save: asks for the new file's name, starts the cut, and reports how it ended. The window
// locks itself while `session.isSaving()` holds and shows `percent` and `title`.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "save/cut_job.h"
#include "save/save_progress.h"
#include "session/session.h"

namespace vintrel {

inline const char* kInvalidSelection = "Start time cannot be >= End time. Invalid Selection";
inline const char* kFileInUse = "The selected file is in use and cannot be overwritten.";
inline const char* kOverwriteQuestion = "Do you want to overwrite the existing file?";
inline const char* kSaved = "Done";
inline const char* kNotSaved = "The file was not saved.";
inline const char* kSaveCancelled = "Saving was cancelled. Nothing was written.";
inline const char* kNoFileManager = "Vintrel could not start a file manager.";
inline const char* kNothingLeft = "The segments remove the whole video; nothing is left to save.";
// The Save dialog's choice when the list holds segments.
inline const char* kOneFile = "One file (the segments joined)";
inline const char* kFilePerSegment = "One file per segment";
// The types that hold chapters: a joined save marks each segment's start in them.
inline const QStringList kChapterTypes = {"mp4", "m4v", "mov", "mkv"};

// The type offered for an input whose name has no ending: Matroska holds nearly any video.
inline const char* kDefaultOutputType = "mkv";

// The ending the Save dialog offers for an input: its own, else the default.
QString offeredType(const QString& input);
// Why a cut cannot be written under the name `output` (its type is none Vintrel writes);
// empty when it can.
QString outputTypeProblem(const QString& output);
// A name for the cut that is free in the input's folder: "holiday-cut-0_03-0_13.mp4" for
// holiday.mp4 cut from second 3 to 13, then "...-2.mp4" and so on when that is taken. The
// input's part is shortened where the name would exceed what a file system takes.
QString suggestOutputName(const QString& input, const Stretch& stretch, Files& files);
// A free name for a save of the segment list: "holiday-segments.mp4", then "...-2.mp4".
QString suggestSegmentsName(const QString& input, Files& files);
// A reason of vintrel-cut's in the user's terms: its hidden work files, which the user never
// named, are left out of it. `folderGone`: the output's folder no longer exists.
QString plainReason(const QString& reason, const QString& output, bool folderGone);

class SaveFlow : public QObject {
  Q_OBJECT
 public:
  using JobFactory = std::function<std::unique_ptr<CutJob>()>;
  SaveFlow(Session& session, Messages& messages, FileDialogs& dialogs, Files& files, UrlOpener& urls,
           JobFactory makeJob, QObject* parent = nullptr);
  ~SaveFlow() override;

  // The Save command: checks the marks, asks for a name and starts the cut.
  void save();
  // Stops a running cut; nothing is written.
  void cancel();
  // The window is gone: how the running cut ends goes to the desktop's notifications, then
  // `finishedUnattended` follows.
  void continueUnattended(Notifier& notifier);

  int percent() const { return progress_.percent(); }
  QString title() const;

 signals:
  // The marks make a stretch and the name is about to be asked: playback halts.
  void preparing();
  // The bar or the title changed.
  void progressChanged();
  // A cut that outlived its window has ended, and the desktop was told.
  void finishedUnattended();

 private:
  // Why the chosen output is refused before anything runs: a message and its detail.
  struct Refusal {
    QString text, detail;
  };
  std::optional<Refusal> refuseOutput(const QString& input, const QString& output) const;

  // Asks for the output's name, starting from `name`, until a name is taken or the user
  // cancels: a refused name or a No to replacing a file comes back to the dialog.
  void chooseOutput(const QString& input, const Stretch& stretch, QString name);
  // The same for the segment list: one file, or one per segment, as the dialog's choice says;
  // every file it names is refused or agreed to replace before anything runs.
  void chooseSegmentsOutput(const QString& input, QString name);
  FileDialogRequest saveDialogRequest(const QString& input) const;
  // The files a save of the segments writes under the chosen name.
  QStringList segmentOutputs(const QString& input, const QString& chosen, bool each) const;
  // Why one of `outputs` cannot be written; whether the user agreed to replace the ones there.
  bool agreeToOutputs(const QString& input, const QStringList& outputs);
  // The summary under "Done" and in the desktop's note.
  QString summaryOf(const CutOutcome& outcome) const;
  void start(const CutRequest& request);
  void notifyOutcome(const CutOutcome& outcome);
  void onFinished(const CutOutcome& outcome);
  // The output name no longer holds what the user agreed to: asks again, and cuts again on
  // Yes; No goes back to the Save dialog.
  void askAgain();
  void endSaving();
  void tellSaved(const CutOutcome& outcome);

  Session& session_;
  Messages& messages_;
  FileDialogs& dialogs_;
  Files& files_;
  UrlOpener& urls_;
  JobFactory makeJob_;
  std::unique_ptr<CutJob> job_;
  CutRequest request_;  // the running cut's, or the last one's
  SaveProgress progress_;
  QElapsedTimer clock_;
  QTimer ticker_;
  Notifier* notifier_ = nullptr;  // set once the window is gone
};

// The detail of the overwrite question: which file would be replaced.
QString overwriteDetail(const QString& output);

}  // namespace vintrel
