// Save in the window on fakes: the selection check, the Save dialog, the refusals, the
// overwrite question, the locked window while the cut runs, its bar and title, Cancel, and
// how each ending is told.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSignalSpy>

#include "fakes/fakes.h"
#include "save/saved_summary.h"

namespace {

using fakes::Rig;
using vintrel::CutOutcome;

const QString kInvalid = "Start time cannot be >= End time. Invalid Selection";
const QString kInUse = "The selected file is in use and cannot be overwritten.";
const QString kOverwrite = "Do you want to overwrite the existing file?";
const QString kNotSaved = "The file was not saved.";
const QString kCancelled = "Saving was cancelled. Nothing was written.";

// Open, Play/Pause, Stop, Mark Start, Mark End, Play Selected, the slider; Save, Website, Help, About.
const std::vector<bool> kLocked{false, false, false, false, false, false, false, true, true, true, true};
const std::vector<bool> kUnlocked(11, true);

// A clip playing at 40 s with the stretch 12..30 marked; the Save dialog answers part.avi.
struct SaveRig : Rig {
  const QString input;
  const QString output = "/videos/part.avi";

  explicit SaveRig(const QString& path = "/videos/clip.avi") : input(path) {
    open(input, 100);
    files.files[input] = "the input";
    markStart(12);
    markEnd(30);
    p().pos = 40;
    tick();
    p().seeks.clear();
    dialogs.answers = {output};
  }
  void save() { w().saveButton->click(); }
  std::vector<fakes::DialogUse> saveDialogs() const {
    std::vector<fakes::DialogUse> found;
    for (const auto& use : dialogs.uses)
      if (use.save) found.push_back(use);
    return found;
  }
  void expectIdle() {
    EXPECT_EQ(enabledCommands(), kUnlocked);
    EXPECT_EQ(w().saveButton->text(), "Save");
    EXPECT_FALSE(w().cancelAction->isEnabled());
    EXPECT_EQ(w().windowTitle(), w().session().hasFile()
                                     ? QFileInfo(w().session().file()).fileName() + " - Vintrel"
                                     : "Vintrel");
    EXPECT_EQ(w().progressBar->value(), 0);
    EXPECT_FALSE(w().session().isSaving());
  }
  void expectLocked() {
    EXPECT_EQ(enabledCommands(), kLocked);
    EXPECT_EQ(w().saveButton->text(), "Cancel");
    EXPECT_TRUE(w().cancelAction->isEnabled());
    for (QAction* key : {w().stepBackAction, w().stepForwardAction, w().jumpBackAction, w().jumpForwardAction,
                         w().frameBackAction, w().frameForwardAction})
      EXPECT_FALSE(key->isEnabled()) << key->objectName().toStdString();
    EXPECT_TRUE(w().session().isSaving());
  }
  // Refused or dropped before any cut: the window as it was, but halted.
  void expectNothingStarted() {
    expectIdle();
    EXPECT_EQ(jobsMade, 0);
    EXPECT_EQ(files.files.at(input), "the input");
  }
};

TEST(Save, AnInvalidSelectionOrNoFileStartsNothing) {
  const struct {
    int64_t start, end;
    bool fileOpen;
  } rows[] = {{0, 0, true}, {5, 5, true}, {10, 3, true}, {0, 1, true}, {0, 30, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.start << ".." << row.end << (row.fileOpen ? "" : ", no file"));
    SaveRig r;
    if (!row.fileOpen) r.w().session().setFile({});
    r.w().session().setMarkStart(row.start);
    r.w().session().setMarkEnd(row.end);
    const bool wasPlaying = r.w().session().isPlaying();
    r.save();
    if (row.fileOpen) {
      ASSERT_EQ(r.messages.shown.size(), 1u);
      EXPECT_EQ(r.messages.shown[0].text, kInvalid);
      EXPECT_EQ(r.messages.shown[0].detail, "");
    } else {
      EXPECT_TRUE(r.messages.shown.empty());
    }
    EXPECT_TRUE(r.saveDialogs().empty());
    r.expectNothingStarted();
    EXPECT_EQ(r.w().session().isPlaying(), wasPlaying) << "playback goes on";
  }
}

TEST(Save, TheDialogAsksWhileTheWindowIsLockedAndHalted) {
  SaveRig r;
  r.dialogs.answers = {std::nullopt};
  bool asked = false;
  r.dialogs.onShow = [&](const fakes::DialogUse& use) {
    if (!use.save) return;
    asked = true;
    r.expectLocked();
    EXPECT_EQ(r.w().windowTitle(), "Saving");
    EXPECT_EQ(r.w().progressBar->value(), 0);
    EXPECT_EQ(r.w().playButton->text(), "Play");
    EXPECT_FALSE(r.p().running());
    EXPECT_FALSE(r.w().positionTimer->isActive());
    EXPECT_EQ(r.w().positionSlider->value(), 40) << "the thumb stays with the picture";
  };
  r.save();
  ASSERT_TRUE(asked);
  const auto uses = r.saveDialogs();
  ASSERT_EQ(uses.size(), 1u);
  EXPECT_EQ(uses[0].request.title, "Save");
  EXPECT_EQ(uses[0].request.filter, "AVI Files|*.avi|All Files(*.*)|*.*");
  EXPECT_EQ(uses[0].request.filterIndex, 1);
  EXPECT_EQ(uses[0].request.fileName, "/videos/clip-cut-0_12-0_30.avi");
  // Cancelled: nothing said, nothing started, the video halted where it was.
  EXPECT_TRUE(r.messages.shown.empty());
  r.expectNothingStarted();
  EXPECT_FALSE(r.p().running());
  EXPECT_TRUE(r.p().seeks.empty()) << "the player keeps its position";
  EXPECT_EQ(r.p().pos, 40);
}

// The offered type is the input's own ending as it is spelt, however long; an input without
// one is offered Matroska, which holds nearly any video.
TEST(Save, TheOfferedTypeFollowsTheInput) {
  const struct {
    const char* input;
    const char* filter;
    const char* name;
  } rows[] = {
      {"/v/clip.mp4", "MP4 Files|*.mp4|All Files(*.*)|*.*", "/v/clip-cut-0_12-0_30.mp4"},
      {"/v/clip.DAT", "DAT Files|*.DAT|All Files(*.*)|*.*", "/v/clip-cut-0_12-0_30.DAT"},
      {"/v/clip.Dat", "DAT Files|*.Dat|All Files(*.*)|*.*", "/v/clip-cut-0_12-0_30.Dat"},
      {"/v/clip.divx", "DIVX Files|*.divx|All Files(*.*)|*.*", "/v/clip-cut-0_12-0_30.divx"},
      {"/v/clip.webm", "WEBM Files|*.webm|All Files(*.*)|*.*", "/v/clip-cut-0_12-0_30.webm"},
      {"/v/clip.ts", "TS Files|*.ts|All Files(*.*)|*.*", "/v/clip-cut-0_12-0_30.ts"},
      {"/v/clip", "MKV Files|*.mkv|All Files(*.*)|*.*", "/v/clip-cut-0_12-0_30.mkv"},
      {"/v.d/clip", "MKV Files|*.mkv|All Files(*.*)|*.*", "/v.d/clip-cut-0_12-0_30.mkv"},
  };
  for (const auto& row : rows) {
    SaveRig r(row.input);
    r.dialogs.answers = {std::nullopt};
    r.save();
    ASSERT_EQ(r.saveDialogs().size(), 1u);
    EXPECT_EQ(r.saveDialogs()[0].request.filter, row.filter) << row.input;
    EXPECT_EQ(r.saveDialogs()[0].request.fileName, row.name) << row.input;
  }
}

// vintrel-cut picks what it writes by the name's ending: a type it cannot write would fail
// only after the whole cut, with the encoder's words.
TEST(Save, ATypeThatCannotBeWrittenIsRefusedBeforeAnyCutNamingThoseThatCan) {
  const QString types =
      "It writes .mp4, .m4v, .mov, .mkv, .avi, .divx, .wmv, .mpg, .flv, .vob and .dat files; "
      "a .mkv file holds nearly any video.";
  const struct {
    const char* input;
    const char* answer;
    QString refusal;  // empty: the cut starts
  } rows[] = {
      {"/videos/clip.webm", "/videos/part.webm", "Vintrel cannot write .webm files. " + types},
      {"/videos/clip.webm", "/videos/part.ts", "Vintrel cannot write .ts files. " + types},
      {"/videos/clip.webm", "/videos/part", "part has no ending that names its type. " + types},
      {"/videos/clip.webm", "/videos/part.", "part. has no ending that names its type. " + types},
      {"/videos/clip.webm", "/videos/part.MKV", ""},
      {"/videos/clip.webm", "/videos/part.Mp4", ""},
      {"/videos/clip.mp4", "/videos/part.dat", ""},
      {"/videos/clip.DAT", "/videos/part.dat", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.answer);
    SaveRig r(row.input);
    r.dialogs.answers = {QString(row.answer)};
    r.save();
    if (row.refusal.isEmpty()) {
      EXPECT_EQ(r.cutRequests.size(), 1u);
      continue;
    }
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].text, kNotSaved);
    EXPECT_EQ(r.messages.shown[0].detail, row.refusal);
    r.expectNothingStarted();
  }
}

