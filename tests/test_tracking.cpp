#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>

#include "fakes/fakes.h"

using fakes::Rig;
using Calls = std::vector<std::string>;

TEST(Tracking, TickShowsThePositionRoundedHalfToEven) {
  const struct {
    double position;
    int value;
    const char* label;
  } cases[] = {{59.5, 60, " 0 : 1 : 0"},
               {58.5, 58, " 0 : 0 : 58"},
               {0.4, 0, " 0 : 0 : 0"},
               {99.49, 99, " 0 : 1 : 39"}};
  for (const auto& c : cases) {
    Rig r;
    r.SimulateOpen();
    r.mp().position = c.position;
    r.f().T_Timer();
    EXPECT_EQ(r.f().H->value(), c.value) << c.position;
    EXPECT_EQ(r.f().Label4->text(), c.label) << c.position;
    EXPECT_TRUE(r.f().T->isActive()) << c.position;
    EXPECT_TRUE(r.mp().calls.empty()) << c.position;
  }
}

// The end test compares the fractional length with the whole-second position.
TEST(Tracking, TickDetectsTheEndOfTheFile) {
  const struct {
    double duration;
    double position;
    bool ends;
    Calls calls;
    const char* label;
  } cases[] = {
      {100.0, 99.6, true, {"Seek 0", "Pause"}, " 0 : 1 : 40"},  // still running: halted at 0
      {100.7, 100.7, true, {"Seek 0"}, " 0 : 1 : 41"},          // halted at its end: only rewound
      {100.3, 100.0, false, {}, " 0 : 1 : 40"},                 // 100.3 s is not over at 100
      {100.3, 100.3, true, {"Seek 0"}, " 0 : 1 : 40"},          // but it is once the player is at its end
  };
  for (const auto& c : cases) {
    Rig r;
    r.SimulateOpen("/videos/clip.avi", c.duration);
    r.mp().position = c.position;
    if (c.position == c.duration) r.mp().paused = true;
    r.f().T_Timer();
    SCOPED_TRACE(c.position);
    EXPECT_EQ(r.mp().calls, c.calls) << c.duration;
    EXPECT_EQ(r.f().Label4->text(), c.label) << c.duration;  // the last position stays shown
    EXPECT_EQ(r.f().T->isActive(), !c.ends) << c.duration;
    if (c.ends) {
      EXPECT_EQ(r.f().Command1->text(), "Play") << c.duration;
      EXPECT_EQ(r.f().H->value(), 0) << c.duration;
      EXPECT_FALSE(r.f().IsPlaying) << c.duration;
      EXPECT_EQ(r.mp().position, 0) << c.duration;
    }
  }
}

TEST(Tracking, PlayingToTheEndThenPlayStartsAgainFromZero) {
  Rig r;
  r.SimulateOpen("/videos/clip.avi", 3.0);
  for (int i = 0; i < 3 && r.f().T->isActive(); ++i) {
    r.mp().Advance(1.0);
    r.f().T_Timer();
  }
  ASSERT_FALSE(r.f().T->isActive());
  EXPECT_EQ(r.f().Command1->text(), "Play");
  EXPECT_FALSE(r.mp().Running());
  EXPECT_FALSE(r.f().IsPlaying);

  r.mp().calls.clear();
  r.f().Command1->click();
  EXPECT_EQ(r.mp().calls, (Calls{"FileName /videos/clip.avi", "Play"}));
  EXPECT_TRUE(r.mp().Running());
  EXPECT_EQ(r.mp().position, 0);
  EXPECT_EQ(r.f().Command1->text(), "Pause");
  EXPECT_TRUE(r.f().T->isActive());
}

TEST(Tracking, AFailingStepEndsTheTick) {
  Rig r;
  r.SimulateOpen();
  r.f().H->setValue(7);
  r.f().Label4->setText(" 0 : 0 : 7");
  r.mp().position = 100;
  r.mp().failing = {"CurrentPosition"};
  r.f().T_Timer();
  EXPECT_EQ(r.f().H->value(), 7);
  EXPECT_EQ(r.f().Label4->text(), " 0 : 0 : 7");
  EXPECT_TRUE(r.f().T->isActive());

  r.mp().failing = {"Duration"};
  r.f().T_Timer();
  EXPECT_EQ(r.f().Label4->text(), " 0 : 1 : 40");
  EXPECT_TRUE(r.f().T->isActive());  // no end test without the length
  EXPECT_TRUE(r.mp().calls.empty());
}

TEST(Tracking, PressStopsTicksReleaseResumesThemOnlyWhilePlaying) {
  for (bool playing : {true, false}) {
    Rig r;
    r.SimulateOpen();
    r.f().IsPlaying = playing;
    r.f().H_MouseDown();
    EXPECT_FALSE(r.f().T->isActive());
    r.f().H_MouseUp();
    EXPECT_EQ(r.f().T->isActive(), playing);
  }
}

TEST(Tracking, ClickSeeksToTheSliderValueEvenWithoutAFile) {
  Rig r;
  r.f().H->setValue(4);
  r.mp().failing = {"Seek"};
  r.f().H_Click();  // the player's refusal is ignored
  EXPECT_EQ(r.mp().calls, Calls{"Seek 4"});

  r.SimulateOpen();
  r.mp().failing.clear();
  r.f().H->setValue(42);
  r.f().H_Click();
  EXPECT_EQ(r.mp().calls, Calls{"Seek 42"});
  EXPECT_EQ(r.mp().position, 42);
}

// Through the real widget: the thumb is still while held, the player follows on release.
TEST(Tracking, MouseOnTheSliderSeeksWhereItIsLetGo) {
  Rig r;
  r.SimulateOpen();
  r.f().show();
  vintrel::Slider* h = r.f().H;
  r.mp().position = 20;
  r.f().T_Timer();
  ASSERT_EQ(h->value(), 20);

  // A click on the groove right of the thumb moves it by the large change.
  const QPoint right(h->HandleRect().right() + 20, h->GrooveY());
  QTest::mouseClick(h, Qt::LeftButton, {}, right);
  EXPECT_EQ(h->value(), 25);
  EXPECT_EQ(r.mp().calls, Calls{"Seek 25"});
  EXPECT_TRUE(r.f().T->isActive());

  // A drag: no tick while held, the seek where the thumb is released.
  r.mp().calls.clear();
  const QPoint grab = h->HandleRect().center();
  QTest::mousePress(h, Qt::LeftButton, {}, grab);
  EXPECT_FALSE(r.f().T->isActive());
  const QPoint to = grab + QPoint(h->width() / 4, 0);
  QMouseEvent move(QEvent::MouseMove, to, h->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(h, &move);
  const int dropped = h->value();
  EXPECT_GT(dropped, 25);
  QTest::mouseRelease(h, Qt::LeftButton, {}, to);
  EXPECT_EQ(h->value(), dropped);
  EXPECT_EQ(r.mp().calls, Calls{"Seek " + std::to_string(dropped)});
  EXPECT_TRUE(r.f().T->isActive());

  // Paused: the click moves the halted player, the ticks stay off.
  r.f().Command1->click();
  r.mp().calls.clear();
  QTest::mouseClick(h, Qt::LeftButton, {}, QPoint(h->HandleRect().left() - 20, h->GrooveY()));
  EXPECT_EQ(r.mp().calls, Calls{"Seek " + std::to_string(dropped - 5)});
  EXPECT_FALSE(r.f().T->isActive());
  EXPECT_FALSE(r.mp().Running());
}
