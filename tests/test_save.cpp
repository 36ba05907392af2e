// Save on fakes: the selection checks, the lock, the dialog, the in-use refusal, the
// overwrite question, the encoder's run and every way it can fail.
#include <gtest/gtest.h>

#include <QFile>

#include "fakes/fakes.h"

namespace {

using namespace vintrel;

const QString kInvalid = "Start time cannot be >= End time. Invalid Selection";
const QString kInUse = "The selected file is in use and cannot be overwritten.";
const QString kOverwrite = "Do you want to overwrite the existing file?";
const QString kNotSaved = "The file was not saved.";

// Play, Stop, Open, Mark Start, Mark End, Save, Play Selected, the slider; Website, Help.
const std::vector<bool> kLocked{false, false, false, false, false, false, false, false, true, true};
const std::vector<bool> kUnlocked(10, true);

// A clip open and playing, marks at 12 and 30, ffmpeg and ffprobe in the application
// folder, a dialog that answers /videos/part.avi. The fake encoder writes the output it is
// given; ffprobe finds two streams and 18 s in it.
struct SaveRig : fakes::Rig {
  const QString input;
  const QString output = "/videos/part.avi";
  ProgramRun resultProbe{true, true, 0, "nb_streams=2\nduration=18.000000\n", {}};
  ProgramRun rateProbe{true, true, 0, "25/1\n", {}};
  bool encoderWrites = true;
  QByteArray encoderErrors;
  std::vector<bool> enabledDuringRun;
  QString captionDuringRun;
  int sleepsBeforeRun = -1;

