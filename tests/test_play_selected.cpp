// Play Selected (Command9) on a fake player and pump: the wait loop and everything that
// may run nested inside it.
#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/fakes.h"

namespace {

using fakes::Rig;

// A file open and playing at second 0 with the stretch 10..20 marked. Time moves only while
// Play Selected sleeps: the player by `step` seconds per sleep, and with `ticks` a timer tick
// falls due every 1000 ms and runs with the next pumped events, as the real timer's would.
struct Preview {
  Rig rig;
  double step = 0.25;
  bool ticks = false;
  int sinceTick = 0;
  double furthest = 0;  // the furthest position any pass saw

  explicit Preview(double duration = 100.0) {
    rig.SimulateOpen("/videos/clip.avi", duration);
    f().SelStart = 10;
    f().SelEnd = 20;
    rig.pump.onSleep = [this](int ms) {
      mp().Advance(step);
      if (f().T->isActive()) sinceTick += ms;
    };
    rig.pump.everyPass = [this] {
      if (mp().loaded) furthest = std::max(furthest, mp().position);
      if (ticks && f().T->isActive() && sinceTick >= 1000) {
        sinceTick -= 1000;
        f().T_Timer();
      }
    };
  }
  vintrel::Form1& f() { return rig.f(); }
  fakes::FakePlayer& mp() { return rig.mp(); }
  // Runs the action with the given pass's (1-based) pumped events.
  void At(int pass, std::function<void()> action) {
    while (static_cast<int>(rig.pump.queued.size()) < pass - 1) rig.pump.queued.push_back([] {});
    rig.pump.queued.push_back(std::move(action));
  }
  void Halt() {  // as the Pause click leaves a file
    f().IsPlaying = false;
    mp().paused = true;
    f().Command1->setText("Play");
    f().T->stop();
  }
  void ExpectHalted(double position) {
    EXPECT_EQ(f().Command1->text(), "Play");
    EXPECT_FALSE(f().T->isActive());
    EXPECT_FALSE(f().IsPlaying);
    EXPECT_FALSE(mp().Running());
    EXPECT_DOUBLE_EQ(mp().position, position);
    EXPECT_TRUE(rig.msg.shown.empty());
  }
};

TEST(PlaySelected, RefusesAnEmptyOrReversedSelectionBeforeLookingForAFile) {
  const struct {
    bool open;
    int32_t start, end;
  } cases[] = {{false, 0, 0}, {true, 0, 0}, {true, 15, 15}, {true, 30, 20}, {false, 30, 20}};
  for (const auto& c : cases) {
    Rig r;
    if (c.open) r.SimulateOpen();
    r.f().SelStart = c.start;
    r.f().SelEnd = c.end;
    const QString caption = r.f().Command1->text();
    r.f().Command9_Click();
    ASSERT_EQ(r.msg.shown.size(), 1u) << c.start << ".." << c.end;
    EXPECT_EQ(r.msg.shown[0].text, "Start time cannot be >= End time. Invalid Selection");
    EXPECT_EQ(r.msg.shown[0].flags, 0x40);
    EXPECT_TRUE(r.mp().calls.empty());
    EXPECT_TRUE(r.pump.log.empty());
    EXPECT_EQ(r.f().Command1->text(), caption);
    EXPECT_EQ(r.f().T->isActive(), c.open);
    EXPECT_EQ(r.f().SelStart, c.start);
    EXPECT_EQ(r.f().SelEnd, c.end);
  }
  // A valid selection without a file: silently nothing.
  Rig r;
  r.f().SelStart = 1;
  r.f().SelEnd = 5;
  r.f().Command9_Click();
  EXPECT_TRUE(r.msg.shown.empty());
  EXPECT_TRUE(r.mp().calls.empty());
  EXPECT_TRUE(r.pump.log.empty());
}

TEST(PlaySelected, PlaysFromStartAndHaltsAtTheFirstCheckAtOrPastTheEnd) {
  for (double step : {0.25, 0.3, 0.2, 0.7}) {
    SCOPED_TRACE(step);
    Preview p;
    p.step = step;
    p.mp().position = 3;
    p.f().H->setValue(4);
    p.f().Command9_Click();
    EXPECT_EQ(p.mp().calls, (std::vector<std::string>{"Seek 10", "Pause"}));
    EXPECT_GE(p.mp().position, 20.0);
    EXPECT_LT(p.mp().position - step, 20.0) << "went on past a check that had reached the end";
    p.ExpectHalted(p.mp().position);
    EXPECT_EQ(p.f().Label4->text(), " 0 : 0 : 4");  // from the slider, not the player
    // Each pass pumps the events, then sleeps 200 ms.
    ASSERT_GE(p.rig.pump.log.size(), 2u);
    for (size_t i = 0; i < p.rig.pump.log.size(); ++i)
      EXPECT_EQ(p.rig.pump.log[i], i % 2 ? "Sleep 200" : "DoEvents");
  }
}

TEST(PlaySelected, StartsFromWhateverStateThePlayerIsIn) {
  const struct {
    double haltedAt;  // < 0: playing
    std::vector<std::string> calls;
  } cases[] = {
      {-1, {"Seek 10", "Pause"}},
      {42.7, {"Pause", "Seek 10", "Pause"}},                                       // resumed
      {0, {"FileName /videos/clip.avi", "Play", "Seek 10", "Pause"}},              // reloaded after Stop
      {100, {"Seek 0", "FileName /videos/clip.avi", "Play", "Seek 10", "Pause"}},  // rewound from the end
  };
  for (const auto& c : cases) {
    Preview p;
    if (c.haltedAt >= 0) {
      p.Halt();
      p.mp().position = c.haltedAt;
    }
    p.f().Command9_Click();
    EXPECT_EQ(p.mp().calls, c.calls) << c.haltedAt;
    p.ExpectHalted(20.0);
  }
}

TEST(PlaySelected, PauseOrStopInsideTheWaitEndsIt) {
  Preview pause;
  pause.At(9, [&] { pause.f().Command1_Click(); });  // at 12.0
  pause.f().Command9_Click();
  EXPECT_EQ(pause.rig.pump.sleeps, 9);  // ended at the check right after the click
  pause.ExpectHalted(12.0);
  EXPECT_EQ(pause.mp().Count("Pause"), 1);  // the halt at the end had nothing left to do

  Preview stop;
  stop.At(3, [&] { stop.f().Command2_Click(); });
  stop.f().Command9_Click();
  EXPECT_EQ(stop.rig.pump.sleeps, 3);
  stop.ExpectHalted(0.0);
  EXPECT_EQ(stop.f().Label4->text(), "0 : 0 : 0");  // the loop ended before writing over Stop's reset
}

TEST(PlaySelected, MarksInsideTheWait) {
  // A new start mark changes nothing for the run under way; a new end mark moves the stop.
  Preview p;
  p.At(5, [&] {
    p.mp().position = 17.6;
    p.f().Command5_Click();
    p.mp().position = 11.0;
  });
  p.At(16, [&] { p.f().Command6_Click(); });  // at 13.75, which marks second 14
  p.f().Command9_Click();
  EXPECT_EQ(p.f().SelStart, 18);
  EXPECT_EQ(p.f().SelEnd, 14);
  EXPECT_EQ(p.mp().Count("Seek 10"), 1);
  EXPECT_EQ(p.rig.pump.sleeps, 16);
  p.ExpectHalted(14.0);
}

TEST(PlaySelected, OpenInsideTheWaitEndsItAndHaltsTheNewFile) {
  Preview p;
  p.rig.dialog.answers.push_back(QString("/videos/other.mkv"));
  p.At(4, [&] { p.f().Command4_Click(); });
  p.f().Command9_Click();
  EXPECT_EQ(p.f().CurrentFile, "/videos/other.mkv");
  EXPECT_EQ(p.f().SelEnd, 0);
  EXPECT_EQ(p.rig.pump.sleeps, 4);
  p.ExpectHalted(0.25);  // shortly after its start

  // A cancelled Open leaves "Play" on the button, which ends the wait as well.
  Preview cancelled;
  cancelled.At(1, [&] { cancelled.f().Command4_Click(); });
  cancelled.f().Command9_Click();
  EXPECT_EQ(cancelled.rig.pump.sleeps, 1);
  EXPECT_EQ(cancelled.f().CurrentFile, "/videos/clip.avi");
  cancelled.ExpectHalted(0.0);
}

TEST(PlaySelected, StartedAgainFromInsideItsOwnWait) {
  Preview p;
  int innerEnd = 0;
  p.At(3, [&] {
    p.f().SelStart = 15;
    p.f().Command9_Click();  // plays 15..20 to its end
    innerEnd = p.rig.pump.sleeps;
  });
  p.f().Command9_Click();
  EXPECT_EQ(p.mp().Count("Seek 10"), 1);
  EXPECT_EQ(p.mp().Count("Seek 15"), 1);
  EXPECT_EQ(p.rig.pump.sleeps, innerEnd + 1);  // the outer run ends at its next check
  EXPECT_EQ(p.mp().Count("Pause"), 1);         // and does not resume what the inner one halted
  p.ExpectHalted(20.0);
}

TEST(PlaySelected, SliderClickedDuringTheRun) {
  const struct {
    int value;
    double halted;
    int sleeps;
  } cases[] = {
      {25, 25.25, 3},  // past the end: ends at the next check
      {20, 20.25, 3},  // exactly the end
      {5, 20.0, 62},   // before the start: plays on from there to the end
  };
  for (const auto& c : cases) {
    Preview p;
    p.At(3, [&] {
      p.f().H_MouseDown();
      p.f().H->setValue(c.value);
      p.f().H_MouseUp();
      p.f().H_Click();
    });
    p.f().Command9_Click();
    EXPECT_EQ(p.mp().Count("Seek " + std::to_string(c.value)), 1) << c.value;
    EXPECT_EQ(p.rig.pump.sleeps, c.sleeps) << c.value;
    p.ExpectHalted(c.halted);
  }
}

TEST(PlaySelected, EndMarkBeyondTheVideoEndsAtTheEndOfTheFile) {
  // A 100.6 s video: marking its last position rounds up to second 101, which it never reaches.
  Preview p(100.6);
  p.mp().position = 100.6;
  p.f().Command6_Click();
  ASSERT_EQ(p.f().SelEnd, 101);
  p.f().SelStart = 97;
  p.ticks = true;
  p.step = 0.2;
  p.f().Command9_Click();
  EXPECT_DOUBLE_EQ(p.furthest, 100.6);
  EXPECT_LT(p.rig.pump.sleeps, 40);
  // The tick saw the end, rewound and set "Play"; the halt at the end must not resume it.
  p.ExpectHalted(0.0);
  EXPECT_EQ(p.f().H->value(), 0);
}

TEST(PlaySelected, TicksDuringTheRunKeepTheLabelInStep) {
  Preview p;
  p.ticks = true;
  p.f().Command9_Click();
  p.ExpectHalted(20.0);
  EXPECT_EQ(p.f().H->value(), 19);                 // the last tick saw 18.75
  EXPECT_EQ(p.f().Label4->text(), " 0 : 0 : 19");  // and the loop repeats the slider
}

TEST(PlaySelected, FailuresEndItSilentlyWhereTheyHappen) {
  // The seek fails: the video plays on from where it was, "Pause" stays, the timer is untouched.
  Preview seek;
  seek.mp().position = 50;
  seek.f().T->stop();
  seek.mp().failing = {"Seek"};
  seek.f().Command9_Click();
  EXPECT_EQ(seek.f().Command1->text(), "Pause");
  EXPECT_FALSE(seek.f().T->isActive());
  EXPECT_TRUE(seek.mp().Running());
  EXPECT_DOUBLE_EQ(seek.mp().position, 50.0);
  EXPECT_TRUE(seek.rig.pump.log.empty());

  // The position cannot be read inside the loop: the run ends there, still playing.
  Preview read;
  read.At(2, [&] { read.mp().failing = {"CurrentPosition"}; });
  read.f().Command9_Click();
  EXPECT_EQ(read.rig.pump.sleeps, 2);
  EXPECT_EQ(read.f().Command1->text(), "Pause");
  EXPECT_TRUE(read.f().T->isActive());
  EXPECT_TRUE(read.mp().Running());

  // The player cannot start: nothing after it runs.
  Preview play;
  play.Halt();
  play.mp().position = 0;
  play.mp().failing = {"Play"};
  play.f().Command9_Click();
  EXPECT_EQ(play.f().Command1->text(), "Play");
  EXPECT_FALSE(play.f().T->isActive());
  EXPECT_EQ(play.mp().Count("Seek 10"), 0);
  for (Preview* each : {&seek, &read, &play}) {
    EXPECT_TRUE(each->rig.msg.shown.empty());
    EXPECT_FALSE(each->rig.app.ended);
  }
}

}  // namespace
