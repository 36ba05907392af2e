// vintrel-cut as a user and the window run it: its exit codes, its one-line messages, its
// machine progress protocol, names the shell would mangle, and cancelling by a signal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "../clips.h"
#include "cut/protocol/cut_request.h"
#include "version.h"

using namespace cuttest;

namespace {

const QStringList kSmartCuttable = {"-c:v", "libx264", "-preset", "ultrafast", "-g", "25", "-c:a", "aac"};

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

class Program : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    clipFolder_ = new QTemporaryDir;
    MakeClip(clipFolder_->filePath("clip.mp4"), 4, kSmartCuttable);
  }
  static void TearDownTestSuite() { delete clipFolder_; }
  QString clip() const { return clipFolder_->filePath("clip.mp4"); }
  QString path(const QString& name) const { return folder_.filePath(name); }

  static inline QTemporaryDir* clipFolder_ = nullptr;
  QTemporaryDir folder_;
};

TEST_F(Program, RefusesWithOneClearLine) {
  const QByteArray clipBytes = Contents(clip());
  Write(path("text.mp4"), "not a video at all\n");
  Write(path("empty.mp4"), "");
  Write(path("truncated.mp4"), clipBytes.left(clipBytes.size() / 3));
  Write(path("existing.mp4"), "an older cut");
  ASSERT_EQ(symlink(clip().toLocal8Bit().constData(), path("link.mp4").toLocal8Bit().constData()), 0);
  const struct {
    QStringList arguments;
    int exitCode;
    const char* message;  // the start of the one line on stderr
  } cases[] = {
      {{path("text.mp4"), "0", "1", path("out.mp4")}, 1, "The input cannot be read as a video"},
      {{path("empty.mp4"), "0", "1", path("out.mp4")}, 1, "The input cannot be read as a video"},
      {{path("truncated.mp4"), "0", "1", path("out.mp4")}, 1, "The input cannot be read as a video"},
      {{path("missing.mp4"), "0", "1", path("out.mp4")}, 1, "The file"},
      {{clip(), "5", "9", path("out.mp4")}, 1, "The stretch starts after the end of the video"},
      {{clip(), "1", "2", path("existing.mp4")}, 1, ""},
      {{clip(), "1", "2", path("link.mp4")}, 1, "The output is the input file itself"},
      {{"--overwrite", clip(), "1", "2", path("link.mp4")}, 1, "The output is the input file itself"},
      {{clip(), "1", "2", path("no-such-folder/out.mp4")}, 1, "The folder"},
      {{clip(), "1", "2", "/proc/out.mp4"}, 1, "The folder /proc cannot be written."},
      {{clip(), "1", "2", ""}, 2, "The output file name is empty."},
      {{clip(), "1", "2", path("out.xyz")}, 1, "vintrel-cut cannot write .xyz files."},
      {{clip(), "1", "2", path("out")}, 1, "out has no ending that names its type."},
      {{clip(), "2", "1", path("out.mp4")}, 2, "The end must come after the start."},
      {{clip(), "1", path("out.mp4")}, 2, "Expected INPUT START END OUTPUT"},
      {{"--bogus", clip(), "1", "2", path("out.mp4")}, 2, "Unknown option --bogus."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const ProgramRun run = RunProgram(CutProgram(), c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_TRUE(run.err.startsWith(c.message)) << run.err.toStdString();
    EXPECT_FALSE(run.err.trimmed().section('\n', 0, 0).isEmpty());
    EXPECT_FALSE(QFile::exists(path("out.mp4")));
    EXPECT_TRUE(HiddenWorkFiles(folder_.path()).isEmpty());
  }
  EXPECT_EQ(Contents(clip()), clipBytes);
  EXPECT_EQ(Contents(path("existing.mp4")), "an older cut");
}

TEST_F(Program, ReadOnlyFolderIsNamed) {
  QDir().mkdir(path("locked"));
  QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner);
  if (access(path("locked").toLocal8Bit().constData(), W_OK) == 0) {
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    GTEST_SKIP() << "this user (root) writes into read-only folders";
  }
  const ProgramRun run = RunProgram(CutProgram(), {clip(), "1", "2", path("locked/out.mp4")});
  QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.trimmed(), QString("The folder %1 cannot be written.").arg(path("locked")));
}

