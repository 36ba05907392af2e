// What `vintrel` does with its command line: the file to open, given as a path or as the
// file: URI a file manager passes; help and the version, which print and end the program.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

namespace {

using vintrel::StartRequest;
using Action = StartRequest::Action;

TEST(CommandLine, TheFileToOpenHelpAndVersion) {
  const QString here = QDir::currentPath();
  const struct {
    QStringList arguments;
    Action action;
    QString file;
  } cases[] = {
      {{}, Action::Run, ""},
      {{"/v/clip.mp4"}, Action::Run, "/v/clip.mp4"},
      {{"clip.mp4"}, Action::Run, here + "/clip.mp4"},
      // %u and %U: percent-encoded, several at once.
      {{"file:///v/my%20clip%23.mp4"}, Action::Run, "/v/my clip#.mp4"},
      {{"file:///v/a.mp4", "file:///v/b.mp4"}, Action::Run, "/v/a.mp4"},
      {{"FILE:///v/a.mp4"}, Action::Run, "/v/a.mp4"},
      {{"--help"}, Action::Help, ""},
      {{"-h", "/v/clip.mp4"}, Action::Help, ""},
      {{"/v/clip.mp4", "--version"}, Action::Version, ""},
      {{"--", "--help"}, Action::Run, here + "/--help"},
      {{"--bogus"}, Action::BadArguments, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const StartRequest got = vintrel::parseStartArguments(c.arguments);
    EXPECT_EQ(got.action, c.action);
    EXPECT_EQ(got.file, c.file);
    EXPECT_EQ(got.problem.isEmpty(), c.action != Action::BadArguments);
  }
}

// Answered without a display: nothing of the window starts.
TEST(CommandLine, TheProgramPrintsHelpAndVersionAndEnds) {
  const QString program = qEnvironmentVariable("VINTREL_PROGRAM");
  if (program.isEmpty()) GTEST_SKIP() << "the program is not built";
  const struct {
    QStringList arguments;
    int exitCode;
    QString startOfOutput;  // stdout for 0, stderr else
  } cases[] = {
      {{"--help"}, 0, "Usage: vintrel [FILE]"},
      {{"--version"}, 0, QString("Vintrel %1\n").arg(vintrel::kVersion)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    run.setProcessEnvironment(environment);
    run.start(program, c.arguments);
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), c.exitCode);
    const QString output =
        QString::fromLocal8Bit(c.exitCode == 0 ? run.readAllStandardOutput() : run.readAllStandardError());
    EXPECT_TRUE(output.startsWith(c.startOfOutput)) << output.toStdString();
  }
}

}  // namespace