TEST(Save, StartsTheCutOfTheMarkedStretchNeverFromSecond0) {
  const struct {
    int64_t start, end;
    int64_t cutFrom;
  } rows[] = {{12, 30, 12}, {0, 30, 1}, {0, 2, 1}, {1, 2, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.start << ".." << row.end);
    SaveRig r;
    r.w().session().setMarkStart(row.start);
    r.w().session().setMarkEnd(row.end);
    r.save();
    ASSERT_EQ(r.cutRequests.size(), 1u);
    const auto& cut = r.cutRequests[0];
    EXPECT_EQ(cut.input, r.input);
    EXPECT_EQ(cut.output, r.output);
    EXPECT_EQ(cut.start, row.cutFrom);
    EXPECT_EQ(cut.end, row.end);
    EXPECT_FALSE(cut.overwrite);
    EXPECT_TRUE(r.messages.shown.empty());
    r.expectLocked();
  }
}

// A refusal that another name or folder mends, and a No to replacing a file, come back to
// the Save dialog with the name kept; another name then saves. Cancelling there ends it.
TEST(Save, ARefusedNameComesBackToTheDialogWithTheNameKept) {
  const struct {
    const char* answer;
    QString text, detail;
    bool question = false;
  } rows[] = {
      {"/videos/clip.avi", kInUse, ""},
      {"/videos/link-to-clip.avi", kInUse, ""},
      {"/VIDEOS/CLIP.AVI", kInUse, ""},
      {"/readonly/part.avi", kNotSaved, "The folder /readonly cannot be written."},
      {"/gone/part.avi", kNotSaved, "The folder /gone does not exist."},
      {"/videos/taken.avi", kOverwrite, "taken.avi already exists in /videos.", true},
  };
  for (const auto& row : rows) {
    for (const bool mended : {true, false}) {
      SCOPED_TRACE(testing::Message() << row.answer << (mended ? ", then another name" : ", then Cancel"));
      SaveRig r;
      r.files.files["/videos/link-to-clip.avi"] = r.files.files["/VIDEOS/CLIP.AVI"] = "the input";
      r.files.files["/videos/taken.avi"] = "older";
      r.files.samePairs = {{r.input, "/videos/link-to-clip.avi"}, {r.input, "/VIDEOS/CLIP.AVI"}};
      r.files.unwritableFolders = {"/readonly"};
      r.files.missingFolders = {"/gone"};
      r.dialogs.answers = {QString(row.answer)};
      if (mended) r.dialogs.answers.push_back(QString("/videos/other.avi"));
      r.save();
      ASSERT_EQ(r.messages.shown.size(), 1u);
      EXPECT_EQ(r.messages.shown[0].text, row.text);
      EXPECT_EQ(r.messages.shown[0].detail, row.detail);
      EXPECT_EQ(r.messages.shown[0].question, row.question);
      ASSERT_EQ(r.saveDialogs().size(), 2u) << "the dialog did not come back";
      EXPECT_EQ(r.saveDialogs()[1].request.fileName, row.answer);
      EXPECT_EQ(r.files.files.at("/videos/taken.avi"), "older");
      if (!mended) {
        r.expectNothingStarted();
        continue;
      }
      ASSERT_EQ(r.cutRequests.size(), 1u);
      EXPECT_EQ(r.cutRequests[0].output, "/videos/other.avi");
      EXPECT_FALSE(r.cutRequests[0].overwrite);
    }
  }
  // The next Save offers a name of its own again.
  SaveRig r;
  r.dialogs.answers = {r.input};
  r.save();
  r.save();
  EXPECT_EQ(r.saveDialogs().at(2).request.fileName, "/videos/clip-cut-0_12-0_30.avi");
}

