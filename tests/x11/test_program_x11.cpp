// The built program, started as a user starts it, in an X server of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

}  // namespace
