// The built program, started as a user starts it, in an X server of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "media.h"
#include "x11/xsession.h"

namespace {

QString ProgramPath() { return qEnvironmentVariable("VINTREL_PROGRAM"); }

QString ShotDir() {
  const QString dir = qEnvironmentVariable("VINTREL_BUILD_DIR") + "/screenshots";
  QDir().mkpath(dir);
  return dir;
}

bool IsWhite(QRgb c) { return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240; }

// Dark pixels in a part of the picture: text and frames.
int Ink(const QImage& image, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) n += qGray(image.pixel(x, y)) < 160;
  }
  return n;
}

TEST(Program, StartsWithItsWindowAndControlsAndClosesCleanly) {
  xtest::XServer x;
  ASSERT_TRUE(x.ok()) << "Xvfb did not start";
  xtest::Program vintrel(x, ProgramPath());
  const unsigned long window = x.WaitForWindow("Vintrel");
  ASSERT_NE(window, 0u) << "no window titled Vintrel";
  const QRect g = x.Geometry(window);
  EXPECT_EQ(g.size(), QSize(497, 370));

  const QImage shot = x.Screenshot().copy(g);
  ASSERT_FALSE(shot.isNull());
  shot.save(ShotDir() + "/start.png");
  EXPECT_TRUE(IsWhite(shot.pixel(440, 120))) << "window background";
  EXPECT_EQ(qGray(shot.pixel(200, 150)), 0) << "the empty video area is black";
  // Every button shows its frame and caption where the control table puts it.
  for (QRect button : {QRect(417, 30, 67, 22), QRect(417, 61, 67, 22), QRect(417, 92, 67, 22), QRect(416, 148, 69, 22),
                       QRect(418, 200, 67, 22), QRect(418, 267, 67, 22), QRect(7, 335, 102, 22),
                       QRect(115, 335, 67, 22), QRect(188, 335, 79, 22)}) {
    EXPECT_GT(Ink(shot, button.adjusted(2, 2, -2, -2)), 20) << "a button at " << button.x() << "," << button.y();
  }

  // "About..." from the window's context menu opens the About window.
  x.Click(g.topLeft() + QPoint(440, 120), 3);
  x.Key("Down");
  x.Key("Return");
  const unsigned long about = x.WaitForWindow("About", 10000);
  ASSERT_NE(about, 0u) << "no About window";
  EXPECT_EQ(x.Geometry(about).size(), QSize(558, 321));

  // Closing the main window ends the program, the About window with it.
  x.Close(window);
  EXPECT_EQ(vintrel.WaitForExit(), 0);
}

TEST(Program, WithoutCreditsFileSaysReinstallThenEnds) {
  xtest::XServer x;
  ASSERT_TRUE(x.ok());
  QTemporaryDir dir;
  const QString copy = dir.path() + "/vintrel";
  ASSERT_TRUE(QFile::copy(ProgramPath(), copy));
  QFile::setPermissions(copy, QFile::permissions(ProgramPath()));
  ASSERT_FALSE(QFile::exists(dir.path() + "/thanks.txt"));

  xtest::Program vintrel(x, copy);
  const unsigned long main = x.WaitForWindow("Vintrel");
  ASSERT_NE(main, 0u);
  const unsigned long message = x.WaitForWindow("Vintrel", 20000, main);
  ASSERT_NE(message, 0u) << "no message box";
  EXPECT_NE(x.Geometry(message).size(), QSize(497, 370));
  x.Screenshot().save(ShotDir() + "/reinstall.png");
  EXPECT_TRUE(vintrel.Running()) << "the program waits for the message to be closed";
  x.Key("Return");
  EXPECT_EQ(vintrel.WaitForExit(), 1);
}

