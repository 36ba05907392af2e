#include <gtest/gtest.h>

#include "fakes/fakes.h"

using fakes::Rig;
using Calls = std::vector<std::string>;

namespace {

const char* kFilter =
    "All Video Files|*.dat;*.mp4;*.wmv;*.mov;*.avi;*.divx;*.mpg;*.flv;*.mkv;*.vob|All Files(*.*)|*.*";

// An old file playing at 30 s with marks set and the lines away from home, so every
// reset shows.
void OldFilePlaying(Rig& r) {
  r.SimulateOpen("/videos/old.avi", 50.0);
  r.mp().position = 30;
  r.f().H->setValue(30);
  r.f().SelStart = 3;
  r.f().SelEnd = 8;
  r.f().MarkerScale = 184;
  for (QLabel* label : {r.f().Label7, r.f().Label9, r.f().Label3}) label->setText("mark");
  r.f().Label4->setText(" 0 : 0 : 30");
  r.f().Line1->SetX1(722);
  r.f().Line1->SetX2(722);
  r.f().Line2->SetX1(1802);
  r.f().Line2->SetX2(1802);
  r.dialog.FileName = "/videos/old.avi";
}

void ExpectSelectionReset(Rig& r, const char* what) {
  EXPECT_EQ(r.f().SelStart, 0) << what;
  EXPECT_EQ(r.f().SelEnd, 0) << what;
  for (QLabel* label : {r.f().Label7, r.f().Label9, r.f().Label3})
    EXPECT_EQ(label->text(), "0 : 0 : 0") << what;
}

// Slider range, MarkerScale and the lines as OldFilePlaying left them.
void ExpectRangeAndLinesKept(Rig& r, const char* what) {
  EXPECT_EQ(r.f().H->maximum(), 50) << what;
  EXPECT_EQ(r.f().MarkerScale, 184) << what;
  EXPECT_EQ(r.f().Line1->X1(), 722) << what;
  EXPECT_EQ(r.f().Line2->X2(), 1802) << what;
}

}  // namespace

TEST(Open, ReplacesAPlayingFileAndStartsTheNewOne) {
  Rig r;
  OldFilePlaying(r);
  r.dialog.Filter = "AVI|*.avi";  // as another dialog left it
  r.dialog.answers = {QString("/videos/new clip.mkv")};
  r.mp().duration = 100.5;  // the new file's
  r.f().Command4->click();

  ASSERT_EQ(r.dialog.uses.size(), 1u);
  EXPECT_FALSE(r.dialog.uses[0].save);
  EXPECT_EQ(r.dialog.uses[0].filter, kFilter);
  EXPECT_EQ(r.dialog.uses[0].fileNameIn, "/videos/old.avi");  // kept from before
  EXPECT_EQ(r.dialog.uses[0].title, "");
  EXPECT_EQ(r.dialog.FileName, "");  // the next dialog opens with an empty name

  // Halted and rewound, then released, then the new one loaded.
  EXPECT_EQ(r.mp().calls, (Calls{"Seek 0", "Pause", "Stop", "FileName /videos/new clip.mkv", "Play"}));
  EXPECT_TRUE(r.mp().Running());
  EXPECT_EQ(r.f().CurrentFile, "/videos/new clip.mkv");
  EXPECT_TRUE(r.f().IsPlaying);
  EXPECT_EQ(r.f().Command1->text(), "Pause");
  EXPECT_TRUE(r.f().T->isActive());
  EXPECT_EQ(r.f().H->value(), 0);
  EXPECT_EQ(r.f().H->maximum(), 100);
  EXPECT_EQ(r.f().MarkerScale, 92);
  ExpectSelectionReset(r, "success");
  EXPECT_EQ(r.f().Line1->X1(), 170);
  EXPECT_EQ(r.f().Line1->X2(), 170);
  EXPECT_EQ(r.f().Line2->X1(), 9400);
  EXPECT_EQ(r.f().Line2->X2(), 9400);
  EXPECT_EQ(r.f().Label4->text(), " 0 : 0 : 30");  // until the first tick
}

TEST(Open, CancelLeavesTheOldFileHaltedAtZero) {
  Rig r;
  OldFilePlaying(r);
  r.f().Command4->click();
  EXPECT_EQ(r.mp().calls, (Calls{"Seek 0", "Pause"}));
  EXPECT_EQ(r.f().CurrentFile, "/videos/old.avi");
  EXPECT_FALSE(r.f().IsPlaying);
  EXPECT_FALSE(r.mp().Running());
  EXPECT_EQ(r.f().Command1->text(), "Play");
  EXPECT_FALSE(r.f().T->isActive());
  EXPECT_EQ(r.f().H->value(), 0);
  EXPECT_EQ(r.f().SelStart, 3);
  EXPECT_EQ(r.f().SelEnd, 8);
  EXPECT_EQ(r.f().Label7->text(), "mark");
  ExpectRangeAndLinesKept(r, "cancel");

  // Play resumes it from the start.
  r.mp().calls.clear();
  r.f().Command1->click();
  EXPECT_EQ(r.mp().calls, (Calls{"FileName /videos/old.avi", "Play"}));
}

