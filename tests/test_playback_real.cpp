// Playback with the real libmpv player (no screen or sound output) on a generated clip:
// Open through the dialog, Play/Pause, the slider, and the ticks up to the end of the file.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <functional>

#include "fakes/fakes.h"
#include "media.h"
#include "player/mpv_player.h"

namespace {

// Handles events (the timer's ticks among them) until the condition holds. The bound only
// keeps a broken player from hanging the test.
bool PollUntil(const std::function<bool()>& done, int boundMs = 20000) {
  for (int waited = 0; waited < boundMs; waited += 10) {
    if (done()) return true;
    QTest::qWait(10);
  }
  return done();
}

TEST(PlaybackReal, OpenPlayPauseSeekAndPlayToTheEnd) {
  const QString dir = testmedia::TempDir();
  const QString clip = testmedia::MakeClip(dir + "/clip one.mp4", 3.3, "320x240", "25",
                                           {"-c:v", "libx264", "-pix_fmt", "yuv420p"});
  ASSERT_FALSE(clip.isEmpty());
  const QString text = dir + "/notes.txt";
  {
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a video\n");
  }

  fakes::Rig rig;
  vintrel::Platform platform = rig.platform;
  platform.makePlayer = [](QWidget*) -> std::unique_ptr<vintrel::IPlayer> {
    return std::make_unique<vintrel::MpvPlayer>(vintrel::MpvOptions{"null", "null", 0});
  };
  vintrel::Form1 f(platform);
  auto position = [&] { return f.mp->CurrentPosition(); };

  // A file the player cannot play: Open ends with the path kept and nothing playing.
  rig.dialog.answers = {text};
  f.Command4->click();
  EXPECT_EQ(f.CurrentFile, text);
  EXPECT_FALSE(f.IsPlaying);
  EXPECT_EQ(f.Command1->text(), "Play");
  EXPECT_FALSE(f.T->isActive());

  // The next Open still gets the user to a video.
  rig.dialog.answers = {clip};
  f.Command4->click();
  ASSERT_EQ(f.CurrentFile, clip);
  EXPECT_TRUE(f.IsPlaying);
  EXPECT_EQ(f.Command1->text(), "Pause");
  EXPECT_TRUE(f.T->isActive());
  // A length with a fraction under half a second: the end is found all the same.
  const double length = f.mp->Duration();
  ASSERT_LT(length - 3, 0.5);
  EXPECT_EQ(f.H->maximum(), 3);
  EXPECT_EQ(f.MarkerScale, 3076);
  EXPECT_EQ(rig.dialog.FileName, "");

  // Ticks follow the position.
  ASSERT_TRUE(PollUntil([&] { return f.H->value() >= 1; }));
  EXPECT_EQ(f.Label4->text(), vintrel::Form1::FormatTime(f.H->value()));

  f.Command1->click();  // Pause
  EXPECT_EQ(f.Command1->text(), "Play");
  EXPECT_FALSE(f.IsPlaying);
  const double halted = position();
  QTest::qWait(300);
  EXPECT_DOUBLE_EQ(position(), halted);

  f.Command1->click();  // Play resumes where it halted
  EXPECT_EQ(f.Command1->text(), "Pause");
  EXPECT_TRUE(f.IsPlaying);
  EXPECT_GE(position(), halted);
  EXPECT_LT(position(), halted + 1.0);
  ASSERT_TRUE(PollUntil([&] { return position() > halted + 0.2; }));

  // The slider: press, move the thumb back, release, click.
  f.H_MouseDown();
  EXPECT_FALSE(f.T->isActive());
  f.H->setValue(0);
  f.H_MouseUp();
  EXPECT_TRUE(f.T->isActive());
  f.H_Click();
  EXPECT_DOUBLE_EQ(position(), 0.0);

  // Ticks until the end of the file, which brings the button back to "Play".
  ASSERT_TRUE(PollUntil([&] { return !f.T->isActive(); }));
  EXPECT_EQ(f.Command1->text(), "Play");
  EXPECT_FALSE(f.IsPlaying);
  EXPECT_EQ(f.H->value(), 0);
  EXPECT_DOUBLE_EQ(position(), 0.0);
  EXPECT_EQ(f.Label4->text(), " 0 : 0 : 3");

  // Play starts it again from the beginning.
  f.Command1->click();
  EXPECT_TRUE(f.IsPlaying);
  EXPECT_EQ(f.Command1->text(), "Pause");
  EXPECT_LT(position(), 1.0);
  ASSERT_TRUE(PollUntil([&] { return position() > 0.3; }));

  f.Command2->click();  // Stop
  EXPECT_EQ(f.Command1->text(), "Play");
  EXPECT_EQ(f.Label4->text(), "0 : 0 : 0");
  EXPECT_DOUBLE_EQ(position(), 0.0);
  const double stopped = position();
  QTest::qWait(300);
  EXPECT_DOUBLE_EQ(position(), stopped);
}

}  // namespace