// A small file system of the test's own; false where this user may not mount one.
bool MountTmpfs(const QString& folder, const QString& options) {
  QDir().mkpath(folder);
  return QProcess::execute("mount", {"-t", "tmpfs", "-o", options, "tmpfs", folder}) == 0;
}

TEST_F(Program, FullDiskAndReadOnlyFileSystemAreToldFirst) {
  if (!MountTmpfs(path("small"), "size=64k")) GTEST_SKIP() << "cannot mount a small file system here";
  const bool readOnly = MountTmpfs(path("readonly"), "ro,size=64k");
  const ProgramRun full = RunProgram(CutProgram(), {"--reencode", clip(), "0", "4", path("small/out.mp4")});
  // A smart cut that fills the disk is not tried again as a re-encode: that would fail the same.
  const ProgramRun smartFull = RunProgram(CutProgram(), {clip(), "0", "4", path("small/smart.mp4")});
  const QStringList leftInSmall =
      QDir(path("small")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  ProgramRun locked;
  if (readOnly) locked = RunProgram(CutProgram(), {clip(), "1", "2", path("readonly/out.mp4")});
  QProcess::execute("umount", {path("small")});
  if (readOnly) QProcess::execute("umount", {path("readonly")});

  EXPECT_EQ(full.exitCode, 1);
  // What a user can act on comes first, however much the encoder wrote after it.
  EXPECT_TRUE(full.err.trimmed().section(QChar(0x0a), -1).startsWith("There is no space left on the disk."))
      << full.err.toStdString();
  EXPECT_TRUE(leftInSmall.isEmpty()) << leftInSmall.join(", ").toStdString();
  EXPECT_EQ(smartFull.exitCode, 1);
  EXPECT_EQ(smartFull.err.trimmed().section(QChar(0x0a), -1), "There is no space left on the disk.");
  if (readOnly) {
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_EQ(locked.err.trimmed(), QString("The folder %1 cannot be written.").arg(path("readonly")));
  }
}

TEST_F(Program, NamesAreTakenLiterally) {
  for (const QString name : {"with blank.mp4", "it's \"quoted\".mp4", "$(touch pwned).mp4",
                             "-starts-with-dash.mp4", "Ünïcödé – ñame.mp4", "colon:file.mp4"}) {
    SCOPED_TRACE(name.toStdString());
    ASSERT_TRUE(QFile::copy(clip(), path(name)));
    const QString output = path("cut " + name);
    const ProgramRun run = RunProgram(CutProgram(), {"--", path(name), "1", "3", output});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(output));
  }
  EXPECT_FALSE(QFile::exists("pwned"));
  EXPECT_FALSE(QFile::exists(path("pwned")));
  // The work files live beside the output, and the checks are told their names in lists of
  // their own: a folder with quotes in its name still gets a smart cut, checked.
  const QString folder = path("it's a \"folder\" $(touch pwned)");
  ASSERT_TRUE(QDir().mkpath(folder));
  const ProgramRun inFolder = RunProgram(CutProgram(), {clip(), "0.5", "3.5", folder + "/out.mp4"});
  EXPECT_EQ(inFolder.exitCode, 0) << inFolder.err.toStdString();
  EXPECT_TRUE(inFolder.out.startsWith("Smart cut: ")) << inFolder.out.toStdString();
  EXPECT_TRUE(HiddenWorkFiles(folder).isEmpty());
  EXPECT_FALSE(QFile::exists(folder + "/pwned"));
  // A leading dash without "--" and a relative path are files too.
  ASSERT_TRUE(QFile::copy(clip(), path("-x.mp4")));
  QProcess process;
  process.setWorkingDirectory(folder_.path());
  process.start(CutProgram(), {"-x.mp4", "0:01", "0:02.5", "-y.mp4"});
  ASSERT_TRUE(process.waitForFinished(120000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  EXPECT_TRUE(QFile::exists(path("-y.mp4")));
}

TEST_F(Program, MachineProgressProtocol) {
  Write(path("out.mp4"), "older");
  const ProgramRun run =
      RunProgram(CutProgram(), {"--progress=machine", "--overwrite", clip(), "0.5", "3.5", path("out.mp4")});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.startsWith("Smart cut: ")) << run.out.toStdString();
  const QRegularExpression line(R"(^(progress (0\.\d{4}|1)|phase (probing|encoding|copying|verifying))$)");
  const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
  double last = -1;
  for (const QString& entry : lines) {
    EXPECT_TRUE(line.match(entry).hasMatch()) << entry.toStdString();
    if (!entry.startsWith("progress ")) continue;
    const double fraction = entry.mid(9).toDouble();
    EXPECT_GE(fraction, last);
    last = fraction;
  }
  EXPECT_EQ(lines.value(lines.size() - 1), "progress 1");
  EXPECT_EQ(lines.count("progress 1"), 1);
  EXPECT_NE(Contents(path("out.mp4")), "older");

  const ProgramRun failed =
      RunProgram(CutProgram(), {"--progress=machine", clip(), "5", "9", path("other.mp4")});
  EXPECT_EQ(failed.exitCode, 1);
  EXPECT_TRUE(failed.err.trimmed().section('\n', -1).startsWith("error The stretch starts after"))
      << failed.err.toStdString();
  EXPECT_FALSE(failed.err.contains("progress 1"));
}

TEST_F(Program, CancelLeavesNothingAndKeepsTheOldOutput) {
  // Long enough to be still encoding when the signal comes.
  MakeClip(path("big.mp4"), 20, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, 1,
           "testsrc2=size=640x360:rate=25");
  Write(path("out.mp4"), "the previous cut");
  QProcess process;
  process.start(CutProgram(), {"--progress=machine", "--overwrite", "--reencode", path("big.mp4"), "1", "19",
                               path("out.mp4")});
  process.setReadChannel(QProcess::StandardError);
  QByteArray seen;
  while (!seen.contains("phase encoding") && process.waitForReadyRead(60000))
    seen += process.readAllStandardError();
  ASSERT_TRUE(seen.contains("phase encoding")) << seen.toStdString();
  process.terminate();  // SIGTERM
  ASSERT_TRUE(process.waitForFinished(60000));
  seen += process.readAllStandardError();
  EXPECT_EQ(process.exitCode(), 3) << seen.toStdString();
  EXPECT_TRUE(seen.trimmed().endsWith("error Cancelled; nothing was written.")) << seen.toStdString();
  EXPECT_TRUE(HiddenWorkFiles(folder_.path()).isEmpty());
  EXPECT_EQ(Contents(path("out.mp4")), "the previous cut");
}

// A file that appears at the output name while the cut runs, or one put in place of the file
// the user agreed to replace, is never replaced unasked, and the exit code says so; a file the
// user agreed to replace keeps its mode; an end mark past the last frame is the video's end.
TEST_F(Program, TheFinalMoveKeepsWhatWasNotAgreedTo) {
  MakeClip(path("big.mp4"), 12, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}, 1,
           "testsrc2=size=640x360:rate=25");
  const struct {
    const char* agreedTo;  // the file at the output name when the cut starts, or none
    const char* message;
  } cases[] = {
      {nullptr, "A file named out.mp4 appeared while the cut ran; it was left as it is."},
      {"the file agreed to", "out.mp4 was changed while the cut ran; it was left as it is."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    QFile::remove(path("out.mp4"));
    QStringList arguments = {"--progress=machine", "--reencode", path("big.mp4"), "1", "11", path("out.mp4")};
    if (c.agreedTo) {
      Write(path("out.mp4"), c.agreedTo);
      arguments.prepend("--replace=" +
                        vintrel::cut::IdentityText(*vintrel::cut::IdentityOf(path("out.mp4"))));
      arguments.prepend("--overwrite");
    }
    QProcess process;
    process.start(CutProgram(), arguments);
    process.setReadChannel(QProcess::StandardError);
    QByteArray seen;
    while (!seen.contains("phase encoding") && process.waitForReadyRead(60000))
      seen += process.readAllStandardError();
    // Written beside it first, so it never shares the agreed file's inode.
    Write(path("someone else's"), "precious");
    ASSERT_EQ(
        rename(path("someone else's").toLocal8Bit().constData(), path("out.mp4").toLocal8Bit().constData()),
        0);
    ASSERT_TRUE(process.waitForFinished(120000));
    seen += process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 4) << seen.toStdString();
    EXPECT_TRUE(seen.trimmed().endsWith(QByteArray("error ") + c.message)) << seen.toStdString();
    EXPECT_EQ(Contents(path("out.mp4")), "precious");
    EXPECT_TRUE(HiddenWorkFiles(folder_.path()).isEmpty());
  }

  ASSERT_TRUE(QFile::setPermissions(path("out.mp4"), QFile::ReadOwner | QFile::WriteOwner));
  const ProgramRun replaced = RunProgram(CutProgram(), {"--overwrite", clip(), "1", "9", path("out.mp4")});
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
  const QFile::Permissions kept = QFile::permissions(path("out.mp4"));
  EXPECT_TRUE(kept.testFlags(QFile::ReadOwner | QFile::WriteOwner));
  EXPECT_FALSE(kept & (QFile::ReadGroup | QFile::ReadOther)) << "a private file stays private";
  EXPECT_TRUE(replaced.out.contains("Length: 0:03")) << replaced.out.toStdString();
}

