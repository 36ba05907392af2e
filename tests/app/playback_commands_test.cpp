// Play/Pause, Stop, the once-a-second position update, the slider, the arrow keys and Open,
// as the window runs them on a fake player.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>
#include <functional>

#include "fakes/fakes.h"

namespace {

using fakes::Rig;
using vintrel::Session;

const char* const kZero = "0 : 0 : 0";

void expectHaltedAtZero(Rig& r, const char* what) {
  EXPECT_FALSE(r.p().running()) << what;
  EXPECT_EQ(r.p().pos, 0) << what;
  EXPECT_EQ(r.w().session().playback(), Session::Playback::Stopped) << what;
  EXPECT_EQ(r.w().playButton->text(), "Play") << what;
  EXPECT_FALSE(r.w().positionTimer->isActive()) << what;
  EXPECT_EQ(r.w().positionSlider->value(), 0) << what;
}

void expectPlaying(Rig& r, const char* what) {
  EXPECT_TRUE(r.p().running()) << what;
  EXPECT_TRUE(r.w().session().isPlaying()) << what;
  EXPECT_EQ(r.w().playButton->text(), "Pause") << what;
  EXPECT_TRUE(r.w().positionTimer->isActive()) << what;
}

TEST(Transport, WithoutAFileNothingHappens) {
  Rig r;
  r.w().positionSlider->setValue(3);
  r.w().positionLabel->setText("x");
  r.w().playButton->click();
  r.w().stopButton->click();
  r.w().stepForwardAction->trigger();
  r.w().jumpBackAction->trigger();
  r.w().openButton->click();  // and cancel the dialog
  EXPECT_EQ(r.w().playButton->text(), "Play");
  EXPECT_FALSE(r.w().positionTimer->isActive());
  EXPECT_EQ(r.w().positionSlider->value(), 3);
  EXPECT_EQ(r.w().positionSlider->maximum(), 10);
  EXPECT_EQ(r.w().positionLabel->text(), "x");
  EXPECT_FALSE(r.w().session().isPlaying());
  EXPECT_TRUE(r.p().opened.empty());
  EXPECT_TRUE(r.p().seeks.empty());
  EXPECT_TRUE(r.p().pauseRequests.empty());
  EXPECT_TRUE(r.messages.shown.empty());
}

// The button's caption is what the session says, whatever it showed before the click.
TEST(Transport, PlayPauseFollowsTheSessionNotTheCaption) {
  Rig r;
  r.open();
  expectPlaying(r, "opened");
  r.p().pos = 12;
  r.w().playButton->setText("Play ");
  r.w().playButton->click();
  EXPECT_FALSE(r.p().running());
  EXPECT_EQ(r.w().session().playback(), Session::Playback::Paused);
  EXPECT_EQ(r.w().playButton->text(), "Play");
  EXPECT_FALSE(r.w().positionTimer->isActive());

  r.w().playButton->setText("Pause");
  r.w().playButton->click();
  expectPlaying(r, "resumed");
  EXPECT_EQ(r.p().pos, 12);
  EXPECT_TRUE(r.p().seeks.empty());
}

TEST(Transport, PlayGoesOnFromWhereItHaltedOrFromTheStartAfterTheEnd) {
  const struct {
    const char* what;
    double haltedAt;
    std::vector<double> seeks;
    double from;
  } cases[] = {
      {"paused mid-file", 42.7, {}, 42.7},
      {"halted at 0", 0, {}, 0},
      {"halted on the last frame", 100, {0}, 0},
  };
  for (const auto& c : cases) {
    Rig r;
    r.open();
    r.w().playButton->click();  // pause
    r.p().pos = c.haltedAt;
    r.w().playButton->click();
    EXPECT_EQ(r.p().seeks, c.seeks) << c.what;
    EXPECT_EQ(r.p().pos, c.from) << c.what;
    expectPlaying(r, c.what);
  }
}

TEST(Transport, TheSliderSpansTheLengthInWholeSecondsTiesToEven) {
  const struct {
    double duration;
    int maximum;
  } cases[] = {{100.5, 100}, {101.5, 102}, {100.49, 100}, {1.0, 1}, {2.5, 2}, {600.2, 600}, {0.4, 0}};
  for (const auto& c : cases) {
    Rig r;
    r.open("/videos/clip.avi", c.duration);
    EXPECT_EQ(r.w().positionSlider->maximum(), c.maximum) << c.duration;
    r.w().playButton->click();
    r.w().positionSlider->setMaximum(10);
    r.w().playButton->click();
    EXPECT_EQ(r.w().positionSlider->maximum(), c.maximum) << c.duration;
    expectPlaying(r, "played");
  }
}

TEST(Transport, StopRewindsAndResetsThePositionLabelKeepingTheMarks) {
  for (bool playing : {true, false}) {
    const char* what = playing ? "while playing" : "while paused";
    Rig r;
    r.open();
    r.markStart(5);
    r.markEnd(9);
    r.p().pos = 30;
    r.tick();
    ASSERT_EQ(r.w().positionLabel->text(), " 0 : 0 : 30");
    if (!playing) r.w().playButton->click();
    r.w().stopButton->click();
    expectHaltedAtZero(r, what);
    EXPECT_EQ(r.w().positionSlider->maximum(), 100) << what;
    EXPECT_EQ(r.w().positionLabel->text(), kZero) << what;
    EXPECT_EQ(r.w().session().markStart(), 5) << what;
    EXPECT_EQ(r.w().session().markEnd(), 9) << what;
    EXPECT_EQ(r.w().startLabel->text(), " 0 : 0 : 5") << what;
    EXPECT_EQ(r.w().endLabel->text(), " 0 : 0 : 9") << what;

    // Play after Stop starts from the beginning.
    r.w().playButton->click();
    expectPlaying(r, what);
    EXPECT_EQ(r.p().pos, 0) << what;
  }
}

TEST(Tracking, TheTickShowsThePositionRoundedTiesToEven) {
  const struct {
    double position;
    int value;
    const char* label;
  } cases[] = {
      {59.5, 60, " 0 : 1 : 0"}, {58.5, 58, " 0 : 0 : 58"},  {0.4, 0, " 0 : 0 : 0"},
      {65.2, 65, " 0 : 1 : 5"}, {99.49, 99, " 0 : 1 : 39"},
  };
  for (const auto& c : cases) {
    Rig r;
    r.open();
    r.p().pos = c.position;
    r.tick();
    EXPECT_EQ(r.w().positionSlider->value(), c.value) << c.position;
    EXPECT_EQ(r.w().positionLabel->text(), c.label) << c.position;
    expectPlaying(r, "ticked");
    EXPECT_TRUE(r.p().seeks.empty()) << c.position;
  }
}

// The tick compares the length with the whole second it shows: a clip of 10.3 s is not
// over at second 10, one of 10 s is.
TEST(Tracking, TheTickNoticesTheEnd) {
  const struct {
    double duration, position;
    bool ends;
    const char* label;  // where it stands: back at the start once ended
  } cases[] = {
      {100.0, 99.6, true, kZero},
      {100.7, 100.7, true, kZero},
      {100.3, 100.0, false, " 0 : 1 : 40"},
      {100.3, 100.3, false, " 0 : 1 : 40"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.position << " of " << c.duration);
    Rig r;
    r.open("/videos/clip.avi", c.duration);
    r.p().pos = c.position;
    r.tick();
    EXPECT_EQ(r.w().positionLabel->text(), c.label);
    if (c.ends) {
      expectHaltedAtZero(r, "ended");
    } else {
      expectPlaying(r, "plays on");
    }
  }
}

TEST(Tracking, ThePlayersEndRewindsAndPlayStartsAgain) {
  Rig r;
  r.open("/videos/clip.avi", 3.3);
  for (int i = 0; i < 10 && r.p().running(); ++i) {
    r.p().advance(1.0);
    if (r.w().positionTimer->isActive()) r.tick();
  }
  expectHaltedAtZero(r, "at the end");
  // The label goes back with the video: Mark End now takes 0, as the label says.
  EXPECT_EQ(r.w().positionLabel->text(), kZero);

  r.w().playButton->click();
  expectPlaying(r, "again");
  EXPECT_EQ(r.p().pos, 0);
  r.p().advance(1.0);
  r.tick();
  EXPECT_EQ(r.w().positionSlider->value(), 1);
}

TEST(Slider, PressStopsFollowingReleaseSeeksAndFollowsAgainWhilePlaying) {
  for (bool playing : {true, false}) {
    Rig r;
    r.open();
    if (!playing) r.w().playButton->click();
    auto* slider = r.w().positionSlider;
    emit slider->pressed();
    EXPECT_FALSE(r.w().positionTimer->isActive()) << playing;
    slider->setValue(42);
    emit slider->released();
    EXPECT_EQ(r.p().seeks, std::vector<double>{42}) << playing;
    EXPECT_EQ(r.p().pos, 42) << playing;
    EXPECT_EQ(r.p().running(), playing);
    EXPECT_EQ(r.w().positionTimer->isActive(), playing);
  }
  Rig none;  // nothing open: nothing to seek
  none.w().positionSlider->setValue(4);
  emit none.w().positionSlider->released();
  EXPECT_TRUE(none.p().seeks.empty());
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
  QMouseEvent event(type, at, widget->mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// Through the widget itself: the thumb stays where the user holds it, the player follows on release.
TEST(Slider, TheMouseSeeksWhereTheThumbIsLetGo) {
  Rig r;
  r.open();
  r.w().show();
  auto* slider = r.w().positionSlider;
  r.p().pos = 20;
  r.tick();
  ASSERT_EQ(slider->value(), 20);

  // A click on the groove right of the thumb moves it a page.
  const QPoint right(slider->handleRect(20).right() + 20, slider->handleRect(20).center().y());
  sendMouse(slider, QEvent::MouseButtonPress, right, Qt::LeftButton);
  EXPECT_FALSE(r.w().positionTimer->isActive()) << "no tick moves the thumb while the groove is held";
  sendMouse(slider, QEvent::MouseButtonRelease, right, Qt::NoButton);
  EXPECT_EQ(slider->value(), 25);
  EXPECT_EQ(r.p().seeks, std::vector<double>{25});
  EXPECT_TRUE(r.w().positionTimer->isActive());

  // A drag: no tick while held, the seek where the thumb is released.
  r.p().seeks.clear();
  const QPoint grab = slider->handleRect(25).center();
  sendMouse(slider, QEvent::MouseButtonPress, grab, Qt::LeftButton);
  EXPECT_FALSE(r.w().positionTimer->isActive());
  const QPoint to = grab + QPoint(slider->width() / 4, 0);
  sendMouse(slider, QEvent::MouseMove, to, Qt::LeftButton);
  const int dropped = slider->value();
  EXPECT_GT(dropped, 25);
  EXPECT_TRUE(r.p().seeks.empty()) << "no seek while the thumb is held";
  sendMouse(slider, QEvent::MouseButtonRelease, to, Qt::NoButton);
  EXPECT_EQ(slider->value(), dropped);
  EXPECT_EQ(r.p().seeks, std::vector<double>{double(dropped)});
  EXPECT_TRUE(r.w().positionTimer->isActive());

  // Paused: a click moves the halted player, and it stays halted.
  r.w().playButton->click();
  r.p().seeks.clear();
  const QPoint left(slider->handleRect(dropped).left() - 20, slider->handleRect(dropped).center().y());
  sendMouse(slider, QEvent::MouseButtonPress, left, Qt::LeftButton);
  sendMouse(slider, QEvent::MouseButtonRelease, left, Qt::NoButton);
  EXPECT_EQ(r.p().seeks, std::vector<double>{double(dropped - 5)});
  EXPECT_FALSE(r.w().positionTimer->isActive());
  EXPECT_FALSE(r.p().running());
}

// Clicks over the tick marks under the groove, or just above it, count as clicks on it.
TEST(Slider, TheWholeHeightAnswersAsTheGrooveDoes) {
  Rig r;
  r.open();
  r.w().show();
  auto* slider = r.w().positionSlider;
  for (int y : {1, slider->height() / 2 + 5, slider->height() - 2}) {
    SCOPED_TRACE(y);
    r.p().seeks.clear();
    const int from = slider->value();
    const QPoint right(slider->handleRect(from).right() + 30, y);
    sendMouse(slider, QEvent::MouseButtonPress, right, Qt::LeftButton);
    sendMouse(slider, QEvent::MouseButtonRelease, right, Qt::NoButton);
    EXPECT_EQ(slider->value(), from + 5);
    EXPECT_EQ(r.p().seeks, std::vector<double>{double(from + 5)});
  }
}

// Every way the slider moves the video moves the position label with it, playing or halted,
// so that Mark End never takes a time other than the one shown.
TEST(Slider, ThePositionLabelFollowsEverySeek) {
  const struct {
    const char* what;
    std::function<void(Rig&)> move;
    int to;
  } cases[] = {
      {"released after a click or a drag",
       [](Rig& r) {
         emit r.w().positionSlider->pressed();
         r.w().positionSlider->setValue(25);
         emit r.w().positionSlider->released();
       },
       25},
      {"Page Up on the slider", [](Rig& r) { QTest::keyClick(r.w().positionSlider, Qt::Key_PageUp); }, 25},
      {"Page Down on the slider", [](Rig& r) { QTest::keyClick(r.w().positionSlider, Qt::Key_PageDown); },
       15},
      {"End on the slider", [](Rig& r) { QTest::keyClick(r.w().positionSlider, Qt::Key_End); }, 100},
      {"Home on the slider", [](Rig& r) { QTest::keyClick(r.w().positionSlider, Qt::Key_Home); }, 0},
  };
  for (const auto& c : cases) {
    for (bool playing : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (playing ? ", playing" : ", paused"));
      Rig r;
      r.open();
      r.p().pos = 20;
      r.tick();
      if (!playing) r.w().playButton->click();
      r.p().seeks.clear();
      c.move(r);
      EXPECT_EQ(r.p().seeks, std::vector<double>{double(c.to)});
      EXPECT_EQ(r.w().positionLabel->text(), vintrel::formatTime(c.to));
      r.w().markEndAction->trigger();
      EXPECT_EQ(r.w().session().markEnd(), c.to) << "Mark End takes what the label shows";
    }
  }
}

// The arrow keys: a second, or five with Shift, within the clip.
TEST(Keys, ArrowsStepThePositionWithinTheClip) {
  const struct {
    int from;
    int by;  // 1, -1, 5, -5
    int to;
  } cases[] = {{50, 1, 51}, {50, -1, 49},  {50, 5, 55},  {50, -5, 45},
               {2, -5, 0},  {119, 1, 120}, {118, 5, 120}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " by " << c.by);
    Rig r;
    r.open("/videos/clip.avi", 120);
    r.p().pos = c.from;
    r.tick();
    QAction* key = c.by == 1    ? r.w().stepForwardAction
                   : c.by == -1 ? r.w().stepBackAction
                   : c.by == 5  ? r.w().jumpForwardAction
                                : r.w().jumpBackAction;
    key->trigger();
    EXPECT_EQ(r.w().positionSlider->value(), c.to);
    EXPECT_EQ(r.p().seeks, std::vector<double>{double(c.to)});
    EXPECT_EQ(r.w().positionLabel->text(), vintrel::formatTime(c.to));
  }
}

// An old file playing at 30 s with marks set, so that every reset shows.
void oldFilePlaying(Rig& r) {
  r.open("/videos/old.avi", 50);
  r.markStart(3);
  r.markEnd(8);
  r.p().pos = 30;
  r.tick();
}

void expectFreshStart(Rig& r, const char* what) {
  EXPECT_EQ(r.w().session().markStart(), 0) << what;
  EXPECT_EQ(r.w().session().markEnd(), 0) << what;
  for (QLabel* label : {r.w().positionLabel, r.w().startLabel, r.w().endLabel, r.w().lengthLabel})
    EXPECT_EQ(label->text(), kZero) << what << ", " << label->objectName().toStdString();
  EXPECT_EQ(r.w().positionSlider->value(), 0) << what;
  EXPECT_EQ(r.w().positionSlider->markStart(), 0) << what;
  EXPECT_EQ(r.w().positionSlider->markEnd(), r.w().positionSlider->maximum())
      << what << ": the end tick waits at the far end";
}

TEST(Open, ReplacesAPlayingFileAndPlaysTheNewOne) {
  Rig r;
  oldFilePlaying(r);
  r.dialogs.onShow = [&](const fakes::DialogUse&) {
    // The old file waits halted where it was while the user chooses.
    EXPECT_FALSE(r.p().running());
    EXPECT_EQ(r.p().pos, 30);
    EXPECT_EQ(r.w().positionSlider->value(), 30);
    EXPECT_EQ(r.w().playButton->text(), "Play");
  };
  r.dialogs.answers = {QString("/videos/new clip.mkv")};
  r.p().nextDuration = 100.5;
  r.w().openButton->click();

  ASSERT_EQ(r.dialogs.uses.size(), 2u);
  const fakes::DialogUse& use = r.dialogs.uses[1];
  EXPECT_FALSE(use.save);
  EXPECT_EQ(use.request.title, "Open");
  EXPECT_EQ(
      use.request.filter,
      "All Video Files|*.dat;*.mp4;*.wmv;*.mov;*.avi;*.divx;*.mpg;*.flv;*.mkv;*.vob|All Files(*.*)|*.*");
  EXPECT_EQ(use.request.filterIndex, 1);
  EXPECT_EQ(use.request.fileName, "");

  EXPECT_EQ(r.p().opened.back(), "/videos/new clip.mkv");
  EXPECT_EQ(r.w().session().file(), "/videos/new clip.mkv");
  expectPlaying(r, "new file");
  EXPECT_EQ(r.p().pos, 0);
  EXPECT_EQ(r.w().positionSlider->maximum(), 100);
  expectFreshStart(r, "new file");
}

// A cancelled dialog loses nothing: the picture, the position, the marks; what played plays on.
TEST(Open, CancelLeavesTheOldFileWhereItWas) {
  const struct {
    const char* what;
    bool paused;
  } cases[] = {{"playing", false}, {"paused", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Rig r;
    oldFilePlaying(r);
    if (c.paused) r.w().playButton->click();
    r.p().seeks.clear();
    r.w().openButton->click();
    EXPECT_EQ(r.p().opened.size(), 1u);
    EXPECT_EQ(r.w().session().file(), "/videos/old.avi");
    EXPECT_TRUE(r.p().seeks.empty()) << "the picture moved";
    EXPECT_EQ(r.p().pos, 30);
    EXPECT_EQ(r.w().positionSlider->value(), 30);
    EXPECT_EQ(r.w().positionLabel->text(), " 0 : 0 : 30");
    EXPECT_EQ(r.p().running(), !c.paused);
    EXPECT_EQ(r.w().playButton->text(), c.paused ? "Play" : "Pause");
    EXPECT_EQ(r.w().session().markStart(), 3);
    EXPECT_EQ(r.w().session().markEnd(), 8);
    EXPECT_EQ(r.w().startLabel->text(), " 0 : 0 : 3");
    EXPECT_EQ(r.w().lengthLabel->text(), " 0 : 0 : 5");
    EXPECT_EQ(r.w().positionSlider->maximum(), 50);
    EXPECT_EQ(r.w().positionSlider->markStart(), 3);
    EXPECT_EQ(r.w().positionSlider->markEnd(), 8);
    EXPECT_EQ(r.w().windowTitle(), "old.avi - Vintrel");
  }
}

// The player loads in the background: the window waits for its word.
TEST(Open, TheClipPlaysOnceThePlayerHasLoadedIt) {
  Rig r;
  oldFilePlaying(r);
  r.p().autoLoad = false;
  r.open("/videos/long.mkv", 1000);
  ASSERT_TRUE(r.p().loadPending());
  EXPECT_EQ(r.w().playButton->text(), "Pause");
  EXPECT_FALSE(r.w().positionTimer->isActive()) << "nothing to follow yet";
  r.w().playButton->click();  // not loaded yet: ignored
  EXPECT_EQ(r.w().playButton->text(), "Pause");

  ASSERT_TRUE(r.p().finishLoading());
  expectPlaying(r, "loaded");
  EXPECT_EQ(r.w().positionSlider->maximum(), 1000);
  EXPECT_EQ(r.w().positionSlider->markEnd(), 1000);

  // Stopped before it has loaded: it loads halted, and says so.
  Rig stopped;
  stopped.p().autoLoad = false;
  stopped.open("/videos/long.mkv", 1000);
  stopped.w().stopButton->click();
  ASSERT_TRUE(stopped.p().finishLoading());
  expectHaltedAtZero(stopped, "stopped while loading");
  EXPECT_EQ(stopped.w().positionSlider->maximum(), 1000);
}

TEST(Open, AFileThePlayerCannotPlayIsNamedAndLeavesNothingOpen) {
  for (bool atOnce : {true, false}) {
    const char* what = atOnce ? "refused at once" : "refused later";
    Rig r;
    oldFilePlaying(r);
    r.p().autoLoad = atOnce;
    r.p().failNext("no video or audio stream");
    r.open("/videos/notes.txt");
    if (!atOnce) {
      EXPECT_TRUE(r.messages.shown.empty()) << what;
      r.p().finishLoading();
    }
    ASSERT_EQ(r.messages.shown.size(), 1u) << what;
    EXPECT_EQ(r.messages.shown[0].text, "Vintrel cannot play this file.");
    EXPECT_EQ(r.messages.shown[0].detail, "no video or audio stream");
    EXPECT_FALSE(r.w().session().hasFile()) << what;
    expectHaltedAtZero(r, what);
    expectFreshStart(r, what);

    // Nothing to play, stop or mark.
    r.p().pos = 12;
    for (QPushButton* b : {r.w().playButton, r.w().stopButton, r.w().markStartButton, r.w().markEndButton})
      b->click();
    EXPECT_EQ(r.w().playButton->text(), "Play") << what;
    expectFreshStart(r, what);

    // Another file opens as usual.
    r.p().autoLoad = true;
    r.open("/videos/a.avi", 20);
    expectPlaying(r, what);
    EXPECT_EQ(r.w().session().file(), "/videos/a.avi");
    EXPECT_EQ(r.w().positionSlider->maximum(), 20);
    EXPECT_EQ(r.messages.shown.size(), 1u);
  }
}

TEST(Open, StopOrPlayWhileTheDialogIsOpen) {
  {
    Rig r;
    oldFilePlaying(r);
    r.dialogs.answers = {QString("/videos/new.avi")};
    r.dialogs.onShow = [&](const fakes::DialogUse&) {
      r.w().stopButton->click();
      EXPECT_EQ(r.w().positionLabel->text(), kZero);
      expectHaltedAtZero(r, "stopped under the dialog");
    };
    r.w().openButton->click();
    EXPECT_EQ(r.w().session().file(), "/videos/new.avi");
    expectPlaying(r, "new file");
  }
  {  // the old file restarted under the dialog, then the user cancels: it plays on
    Rig r;
    oldFilePlaying(r);
    r.dialogs.onShow = [&](const fakes::DialogUse&) { r.w().playButton->click(); };
    r.w().openButton->click();
    EXPECT_EQ(r.w().session().file(), "/videos/old.avi");
    expectPlaying(r, "old file");
  }
}

// Sends a drag over the window and drops it; whether the window took it.
bool drop(Rig& r, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  enter.setAccepted(false);
  QApplication::sendEvent(&r.w(), &enter);
  QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  dropped.setAccepted(false);
  QApplication::sendEvent(&r.w(), &dropped);
  EXPECT_EQ(enter.isAccepted(), dropped.isAccepted()) << "the drag promised otherwise";
  return dropped.isAccepted();
}

TEST(Drop, ADroppedVideoOpensAsOpenWouldButNotWhileSaving) {
  Rig r;
  oldFilePlaying(r);
  EXPECT_FALSE(drop(r, {QUrl("https://example.org/v.mp4")}));
  EXPECT_EQ(r.w().session().file(), "/videos/old.avi");
  expectPlaying(r, "a web address is no file");

  r.p().nextDuration = 70;
  // The first local file of what is dropped.
  EXPECT_TRUE(drop(r, {QUrl("https://example.org/v.mp4"), QUrl::fromLocalFile("/videos/new.avi"),
                       QUrl::fromLocalFile("/videos/more.avi")}));
  EXPECT_EQ(r.dialogs.uses.size(), 1u) << "no dialog for a drop";
  EXPECT_EQ(r.p().opened.back(), "/videos/new.avi");
  EXPECT_EQ(r.w().session().file(), "/videos/new.avi");
  expectPlaying(r, "dropped");
  EXPECT_EQ(r.w().positionSlider->maximum(), 70);
  expectFreshStart(r, "dropped");

  r.markStart(12);
  r.markEnd(30);
  r.dialogs.answers = {QString("/videos/part.avi")};
  r.w().saveButton->click();
  ASSERT_TRUE(r.w().session().isSaving());
  EXPECT_FALSE(drop(r, {QUrl::fromLocalFile("/videos/third.avi")}));
  EXPECT_EQ(r.w().session().file(), "/videos/new.avi");
  EXPECT_EQ(r.p().opened.size(), 2u);
}

}  // namespace

namespace {

// Sends the mouse to the slider as a hand does: down on the thumb, moved, up.
void mouseOnSlider(vintrel::PositionSlider* slider, QEvent::Type type, int second, Qt::MouseButtons held) {
  const QPointF at(slider->handleRect(second).center());
  QMouseEvent event(type, at, slider->mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(slider, &event);
}

// The picture follows a dragged thumb from key frame to key frame, and lands exactly where
// it is let go; the label goes with the thumb all the way.
TEST(Slider, ADragPreviewsAtKeyFramesAndSeeksExactlyOnRelease) {
  Rig r;
  r.w().show();
  r.open("/videos/clip.avi", 60);
  r.w().playButton->click();  // paused
  vintrel::PositionSlider* slider = r.w().positionSlider;
  r.p().seeks.clear();
  mouseOnSlider(slider, QEvent::MouseButtonPress, 0, Qt::LeftButton);
  for (int second : {7, 15, 23}) {
    mouseOnSlider(slider, QEvent::MouseMove, second, Qt::LeftButton);
    EXPECT_EQ(slider->value(), second) << "the thumb left the pointer";
    EXPECT_EQ(r.w().positionLabel->text(), vintrel::formatTime(second));
  }
  EXPECT_EQ(r.p().keyFrameSeeks, (std::vector<double>{7, 15, 23}));
  EXPECT_TRUE(r.p().seeks.empty()) << "no exact seek while dragging";
  EXPECT_EQ(r.p().pos, 22) << "the picture at the key frame before the thumb";
  mouseOnSlider(slider, QEvent::MouseButtonRelease, 23, Qt::NoButton);
  EXPECT_EQ(r.p().seeks, std::vector<double>{23});
  EXPECT_EQ(r.p().pos, 23);
  EXPECT_EQ(slider->value(), 23);
}

// Nothing loses the place: Stop halts on the first frame, a step past the last frame stays
// on it, and the thumb follows every seek.
TEST(Place, StopStepsAndSeeksKeepThePictureTheThumbAndTheLabelTogether) {
  const struct {
    const char* what;
    std::function<void(Rig&)> act;
    double at;          // the player's position afterwards
    int thumb;          // the slider's
    const char* label;  // the position label's
  } rows[] = {
      {"Stop", [](Rig& r) { r.w().stopButton->click(); }, 0, 0, "0 : 0 : 0"},
      {"a frame step past the end",
       [](Rig& r) {
         r.w().playButton->click();
         r.p().pos = 59.99;
         r.w().frameForwardAction->trigger();
         r.w().frameForwardAction->trigger();
       },
       60, 60, " 0 : 1 : 0"},
      {"Play Selected",
       [](Rig& r) {
         r.markStart(12);
         r.markEnd(20);
         r.w().playSelectedAction->trigger();
       },
       12, 12, " 0 : 0 : 12"},
      {"Right while paused",
       [](Rig& r) {
         r.w().playButton->click();
         r.w().stepForwardAction->trigger();
       },
       31, 31, " 0 : 0 : 31"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Rig r;
    r.open("/videos/clip.avi", 60);
    r.p().pos = 30;
    r.tick();
    row.act(r);
    EXPECT_EQ(r.p().pos, row.at);
    EXPECT_EQ(r.w().positionSlider->value(), row.thumb);
    EXPECT_EQ(r.w().positionLabel->text(), row.label);
    EXPECT_EQ(r.w().session().file(), "/videos/clip.avi");
  }
}

// The window names the file and shows its length in the position's form.
TEST(Open, TheTitleNamesTheFileAndTheLengthShowsBesideThePosition) {
  Rig r;
  EXPECT_EQ(r.w().windowTitle(), "Vintrel");
  r.open("/videos/holiday trip.mp4", 3723.4);
  EXPECT_EQ(r.w().windowTitle(), "holiday trip.mp4 - Vintrel");
  EXPECT_EQ(r.w().durationLabel->text(), " 1 : 2 : 3");
  r.w().marksToFrameAction->setChecked(true);
  r.open("/videos/b.mkv", 3.48);
  EXPECT_EQ(r.w().durationLabel->text(), " 0 : 0 : 3.48");
  EXPECT_EQ(r.w().windowTitle(), "b.mkv - Vintrel");
}

}  // namespace