TEST(Save, AnExistingFileIsReplacedOnYesAndOnlyIt) {
  SaveRig yes;
  yes.files.files[yes.output] = "older";
  yes.messages.answers = {true};
  yes.save();
  EXPECT_TRUE(yes.messages.showed(kOverwrite));
  ASSERT_EQ(yes.cutRequests.size(), 1u);
  EXPECT_TRUE(yes.cutRequests[0].overwrite);
  // Only the file the user was asked about: one put there later is not replaced.
  EXPECT_EQ(yes.cutRequests[0].replaces, yes.files.identity(yes.output));
  EXPECT_TRUE(yes.cutRequests[0].replaces);

  SaveRig fresh;  // nothing there: nothing to ask
  fresh.save();
  EXPECT_TRUE(fresh.messages.shown.empty());
  ASSERT_EQ(fresh.cutRequests.size(), 1u);
  EXPECT_FALSE(fresh.cutRequests[0].overwrite);
}

// The output name no longer holds what the user agreed to when the cut ends: a file appeared
// there, or the one to replace was swapped for another. The user is asked again; Yes cuts
// again, replacing the file now there and only it; No goes back to the Save dialog.
TEST(Save, AnOutputTakenWhileTheCutRanIsAskedAgain) {
  const QString appeared = "A file named part.avi appeared while the cut ran; it was left as it is.";
  const QString changed = "part.avi was changed while the cut ran; it was left as it is.";
  for (const QString& reason : {appeared, changed}) {
    for (bool yes : {true, false}) {
      SCOPED_TRACE(reason.toStdString() + (yes ? ", Yes" : ", No"));
      SaveRig r;
      r.save();
      ASSERT_EQ(r.cutRequests.size(), 1u);
      r.files.files[r.output] = "someone else's";
      r.messages.answers = {yes};
      bool lockedWhileAsked = false;
      r.messages.onShow = [&](const fakes::ShownMessage& shown) {
        if (shown.question) lockedWhileAsked = r.w().session().isSaving();
      };
      r.finishCut({CutOutcome::Result::Failed, {}, reason, true});
      ASSERT_GE(r.messages.shown.size(), 1u);
      EXPECT_EQ(r.messages.shown[0].text, kOverwrite);
      EXPECT_TRUE(lockedWhileAsked);
      EXPECT_EQ(r.messages.shown[0].detail, "part.avi already exists in /videos.");
      if (!yes) {
        ASSERT_EQ(r.saveDialogs().size(), 2u);
        EXPECT_EQ(r.saveDialogs()[1].request.fileName, r.output);
        EXPECT_EQ(r.messages.shown.size(), 1u);
        EXPECT_EQ(r.cutRequests.size(), 1u);
        r.expectIdle();
        continue;
      }
      ASSERT_EQ(r.cutRequests.size(), 2u);
      EXPECT_TRUE(r.cutRequests[1].overwrite);
      EXPECT_EQ(r.cutRequests[1].replaces, r.files.identity(r.output));
      EXPECT_EQ(r.cutRequests[1].start, 12);
      EXPECT_EQ(r.cutRequests[1].end, 30);
      r.expectLocked();
      r.finishCut({CutOutcome::Result::Saved, "report", {}});
      EXPECT_EQ(r.messages.lastText(), "Done");
      r.expectIdle();
    }
  }
}