// Starts the program and opens a clip through its Open dialog, typing the path as a user does.
struct OpenedProgram {
  xtest::XServer& x;
  xtest::Program program;
  unsigned long window = 0;
  QRect g;
  OpenedProgram(xtest::XServer& server, const QString& clip) : x(server), program(server, ProgramPath()) {
    window = x.WaitForWindow("Vintrel");
    if (!window) return;
    g = x.Geometry(window);
    x.Click(g.topLeft() + QPoint(450, 103));  // Open
    QThread::msleep(1500);                     // the dialog comes up with the file name field focused
    x.Type(clip);
    x.Key("Return");
  }
  QPoint At(int px, int py) const { return g.topLeft() + QPoint(px, py); }
};

// Whether any process runs this program with an argument containing `text`.
bool ProcessRunning(const QString& program, const QString& text) {
  QProcess p;
  p.start("pgrep", {"-f", "-a", program});
  p.waitForFinished(5000);
  return QString::fromLocal8Bit(p.readAllStandardOutput()).contains(text);
}

TEST(Program, ClosingWhileAVideoPlaysEndsAtOnce) {
  xtest::XServer x;
  ASSERT_TRUE(x.ok());
  QTemporaryDir dir;
  const QString clip = testmedia::MakeClip(dir.path() + "/playing.mp4", 30);
  ASSERT_FALSE(clip.isEmpty());
  OpenedProgram vintrel(x, clip);
  ASSERT_NE(vintrel.window, 0u);
  QThread::msleep(2500);
  const QImage shot = x.Screenshot().copy(vintrel.g);
  shot.save(ShotDir() + "/playing.png");
  int lit = 0, all = 0;
  for (int y = 3; y < 291; y += 6) {
    for (int x = 2; x < 406; x += 6, ++all) lit += qGray(shot.pixel(x, y)) > 40;
  }
  EXPECT_GT(lit, all / 2) << "the picture is drawn in the video area";
  ASSERT_TRUE(vintrel.program.Running());
  x.Close(vintrel.window);
  EXPECT_EQ(vintrel.program.WaitForExit(5000), 0);
}

TEST(Program, ClosingDuringAnExportLeavesTheEncoderToFinishTheFile) {
  xtest::XServer x;
  ASSERT_TRUE(x.ok());
  QTemporaryDir dir;
  // Big enough that the cut takes a few seconds to encode.
  const QString clip = testmedia::MakeClip(dir.path() + "/big.mp4", 14, "1280x720", "25",
                                           {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"});
  ASSERT_FALSE(clip.isEmpty());
  const QString out = dir.path() + "/cut of big.mp4";
  OpenedProgram vintrel(x, clip);
  ASSERT_NE(vintrel.window, 0u);
  QThread::msleep(1500);
  x.Click(vintrel.At(450, 41));   // Pause
  x.Click(vintrel.At(450, 158));  // Mark Start: second 1 or 2
  // Two clicks on the slider's groove, far right of the thumb: 5 seconds each.
  x.Click(vintrel.At(380, 298));
  x.Click(vintrel.At(380, 298));
  x.Click(vintrel.At(451, 210));  // Mark End: second 10 or 11
  x.Click(vintrel.At(148, 345));  // Save
  QThread::msleep(1500);
  x.Type(out);
  x.Key("Return");
  // The encoder is at work; the window is closed under it.
  QElapsedTimer t;
  t.start();
  while (!ProcessRunning("ffmpeg", "cut of big") && t.elapsed() < 10000) QThread::msleep(50);
  ASSERT_TRUE(ProcessRunning("ffmpeg", "cut of big")) << "the encoder did not start";
  x.Close(vintrel.window);
  EXPECT_EQ(vintrel.program.WaitForExit(5000), 0);
  EXPECT_TRUE(ProcessRunning("ffmpeg", "cut of big")) << "the encoder went with the program";
  t.restart();
  while (ProcessRunning("ffmpeg", "cut of big") && t.elapsed() < 120000) QThread::msleep(200);
  const testmedia::ProbeResult cut = testmedia::Probe(out);
  ASSERT_TRUE(cut.ok) << "the encoder did not finish the file";
  EXPECT_GE(cut.duration, 8.0);
  EXPECT_LE(cut.duration, 10.1);
}

}  // namespace