TEST(Open, EndStatesOfEachFailingStep) {
  const struct {
    const char* what;
    std::set<std::string> failing;  // from the start
    std::set<std::string> failingOnceLoaded;
    double duration;
    QString currentFile;
    bool playing;
  } cases[] = {
      {"player refuses the file", {"FileName"}, {}, 100.0, "", false},
      {"player cannot play it", {"Play"}, {}, 100.0, "/videos/new.avi", false},
      {"length unreadable", {}, {"Duration"}, 100.0, "/videos/new.avi", true},
      {"length beyond 32 bits", {}, {}, 3e9, "/videos/new.avi", true},
      {"length rounds to 0", {}, {}, 0.4, "/videos/new.avi", true},
  };
  for (const auto& c : cases) {
    Rig r;
    OldFilePlaying(r);
    r.dialog.answers = {QString("/videos/new.avi")};
    r.mp().onPlay = [&] {
      r.mp().failing = c.failingOnceLoaded;
      r.mp().duration = c.duration;
    };
    r.mp().calls.clear();
    // Arm the failures after the old file has been halted, as the player sees the new one.
    r.dialog.onShow = [&] { r.mp().failing = c.failing; };
    r.f().Command4->click();

    EXPECT_EQ(r.f().CurrentFile, c.currentFile) << c.what;
    EXPECT_EQ(r.mp().Count("Stop"), 1) << c.what;
    EXPECT_EQ(r.f().IsPlaying, c.playing) << c.what;
    EXPECT_EQ(r.mp().Running(), c.playing) << c.what;
    EXPECT_EQ(r.f().Command1->text(), c.playing ? "Pause" : "Play") << c.what;
    EXPECT_EQ(r.f().T->isActive(), c.playing) << c.what;
    EXPECT_EQ(r.f().H->value(), 0) << c.what;
    EXPECT_EQ(r.f().MarkerScale, 184) << c.what;
    EXPECT_EQ(r.f().Line1->X1(), 722) << c.what;
    EXPECT_EQ(r.f().Line2->X2(), 1802) << c.what;
    ExpectSelectionReset(r, c.what);
    // The slider takes a maximum of 0, and the division by it ends the command.
    EXPECT_EQ(r.f().H->maximum(), c.duration == 0.4 ? 0 : 50) << c.what;
    if (c.failing.count("Play")) {
      EXPECT_EQ(r.mp().fileName, "/videos/new.avi") << c.what;
    }
  }
}

// The player keeps nothing it could not play, so halting that file fails; Open must still
// get the user to another file.
TEST(Open, AfterAFileThePlayerCouldNotPlayAnotherOneOpens) {
  Rig r;
  r.dialog.answers = {QString("/videos/notes.txt"), QString("/videos/a.avi")};
  r.mp().failing = {"Play"};
  r.f().Command4->click();
  ASSERT_EQ(r.f().CurrentFile, "/videos/notes.txt");
  r.f().Command1->click();  // nothing to play: ends silently
  EXPECT_EQ(r.f().Command1->text(), "Play");

  r.mp().failing.clear();
  r.mp().calls.clear();
  r.f().Command4->click();
  EXPECT_EQ(r.mp().calls, (Calls{"Stop", "FileName /videos/a.avi", "Play"}));
  EXPECT_EQ(r.f().CurrentFile, "/videos/a.avi");
  EXPECT_TRUE(r.mp().Running());
  EXPECT_EQ(r.f().Command1->text(), "Pause");
  EXPECT_TRUE(r.f().T->isActive());
}

TEST(Open, StopOrPlayClickedWhileTheDialogIsOpen) {
  {
    Rig r;
    OldFilePlaying(r);
    r.dialog.answers = {QString("/videos/new.avi")};
    r.dialog.onShow = [&] {
      r.f().Command2->click();
      EXPECT_EQ(r.f().Label4->text(), "0 : 0 : 0");
      EXPECT_EQ(r.f().Command1->text(), "Play");
      EXPECT_FALSE(r.f().T->isActive());
    };
    r.f().Command4->click();
    EXPECT_EQ(r.mp().calls, (Calls{"Seek 0", "Pause", "Seek 0", "Stop", "FileName /videos/new.avi", "Play"}));
    EXPECT_TRUE(r.mp().Running());
    EXPECT_EQ(r.f().Command1->text(), "Pause");
    EXPECT_TRUE(r.f().T->isActive());
  }
  {  // the old file restarted under the dialog, then the user cancels: it plays on
    Rig r;
    OldFilePlaying(r);
    r.dialog.onShow = [&] { r.f().Command1->click(); };
    r.f().Command4->click();
    EXPECT_EQ(r.mp().calls, (Calls{"Seek 0", "Pause", "FileName /videos/old.avi", "Play"}));
    EXPECT_TRUE(r.mp().Running());
    EXPECT_TRUE(r.f().IsPlaying);
    EXPECT_EQ(r.f().Command1->text(), "Pause");
    EXPECT_TRUE(r.f().T->isActive());
  }
}
