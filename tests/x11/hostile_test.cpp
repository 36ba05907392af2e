// The whole program treated roughly: keys pressed while it plays, names that file dialogs
// misread, a window destroyed behind its back.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include "media.h"
#include "x11/xsession.h"

namespace {

QString programPath() { return qEnvironmentVariable("VINTREL_PROGRAM"); }

QString cutProgramPath() { return QFileInfo(programPath()).absolutePath() + "/vintrel-cut"; }

// The video area of a screenshot of the main window.
QImage videoArea(const xtest::XServer& x, const QRect& window) {
  return x.Screenshot().copy(window).copy(QRect(2, 3, 404, 288));
}

// Whether the picture changes over the given time.
bool pictureMoves(const xtest::XServer& x, const QRect& window, int overMs) {
  const QImage before = videoArea(x, window);
  QThread::msleep(overMs);
  return videoArea(x, window) != before;
}

TEST(Hostile, WindowDestroyedFromOutsideEndsTheProgram) {
  xtest::XServer x;
  ASSERT_TRUE(x.ok());
  xtest::Program vintrel(x, programPath());
  const unsigned long window = x.WaitForWindow("Vintrel");
  ASSERT_NE(window, 0u);
  // What a window manager does to a window it kills without asking: no close request.
  x.Run("xdotool", {"windowclose", QString::number(window)});
  EXPECT_EQ(vintrel.WaitForExit(10000), 0) << "the program went on without its window";
}

TEST(Hostile, SpacePausesThePictureWhateverHasTheFocus) {
  xtest::XServer x;
  ASSERT_TRUE(x.ok());
  QTemporaryDir dir;
  const QString clip = testmedia::MakeClip(dir.path() + "/moving.mp4", 30);
  ASSERT_FALSE(clip.isEmpty());
  xtest::Program vintrel(x, programPath(), {}, {clip});
  const unsigned long window = x.WaitForWindow("moving.mp4 - Vintrel");
  ASSERT_NE(window, 0u);
  const QRect g = x.Geometry(window);
  x.Focus(window);
  QThread::msleep(1500);
  EXPECT_TRUE(pictureMoves(x, g, 700)) << "the file given on the command line plays";
  x.Key("space");
  QThread::msleep(500);
  EXPECT_FALSE(pictureMoves(x, g, 700)) << "Space paused it";
  x.Key("space");
  QThread::msleep(300);
  EXPECT_TRUE(pictureMoves(x, g, 700)) << "Space plays it again";
  x.Close(window);
  EXPECT_EQ(vintrel.WaitForExit(5000), 0);
}

TEST(Hostile, ATypedNameWithDoubleQuotesIsSavedUnderExactlyThatName) {
  if (!QFileInfo(cutProgramPath()).isExecutable()) GTEST_SKIP() << "vintrel-cut is not built";
  xtest::XServer x;
  ASSERT_TRUE(x.ok());
  QTemporaryDir dir;
  const QString clip = testmedia::MakeClip(dir.path() + "/source.mp4", 12);
  ASSERT_FALSE(clip.isEmpty());
  QDir().mkpath(dir.path() + "/target");
  const QString wanted = dir.path() + "/target/cut \"q\" it.mp4";

  xtest::Program vintrel(x, programPath(), {}, {clip});
  const unsigned long window = x.WaitForWindow("source.mp4 - Vintrel");
  ASSERT_NE(window, 0u);
  x.Focus(window);
  QThread::msleep(1000);
  // Stop, then mark seconds 2 to 6 with the keys.
  x.Key("s");
  for (const char* key : {"Right", "Right", "i", "Right", "Right", "Right", "Right", "o"}) x.Key(key);
  QThread::msleep(300);
  x.Key("ctrl+s");
  QThread::msleep(1500);  // the Save dialog comes up with its name field focused
  x.Key("ctrl+a");
  x.Type(wanted);
  x.Key("Return");
  const unsigned long done = x.WaitForWindow("Vintrel", 60000);
  ASSERT_NE(done, 0u) << "no message after the save";
  x.Key("Return");
  EXPECT_TRUE(QFileInfo::exists(wanted)) << "nothing at the name typed";
  EXPECT_FALSE(QFileInfo::exists(dir.path() + "/q.mp4"));
  EXPECT_FALSE(QFileInfo::exists(dir.path() + "/target/q.mp4"));
  const testmedia::ProbeResult probe = testmedia::Probe(wanted);
  EXPECT_TRUE(probe.ok);
  EXPECT_NEAR(probe.duration, 4.0, 0.2);
  x.Close(window);
  EXPECT_EQ(vintrel.WaitForExit(5000), 0);
}

}  // namespace