// Work files of a cut that died stay until the next cut in that folder, which removes them
// (never those of a cut still running).
TEST_F(Program, LeftoversOfADeadCutGo) {
  Write(path(".vintrel-999999999-abc-cut.mp4"), "partial");
  Write(path(QString(".vintrel-%1-abc-cut.mp4").arg(getpid())), "ours, still running");
  const ProgramRun run = RunProgram(CutProgram(), {clip(), "1", "2", path("out.mp4")});
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(HiddenWorkFiles(folder_.path()), QStringList{QString(".vintrel-%1-abc-cut.mp4").arg(getpid())});
}

// Every cut is made in process: a stretch without a key frame is re-encoded whole with no
// encoder program on the search path.
TEST_F(Program, ReEncodesWithoutAnEncoderProgram) {
  const QString source = path("long-gop.mp4");
  ASSERT_NO_THROW(
      MakeClip(source, 7, {"-c:v", "libx264", "-preset", "ultrafast", "-g", "250", "-c:a", "aac"}));
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("PATH", path("empty-folder"));
  process.setProcessEnvironment(environment);
  process.start(CutProgram(), {source, "2", "5", path("out.mp4")});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  const QString report = QString::fromUtf8(process.readAllStandardOutput());
  EXPECT_TRUE(report.startsWith("Re-encoded: ")) << report.toStdString();
  EXPECT_EQ(FrameHashes(path("out.mp4")).size(), 75) << "3 s at 25 frames a second";
}

TEST_F(Program, HelpDocumentsTheProtocol) {
  const ProgramRun run = RunProgram(CutProgram(), {"--help"});
  EXPECT_EQ(run.exitCode, 0);
  for (const char* part :
       {"--overwrite", "--reencode", "--progress=machine", "progress 1", "error <message>"})
    EXPECT_TRUE(run.out.contains(part)) << part;
  EXPECT_TRUE(run.out.contains(QString("vintrel-cut %1,").arg(vintrel::kVersion))) << "the version";
}

}  // namespace