// A name the user never chose (a hidden work file's) is no part of a message.
TEST(Save, AReasonNamesNoWorkFile) {
  const struct {
    const char* reason;
    bool folderGone;
    const char* plain;
  } rows[] = {
      {"The cut file failed its check: the made file cannot be read: /videos/.vintrel-123-k2x9-cut.avi: "
       "Invalid data found when processing input",
       false,
       "The cut file failed its check: the made file cannot be read: Invalid data found when processing "
       "input"},
      {"The encoder failed: file:/videos/.vintrel-123-k2x9-cut.avi: Invalid argument", false,
       "The encoder failed: Invalid argument"},
      {"The cut file failed its check: the made file cannot be read: /videos/.vintrel-9-a-cut.avi: No such "
       "file",
       true, "The folder /videos no longer exists."},
      {"Writing .vintrel-123-k2x9-head.mp4 failed", false, "Writing part.avi failed"},
      // Not a work file: left as it is.
      {"The input /videos/.vintrel-notes.avi cannot be read", false,
       "The input /videos/.vintrel-notes.avi cannot be read"},
      {"There is no space left on the disk.", true, "There is no space left on the disk."},
  };
  for (const auto& row : rows)
    EXPECT_EQ(vintrel::plainReason(row.reason, "/videos/part.avi", row.folderGone), row.plain) << row.reason;

  SaveRig r;
  r.save();
  r.files.missingFolders = {"/videos"};
  r.finishCut({CutOutcome::Result::Failed, {}, rows[0].reason});
  ASSERT_EQ(r.messages.shown.size(), 1u);
  EXPECT_EQ(r.messages.shown[0].detail, "The folder /videos no longer exists.");
}

