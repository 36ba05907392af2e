// The window's playback commands on the real libmpv player (no screen or sound output) and
// a generated clip: Open through the dialog, Play/Pause, the slider, Stop, and the ticks up
// to the end of the file.
#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <deque>
#include <functional>

#include "media.h"
#include "real_window.h"

namespace {

using namespace realwindow;

TEST(PlaybackReal, OpenPlayPauseSeekAndPlayToTheEnd) {
  const QString dir = testmedia::TempDir();
  const QString clip = testmedia::MakeClip(dir + "/clip one.mp4", 3.3, "320x240", "25",
                                           {"-c:v", "libx264", "-pix_fmt", "yuv420p"});
  ASSERT_FALSE(clip.isEmpty());
  const QString text = dir + "/notes.mp4";
  {
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a video\n");
  }

  Outside o;
  std::unique_ptr<MainWindow> window = MakeWindow(o);
  MainWindow& w = *window;
  w.show();
  auto position = [&] { return w.player().position(); };

  // A file the player cannot play: the user is told, nothing is open and nothing plays.
  o.openAnswers = {text};
  QTest::mouseClick(w.openButton, Qt::LeftButton);
  ASSERT_TRUE(PollUntil([&] { return !o.shown.isEmpty(); }));
  EXPECT_EQ(o.shown, QStringList{kCannotPlay});
  EXPECT_FALSE(w.session().hasFile());
  EXPECT_FALSE(w.session().isPlaying());
  EXPECT_EQ(w.playButton->text(), "Play");
  EXPECT_FALSE(w.positionTimer->isActive());
  o.shown.clear();

  // The next Open still gets the user to a video; Open returns before it has loaded.
  o.openAnswers = {clip};
  QTest::mouseClick(w.openButton, Qt::LeftButton);
  ASSERT_EQ(w.session().file(), clip);
  EXPECT_FALSE(w.player().isLoaded());
  EXPECT_TRUE(w.session().isPlaying());
  EXPECT_EQ(w.playButton->text(), "Pause");
  ASSERT_TRUE(PollUntil([&] { return w.player().isLoaded(); }));
  EXPECT_TRUE(w.positionTimer->isActive());
  // A length with a fraction under half a second: the slider ends at its whole second.
  EXPECT_LT(w.player().duration() - 3, 0.5);
  EXPECT_EQ(w.positionSlider->maximum(), 3);
  ASSERT_EQ(o.openRequests.size(), 2u);
  EXPECT_EQ(o.openRequests.back().title, "Open");
  EXPECT_EQ(o.openRequests.back().filter, kOpenFilter);
  EXPECT_EQ(o.openRequests.back().fileName, "");

  // Ticks follow the position.
  ASSERT_TRUE(PollUntil([&] { return w.positionSlider->value() >= 1; }));
  EXPECT_EQ(w.positionLabel->text(), formatTime(w.positionSlider->value()));

  QTest::mouseClick(w.playButton, Qt::LeftButton);  // Pause
  EXPECT_EQ(w.playButton->text(), "Play");
  EXPECT_FALSE(w.session().isPlaying());
  EXPECT_FALSE(w.positionTimer->isActive());
  QTest::qWait(200);  // libmpv takes the pause on its own thread
  const double halted = position();
  QTest::qWait(300);
  EXPECT_DOUBLE_EQ(position(), halted);

  QTest::mouseClick(w.playButton, Qt::LeftButton);  // Play resumes where it halted
  EXPECT_EQ(w.playButton->text(), "Pause");
  EXPECT_TRUE(w.session().isPlaying());
  EXPECT_GE(position(), halted);
  EXPECT_LT(position(), halted + 1.0);
  ASSERT_TRUE(PollUntil([&] { return position() > halted + 0.2; }));

  // The slider: while it is held no tick moves it; letting go at 0 moves the video there.
  QSignalSpy pressed(w.positionSlider, &QSlider::sliderPressed);
  const QPoint thumb = w.positionSlider->handleRect(w.positionSlider->value()).center();
  QTest::mousePress(w.positionSlider, Qt::LeftButton, {}, thumb);
  ASSERT_EQ(pressed.count(), 1);
  EXPECT_FALSE(w.positionTimer->isActive());
  const QPoint start(w.positionSlider->handleRect(0).center().x(), thumb.y());
  for (int i = 1; i <= 5; ++i) QTest::mouseMove(w.positionSlider, thumb + (start - thumb) * i / 5, 10);
  QTest::mouseRelease(w.positionSlider, Qt::LeftButton, {}, start, 10);
  EXPECT_EQ(w.positionSlider->value(), 0);
  EXPECT_DOUBLE_EQ(position(), 0.0);
  EXPECT_TRUE(w.positionTimer->isActive());

  // Ticks until the end of the file, which brings the button back to "Play" at the start.
  ASSERT_TRUE(PollUntil([&] { return !w.positionTimer->isActive(); }));
  EXPECT_EQ(w.playButton->text(), "Play");
  EXPECT_FALSE(w.session().isPlaying());
  EXPECT_EQ(w.positionSlider->value(), 0);
  EXPECT_DOUBLE_EQ(position(), 0.0);
  // The label went back with the video: Mark End takes what it shows.
  EXPECT_EQ(w.positionLabel->text(), "0 : 0 : 0");

  // Play starts it again from the beginning.
  QTest::mouseClick(w.playButton, Qt::LeftButton);
  EXPECT_TRUE(w.session().isPlaying());
  EXPECT_EQ(w.playButton->text(), "Pause");
  EXPECT_LT(position(), 1.0);
  ASSERT_TRUE(PollUntil([&] { return position() > 0.3; }));

  QTest::mouseClick(w.stopButton, Qt::LeftButton);
  EXPECT_EQ(w.playButton->text(), "Play");
  EXPECT_EQ(w.positionLabel->text(), "0 : 0 : 0");
  EXPECT_DOUBLE_EQ(position(), 0.0);
  QTest::qWait(300);
  EXPECT_DOUBLE_EQ(position(), 0.0);
  EXPECT_FALSE(w.session().isPlaying());
  EXPECT_TRUE(o.shown.isEmpty());
}

}  // namespace
