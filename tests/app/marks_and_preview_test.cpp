// Mark Start, Mark End, the length label, the ticks under the slider and Play Selected,
// on a fake player.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <functional>

#include "fakes/fakes.h"

namespace {

using fakes::Rig;
using vintrel::formatTime;
using vintrel::Session;

struct MarkCase {
  const char* name;
  bool start;  // Mark Start, else Mark End
};

class BothMarks : public ::testing::TestWithParam<MarkCase> {
 protected:
  void mark(double position) { GetParam().start ? rig.markStart(position) : rig.markEnd(position); }
  int64_t stored() { return GetParam().start ? rig.w().session().markStart() : rig.w().session().markEnd(); }
  QLabel* label() { return GetParam().start ? rig.w().startLabel : rig.w().endLabel; }
  double tickAt() {
    return GetParam().start ? rig.w().positionSlider->markStart() : rig.w().positionSlider->markEnd();
  }
  Rig rig;
};

TEST_P(BothMarks, WithoutAFileNothingChanges) {
  const double where = tickAt();
  mark(50);
  EXPECT_EQ(stored(), 0);
  EXPECT_EQ(label()->text(), "hh:mm:ss");
  EXPECT_EQ(rig.w().lengthLabel->text(), "hh:mm:ss");
  EXPECT_EQ(tickAt(), where);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_P(BothMarks, TakeThePlayersPositionRoundedTiesToEven) {
  rig.open("/videos/long.mkv", 4000);
  const struct {
    double position;
    int64_t second;
    const char* text;
  } cases[] = {
      {12.5, 12, " 0 : 0 : 12"}, {13.5, 14, " 0 : 0 : 14"}, {12.6, 13, " 0 : 0 : 13"},
      {12.4, 12, " 0 : 0 : 12"}, {0.0, 0, " 0 : 0 : 0"},    {3661.2, 3661, " 1 : 1 : 1"},
  };
  for (const auto& c : cases) {
    mark(c.position);
    EXPECT_EQ(stored(), c.second) << c.position;
    EXPECT_EQ(label()->text(), c.text) << c.position;
    // An end at 0 is no end: its tick waits at the far end.
    const int64_t tickAt = !GetParam().start && c.second == 0 ? 4000 : c.second;
    EXPECT_EQ(this->tickAt(), tickAt) << c.position;
  }
}

// The tick marks where the mark is, not where the slider's thumb happens to be.
TEST_P(BothMarks, TheTickStandsAtTheMarkNotAtTheThumb) {
  rig.open();
  rig.p().pos = 80;
  rig.tick();
  mark(42.4);
  EXPECT_EQ(tickAt(), 42);
  const QRect handle = rig.w().positionSlider->handleRect(42);
  const auto painted = fakes::PaintedMarks(*rig.w().positionSlider);
  EXPECT_TRUE(std::any_of(painted.begin(), painted.end(), [&](const fakes::PaintedMark& m) {
    return std::abs(m.middle - handle.center().x()) <= 2;
  })) << "no mark drawn at second 42";
}

INSTANTIATE_TEST_SUITE_P(Marks, BothMarks, ::testing::Values(MarkCase{"Start", true}, MarkCase{"End", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The length label from both marks, whichever was set last.
TEST(MarkLength, FromBothMarksInEitherOrder) {
  const struct {
    double start, end;
    bool endFirst;
    const char* length;
  } cases[] = {
      {65, 3726, false, " 1 : 1 : 1"}, {65, 3726, true, " 1 : 1 : 1"}, {10, 11, true, " 0 : 0 : 1"},
      {40, 40, false, "0 : 0 : 0"},    {50, 20, false, "0 : 0 : 0"},   {50, 20, true, "0 : 0 : 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end << (c.endFirst ? ", end first" : ""));
    Rig r;
    r.open("/videos/long.mkv", 4000);
    if (c.endFirst) {
      r.markEnd(c.end);
      EXPECT_EQ(r.w().lengthLabel->text(), formatTime(static_cast<int64_t>(c.end)));  // from 0
      r.markStart(c.start);
    } else {
      r.markStart(c.start);
      EXPECT_EQ(r.w().lengthLabel->text(), "0 : 0 : 0");  // the end is still 0
      r.markEnd(c.end);
    }
    EXPECT_EQ(r.w().lengthLabel->text(), c.length);
    // Marks out of order are kept as given; only the length refuses them.
    EXPECT_EQ(r.w().session().markStart(), c.start);
    EXPECT_EQ(r.w().session().markEnd(), c.end);
  }
}

TEST(MarkTicks, DrawnAcrossTheSliderAtTheMarkedSecondWithTheSpanShaded) {
  Rig r;
  r.open("/videos/clip.avi", 100);
  vintrel::MainWindow& w = r.w();
  w.show();
  const QRect slider = w.positionSlider->geometry();
  int previous = -1;
  for (int second : {1, 25, 50, 75, 99}) {
    SCOPED_TRACE(second);
    r.markStart(second);
    r.markEnd(second);
    const auto painted = fakes::PaintedMarks(*w.positionSlider);
    ASSERT_EQ(painted.size(), 1u) << "both marks of one second stand together";
    EXPECT_GE(painted[0].width, 3) << "too thin to see";
    EXPECT_TRUE(painted[0].wholeHeight);
    EXPECT_GT(painted[0].middle, previous);
    previous = painted[0].middle;
    EXPECT_NEAR(painted[0].middle, w.positionSlider->handleRect(second).center().x(), 2);
    if (second == 50) {
      EXPECT_NEAR(painted[0].middle + slider.x(), slider.center().x(), 3);
    }
  }
  // Apart, two marks; the span between them is shaded, what lies outside is not.
  r.markStart(20);
  r.markEnd(60);
  const auto painted = fakes::PaintedMarks(*w.positionSlider);
  ASSERT_EQ(painted.size(), 2u);
  const QImage image = w.positionSlider->grab().toImage();
  const int y = image.height() - 2;
  const QColor inside = image.pixelColor(w.positionSlider->xOf(40), y);
  const QColor outside = image.pixelColor(w.positionSlider->xOf(80), y);
  EXPECT_GT(inside.green() - inside.red(), outside.green() - outside.red() + 20) << "the span is not shaded";
  // However long the clip, a mark stands at its second.
  r.open("/videos/long.mkv", 20000);
  r.markStart(10000);
  EXPECT_NEAR(w.positionSlider->xOf(10000) + slider.x(), slider.center().x(), 3);
  EXPECT_EQ(w.positionSlider->markEnd(), 20000) << "no end mark: its tick waits at the far end";
}

// Plays on in steps of `step` seconds until the player halts, calling `each` after every
// step; with `ticks`, the once-a-second update runs after every whole second played.
void playOn(Rig& r, double step, const std::function<void()>& each = {}, bool ticks = false) {
  double sinceTick = 0;
  for (int i = 0; i < 10000 && r.p().running(); ++i) {
    r.p().advance(step);
    sinceTick += step;
    if (ticks && sinceTick >= 1 - 1e-9) {
      sinceTick = 0;
      if (r.w().positionTimer->isActive()) r.tick();
    }
    if (each) each();
  }
}

// A clip of 100 s playing at 3 s, the stretch 10..20 marked.
struct Preview : Rig {
  explicit Preview(double duration = 100) {
    open("/videos/clip.avi", duration);
    markStart(10);
    markEnd(20);
    p().pos = 3;
    tick();
    p().seeks.clear();
  }
  void run() { w().playSelectedButton->click(); }
  void expectHalted(double at) {
    EXPECT_EQ(w().playButton->text(), "Play");
    EXPECT_FALSE(w().positionTimer->isActive());
    EXPECT_FALSE(w().session().isPlaying());
    EXPECT_FALSE(w().session().isPlayingSelection());
    EXPECT_FALSE(p().running());
    EXPECT_NEAR(p().pos, at, 1e-9);
    EXPECT_TRUE(messages.shown.empty());
  }
};

TEST(PlaySelected, AnInvalidSelectionIsRefusedBeforeTheFileIsLookedAt) {
  const struct {
    bool open;
    int64_t start, end;
  } cases[] = {{false, 0, 0}, {true, 0, 0}, {true, 15, 15}, {true, 30, 20}, {false, 30, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end << (c.open ? "" : ", no file"));
    Rig r;
    if (c.open) r.open();
    r.w().session().setMarkStart(c.start);
    r.w().session().setMarkEnd(c.end);
    const QString caption = r.w().playButton->text();
    r.p().seeks.clear();
    r.w().playSelectedButton->click();
    ASSERT_EQ(r.messages.shown.size(), 1u);
    EXPECT_EQ(r.messages.shown[0].text, "Start time cannot be >= End time. Invalid Selection");
    EXPECT_EQ(r.messages.shown[0].detail, "");
    EXPECT_TRUE(r.p().seeks.empty());
    EXPECT_EQ(r.w().playButton->text(), caption);
    EXPECT_EQ(r.w().positionTimer->isActive(), c.open);
    EXPECT_EQ(r.w().session().markStart(), c.start);
    EXPECT_EQ(r.w().session().markEnd(), c.end);
  }
  // A valid selection without a file: silently nothing.
  Rig r;
  r.w().session().setMarkStart(1);
  r.w().session().setMarkEnd(5);
  r.w().playSelectedButton->click();
  EXPECT_TRUE(r.messages.shown.empty());
  EXPECT_TRUE(r.p().seeks.empty());
  EXPECT_FALSE(r.w().session().isPlayingSelection());
}

TEST(PlaySelected, PlaysFromTheStartMarkAndHaltsAtTheFirstPositionAtTheEndMark) {
  for (double step : {0.25, 0.3, 0.2, 0.7}) {
    SCOPED_TRACE(step);
    Preview p;
    p.run();
    EXPECT_EQ(p.p().seeks, std::vector<double>{10});
    EXPECT_TRUE(p.p().running());
    EXPECT_TRUE(p.w().session().isPlayingSelection());
    EXPECT_EQ(p.w().playButton->text(), "Pause");
    std::vector<double> seen;
    playOn(p, step, [&] { seen.push_back(p.p().pos); });
    ASSERT_FALSE(seen.empty());
    EXPECT_GE(seen.back(), 20.0);
    for (size_t i = 0; i + 1 < seen.size(); ++i)
      EXPECT_LT(seen[i], 20.0) << "halted late, at " << seen.back();
    p.expectHalted(p.p().pos);
    // The label repeats the slider: at the start mark the preview sought, where no tick moved it since.
    EXPECT_EQ(p.w().positionLabel->text(), " 0 : 0 : 10");
  }
}

TEST(PlaySelected, StartsFromWhateverStateThePlayerIsIn) {
  const struct {
    const char* what;
    std::function<void(Preview&)> stage;
    std::vector<double> seeks;
  } cases[] = {
      {"playing", [](Preview&) {}, {10}},
      {"paused", [](Preview& p) { p.w().playButton->click(); }, {10}},
      {"stopped", [](Preview& p) { p.w().stopButton->click(); }, {10}},
      // On the last frame, where the player halts by itself: back to the start first.
      {"at the end",
       [](Preview& p) {
         p.w().playButton->click();
         p.p().pos = 100;
       },
       {0, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Preview p;
    c.stage(p);
    p.p().seeks.clear();
    p.run();
    EXPECT_EQ(p.p().seeks, c.seeks);
    playOn(p, 0.25);
    p.expectHalted(20);
  }
}

TEST(PlaySelected, PauseOrStopDuringThePreviewEndsIt) {
  Preview paused;
  paused.run();
  playOn(paused, 0.25, [&] {
    if (paused.p().pos == 12) paused.w().playButton->click();
  });
  paused.expectHalted(12);
  // Played on, it is no longer a preview: it goes past the end mark.
  paused.w().playButton->click();
  paused.p().advanceBy(10, 0.25);
  EXPECT_TRUE(paused.p().running());
  EXPECT_EQ(paused.p().pos, 22);

  Preview stopped;
  stopped.run();
  playOn(stopped, 0.25, [&] {
    if (stopped.p().pos == 13) stopped.w().stopButton->click();
  });
  stopped.expectHalted(0);
  EXPECT_EQ(stopped.w().positionLabel->text(), "0 : 0 : 0");
}

TEST(PlaySelected, ANewEndMarkMovesTheHaltANewStartMarkChangesNothing) {
  Preview p;
  p.run();
  playOn(p, 0.25, [&] {
    if (p.p().pos == 11) {
      p.markStart(17.6);  // marks second 18 ...
      p.p().pos = 11;     // ... where the player stood a moment ago
    } else if (p.p().pos == 13.75) {
      p.w().markEndButton->click();  // second 14
    }
  });
  EXPECT_EQ(p.w().session().markStart(), 18);
  EXPECT_EQ(p.w().session().markEnd(), 14);
  EXPECT_EQ(p.p().seeks, std::vector<double>{10});
  p.expectHalted(14);
}

TEST(PlaySelected, OpenDuringThePreviewLeavesTheNewClipPlaying) {
  Preview p;
  p.run();
  p.dialogs.answers = {QString("/videos/other.mkv")};
  bool opened = false;
  playOn(p, 0.25, [&] {
    if (p.p().pos == 12 && !opened) {
      opened = true;
      p.w().openButton->click();
    }
    if (p.p().pos >= 30) p.w().playButton->click();  // enough
  });
  EXPECT_EQ(p.w().session().file(), "/videos/other.mkv");
  EXPECT_EQ(p.p().pos, 30) << "the new clip played past the old end mark";
  EXPECT_EQ(p.w().session().markEnd(), 0);

  // A cancelled Open leaves the old clip halted at its start, the preview over.
  Preview cancelled;
  cancelled.run();
  playOn(cancelled, 0.25, [&] {
    if (cancelled.p().pos == 12) cancelled.w().openButton->click();
  });
  EXPECT_EQ(cancelled.w().session().file(), "/videos/clip.avi");
  cancelled.expectHalted(0);
}

TEST(PlaySelected, StartedAgainDuringItsOwnRun) {
  Preview p;
  p.run();
  playOn(p, 0.25, [&] {
    if (p.p().pos == 12) {
      p.w().session().setMarkStart(15);
      p.run();
    }
  });
  EXPECT_EQ(p.p().seeks, (std::vector<double>{10, 15}));
  p.expectHalted(20);
}

TEST(PlaySelected, TheSliderMovedDuringThePreview) {
  const struct {
    int value;
    double halted;
  } cases[] = {
      {25, 25},  // past the end mark: halts where it lands
      {20, 20},  // on it
      {5, 20},   // before the start: plays on from there to the end mark
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Preview p;
    p.run();
    bool moved = false;
    playOn(p, 0.25, [&] {
      if (p.p().pos != 12 || moved) return;
      moved = true;
      emit p.w().positionSlider->sliderPressed();
      p.w().positionSlider->setValue(c.value);
      emit p.w().positionSlider->released();
    });
    EXPECT_EQ(p.p().seeks, (std::vector<double>{10, double(c.value)}));
    p.expectHalted(c.halted);
  }
}

// A 100.6 s clip: marking its last position gives second 101, which it never reaches.
TEST(PlaySelected, AnEndMarkPastTheClipEndsWithTheClip) {
  Preview p(100.6);
  p.markEnd(100.6);
  ASSERT_EQ(p.w().session().markEnd(), 101);
  p.markStart(97);
  p.run();
  playOn(p, 0.2, {}, true);
  p.expectHalted(0);
  EXPECT_EQ(p.w().positionSlider->value(), 0);
}

TEST(PlaySelected, TicksDuringThePreviewKeepTheLabelInStep) {
  Preview p;
  p.run();
  playOn(p, 0.25, {}, true);
  p.expectHalted(20);
  EXPECT_EQ(p.w().positionSlider->value(), 19);  // the last tick saw 19.0
  EXPECT_EQ(p.w().positionLabel->text(), " 0 : 0 : 19");
}

// Marks to the frame: the player's position as it is, the labels to the hundredth, the
// ticks at the exact place, Play Selected from the exact start to the exact end.
TEST(MarksToTheFrame, TakeTheFramesTimeAndShowItToTheHundredth) {
  const struct {
    bool toTheFrame;
    double start, end;  // positions at Mark Start and Mark End
    double markedStart, markedEnd;
    const char *startText, *endText, *lengthText;
  } cases[] = {
      {true, 3.48, 13.2, 3.48, 13.2, " 0 : 0 : 3.48", " 0 : 0 : 13.20", " 0 : 0 : 9.72"},
      {true, 0, 3661.04, 0, 3661.04, " 0 : 0 : 0.00", " 1 : 1 : 1.04", " 1 : 1 : 1.04"},
      {true, 59.996, 61, 59.996, 61, " 0 : 1 : 0.00", " 0 : 1 : 1.00", " 0 : 0 : 1.00"},
      // Off, as it always was: whole seconds.
      {false, 3.48, 13.2, 3, 13, " 0 : 0 : 3", " 0 : 0 : 13", " 0 : 0 : 10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end << (c.toTheFrame ? " to the frame" : ""));
    Rig r;
    r.w().marksToFrameAction->setChecked(c.toTheFrame);
    r.open("/videos/long.mkv", 4000);
    r.markStart(c.start);
    r.markEnd(c.end);
    EXPECT_DOUBLE_EQ(r.w().session().markStart(), c.markedStart);
    EXPECT_DOUBLE_EQ(r.w().session().markEnd(), c.markedEnd);
    EXPECT_EQ(r.w().startLabel->text(), c.startText);
    EXPECT_EQ(r.w().endLabel->text(), c.endText);
    EXPECT_EQ(r.w().lengthLabel->text(), c.lengthText);
    EXPECT_DOUBLE_EQ(r.w().positionSlider->markStart(), c.markedStart);
    EXPECT_DOUBLE_EQ(r.w().positionSlider->markEnd(), c.markedEnd);
  }
}

TEST(MarksToTheFrame, TheTickStandsBetweenTheSecondsAndPlaySelectedKeepsToTheExactMarks) {
  Rig r;
  r.w().marksToFrameAction->setChecked(true);
  r.open("/videos/clip.avi", 20);
  r.markStart(10.52);
  r.markEnd(12.28);
  const vintrel::PositionSlider& slider = *r.w().positionSlider;
  auto middle = [&](int second) { return slider.x() + slider.handleRect(second).center().x(); };
  const int tick = slider.x() + slider.xOf(10.52);
  EXPECT_GT(tick, middle(10));
  EXPECT_LT(tick, middle(11));
  EXPECT_NEAR(tick, middle(10) + (middle(11) - middle(10)) * 0.52, 1.5);

  r.p().seeks.clear();
  r.w().playSelectedAction->trigger();
  EXPECT_EQ(r.p().seeks, std::vector<double>{10.52});
  std::vector<double> seen;
  playOn(r, 0.04, [&] { seen.push_back(r.p().pos); });
  ASSERT_FALSE(seen.empty());
  EXPECT_GE(seen.back(), 12.28 - 1e-9);
  EXPECT_LT(seen.back(), 12.28 + 0.04);
  EXPECT_FALSE(r.p().running());
}

// , and . step a frame back and on, pausing first; the slider and the label follow.
TEST(FrameSteps, PauseThenStepOneFrameAndTheLabelFollows) {
  const struct {
    bool toTheFrame;
    std::vector<int> keys;  // Key_Comma, Key_Period
    double position;
    int slider;
    const char* label;
  } cases[] = {
      {true, {Qt::Key_Period}, 3.04, 3, " 0 : 0 : 3.04"},
      {true, {Qt::Key_Period, Qt::Key_Period, Qt::Key_Comma}, 3.04, 3, " 0 : 0 : 3.04"},
      {true, {Qt::Key_Comma, Qt::Key_Comma}, 2.92, 3, " 0 : 0 : 2.92"},
      {false, {Qt::Key_Period}, 3.04, 3, " 0 : 0 : 3"},
      {false, std::vector<int>(13, Qt::Key_Period), 3.52, 4, " 0 : 0 : 4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.keys.size() << " steps" << (c.toTheFrame ? " to the frame" : ""));
    Rig r;
    r.w().marksToFrameAction->setChecked(c.toTheFrame);
    r.open("/videos/clip.avi", 10);
    r.p().advanceBy(3, 0.04);
    ASSERT_TRUE(r.p().running());
    for (int key : c.keys)
      (key == Qt::Key_Period ? r.w().frameForwardAction : r.w().frameBackAction)->trigger();
    EXPECT_FALSE(r.p().running()) << "playback pauses first";
    EXPECT_EQ(r.w().playButton->text(), "Play");
    EXPECT_FALSE(r.w().positionTimer->isActive());
    EXPECT_EQ(r.p().frameSteps.size(), c.keys.size());
    EXPECT_NEAR(r.p().pos, c.position, 1e-9);
    EXPECT_EQ(r.w().positionSlider->value(), c.slider);
    EXPECT_EQ(r.w().positionLabel->text(), c.label);
    // Mark Start takes the frame stepped to.
    r.w().markStartAction->trigger();
    EXPECT_NEAR(r.w().session().markStart(), c.toTheFrame ? c.position : c.slider, 1e-9);
  }
  // Nothing open: nothing happens.
  Rig r;
  r.w().frameForwardAction->trigger();
  EXPECT_TRUE(r.p().frameSteps.empty());
  EXPECT_EQ(r.w().positionLabel->text(), "hh:mm:ss");
}

}  // namespace