TEST(Save, WhileTheCutRunsOnlySaveAsCancelWebsiteHelpAndAboutAnswer) {
  SaveRig r;
  r.save();
  ASSERT_TRUE(r.job);
  r.expectLocked();
  EXPECT_EQ(r.w().windowTitle(), "Saving");

  // Commands and files arriving another way are turned away too.
  r.w().openFile("/videos/other.avi");
  r.w().playPauseAction->trigger();
  r.w().markEndAction->trigger();
  EXPECT_EQ(r.w().session().file(), r.input);
  EXPECT_EQ(r.p().opened.size(), 1u);
  EXPECT_FALSE(r.p().running());
  EXPECT_EQ(r.w().session().markEnd(), 30);

  r.w().saveButton->click();
  EXPECT_EQ(r.job->cancels, 1);
  r.expectLocked();  // until the cut says it has stopped
  ASSERT_EQ(r.w().cancelAction->shortcut(), QKeySequence(Qt::Key_Escape));
  r.w().cancelAction->trigger();
  EXPECT_EQ(r.job->cancels, 2);
  r.finishCut({CutOutcome::Result::Cancelled, {}, {}});
  ASSERT_EQ(r.messages.shown.size(), 1u);
  EXPECT_EQ(r.messages.shown[0].text, kCancelled);
  r.expectIdle();
  r.w().cancelAction->trigger();  // nothing to cancel any more
  EXPECT_EQ(r.jobsMade, 1);
}

TEST(Save, EachEndingIsToldOnceTheWindowIsFreeAgain) {
  const struct {
    CutOutcome outcome;
    QString text, detail;
  } rows[] = {
      // A report in a form not known here: the plain line says what is sure.
      {{CutOutcome::Result::Saved, "Cut 12 s to 30 s; checked: 2 streams, 18.0 s", {}},
       "Done",
       "0:18 saved as part.avi."},
      {{CutOutcome::Result::Failed, {}, "The input cannot be read"}, kNotSaved, "The input cannot be read"},
      {{CutOutcome::Result::Cancelled, {}, {}}, kCancelled, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.toStdString());
    SaveRig r;
    r.save();
    bool told = false;
    r.messages.onShow = [&](const fakes::ShownMessage&) {
      told = true;
      r.expectIdle();
    };
    r.finishCut(row.outcome);
    ASSERT_TRUE(told);
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].text, row.text);
    EXPECT_EQ(r.messages.shown[0].detail, row.detail);
    // The engine's whole report stays behind "Show Details...".
    EXPECT_EQ(r.messages.shown[0].report, row.outcome.report);
    r.expectIdle();
    EXPECT_FALSE(r.p().running()) << "playback stays halted";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(r.job) << "the finished cut is let go";
  }
}

TEST(Save, TheTitleAndTheBarFollowTheCutAndShow100OnlyAtTheEnd) {
  SaveRig r;
  QSignalSpy bar(r.w().progressBar, &QProgressBar::valueChanged);
  r.save();
  EXPECT_EQ(r.w().windowTitle(), "Saving");
  EXPECT_EQ(r.w().progressBar->value(), 0);
  r.job->report(0.42);
  EXPECT_EQ(r.w().progressBar->value(), 42);
  // The time left joins once a second has passed.
  EXPECT_TRUE(r.w().windowTitle().startsWith("Saving 42%")) << r.w().windowTitle().toStdString();
  r.job->report(0.3);
  EXPECT_EQ(r.w().progressBar->value(), 42) << "the bar never goes back";
  r.job->report(1.0);
  EXPECT_EQ(r.w().progressBar->value(), 99) << "the file is not checked yet";
  EXPECT_TRUE(r.w().windowTitle().startsWith("Saving 99%"));
  const qsizetype beforeEnd = bar.count();
  for (qsizetype i = 0; i < beforeEnd; ++i) EXPECT_LT(bar[i][0].toInt(), 100);
  r.finishCut({CutOutcome::Result::Saved, "report", {}});
  EXPECT_EQ(r.w().progressBar->value(), 0);
  EXPECT_EQ(r.w().windowTitle(), "clip.avi - Vintrel");
}

