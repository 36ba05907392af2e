// Play Selected (Command9) on a fake player and pump: the wait loop and everything that
// may run nested inside it.
#include <gtest/gtest.h>

#include <algorithm>

#include "fakes/fakes.h"

namespace {

using fakes::Rig;

constexpr const char* kInvalid = "Start time cannot be >= End time. Invalid Selection";

// A rig whose time moves only while Play Selected sleeps: the player advances by `step`
// seconds per sleep, and while the timer runs a tick falls due every 1000 ms and runs with
// the next pumped events, as the real timer's would.
class PlaySelected : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.SimulateOpen("/videos/clip.avi", 100.0);
    f().SelStart = 10;
    f().SelEnd = 20;
    rig.pump.onSleep = [this](int ms) {
      rig.mp().Advance(step);
      if (f().T->isActive()) sinceTick += ms;
    };
    rig.pump.everyPass = [this] {
      positionsAtPump.push_back(rig.player->loaded ? rig.mp().position : -1);
      if (ticks && f().T->isActive() && sinceTick >= 1000) {
        sinceTick -= 1000;
        f().T_Timer();
      }
    };
  }
  vintrel::Form1& f() { return rig.f(); }
  // Runs the queued action at the given pass (1-based) of the loop.
  void At(int pass, std::function<void()> action) {
    while (static_cast<int>(rig.pump.queued.size()) < pass - 1) rig.pump.queued.push_back([] {});
    rig.pump.queued.push_back(std::move(action));
  }
  void ExpectHalted(double position) {
    EXPECT_EQ(f().Command1->text(), "Play");
    EXPECT_FALSE(f().T->isActive());
    EXPECT_FALSE(f().IsPlaying);
    EXPECT_FALSE(rig.mp().Running());
    EXPECT_DOUBLE_EQ(rig.mp().position, position);
    EXPECT_TRUE(rig.msg.shown.empty());
  }

  Rig rig;
  double step = 0.25;
  bool ticks = false;
  int sinceTick = 0;
  std::vector<double> positionsAtPump;
};

TEST_F(PlaySelected, RefusesAnEmptyOrReversedSelectionBeforeLookingForAFile) {
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
    const bool timer = r.f().T->isActive();
    r.f().Command9_Click();
    ASSERT_EQ(r.msg.shown.size(), 1u) << c.start << ".." << c.end;
    EXPECT_EQ(r.msg.shown[0].text, kInvalid);
    EXPECT_EQ(r.msg.shown[0].flags, 0x40);
    EXPECT_TRUE(r.mp().calls.empty());
    EXPECT_TRUE(r.pump.log.empty());
    EXPECT_EQ(r.f().Command1->text(), caption);
    EXPECT_EQ(r.f().T->isActive(), timer);
    EXPECT_EQ(r.f().SelStart, c.start);
    EXPECT_EQ(r.f().SelEnd, c.end);
  }
}

TEST_F(PlaySelected, WithoutAFileAValidSelectionDoesNothing) {
  Rig r;
  r.f().SelStart = 1;
  r.f().SelEnd = 5;
  r.f().Command9_Click();
  EXPECT_TRUE(r.msg.shown.empty());
  EXPECT_TRUE(r.mp().calls.empty());
  EXPECT_TRUE(r.pump.log.empty());
  EXPECT_EQ(r.f().Command1->text(), "Play");
}

TEST_F(PlaySelected, PlaysFromStartAndHaltsAtTheFirstCheckAtOrPastTheEnd) {
  for (double s : {0.25, 0.3, 0.2, 0.7}) {
    SCOPED_TRACE(s);
    Rig r;
    r.SimulateOpen();
    r.f().SelStart = 10;
    r.f().SelEnd = 20;
    r.mp().position = 3;
    r.pump.onSleep = [&](int) { r.mp().Advance(s); };
    r.f().H->setValue(4);
    r.f().Command9_Click();
    EXPECT_EQ(r.mp().calls.front(), "Seek 10");
    const double halted = r.mp().position;
    EXPECT_GE(halted, 20.0);
    EXPECT_LT(halted - s, 20.0) << "went on past a check that had reached the end";
    EXPECT_EQ(r.mp().calls.back(), "Pause");
    EXPECT_EQ(r.mp().Count("Pause"), 1);
    EXPECT_EQ(r.f().Command1->text(), "Play");
    EXPECT_FALSE(r.f().T->isActive());
    EXPECT_FALSE(r.f().IsPlaying);
    EXPECT_EQ(r.f().Label4->text(), " 0 : 0 : 4");  // from the slider, not the player
    // Each pass pumps the events, then sleeps 200 ms.
    ASSERT_GE(r.pump.log.size(), 2u);
    for (size_t i = 0; i < r.pump.log.size(); ++i) EXPECT_EQ(r.pump.log[i], i % 2 ? "Sleep 200" : "DoEvents");
  }
}

