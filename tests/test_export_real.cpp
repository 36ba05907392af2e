// Save through the real encoder, on clips made for the test: every type the encoder can
// write, awkward paths, the input under another name, and the ways a run can fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "fakes/fakes.h"
#include "media.h"
#include "platform/real_platform.h"

namespace {

using namespace vintrel;

const QString kInUse = "The selected file is in use and cannot be overwritten.";
const QString kNotSaved = "The file was not saved.";

// Real files, with the application folder and the PATH search in the test's hands.
class TestFiles : public RealFiles {
 public:
  QString appPath;
  bool searchPath = true;
  QString AppPath() override { return appPath; }
  QString FindInPath(const QString& name) override {
    return searchPath ? RealFiles::FindInPath(name) : QString();
  }
};

QString Folder(const QString& name) {
  const QString path = testmedia::TempDir() + "/" + name;
  QDir().mkpath(path);
  return path;
}

// A 16 s clip of each type, made once.
QString Clip(const QString& extension) {
  static std::map<QString, QString> made;
  if (auto it = made.find(extension); it != made.end()) return it->second;
  const QStringList codecArgs = extension == "dat" ? QStringList{"-target", "pal-vcd"} : QStringList{};
  const QString path =
      testmedia::MakeClip(Folder("clips") + "/clip." + extension, 16, "320x240", "25", codecArgs);
  made[extension] = path;
  return path;
}

// The likeness of the first picture of `a` to the picture of `b` at `seconds`, in dB.
double FirstFrameLikeness(const QString& a, const QString& b, double seconds) {
  QProcess p;
  p.setStandardInputFile(QProcess::nullDevice());
  p.start("ffmpeg",
          {"-hide_banner", "-i", a, "-ss", QString::number(seconds), "-i", b, "-lavfi",
           "[0:v]trim=end_frame=1,setpts=PTS-STARTPTS[x];[1:v]trim=end_frame=1,setpts=PTS-STARTPTS[y];"
           "[x][y]psnr",
           "-f", "null", "-"});
  p.waitForFinished(60000);
  const auto m =
      QRegularExpression("average:([0-9.]+|inf)").match(QString::fromUtf8(p.readAllStandardError()));
  if (!m.hasMatch()) return 0;
  return m.captured(1) == "inf" ? 1000 : m.captured(1).toDouble();
}

struct RealRig {
  fakes::FakeMessageBox msg;
  fakes::FakeDialog dialog;
  SystemClock clock;
  QtPump pump;
  PosixProcesses processes;
  TestFiles files;
  fakes::FakeUrlOpener url;
  fakes::FakeApp app;
  fakes::FakePlayer* player = nullptr;
  Platform platform;
  std::unique_ptr<Form1> form;