TEST(Save, ACutThatFailsAfter90PercentLeavesTheBarAtZeroAndSaysWhy) {
  SaveRig r;
  r.save();
  r.job->report(0.93);
  ASSERT_EQ(r.w().progressBar->value(), 93);
  r.finishCut({CutOutcome::Result::Failed, {}, "There is no space left on the disk."});
  EXPECT_EQ(r.w().progressBar->value(), 0);
  EXPECT_EQ(r.w().windowTitle(), "clip.avi - Vintrel");
  ASSERT_EQ(r.messages.shown.size(), 1u);
  EXPECT_EQ(r.messages.shown[0].text, kNotSaved);
  EXPECT_EQ(r.messages.shown[0].detail, "There is no space left on the disk.");
  r.expectIdle();
}

TEST(Save, TheNameOfferedIsAFreeOneBesideTheInput) {
  const struct {
    const char* input;
    double start, end;
    bool toTheFrame;
    std::vector<const char*> taken;
    const char* name;
  } rows[] = {
      {"/videos/clip.avi", 12, 30, false, {}, "/videos/clip-cut-0_12-0_30.avi"},
      {"/videos/clip.avi",
       12,
       30,
       false,
       {"/videos/clip-cut-0_12-0_30.avi"},
       "/videos/clip-cut-0_12-0_30-2.avi"},
      {"/videos/clip.avi",
       12,
       30,
       false,
       {"/videos/clip-cut-0_12-0_30.avi", "/videos/clip-cut-0_12-0_30-2.avi"},
       "/videos/clip-cut-0_12-0_30-3.avi"},
      {"/videos/holiday.mp4", 3, 13, false, {}, "/videos/holiday-cut-0_03-0_13.mp4"},
      {"/videos/long.mkv", 3723, 7384, false, {}, "/videos/long-cut-1_02_03-2_03_04.mkv"},
      {"/videos/archive.tar.mkv", 1, 2, false, {}, "/videos/archive.tar-cut-0_01-0_02.mkv"},
      // Marks to the frame carry their hundredths, a whole minute carried over.
      {"/videos/holiday.mp4", 3.48, 13.2, true, {}, "/videos/holiday-cut-0_03.48-0_13.20.mp4"},
      {"/videos/holiday.mp4", 0, 59.996, true, {}, "/videos/holiday-cut-0_00.00-1_00.00.mp4"},
      {"/videos/long.mkv", 3723.04, 7384.5, true, {}, "/videos/long-cut-1_02_03.04-2_03_04.50.mkv"},
      // No longer than a file system takes (255 bytes): the input's part gives way, whole
      // characters at a time (each "é" is two bytes).
      {"/videos/"
       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
       "aaaaaaaaaaaaaa"
       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
       "aaaaaaaaaaaaaaaaaaaaaa"
       "aaaaaaa.mp4",
       3,
       13,
       false,
       {},
       nullptr},
      {"/videos/"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
       "\u00e9\u00e9\u00e9\u00e9\u00e9.mp4",
       3,
       13,
       false,
       {},
       nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    fakes::FakeFiles files;
    for (const char* path : row.taken) files.files[path] = "taken";
    const QString name =
        vintrel::suggestOutputName(QString::fromUtf8(row.input), {row.start, row.end, row.toTheFrame}, files);
    if (row.name) {
      EXPECT_EQ(name, row.name);
      continue;
    }
    // A long name: shortened to fit, still ending in the marks and the type, no half characters.
    const QFileInfo named(name);
    EXPECT_LE(named.fileName().toUtf8().size(), 255);
    EXPECT_GE(named.fileName().toUtf8().size(), 240);
    EXPECT_TRUE(named.fileName().endsWith("-cut-0_03-0_13.mp4")) << name.toStdString();
    EXPECT_TRUE(
        QFileInfo(QString::fromUtf8(row.input)).fileName().startsWith(named.completeBaseName().chopped(14)));
  }

  // In the window: the stretch that will be cut names it, starting at second 1 at the earliest.
  SaveRig r;
  r.w().session().setMarkStart(0);
  r.dialogs.answers = {std::nullopt};
  r.save();
  EXPECT_EQ(r.saveDialogs().at(0).request.fileName, "/videos/clip-cut-0_01-0_30.avi");
}

TEST(Save, EachDialogHasItsOwnTitleEveryTime) {
  SaveRig r;
  r.save();
  r.finishCut({CutOutcome::Result::Saved, "report", {}});
  r.files.files[r.output] = "cut";
  r.dialogs.answers = {std::nullopt};
  r.save();
  r.w().openButton->click();
  r.save();

  const auto saves = r.saveDialogs();
  ASSERT_EQ(saves.size(), 3u);
  for (const auto& use : saves) EXPECT_EQ(use.request.title, "Save");
  const auto& uses = r.dialogs.uses;
  ASSERT_GE(uses.size(), 2u);
  const fakes::DialogUse& open = uses[uses.size() - 2];
  EXPECT_FALSE(open.save);
  EXPECT_EQ(open.request.title, "Open");
  EXPECT_EQ(open.request.fileName, "");
}

// A cut that ends before start() returns (it could not even begin) is told all the same.
TEST(Save, ACutThatEndsAtOnceIsToldToo) {
  SaveRig r;
  r.onJobMade = [](fakes::FakeCutJob& job) { job.finish({CutOutcome::Result::Failed, {}, "not found"}); };
  r.save();
  QSignalSpy handled(&r.w().saveFlow(), &vintrel::SaveFlow::progressChanged);
  if (r.messages.shown.empty()) {
    ASSERT_TRUE(handled.wait(5000));
  }
  ASSERT_EQ(r.messages.shown.size(), 1u);
  EXPECT_EQ(r.messages.shown[0].text, kNotSaved);
  EXPECT_EQ(r.messages.shown[0].detail, "not found");
  r.expectIdle();
}

// The cut is a process of its own: closing the window lets it finish its file.
TEST(Save, ClosingTheWindowLeavesTheCutRunning) {
  SaveRig r;
  r.save();
  ASSERT_TRUE(r.job);
  r.w().close();
  EXPECT_EQ(r.job->cancels, 0);
  r.window.reset();
  EXPECT_TRUE(r.messages.shown.empty());
}

// "Done" reads at a glance: one plain line from the first lines of the engine's report.
TEST(SavedSummary, FromTheReportsFirstLinesOrWhatIsSure) {
  const struct {
    const char* report;
    const char* line;
  } rows[] = {
      {"Smart cut: 50 frames re-encoded, 700 copied.\nLength: 0:30 (750 frames at 25 fps)\nChecked: video "
       "length: "
       "750 frames (30.000 s); audio length: 29.988 s\n",
       "0:30 saved as clip-cut.mp4; 700 of its 750 frames copied untouched."},
      {"Re-encoded: the stretch holds no key frame to copy from.\nLength: 1:02:03 (93075 frames at 25 fps)\n",
       "1:02:03 saved as clip-cut.mp4; re-encoded at high quality because the stretch holds no key frame to "
       "copy "
       "from."},
      {"Re-encoded: the smart cut failed its check (the first frame does not match the source (21.3 dB)).\n"
       "Length: 0:30 (750 frames at 25 fps)\n",
       "0:30 saved as clip-cut.mp4; re-encoded at high quality because the smart cut failed its check (the "
       "first "
       "frame does not match the source (21.3 dB))."},
      // Without a frame count the parts of the smart cut make the whole.
      {"Smart cut: 1 frame re-encoded, 24 copied.\nLength: 0:01\n",
       "0:01 saved as clip-cut.mp4; 24 of its 25 frames copied untouched."},
      // No length line: the stretch's own length.
      {"Smart cut: 50 frames re-encoded, 700 copied.\n",
       "0:18 saved as clip-cut.mp4; 700 of its 750 frames copied untouched."},
      // Forms not known here: only what is sure.
      {"Cut in 3 parts.\nLength: 0:30 (750 frames at 25 fps)\n", "0:30 saved as clip-cut.mp4."},
      {"", "0:18 saved as clip-cut.mp4."},
      {"Smart cut: many frames re-encoded, some copied.\nLength: about half a minute\n",
       "0:18 saved as clip-cut.mp4."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.report);
    EXPECT_EQ(vintrel::savedSummary(row.report, "clip-cut.mp4", 18.2), row.line);
  }
}

TEST(Save, DoneOffersTheFolderAndSaysSoWhenNoFileManagerStarts) {
  const char* report = "Smart cut: 10 frames re-encoded, 440 copied.\nLength: 0:18 (450 frames at 25 fps)\n";
  for (const bool managerStarts : {true, false}) {
    SCOPED_TRACE(managerStarts ? "a file manager starts" : "none starts");
    SaveRig r;
    r.urls.fail = !managerStarts;
    r.messages.showFolder = {true};
    r.save();
    r.finishCut({CutOutcome::Result::Saved, report, {}});
    ASSERT_GE(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].text, "Done");
    EXPECT_TRUE(r.messages.shown[0].offersFolder);
    EXPECT_EQ(r.messages.shown[0].detail, "0:18 saved as part.avi; 440 of its 450 frames copied untouched.");
    EXPECT_EQ(r.urls.opened, std::vector<QString>{"file:///videos"});
    if (managerStarts) {
      EXPECT_EQ(r.messages.shown.size(), 1u);
    } else {
      ASSERT_EQ(r.messages.shown.size(), 2u);
      EXPECT_EQ(r.messages.shown[1].text, "Vintrel could not start a file manager.");
      EXPECT_EQ(r.messages.shown[1].detail, "The file is in /videos");
    }
    // Nothing ended: the window is free, and the next save runs.
    r.expectIdle();
    r.dialogs.answers = {QString("/videos/again.avi")};
    r.save();
    EXPECT_TRUE(r.w().session().isSaving());
  }
  // OK alone opens nothing.
  SaveRig r;
  r.save();
  r.finishCut({CutOutcome::Result::Saved, report, {}});
  EXPECT_TRUE(r.urls.opened.empty());
}