TEST_F(PlaySelected, StartsFromWhateverStateThePlayerIsIn) {
  const struct {
    const char* state;
    std::vector<std::string> calls;
  } cases[] = {
      {"playing", {"Seek 10", "Pause"}},
      {"paused", {"Pause", "Seek 10", "Pause"}},
      {"stopped", {"FileName /videos/clip.avi", "Play", "Seek 10", "Pause"}},
      {"at end", {"Seek 0", "FileName /videos/clip.avi", "Play", "Seek 10", "Pause"}},
  };
  for (const auto& c : cases) {
    Rig r;
    r.SimulateOpen();
    r.f().SelStart = 10;
    r.f().SelEnd = 20;
    r.pump.onSleep = [&](int) { r.mp().Advance(0.25); };
    const std::string state = c.state;
    if (state != "playing") {
      r.f().IsPlaying = false;
      r.mp().paused = true;
      r.f().Command1->setText("Play");
      r.f().T->stop();
      r.mp().position = state == "paused" ? 42.7 : state == "stopped" ? 0.0 : 100.0;
    }
    r.f().Command9_Click();
    EXPECT_EQ(r.mp().calls, c.calls) << c.state;
    EXPECT_DOUBLE_EQ(r.mp().position, 20.0) << c.state;
    EXPECT_FALSE(r.mp().Running()) << c.state;
    EXPECT_EQ(r.f().Command1->text(), "Play") << c.state;
  }
}

TEST_F(PlaySelected, PauseOrStopInsideTheWaitEndsIt) {
  At(9, [&] { f().Command1_Click(); });  // Pause at 12.0
  f().Command9_Click();
  EXPECT_EQ(rig.pump.sleeps, 9);  // ended at the check right after the click
  ExpectHalted(12.0);
  EXPECT_EQ(rig.mp().Count("Pause"), 1);  // the click halted it; the halt at the end had nothing left to do

  Rig r;
  r.SimulateOpen();
  r.f().SelStart = 10;
  r.f().SelEnd = 20;
  r.pump.onSleep = [&](int) { r.mp().Advance(0.25); };
  r.pump.queued = {[] {}, [] {}, [&] { r.f().Command2_Click(); }};
  r.f().Command9_Click();
  EXPECT_EQ(r.pump.sleeps, 3);
  EXPECT_DOUBLE_EQ(r.mp().position, 0.0);
  EXPECT_FALSE(r.mp().Running());
  EXPECT_EQ(r.f().Command1->text(), "Play");
  EXPECT_EQ(r.f().Label4->text(), "0 : 0 : 0");  // Stop's reset stays: the loop ended before writing
  EXPECT_FALSE(r.f().T->isActive());
}

TEST_F(PlaySelected, MarksInsideTheWait) {
  // A new start mark changes nothing for the run under way; a new end mark moves the stop.
  At(5, [&] {
    rig.mp().position = 17.6;  // as if the start mark took effect elsewhere
    f().Command5_Click();
    rig.mp().position = 11.0;
  });
  At(16, [&] { f().Command6_Click(); });  // at 13.75, which marks second 14
  f().Command9_Click();
  EXPECT_EQ(f().SelStart, 18);
  EXPECT_EQ(f().SelEnd, 14);
  EXPECT_EQ(rig.mp().Count("Seek 10"), 1);
  ExpectHalted(14.0);
  EXPECT_EQ(rig.pump.sleeps, 16);
}

TEST_F(PlaySelected, OpenInsideTheWaitEndsItAndHaltsTheNewFile) {
  rig.dialog.answers.push_back(QString("/videos/other.mkv"));
  At(4, [&] { f().Command4_Click(); });
  f().Command9_Click();
  EXPECT_EQ(f().CurrentFile, "/videos/other.mkv");
  EXPECT_EQ(f().SelEnd, 0);
  EXPECT_EQ(rig.pump.sleeps, 4);
  ExpectHalted(0.25);  // halted shortly after its start

  // A cancelled Open leaves "Play" on the button, which ends the wait as well.
  Rig r;
  r.SimulateOpen();
  r.f().SelStart = 10;
  r.f().SelEnd = 20;
  r.pump.queued = {[&] { r.f().Command4_Click(); }};
  r.f().Command9_Click();
  EXPECT_EQ(r.pump.sleeps, 1);
  EXPECT_EQ(r.f().CurrentFile, "/videos/clip.avi");
  EXPECT_EQ(r.f().Command1->text(), "Play");
  EXPECT_FALSE(r.mp().Running());
}

TEST_F(PlaySelected, StartedAgainFromInsideItsOwnWait) {
  int outerSleeps = 0;
  At(3, [&] {
    f().SelStart = 15;
    f().Command9_Click();  // plays 15..20 to its end
    outerSleeps = rig.pump.sleeps;
  });
  f().Command9_Click();
  EXPECT_EQ(rig.mp().Count("Seek 10"), 1);
  EXPECT_EQ(rig.mp().Count("Seek 15"), 1);
  EXPECT_EQ(rig.pump.sleeps, outerSleeps + 1);  // the outer run ends at its next check
  EXPECT_EQ(rig.mp().Count("Pause"), 1);        // and does not resume what the inner one halted
  ExpectHalted(20.0);
}

