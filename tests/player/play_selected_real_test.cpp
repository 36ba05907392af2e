// Marks and Play Selected on the real libmpv player (no screen or sound output), on a
// generated clip: the marks come from the player's position, and the preview halts at the
// end mark while the window keeps handling events.
#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <map>
#include <memory>

#include "media.h"
#include "real_window.h"

namespace {

using namespace realwindow;

struct RealRig {
  Outside outside;
  std::unique_ptr<MainWindow> window;
  RealRig() : window(MakeWindow(outside)) {}
  MainWindow& w() { return *window; }
  double Position() { return window->player().position(); }

  // Opens the file as Open does once it is chosen, and waits until it plays.
  bool Open(const QString& path) {
    window->openFile(path);
    return PollUntil([&] { return window->player().isLoaded(); });
  }
  // Marks the given second the way the user does: move the video there, then the mark command.
  void MarkAt(double second, QAction* mark) {
    window->player().seek(second);
    mark->trigger();
  }
};

QString Clip(const QString& name, double seconds) {
  static std::map<QString, QString> made;
  if (!made.count(name)) made[name] = testmedia::MakeClip(testmedia::TempDir() + "/" + name, seconds);
  return made[name];
}

TEST(PlaySelectedReal, HaltsJustPastTheEndMark) {
  const QString clip = Clip("stretch.mp4", 8);
  ASSERT_FALSE(clip.isEmpty()) << "ffmpeg could not make the clip";
  // Once while the video plays, once after Stop has put it back at second 0.
  for (bool stoppedFirst : {false, true}) {
    SCOPED_TRACE(stoppedFirst ? "from stopped" : "while playing");
    RealRig rig;
    MainWindow& w = rig.w();
    ASSERT_TRUE(rig.Open(clip));
    rig.MarkAt(2.0, w.markStartAction);
    rig.MarkAt(4.0, w.markEndAction);
    ASSERT_EQ(w.session().markStart(), 2);
    ASSERT_EQ(w.session().markEnd(), 4);
    EXPECT_EQ(w.startLabel->text(), " 0 : 0 : 2");
    EXPECT_EQ(w.endLabel->text(), " 0 : 0 : 4");
    EXPECT_EQ(w.lengthLabel->text(), " 0 : 0 : 2");
    if (stoppedFirst) {
      w.stopAction->trigger();
      ASSERT_EQ(rig.Position(), 0.0);
    }

    // The command returns at once; the preview runs while events are handled.
    w.playSelectedAction->trigger();
    EXPECT_TRUE(w.session().isPlayingSelection());
    EXPECT_EQ(w.playButton->text(), "Pause");
    EXPECT_EQ(rig.Position(), 2.0);
    ASSERT_TRUE(PollUntil([&] { return w.playButton->text() == "Play"; }));
    QTest::qWait(200);  // libmpv takes the pause on its own thread
    const double halted = rig.Position();
    // The halt lands at the end mark or a little past it, never before.
    EXPECT_GE(halted, 4.0);
    EXPECT_LE(halted, 4.5);
    EXPECT_FALSE(w.positionTimer->isActive());
    EXPECT_FALSE(w.session().isPlaying());
    EXPECT_FALSE(w.session().isPlayingSelection());
    EXPECT_TRUE(w.player().isPaused());
    // Halted, not running on.
    QTest::qWait(300);
    EXPECT_EQ(rig.Position(), halted);
    EXPECT_TRUE(rig.outside.shown.isEmpty());
  }
}

TEST(PlaySelectedReal, EndMarkPastTheLastFrameEndsWithTheFile) {
  const QString clip = Clip("short.mp4", 3.6);
  ASSERT_FALSE(clip.isEmpty()) << "ffmpeg could not make the clip";
  RealRig rig;
  MainWindow& w = rig.w();
  ASSERT_TRUE(rig.Open(clip));
  const double duration = w.player().duration();
  // Marked while halted: the end of the file rounds up to a second the position never reaches.
  w.playPauseAction->trigger();
  ASSERT_EQ(w.playButton->text(), "Play");
  rig.MarkAt(duration, w.markEndAction);
  ASSERT_GT(w.session().markEnd(), duration);
  rig.MarkAt(2.0, w.markStartAction);
  w.playSelectedAction->trigger();
  EXPECT_EQ(w.playButton->text(), "Pause");
  // The end of the file rewinds it and sets "Play".
  ASSERT_TRUE(PollUntil([&] { return w.playButton->text() == "Play"; }));
  EXPECT_FALSE(w.positionTimer->isActive());
  EXPECT_FALSE(w.session().isPlaying());
  EXPECT_EQ(w.positionSlider->value(), 0);
  EXPECT_EQ(rig.Position(), 0.0);
  QTest::qWait(300);
  EXPECT_EQ(rig.Position(), 0.0) << "the player resumed after the end";
  EXPECT_TRUE(rig.outside.shown.isEmpty());
}

}  // namespace