// Marks to the frame reach vintrel-cut as they are, a start at 0 included; whole-second
// marks keep their rule that a cut starts at second 1 at the earliest.
TEST(Save, MarksToTheFrameArePassedExactly) {
  const struct {
    bool toTheFrame;
    double start, end;  // the player's positions at Mark Start and Mark End
    double cutFrom, cutTo;
    const char* name;
  } rows[] = {
      {true, 3.48, 13.2, 3.48, 13.2, "/videos/clip-cut-0_03.48-0_13.20.avi"},
      {true, 0, 13.2, 0, 13.2, "/videos/clip-cut-0_00.00-0_13.20.avi"},
      {false, 3.48, 13.2, 3, 13, "/videos/clip-cut-0_03-0_13.avi"},
      {false, 0.2, 13.2, 1, 13, "/videos/clip-cut-0_01-0_13.avi"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.start << ".." << row.end
                                    << (row.toTheFrame ? " to the frame" : ""));
    Rig r;
    r.w().marksToFrameAction->setChecked(row.toTheFrame);
    r.open("/videos/clip.avi", 100);
    r.markStart(row.start);
    r.markEnd(row.end);
    r.dialogs.answers = {QString("/videos/part.avi")};
    r.w().saveAction->trigger();
    ASSERT_EQ(r.cutRequests.size(), 1u);
    EXPECT_DOUBLE_EQ(r.cutRequests[0].start, row.cutFrom);
    EXPECT_DOUBLE_EQ(r.cutRequests[0].end, row.cutTo);
    EXPECT_EQ(r.dialogs.uses.back().request.fileName, row.name);
  }
}

}  // namespace

