// The cut job: the arguments vintrel-cut gets, how its progress lines read, and the job
// running small scripts that stand in for it.
#include "save/cut_job.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

namespace {

using vintrel::cutArguments;
using vintrel::CutOutcome;
using vintrel::CutRequest;
using vintrel::ProcessCutJob;

TEST(CutArguments, OptionsThenTheInputTheStretchAndTheOutput) {
  const struct {
    CutRequest request;
    QStringList args;
  } cases[] = {
      {{"/v/clip.avi", "/v/part.avi", 12, 30, false},
       {"--progress=machine", "--", "/v/clip.avi", "12", "30", "/v/part.avi"}},
      {{.input = "/v/clip.avi", .output = "/v/part.avi", .start = 1, .end = 3661, .overwrite = true},
       {"--progress=machine", "--overwrite", "--", "/v/clip.avi", "1", "3661", "/v/part.avi"}},
      // Paths that look like options stay paths, spaces and all.
      {{"-a b.avi", "--overwrite", 5, 6, false},
       {"--progress=machine", "--", "-a b.avi", "5", "6", "--overwrite"}},
      // Marks to the frame: a start of 0 stays 0, fractions go as they are.
      {{"/v/clip.avi", "/v/part.avi", 0, 13.48, false},
       {"--progress=machine", "--", "/v/clip.avi", "0", "13.48", "/v/part.avi"}},
      // Only the file the user agreed to replace is replaced.
      {{.input = "/v/clip.avi",
        .output = "/v/part.avi",
        .start = 1,
        .end = 3,
        .overwrite = true,
        .replaces = vintrel::cut::FileIdentity{2049, 1234567}},
       {"--progress=machine", "--overwrite", "--replace=2049:1234567", "--", "/v/clip.avi", "1", "3",
        "/v/part.avi"}},
      {{.input = "/v/clip.avi",
        .output = "/v/part.avi",
        .start = 1,
        .end = 3,
        .replaces = vintrel::cut::FileIdentity{2049, 1234567}},
       {"--progress=machine", "--", "/v/clip.avi", "1", "3", "/v/part.avi"}},
  };
  for (const auto& c : cases) EXPECT_EQ(cutArguments(c.request), c.args) << c.request.input.toStdString();
}

// Whether a process is gone, or a zombie waiting for whoever adopted it.
bool ProcessEnded(const QString& pid) {
  QFile stat(QString("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return true;
  const QByteArray line = stat.readAll();
  return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

// Scripts standing in for vintrel-cut, in a folder of their own.
class CutJobRun : public ::testing::Test {
 protected:
  QString script(const QString& name, const QString& body) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("#!/bin/sh\n" + body).toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  }
  QString read(const QString& name) {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }
  // Starts the job; `whileRunning` runs after its first progress report. Waits for the outcome.
  void run(const QString& program, const std::function<void(ProcessCutJob&)>& whileRunning = {}) {
    ProcessCutJob job(program);
    QObject::connect(&job, &vintrel::CutJob::progress, [this](double f) { progress.push_back(f); });
    QObject::connect(&job, &vintrel::CutJob::finished, [this](const CutOutcome& o) {
      EXPECT_FALSE(outcome) << "finished twice";
      outcome = o;
    });
    QSignalSpy reported(&job, &vintrel::CutJob::progress);
    QSignalSpy finished(&job, &vintrel::CutJob::finished);
    job.start(request);
    if (whileRunning) {
      ASSERT_TRUE(outcome || reported.count() > 0 || reported.wait(10000)) << "no progress";
      whileRunning(job);
    }
    if (!outcome) {
      ASSERT_TRUE(finished.wait(20000)) << "no outcome";
    }
  }
  QTemporaryDir dir;
  CutRequest request{"/videos/clip.avi", "/videos/part.avi", 12, 30, false};
  std::vector<double> progress;
  std::optional<CutOutcome> outcome;
};

TEST_F(CutJobRun, TheOutcomeFollowsTheExitCodeAndTheOutput) {
  using R = CutOutcome::Result;
  const struct {
    const char* name;
    const char* body;
    R result;
    const char* text;  // the report when saved, the reason when failed
    std::vector<double> progress;
    bool outputTaken = false;
  } cases[] = {
      {"saved",
       "echo 'progress 0.2500' >&2\necho 'progress 0.5000' >&2\necho 'Cut 12 s to 30 s; checked'\necho 'line "
       "2'\n",
       R::Saved,
       "Cut 12 s to 30 s; checked\nline 2",
       {0.25, 0.5, 1.0}},
      // Lines may arrive in pieces.
      {"saved, pieces",
       "printf 'progress 0.3' >&2\nsleep 0.2\nprintf '000\\nprogress 0.6000\\n' >&2\n",
       R::Saved,
       "",
       {0.3, 0.6, 1.0}},
      {"error line",
       "echo 'progress 0.1000' >&2\necho 'error The input cannot be read' >&2\necho 'noise' >&2\nexit 1\n",
       R::Failed,
       "The input cannot be read",
       {0.1}},
      // Without an error line of its own it ended unexpectedly: its phases and stray lines
      // are no reason to show anyone.
      {"no error line",
       "echo 'phase encoding' >&2\necho 'something odd happened' >&2\nexit 1\n",
       R::Failed,
       "The cutting program stopped unexpectedly (exit code 1). Nothing was written.",
       {}},
      {"silent",
       "echo 'a report'\nexit 2\n",
       R::Failed,
       "The cutting program stopped unexpectedly (exit code 2). Nothing was written.",
       {}},
      {"crashed",
       "echo 'progress 0.2500' >&2\necho 'phase encoding' >&2\nkill -SEGV $$\n",
       R::Failed,
       "The cutting program stopped unexpectedly (signal 11). Nothing was written.",
       {0.25}},
      // vintrel-cut stopped by someone else's SIGTERM.
      {"exit 3", "echo 'error stopped' >&2\nexit 3\n", R::Cancelled, "", {}},
      // The exit code, not the words, tells that the output name was taken.
      {"exit 4",
       "echo 'error Taken while it ran.' >&2\nexit 4\n",
       R::Failed,
       "Taken while it ran.",
       {},
       true},
      {"exit 1, the same words",
       "echo 'error A file named part.avi appeared while the cut ran; it was left as it is.' >&2\nexit 1\n",
       R::Failed,
       "A file named part.avi appeared while the cut ran; it was left as it is.",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    outcome.reset();
    progress.clear();
    run(script(QString("cut-%1").arg(&c - cases), c.body));
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, c.result);
    EXPECT_EQ(c.result == R::Saved ? outcome->report : outcome->reason, c.text);
    EXPECT_EQ(progress, c.progress);
    EXPECT_EQ(outcome->outputTaken, c.outputTaken);
  }
}

TEST_F(CutJobRun, TheProgramGetsTheRequestAndMayWriteALongReport) {
  request.overwrite = true;
  run(script("vintrel-cut", QString("printf '%s\\n' \"$@\" > '%1'\nhead -c 300000 /dev/zero | tr '\\0' x\n")
                                .arg(dir.filePath("args"))));
  ASSERT_TRUE(outcome);
  EXPECT_EQ(read("args"), cutArguments(request).join('\n') + '\n');
  EXPECT_EQ(outcome->report.size(), 300000);
}

TEST_F(CutJobRun, CancelledOrEndedFromOutside) {
  using R = CutOutcome::Result;
  const struct {
    const char* name;
    const char* body;
    bool cancel;  // else killed by someone else
    R result;
    const char* reason;
  } cases[] = {
      // Ends at the signal, as any program does by default.
      {"default", "echo 'progress 0.1000' >&2\nexec sleep 30\n", true, R::Cancelled, ""},
      // Cleans up and reports an error of its own: still a cancel, the user asked for it.
      {"trapped",
       "sleep 30 >/dev/null 2>&1 & child=$!\n"
       "trap 'echo \"error interrupted\" >&2; kill $child; exit 1' TERM\n"
       "echo 'progress 0.1000' >&2\nwait $child\n",
       true, R::Cancelled, ""},
      {"killed", "echo 'progress 0.1000' >&2\nexec sleep 30\n", false, R::Failed,
       "The cutting program stopped unexpectedly (signal 9). Nothing was written."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    outcome.reset();
    const QString body = QString("echo $$ > '%1'\n").arg(dir.filePath("pid")) + c.body;
    run(script(QString("cut-%1").arg(c.name), body), [&](ProcessCutJob& job) {
      if (!c.cancel) {
        const pid_t pid = read("pid").trimmed().toInt();
        ASSERT_GT(pid, 1);  // never a process group
        ::kill(pid, SIGKILL);
        return;
      }
      job.cancel();
      job.cancel();  // a second click changes nothing
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, c.result);
    EXPECT_EQ(outcome->reason, c.reason);
  }
}

// A cut that cannot clean up after itself (stopped, killed, crashed) is cleaned up after: its
// work files go, and so does the encoder it started in a process group of its own. Another
// cut's work files stay.
TEST_F(CutJobRun, AStuckOrDeadCutIsEndedAndItsWorkFilesGo) {
  using R = CutOutcome::Result;
  enum class Then { Cancel, Kill, Wait };
  const struct {
    const char* name;
    const char* behaviour;  // after its work files, its encoder and a progress line
    Then then;
    R result;
    const char* reason;
  } cases[] = {
      // Stopped (SIGSTOP) with a handler for SIGTERM, as vintrel-cut has: the cancel waits for
      // ever; it is killed after a few seconds.
      {"stopped, cancelled", "trap 'exit 3' TERM\nkill -STOP $$\n", Then::Cancel, R::Cancelled, ""},
      {"ignores the cancel", "trap '' TERM\nwhile :; do sleep 1; done\n", Then::Cancel, R::Cancelled, ""},
      {"killed from outside", "exec sleep 30\n", Then::Kill, R::Failed,
       "The cutting program stopped unexpectedly (signal 9). Nothing was written."},
      {"crashed", "kill -ABRT $$\n", Then::Wait, R::Failed,
       "The cutting program stopped unexpectedly (signal 6). Nothing was written."},
  };
  request.output = dir.filePath("part.avi");
  const QString othersWork =
      dir.filePath(QString(".vintrel-%1-zz-cut.avi").arg(::getpid()));  // a running cut's
  QFile(othersWork).open(QIODevice::WriteOnly);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    outcome.reset();
    const QString body =
        QString(
            "cd '%1'\necho $$ > pid\n"
            ": > .vintrel-$$-abc-cut.avi\n: > .vintrel-$$-abc-head.mp4\n"
            // The encoder, as vintrel-cut starts it: a process group of its own.
            "python3 -c 'import os; os.setpgid(0, 0); os.execvp(\"sleep\", [\"sleep\", \"300\"])' &\n"
            "echo $! > encoder\nsleep 0.2\n"
            "echo 'progress 0.1000' >&2\n%2")
            .arg(dir.path(), c.behaviour);
    run(script(QString("cut-%1").arg(&c - cases), body), [&](ProcessCutJob& job) {
      if (c.then == Then::Cancel) {
        job.cancel();
        return;
      }
      if (c.then == Then::Kill) ::kill(read("pid").trimmed().toInt(), SIGKILL);
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, c.result);
    EXPECT_EQ(outcome->reason, c.reason) << outcome->reason.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({".vintrel-*"}, QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(othersWork).fileName()});
    // The encoder ends (gone, or a zombie waiting for whoever adopted it); a kill takes a moment.
    const QString encoder = read("encoder").trimmed();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ProcessEnded(encoder); }, 10000)) << "the encoder runs on";
  }
}

// The window closed while a cancelled cut is still stuck: it gets no more time.
TEST_F(CutJobRun, ACancelledCutEndsWithTheWindow) {
  request.output = dir.filePath("part.avi");
  const QString program = script("stuck", QString("cd '%1'\necho $$ > pid\n: > .vintrel-$$-abc-cut.avi\n"
                                                  "trap '' TERM\necho 'progress 0.1000' >&2\n"
                                                  "while :; do sleep 1; done\n")
                                              .arg(dir.path()));
  {
    ProcessCutJob job(program);
    QSignalSpy reported(&job, &vintrel::CutJob::progress);
    job.start(request);
    ASSERT_TRUE(reported.wait(10000));
    job.cancel();
  }
  const QString cut = read("pid").trimmed();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ProcessEnded(cut); }, 5000)) << "the stuck cut runs on";
  EXPECT_TRUE(QDir(dir.path()).entryList({".vintrel-*"}, QDir::Files | QDir::Hidden).isEmpty());
}