  RealRig()
      : platform{msg, dialog, clock, pump, processes, files, url, app, [this](QWidget*) {
                   auto p = std::make_unique<fakes::FakePlayer>();
                   player = p.get();
                   return p;
                 }} {
    files.appPath = Folder("app-without-encoder");  // the encoder comes from PATH
    form = std::make_unique<Form1>(platform);
  }
  // Opens the input (as far as Save cares), marks start..end, saves as output; returns
  // the last message.
  QString Save(const QString& input, int32_t start, int32_t end, const QString& output) {
    form->CurrentFile = input;
    form->IsPlaying = true;
    player->loaded = true;
    player->paused = false;
    form->SelStart = start;
    form->SelEnd = end;
    dialog.answers = {output};
    msg.shown.clear();
    form->Command7_Click();
    return msg.Last();
  }
};

class EveryType : public testing::TestWithParam<const char*> {};

TEST_P(EveryType, CutHasTheMarkedLength) {
  const QString extension = GetParam();
  const QString input = Clip(extension);
  ASSERT_FALSE(input.isEmpty());
  const QByteArray before = testmedia::ReadAll(input);
  const QString output = Folder("every-type") + "/cut." + extension;
  QFile::remove(output);
  RealRig r;
  if (extension == "mkv") {
    // An older file there, replaced after Yes.
    QFile older(output);
    ASSERT_TRUE(older.open(QIODevice::WriteOnly) && older.write("an older file") > 0);
    r.msg.answers = {vbYes};
  }
  if (extension == "flv") {
    // The encoder in the application folder, whose name ends in a separator: "//ffmpeg".
    const QString app = Folder("app-with-encoder");
    for (const char* tool : {"ffmpeg", "ffprobe"}) {
      QFile::remove(app + "/" + tool);
      ASSERT_TRUE(QFile::link(QStandardPaths::findExecutable(tool), app + "/" + tool));
    }
    r.files.appPath = app + "/";
    r.files.searchPath = false;
  }

  EXPECT_EQ(r.Save(input, 3, 13, output), "Done");
  const testmedia::ProbeResult probe = testmedia::Probe(output);
  EXPECT_EQ(probe.streams, 2);
  EXPECT_NEAR(probe.duration, 10.0, 0.1);
  EXPECT_EQ(testmedia::ReadAll(input), before);
  if (extension == "avi" || extension == "mp4") {
    // It starts with the picture of second 3, not of a key frame near it.
    EXPECT_GT(FirstFrameLikeness(output, input, 3.0), 35.0);
    EXPECT_LT(FirstFrameLikeness(output, input, 3.04), 35.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Export, EveryType,
                         testing::Values("avi", "mp4", "mkv", "mov", "wmv", "flv", "mpg", "vob", "dat"));

TEST(ExportReal, VcdNormFollowsTheInputsFrameRate) {
  const struct {
    const char* target;
    const char* rate;
  } rows[] = {{"ntsc-vcd", "30000/1001"}, {"film-vcd", "24000/1001"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.target);
    const QString input = testmedia::MakeClip(Folder("vcd") + "/" + row.target + ".dat", 6, "320x240", "25",
                                              {"-target", row.target});
    ASSERT_FALSE(input.isEmpty());
    const QString output = Folder("vcd") + "/cut-" + row.target + ".dat";
    QFile::remove(output);
    RealRig r;
    EXPECT_EQ(r.Save(input, 1, 4, output), "Done");
    EXPECT_EQ(testmedia::Probe(output).firstVideoRate, row.rate);
  }
}

TEST(ExportReal, AwkwardPathsReachTheEncoderIntact) {
  const QString folder = Folder("we ird $(touch pwned); 'q\" é");
  const QString input = folder + "/-in ä;$(touch pwned).avi";
  QFile::remove(input);
  ASSERT_TRUE(QFile::copy(Clip("avi"), input));
  const QString cwd = QDir::currentPath();
  QDir::setCurrent(folder);
  // Absolute, and relative with a leading "-" and a ":" (neither an option nor a protocol).
  for (const QString& output : {folder + "/-out 'x' \"y\" $(touch pwned) ü.mkv", QString("-cut:2.avi")}) {
    SCOPED_TRACE(output.toStdString());
    QFile::remove(output);
    RealRig r;
    EXPECT_EQ(r.Save(input, 2, 5, output), "Done");
    const testmedia::ProbeResult probe = testmedia::Probe(QFileInfo(output).absoluteFilePath());
    EXPECT_EQ(probe.streams, 2);
    EXPECT_NEAR(probe.duration, 3.0, 0.1);
  }
  QDir::setCurrent(cwd);
  EXPECT_FALSE(QFile::exists("pwned"));
  EXPECT_FALSE(QFile::exists(folder + "/pwned"));
}

TEST(ExportReal, TheInputUnderAnotherNameIsRefused) {
  const QString folder = Folder("same-file");
  const QString input = folder + "/in.avi";
  QFile::remove(input);
  ASSERT_TRUE(QFile::copy(Clip("avi"), input));
  QDir().mkpath(folder + "/sub");
  QFile::remove(folder + "/link.avi");
  QFile::remove(folder + "/hard.avi");
  ASSERT_TRUE(QFile::link(input, folder + "/link.avi"));
  ASSERT_EQ(::link(QFile::encodeName(input).constData(), QFile::encodeName(folder + "/hard.avi").constData()),
            0);
  const QByteArray before = testmedia::ReadAll(input);
  const QString cwd = QDir::currentPath();
  QDir::setCurrent(folder);

  for (const QString& output : {folder + "/link.avi", QString("in.avi"), QString("sub/../in.avi"),
                                folder + "/sub/../in.avi", folder + "/hard.avi"}) {
    SCOPED_TRACE(output.toStdString());
    RealRig r;
    r.msg.answers = {vbYes, vbYes};  // were the overwrite question asked, it would be answered Yes
    EXPECT_EQ(r.Save(input, 3, 13, output), kInUse);
    EXPECT_EQ(r.msg.shown.size(), 1u);
    EXPECT_EQ(testmedia::ReadAll(input), before);
    EXPECT_EQ(r.dialog.FileName, "");
  }
  QDir::setCurrent(cwd);
}

TEST(ExportReal, FailedRunsSayWhyAndLeaveNothingBehind) {
  const QString failingApp = Folder("app-failing-encoder");
  {
    QFile script(failingApp + "/ffmpeg");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    // Writes a partial output at its last argument, complains and fails.
    script.write(
        "#!/bin/sh\nfor last; do :; done\nprintf partial > \"${last#file:}\"\n"
        "echo 'Simulated encoder failure: codec exploded' >&2\nexit 1\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
  }
  const struct {
    const char* name;
    std::function<void(RealRig&)> arrange;
    QString output;
    int32_t start, end;
    std::vector<const char*> said;
  } rows[] = {
      {"encoder missing",
       [](RealRig& r) { r.files.searchPath = false; },
       Folder("failures") + "/missing.avi",
       3,
       13,
       {"ffmpeg was not found", "PATH"}},
      {"encoder fails",
       [&](RealRig& r) { r.files.appPath = failingApp; },
       Folder("failures") + "/failing.avi",
       3,
       13,
       {"exit code 1", "codec exploded"}},
      // Tests run as root, whom permissions do not stop: a folder that does not exist
      // stands for one that cannot be written.
      {"output folder missing",
       [](RealRig&) {},
       Folder("failures") + "/no such folder/out.avi",
       3,
       13,
       {"exit code 1", "No such file or directory"}},
      // The encoder exits 0 here, with a file that holds nothing.
      {"start past the end", [](RealRig&) {}, Folder("failures") + "/past-end.avi", 30, 40, {"empty"}},
  };
  const QString input = Clip("avi");
  const QByteArray before = testmedia::ReadAll(input);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    QFile::remove(row.output);
    RealRig r;
    row.arrange(r);
    const QString said = r.Save(input, row.start, row.end, row.output);
    EXPECT_EQ(r.msg.shown.size(), 1u);
    EXPECT_TRUE(said.startsWith(kNotSaved)) << said.toStdString();
    for (const char* part : row.said) EXPECT_TRUE(said.contains(part)) << said.toStdString();
    EXPECT_FALSE(QFileInfo::exists(row.output));
    EXPECT_EQ(testmedia::ReadAll(input), before);
    EXPECT_EQ(r.form->windowTitle(), "Vintrel");
    EXPECT_TRUE(r.form->Command7->isEnabled());
  }
}

}  // namespace