namespace {

// A save the window does not live to see: closing it leaves the cut running, the program
// waits for it, and the desktop is told how it ended instead of a box nobody would see.
TEST(Save, ACutThatOutlivesItsWindowEndsWithANotification) {
  const struct {
    CutOutcome outcome;
    const char* summary;
    const char* bodyHas;
  } rows[] = {
      {{CutOutcome::Result::Saved, "Copied 450 frames", {}}, "Done: part.avi", "In /videos"},
      {{CutOutcome::Result::Failed, {}, "No space left on device"},
       "The file was not saved. (part.avi)",
       "No space left on device"},
      {{CutOutcome::Result::Failed, {}, "A file named part.avi appeared while the cut ran.", true},
       "The file was not saved. (part.avi)",
       "appeared"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.summary);
    SaveRig r;
    r.save();
    ASSERT_TRUE(r.w().session().isSaving());
    QSignalSpy closed(&r.w(), &vintrel::MainWindow::closed);
    r.w().close();
    EXPECT_FALSE(r.w().isVisible());
    EXPECT_EQ(closed.count(), 0) << "the program must wait for the cut";
    ASSERT_TRUE(r.job);
    EXPECT_EQ(r.job->cancels, 0);
    r.finishCut(row.outcome);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(r.messages.shown.empty()) << "a box with no window";
    ASSERT_EQ(r.notifier.sent.size(), 1u);
    EXPECT_EQ(r.notifier.sent[0].first, row.summary);
    EXPECT_TRUE(r.notifier.sent[0].second.contains(row.bodyHas)) << r.notifier.sent[0].second.toStdString();
    EXPECT_EQ(r.jobsMade, 1) << "nothing is cut again unasked";
  }
  // Without a save running, closing ends the program at once and tells nobody.
  SaveRig idle;
  QSignalSpy closed(&idle.w(), &vintrel::MainWindow::closed);
  idle.w().close();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(idle.notifier.sent.empty());
}

}  // namespace