  explicit SaveRig(const QString& path = "/videos/clip.avi") : input(path) {
    files.appPath = "/opt/Tool";
    files.executables = {"/opt/Tool/ffmpeg", "/opt/Tool/ffprobe"};
    SimulateOpen(input);
    files.files[input] = "the input";
    f().SelStart = 12;
    f().SelEnd = 30;
    dialog.answers = {output};
    processes.onStart = [this](const fakes::StartedProcess& p) {
      enabledDuringRun = Enabled();
      captionDuringRun = f().windowTitle();
      sleepsBeforeRun = pump.sleeps;
      if (encoderWrites) files.files[p.args.last().mid(5)] = "encoded";  // after "file:"
      QFile log(p.errorLog);
      if (log.open(QIODevice::Append)) log.write(encoderErrors);
    };
    processes.onRun = [this](const QString&, const QStringList& args) {
      return args.contains("stream=r_frame_rate") ? rateProbe : resultProbe;
    };
  }
  std::vector<bool> Enabled() {
    Form1& w = f();
    return {w.Command1->isEnabled(), w.Command2->isEnabled(), w.Command4->isEnabled(),
            w.Command5->isEnabled(), w.Command6->isEnabled(), w.Command7->isEnabled(),
            w.Command9->isEnabled(), w.H->isEnabled(),        w.Command3->isEnabled(),
            w.Command8->isEnabled()};
  }
  void Save() { f().Command7_Click(); }
  QStringList Args() const { return processes.started.empty() ? QStringList() : processes.started[0].args; }
  bool Shown(const QString& text) const {
    return std::any_of(msg.shown.begin(), msg.shown.end(), [&](const auto& m) { return m.text == text; });
  }
  // Back to idle after every end but the immediate ones.
  void ExpectIdle() {
    EXPECT_EQ(Enabled(), kUnlocked);
    EXPECT_EQ(f().windowTitle(), "Vintrel");
    EXPECT_EQ(f().pb->value(), 0);
    EXPECT_EQ(files.files.at(input), "the input");
  }
  // Ended through the restore steps: nothing run, the dialog's name forgotten.
  void ExpectRestored() {
    ExpectIdle();
    EXPECT_TRUE(processes.started.empty());
    EXPECT_EQ(dialog.FileName, "");
  }
};

TEST(Save, InvalidSelectionOrNoFileChangesNothing) {
  const struct {
    int32_t start, end;
    bool fileOpen;
    int32_t startAfter;
  } rows[] = {{0, 0, true, 0}, {5, 5, true, 5}, {10, 3, true, 10}, {-5, 0, true, -5}, {0, 30, false, 1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.start << ".." << row.end);
    SaveRig r;
    if (!row.fileOpen) r.f().CurrentFile = "";
    r.f().SelStart = row.start;
    r.f().SelEnd = row.end;
    r.Save();
    if (row.fileOpen) {
      ASSERT_EQ(r.msg.shown.size(), 1u);
      EXPECT_EQ(r.msg.shown[0].text, kInvalid);
      EXPECT_EQ(r.msg.shown[0].flags, 0x40);
    } else {
      EXPECT_TRUE(r.msg.shown.empty());
    }
    EXPECT_EQ(r.f().SelStart, row.startAfter);
    EXPECT_TRUE(r.dialog.uses.empty());
    EXPECT_EQ(r.Enabled(), kUnlocked);
    EXPECT_TRUE(r.mp().calls.empty());
  }
}

TEST(Save, CancelledDialogRestoresTheWindowAndForgetsTheName) {
  SaveRig r;
  r.f().SelStart = 0;
  r.f().H->setValue(40);
  r.f().pb->setValue(55);
  r.dialog.FileName = "/videos/earlier.avi";
  r.dialog.answers = {std::nullopt};
  std::vector<bool> enabledInDialog;
  r.dialog.onShow = [&] {
    enabledInDialog = r.Enabled();
    EXPECT_EQ(r.f().windowTitle(), "Saving");
    EXPECT_EQ(r.f().Command1->text(), "Play");
    EXPECT_EQ(r.f().H->value(), 0);
    EXPECT_FALSE(r.f().IsPlaying);
    EXPECT_FALSE(r.mp().Running());
  };
  r.Save();
  EXPECT_EQ(enabledInDialog, kLocked);
  const fakes::DialogUse& use = r.dialog.uses.at(0);
  EXPECT_TRUE(use.save);
  EXPECT_EQ(use.filter, "AVI Files|*.avi|All Files(*.*)|*.*");
  EXPECT_EQ(use.filterIndex, 1);
  EXPECT_EQ(use.title, "Save");
  EXPECT_EQ(use.fileNameIn, "/videos/earlier.avi");
  EXPECT_EQ(r.f().SelStart, 1);
  EXPECT_TRUE(r.msg.shown.empty());
  EXPECT_EQ(r.mp().Count("Seek 0"), 0);  // the player keeps its position
  r.ExpectRestored();
}

TEST(Save, TheInputIsRefusedByNameAndByIdentity) {
  for (const char* answer : {"/videos/clip.avi", "/videos/link-to-clip.avi", "/VIDEOS/CLIP.AVI"}) {
    SCOPED_TRACE(answer);
    SaveRig r;
    r.files.files["/videos/link-to-clip.avi"] = r.files.files["/VIDEOS/CLIP.AVI"] = "the input";
    r.files.samePairs = {{r.input, "/videos/link-to-clip.avi"}, {r.input, "/VIDEOS/CLIP.AVI"}};
    r.dialog.answers = {answer};
    r.Save();
    ASSERT_EQ(r.msg.shown.size(), 1u);
    EXPECT_EQ(r.msg.shown[0].text, kInUse);
    EXPECT_EQ(r.msg.shown[0].flags, 0x40);
    EXPECT_TRUE(r.files.probed.empty());
    EXPECT_TRUE(r.files.killed.empty());
    r.ExpectRestored();
  }
}

TEST(Save, ExistingOutputIsKeptOnNoAndReplacedOnYes) {
  SaveRig no;
  no.files.files[no.output] = "older";
  no.Save();
  ASSERT_EQ(no.msg.shown.size(), 1u);
  EXPECT_EQ(no.msg.shown[0].text, kOverwrite);
  EXPECT_EQ(no.msg.shown[0].flags, 0x24);
  EXPECT_EQ(no.files.files[no.output], "older");
  no.ExpectRestored();

  SaveRig yes;
  yes.files.files[yes.output] = "older";
  yes.msg.answers = {vbYes};
  yes.Save();
  EXPECT_EQ(yes.files.killed, (std::vector<QString>{yes.output}));
  EXPECT_EQ(yes.sleepsBeforeRun, 1);
  EXPECT_EQ(yes.pump.log.front(), "Sleep 100");
  EXPECT_EQ(yes.files.files[yes.output], "encoded");
  EXPECT_EQ(yes.msg.Last(), "Done");
}

TEST(Save, CompletedExportKeepsTheNameForTheNextSave) {
  SaveRig r;
  r.Save();
  EXPECT_EQ(r.processes.started.at(0).program, "/opt/Tool/ffmpeg");
  EXPECT_EQ(r.Args(), (QStringList{"-ss", "12", "-t", "18", "-i", "file:/videos/clip.avi", "-q:v", "0",
                                   "file:/videos/part.avi"}));
  EXPECT_EQ(r.enabledDuringRun, kLocked);
  EXPECT_EQ(r.captionDuringRun, "Saving");
  // ffprobe checked the output, and only the output.
  ASSERT_EQ(r.processes.runs.size(), 1u);
  EXPECT_EQ(r.processes.runs[0].program, "/opt/Tool/ffprobe");
  EXPECT_EQ(r.processes.runs[0].args.last(), "file:/videos/part.avi");
  ASSERT_EQ(r.msg.shown.size(), 1u);
  EXPECT_EQ(r.msg.shown[0].text, "Done");
  EXPECT_EQ(r.msg.shown[0].flags, 0x40);
  EXPECT_EQ(r.dialog.FileName, r.output);
  EXPECT_FALSE(r.f().IsPlaying);
  r.ExpectIdle();

  r.dialog.answers = {std::nullopt};
  r.Save();
  EXPECT_EQ(r.dialog.uses.at(1).fileNameIn, r.output);

  SaveRig onPath;  // nothing in the application folder: the encoder on PATH
  onPath.files.executables.clear();
  onPath.files.inPath = {{"ffmpeg", "/usr/bin/ffmpeg"}, {"ffprobe", "/usr/bin/ffprobe"}};
  onPath.Save();
  EXPECT_EQ(onPath.processes.started.at(0).program, "/usr/bin/ffmpeg");
  EXPECT_EQ(onPath.msg.Last(), "Done");
}

TEST(Save, CommandFollowsTheMarksAndTheInputsLastThreeCharacters) {
  const struct {
    const char* input;
    int32_t start, end;
    const char* rate;  // what ffprobe reports; empty: it fails
    const char* filter;
    QStringList args;  // -ss, -t and the options
  } rows[] = {
      {"/v/clip.avi", 0, 30, "", "AVI Files|*.avi|All Files(*.*)|*.*", {"1", "29", "-q:v", "0"}},
      {"/v/clip.mpg", 0, 1, "", "MPG Files|*.mpg|All Files(*.*)|*.*", {"1", "0", "-q:v", "0"}},
      {"/v/clip.DAT",
       2,
       5,
       "30000/1001",
       "DAT Files|*.DAT|All Files(*.*)|*.*",
       {"2", "3", "-target", "ntsc-vcd"}},
      {"/v/clip.dat", 2, 5, "24/1", "DAT Files|*.dat|All Files(*.*)|*.*", {"2", "3", "-target", "film-vcd"}},
      {"/v/clip.dat", 2, 5, "25/1", "DAT Files|*.dat|All Files(*.*)|*.*", {"2", "3", "-target", "pal-vcd"}},
      {"/v/clip.dat", 2, 5, "", "DAT Files|*.dat|All Files(*.*)|*.*", {"2", "3", "-target", "pal-vcd"}},
      {"/v/clip.Dat", 2, 5, "30000/1001", "DAT Files|*.Dat|All Files(*.*)|*.*", {"2", "3", "-q:v", "0"}},
      {"/v/clip.WMV",
       2,
       5,
       "",
       "WMV Files|*.WMV|All Files(*.*)|*.*",
       {"2", "3", "-q:v", "0", "-acodec", "wmav2"}},
      {"/v/clip.wmv",
       2,
       5,
       "",
       "WMV Files|*.wmv|All Files(*.*)|*.*",
       {"2", "3", "-q:v", "0", "-acodec", "wmav2"}},
      {"/v/clip.divx", 2, 5, "", "IVX Files|*.ivx|All Files(*.*)|*.*", {"2", "3", "-q:v", "0"}},
      {"/v/clip.ts", 2, 5, "", ".TS Files|*..ts|All Files(*.*)|*.*", {"2", "3", "-q:v", "0"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    SaveRig r(row.input);
    r.f().SelStart = row.start;
    r.f().SelEnd = row.end;
    r.rateProbe = *row.rate ? ProgramRun{true, true, 0, QByteArray(row.rate) + "\n", {}}
                            : ProgramRun{true, true, 1, {}, "Invalid data found when processing input\n"};
    r.Save();
    EXPECT_EQ(r.dialog.uses.at(0).filter, row.filter);
    const QStringList a = r.Args();
    ASSERT_EQ(a.size(), row.args.size() + 5);
    EXPECT_EQ(QStringList({a[1], a[3]}) + a.mid(6, a.size() - 7), row.args);
    // The input's frame rate is asked for a VCD only.
    const bool vcd = row.args[2] == "-target";
    EXPECT_EQ(r.processes.runs.size(), vcd ? 2u : 1u);
    EXPECT_EQ(r.processes.runs.at(0).args.last(), QString("file:") + (vcd ? row.input : "/videos/part.avi"));
  }
}

TEST(Save, FailuresAreReportedAndTheirPartialOutputRemoved) {
  const struct {
    const char* name;
    std::function<void(SaveRig&)> arrange;
    std::vector<const char*> said;  // parts of the message
    bool started;
  } rows[] = {
      {"encoder missing",
       [](SaveRig& r) { r.files.executables.clear(); },
       {"ffmpeg was not found", "/opt/Tool/ffmpeg", "PATH"},
       false},
      {"encoder cannot start",
       [](SaveRig& r) { r.processes.failStart = true; },
       {"could not be started"},
       false},
      {"encoder fails",
       [](SaveRig& r) {
         r.processes.exitCodes = {STILL_ACTIVE, 1};
         r.encoderErrors = "Unrecognized option 'sameq'.\nError splitting the argument list\n";
       },
       {"exit code 1", "Unrecognized option 'sameq'.\nError splitting the argument list"},
       true},
      {"killed by a signal", [](SaveRig& r) { r.processes.exitCodes = {137}; }, {"exit code 137"}, true},
      {"no stream",
       [](SaveRig& r) { r.resultProbe.out = "nb_streams=0\nduration=N/A\n"; },
       {"no video or sound"},
       true},
      {"no length (start past the end)",
       [](SaveRig& r) { r.resultProbe.out = "nb_streams=2\nduration=N/A\n"; },
       {"empty"},
       true},
      {"unreadable result",
       [](SaveRig& r) {
         r.resultProbe = {true, true, 1, {}, "part.avi: Invalid data found when processing input\n"};
       },
       {"cannot be read", "Invalid data found"},
       true},
      {"ffprobe missing",
       [](SaveRig& r) { r.files.executables = {"/opt/Tool/ffmpeg"}; },
       {"ffprobe", "not found"},
       true},
      {"state unknown",
       [](SaveRig& r) { r.processes.exitCodes = {std::nullopt}; },
       {"could not be followed"},
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SaveRig r;
    row.arrange(r);
    r.Save();
    EXPECT_EQ(r.processes.started.size(), row.started ? 1u : 0u);
    ASSERT_EQ(r.msg.shown.size(), 1u);
    const QString text = r.msg.shown[0].text;
    EXPECT_EQ(r.msg.shown[0].flags, 0x40);
    EXPECT_TRUE(text.startsWith(kNotSaved)) << text.toStdString();
    for (const char* part : row.said) EXPECT_TRUE(text.contains(part)) << text.toStdString();
    EXPECT_FALSE(r.files.Exists(r.output)) << "partial output left";
    EXPECT_EQ(r.dialog.FileName, r.output);
    r.ExpectIdle();
  }
}

TEST(Save, AFileThatWasThereBeforeTheRunIsNeverRemoved) {
  const struct {
    const char* name;
    std::function<void(SaveRig&)> arrange;
    bool asked;
    bool kept;  // the earlier file
  } rows[] = {
      // A probe that fails counts as no file: no question, and the encoder refuses the path.
      {"probe fails", [](SaveRig& r) { r.files.unreadable.insert(r.output); }, false, true},
      // The delete fails: the encoder is started on a path that still exists.
      {"delete fails", [](SaveRig& r) { r.files.undeletable.insert(r.output); }, true, true},
      // Deleted with the user's consent: what the failed run left is its own and goes.
      {"deleted by Yes", [](SaveRig& r) { r.encoderWrites = true; }, true, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SaveRig r;
    r.files.files[r.output] = "older";
    r.msg.answers = {vbYes};
    r.encoderWrites = false;
    r.processes.exitCodes = {1};
    row.arrange(r);
    r.Save();
    EXPECT_EQ(r.Shown(kOverwrite), row.asked);
    EXPECT_EQ(r.Args().value(8), "file:" + r.output);
    EXPECT_TRUE(r.msg.Last().startsWith(kNotSaved));
    EXPECT_EQ(r.files.Exists(r.output), row.kept);
    EXPECT_EQ(r.files.files.count(r.output) ? r.files.files[r.output] : "", row.kept ? "older" : "");
    r.ExpectIdle();
  }
}

TEST(Save, ErrorWhilePausingUnlocksTheWindowAndEndsQuietly) {
  SaveRig r;
  r.mp().failing.insert("Pause");
  r.f().pb->setValue(37);
  r.f().H->setValue(40);
  r.dialog.FileName = "/videos/earlier.avi";
  r.Save();
  ASSERT_EQ(r.mp().Count("Pause"), 1) << "the pause was not tried";
  EXPECT_EQ(r.Enabled(), kUnlocked);
  EXPECT_EQ(r.f().windowTitle(), "Vintrel");
  EXPECT_TRUE(r.msg.shown.empty());
  EXPECT_TRUE(r.dialog.uses.empty());
  EXPECT_EQ(r.f().pb->value(), 37);
  EXPECT_EQ(r.f().H->value(), 40);
  EXPECT_EQ(r.f().Command1->text(), "Pause");
  EXPECT_EQ(r.dialog.FileName, "/videos/earlier.avi");
}

}  // namespace
