#include <gtest/gtest.h>

#include "fakes/fakes.h"

using fakes::Rig;
using Calls = std::vector<std::string>;

namespace {

// A file open and halted where the test says, as Pause or Stop would leave it.
void Halt(Rig& r, double position) {
  r.mp().paused = true;
  r.mp().position = position;
  r.f().IsPlaying = false;
  r.f().Command1->setText("Play");
  r.f().T->stop();
}

}  // namespace

TEST(Transport, WithoutAFileNothingChanges) {
  for (const char* caption : {"Play", "Pause"}) {
    Rig r;
    r.f().Command1->setText(caption);
    r.f().H->setValue(3);
    r.f().Label4->setText("x");
    r.f().Command1->click();
    r.f().Command2->click();
    r.f().mp_myplay();
    r.f().mp_mypause();
    r.f().mp_mystop();
    r.f().mp_myopen();
    EXPECT_EQ(r.f().Command1->text(), caption);
    EXPECT_FALSE(r.f().T->isActive());
    EXPECT_EQ(r.f().H->value(), 3);
    EXPECT_EQ(r.f().H->maximum(), 10);
    EXPECT_EQ(r.f().Label4->text(), "x");
    EXPECT_FALSE(r.f().IsPlaying);
    EXPECT_TRUE(r.mp().calls.empty());
  }
}

// What the Play click asks of the player, from each state it may find it in.
TEST(Transport, PlayResumesOrReloadsByPosition) {
  const struct {
    const char* name;
    bool isPlaying;
    bool paused;
    double position;
    Calls calls;
  } cases[] = {
      {"paused mid-file resumes", false, true, 42.7, {"Pause"}},
      {"stopped at 0 reloads", false, true, 0.0, {"FileName /videos/clip.avi", "Play"}},
      {"at the end rewinds and reloads", false, true, 100.0, {"Seek 0", "FileName /videos/clip.avi", "Play"}},
      {"at the end though flagged playing",
       true,
       true,
       100.0,
       {"Seek 0", "FileName /videos/clip.avi", "Play"}},
  };
  for (const auto& c : cases) {
    Rig r;
    r.SimulateOpen();
    Halt(r, c.position);
    r.f().IsPlaying = c.isPlaying;
    r.f().Command1->click();
    EXPECT_EQ(r.mp().calls, c.calls) << c.name;
    EXPECT_TRUE(r.mp().Running()) << c.name;
    EXPECT_TRUE(r.f().IsPlaying) << c.name;
    EXPECT_EQ(r.f().Command1->text(), "Pause") << c.name;
    EXPECT_TRUE(r.f().T->isActive()) << c.name;
  }
}

TEST(Transport, PauseClickHaltsAndAnyOtherCaptionCountsAsPause) {
  for (const char* caption : {"Pause", "play", "Play "}) {
    Rig r;
    r.SimulateOpen();
    r.mp().position = 12;
    r.f().Command1->setText(caption);
    r.f().Command1->click();
    EXPECT_EQ(r.mp().calls, Calls{"Pause"}) << caption;
    EXPECT_FALSE(r.mp().Running()) << caption;
    EXPECT_FALSE(r.f().IsPlaying) << caption;
    EXPECT_FALSE(r.f().T->isActive()) << caption;
    EXPECT_EQ(r.f().Command1->text(), "Play") << caption;
  }
}

TEST(Transport, PauseWrapperOnlyPausesRunningPlayback) {
  Rig r;
  r.SimulateOpen();
  Halt(r, 12);
  r.f().mp_mypause();
  EXPECT_TRUE(r.mp().calls.empty());  // a second Pause would resume it
}