// The cut outlives the window: a session of its own, nothing of ours open in it, no input.
TEST_F(CutJobRun, TheCutRunsApart) {
  const int ours = ::open("/dev/null", O_RDONLY);  // inheritable
  ASSERT_GE(ours, 3);
  run(script("vintrel-cut", QString("[ -e /proc/$$/fd/%1 ] && echo leaked\n"
                                    "[ \"$(cut -d' ' -f6 /proc/$$/stat)\" = $$ ] && echo own-session\n"
                                    "readlink /proc/$$/fd/0\nexit 0\n")
                                .arg(ours)));
  ::close(ours);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->report, "own-session\n/dev/null");
}

TEST_F(CutJobRun, AProgramThatCannotRunFailsWithAClearReason) {
  {  // none found: said at once
    ProcessCutJob job("");
    QSignalSpy finished(&job, &vintrel::CutJob::finished);
    job.start(request);
    ASSERT_EQ(finished.count(), 1);
    const auto got = finished[0][0].value<CutOutcome>();
    EXPECT_EQ(got.result, CutOutcome::Result::Failed);
    EXPECT_TRUE(got.reason.contains("vintrel-cut was not found")) << got.reason.toStdString();
    job.cancel();  // nothing to stop
  }
  const QString notExecutable = dir.filePath("plain");
  QFile(notExecutable).open(QIODevice::WriteOnly);
  for (const QString& program : {dir.filePath("missing/vintrel-cut"), notExecutable}) {
    SCOPED_TRACE(program.toStdString());
    outcome.reset();
    run(program);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->result, CutOutcome::Result::Failed);
    EXPECT_TRUE(outcome->reason.contains(program)) << outcome->reason.toStdString();
    EXPECT_TRUE(outcome->reason.contains("could not be started")) << outcome->reason.toStdString();
  }
}

TEST_F(CutJobRun, TheProgramIsLookedForBesideVintrelThenOnThePath) {
  QDir(dir.path()).mkpath("app");
  QDir(dir.path()).mkpath("bin");
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", dir.filePath("bin").toUtf8());
  EXPECT_EQ(vintrel::findCutProgram(dir.filePath("app")), "");
  const QString onPath = script("bin/vintrel-cut", "exit 0\n");
  QFile(dir.filePath("app/vintrel-cut")).open(QIODevice::WriteOnly);  // not a program
  EXPECT_EQ(vintrel::findCutProgram(dir.filePath("app")), onPath);
  const QString beside = script("app/vintrel-cut", "exit 0\n");
  EXPECT_EQ(vintrel::findCutProgram(dir.filePath("app")), beside);
  qputenv("PATH", path);
}

}  // namespace