TEST_F(PlaySelected, SliderClickedDuringTheRun) {
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
    Rig r;
    r.SimulateOpen();
    r.f().SelStart = 10;
    r.f().SelEnd = 20;
    r.pump.onSleep = [&](int) { r.mp().Advance(0.25); };
    r.pump.queued = {[] {}, [] {},
                     [&] {
                       r.f().H_MouseDown();
                       r.f().H->setValue(c.value);
                       r.f().H_MouseUp();
                       r.f().H_Click();
                     }};
    r.f().Command9_Click();
    EXPECT_EQ(r.mp().Count("Seek " + std::to_string(c.value)), 1) << c.value;
    EXPECT_DOUBLE_EQ(r.mp().position, c.halted) << c.value;
    EXPECT_EQ(r.pump.sleeps, c.sleeps) << c.value;
    EXPECT_EQ(r.f().Command1->text(), "Play") << c.value;
    EXPECT_FALSE(r.mp().Running()) << c.value;
    EXPECT_FALSE(r.f().T->isActive()) << c.value;
  }
}

TEST_F(PlaySelected, EndMarkBeyondTheVideoEndsAtTheEndOfTheFile) {
  // A 100.6 s video: marking its last position rounds up to second 101, which it never reaches.
  rig.SimulateOpen("/videos/clip.avi", 100.6);
  rig.mp().position = 100.6;
  f().Command6_Click();
  ASSERT_EQ(f().SelEnd, 101);
  f().SelStart = 97;
  ticks = true;
  step = 0.2;
  f().Command9_Click();
  // The tick saw the end, rewound and set "Play"; the halt at the end must not resume it.
  EXPECT_EQ(f().Command1->text(), "Play");
  EXPECT_FALSE(f().T->isActive());
  EXPECT_FALSE(f().IsPlaying);
  EXPECT_FALSE(rig.mp().Running());
  EXPECT_DOUBLE_EQ(rig.mp().position, 0.0);
  EXPECT_EQ(f().H->value(), 0);
  EXPECT_GE(*std::max_element(positionsAtPump.begin(), positionsAtPump.end()), 100.6);
  EXPECT_LT(rig.pump.sleeps, 40);
}

TEST_F(PlaySelected, TicksDuringTheRunKeepTheLabelInStep) {
  ticks = true;
  f().Command9_Click();
  ExpectHalted(20.0);
  EXPECT_EQ(f().Label4->text(), " 0 : 0 : 19");  // the last tick saw 18.75; the loop repeats the slider
  EXPECT_EQ(f().H->value(), 19);
}

TEST_F(PlaySelected, FailuresEndItSilentlyWhereTheyHappen) {
  // The seek fails: the video plays on from where it was, "Pause" stays, the timer is untouched.
  rig.mp().position = 50;
  f().T->stop();
  rig.mp().failing = {"Seek"};
  f().Command9_Click();
  EXPECT_EQ(f().Command1->text(), "Pause");
  EXPECT_FALSE(f().T->isActive());
  EXPECT_TRUE(rig.mp().Running());
  EXPECT_DOUBLE_EQ(rig.mp().position, 50.0);
  EXPECT_TRUE(rig.pump.log.empty());

  // The position cannot be read inside the loop: the run ends there, still playing.
  Rig r;
  r.SimulateOpen();
  r.f().SelStart = 10;
  r.f().SelEnd = 20;
  r.pump.queued = {[] {}, [&] { r.mp().failing = {"CurrentPosition"}; }};
  r.f().Command9_Click();
  EXPECT_EQ(r.pump.sleeps, 2);
  EXPECT_EQ(r.f().Command1->text(), "Pause");
  EXPECT_TRUE(r.f().T->isActive());
  EXPECT_TRUE(r.mp().Running());

  // The player cannot start: nothing after it runs.
  Rig s;
  s.SimulateOpen();
  s.f().SelStart = 10;
  s.f().SelEnd = 20;
  s.f().IsPlaying = false;
  s.mp().paused = true;
  s.mp().position = 0;
  s.f().Command1->setText("Play");
  s.f().T->stop();
  s.mp().failing = {"Play"};
  s.f().Command9_Click();
  EXPECT_EQ(s.f().Command1->text(), "Play");
  EXPECT_FALSE(s.f().T->isActive());
  EXPECT_EQ(s.mp().Count("Seek 10"), 0);
  for (Rig* each : {&rig, &r, &s}) {
    EXPECT_TRUE(each->msg.shown.empty());
    EXPECT_FALSE(each->app.ended);
  }
}

}  // namespace