TEST(Transport, StopHaltsAtZeroAndResetsThePositionLabel) {
  const struct {
    const char* name;
    bool playing;
    double position;
    Calls calls;
  } cases[] = {
      {"while playing", true, 30.0, {"Seek 0", "Pause"}},
      {"while paused", false, 30.0, {"Seek 0"}},
      {"at the end", true, 100.0, {"Seek 0"}},
  };
  for (const auto& c : cases) {
    Rig r;
    r.SimulateOpen();
    r.f().SelStart = 5;
    r.f().SelEnd = 9;
    r.f().Label7->setText(" 0 : 0 : 5");
    r.mp().position = c.position;
    r.f().H->setValue(static_cast<int>(c.position));
    if (!c.playing) Halt(r, c.position);
    if (c.position == r.mp().duration) r.mp().paused = true;  // the player halts itself at its end
    r.f().Command2->click();
    EXPECT_EQ(r.mp().calls, c.calls) << c.name;
    EXPECT_FALSE(r.mp().Running()) << c.name;
    EXPECT_EQ(r.mp().position, 0) << c.name;
    EXPECT_FALSE(r.f().IsPlaying) << c.name;
    EXPECT_EQ(r.f().H->value(), 0) << c.name;
    EXPECT_EQ(r.f().H->maximum(), 100) << c.name;
    EXPECT_EQ(r.f().Command1->text(), "Play") << c.name;
    EXPECT_FALSE(r.f().T->isActive()) << c.name;
    EXPECT_EQ(r.f().Label4->text(), "0 : 0 : 0") << c.name;
    EXPECT_EQ(r.f().SelStart, 5) << c.name;
    EXPECT_EQ(r.f().SelEnd, 9) << c.name;
    EXPECT_EQ(r.f().Label7->text(), " 0 : 0 : 5") << c.name;

    // Play after Stop starts the file again from 0.
    r.mp().calls.clear();
    r.f().Command1->click();
    EXPECT_EQ(r.mp().calls, (Calls{"FileName /videos/clip.avi", "Play"})) << c.name;
    EXPECT_TRUE(r.mp().Running()) << c.name;
  }
}

TEST(Transport, PlayRoundsTheLengthHalfToEvenForSliderAndMarkerScale) {
  const struct {
    double duration;
    int max;
    int32_t markerScale;
  } cases[] = {{100.5, 100, 92}, {101.5, 102, 90}, {100.49, 100, 92}, {1.0, 1, 9230},
               {2.5, 2, 4615},   {600.2, 600, 15}, {9231.0, 9231, 0}};
  for (const auto& c : cases) {
    Rig r;
    r.SimulateOpen("/videos/clip.avi", c.duration);
    Halt(r, 1.0);
    r.f().Command1->click();
    EXPECT_EQ(r.f().H->maximum(), c.max) << c.duration;
    EXPECT_EQ(r.f().MarkerScale, c.markerScale) << c.duration;
    EXPECT_EQ(r.f().Command1->text(), "Pause") << c.duration;
  }
}

TEST(Transport, PlayOnALengthRoundingToZeroEndsWithTimerOnAndCaptionPlay) {
  Rig r;
  r.SimulateOpen("/videos/short.avi", 0.4);
  r.f().MarkerScale = 77;
  Halt(r, 0.2);
  r.f().Command1->click();
  EXPECT_TRUE(r.mp().Running());
  EXPECT_TRUE(r.f().IsPlaying);
  EXPECT_TRUE(r.f().T->isActive());
  EXPECT_EQ(r.f().H->maximum(), 0);
  EXPECT_EQ(r.f().MarkerScale, 77);
  EXPECT_EQ(r.f().Command1->text(), "Play");
}

TEST(Transport, FailuresEndTheClickKeepingWhatWasDone) {
  {  // the reload fails: the flag is set only once the player has played
    Rig r;
    r.SimulateOpen();
    Halt(r, 0);
    r.mp().failing = {"Play"};
    r.f().Command1->click();
    EXPECT_FALSE(r.f().IsPlaying);
    EXPECT_FALSE(r.f().T->isActive());
    EXPECT_EQ(r.f().Command1->text(), "Play");
  }
  {  // pausing fails: the flag was cleared first, the timer and caption stay
    Rig r;
    r.SimulateOpen();
    r.mp().position = 20;
    r.mp().failing = {"Pause"};
    r.f().Command1->click();
    EXPECT_FALSE(r.f().IsPlaying);
    EXPECT_TRUE(r.f().T->isActive());
    EXPECT_EQ(r.f().Command1->text(), "Pause");
  }
  {  // the length cannot be read: the click ends before anything changes
    Rig r;
    r.SimulateOpen();
    r.mp().position = 20;
    r.mp().failing = {"Duration"};
    r.f().Command2->click();
    EXPECT_TRUE(r.mp().calls.empty());
    EXPECT_TRUE(r.f().IsPlaying);
    EXPECT_EQ(r.f().Command1->text(), "Pause");
    EXPECT_TRUE(r.f().T->isActive());
  }
  {  // the rewind fails while playing: nothing after it runs
    Rig r;
    r.SimulateOpen();
    r.mp().position = 20;
    r.f().Label4->setText(" 0 : 0 : 20");
    r.mp().failing = {"Seek"};
    r.f().Command2->click();
    EXPECT_EQ(r.mp().calls, Calls{"Seek 0"});
    EXPECT_TRUE(r.f().IsPlaying);
    EXPECT_EQ(r.f().Command1->text(), "Pause");
    EXPECT_EQ(r.f().Label4->text(), " 0 : 0 : 20");
  }
}
