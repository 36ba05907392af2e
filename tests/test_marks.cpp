// Mark Start (Command5) and Mark End (Command6) on a fake player.
#include <gtest/gtest.h>

#include "fakes/fakes.h"

namespace {

using fakes::Rig;

struct MarkCase {
  const char* name;
  bool start;  // Mark Start, else Mark End
};

class BothMarks : public ::testing::TestWithParam<MarkCase> {
 protected:
  void Mark() { GetParam().start ? rig.f().Command5_Click() : rig.f().Command6_Click(); }
  int32_t& Stored() { return GetParam().start ? rig.f().SelStart : rig.f().SelEnd; }
  QLabel* Label() { return GetParam().start ? rig.f().Label7 : rig.f().Label9; }
  vintrel::MarkLine& Line() { return GetParam().start ? *rig.f().Line1 : *rig.f().Line2; }
  float Offset() { return GetParam().start ? 170.0f : 330.0f; }
  Rig rig;
};

TEST_P(BothMarks, WithoutAFileNothingChanges) {
  rig.f().MarkerScale = 92;
  rig.f().H->setMaximum(100);
  rig.f().H->setValue(50);
  const float x = Line().X1();
  Mark();
  EXPECT_EQ(Stored(), 0);
  EXPECT_EQ(Label()->text(), "hh:mm:ss");
  EXPECT_EQ(rig.f().Label3->text(), "hh:mm:ss");
  EXPECT_EQ(Line().X1(), x);
  EXPECT_EQ(Line().X2(), x);
  EXPECT_TRUE(rig.msg.shown.empty());
}

TEST_P(BothMarks, StoresThePositionRoundedTiesToEven) {
  rig.SimulateOpen();
  const struct {
    double position;
    int32_t second;
    const char* text;
  } cases[] = {
      {12.5, 12, " 0 : 0 : 12"}, {13.5, 14, " 0 : 0 : 14"}, {12.6, 13, " 0 : 0 : 13"},
      {12.4, 12, " 0 : 0 : 12"}, {0.0, 0, " 0 : 0 : 0"},    {3661.2, 3661, " 1 : 1 : 1"},
  };
  for (const auto& c : cases) {
    rig.mp().position = c.position;
    Mark();
    EXPECT_EQ(Stored(), c.second) << c.position;
    EXPECT_EQ(Label()->text(), c.text) << c.position;
  }
}

TEST_P(BothMarks, LineFollowsTheSliderNotThePlayer) {
  rig.SimulateOpen();  // maximum 100, MarkerScale 92
  ASSERT_EQ(rig.f().MarkerScale, 92);
  const struct {
    int markerScale, value;
    float start, end;
  } cases[] = {
      {92, 50, 4770, 4930}, {92, 100, 9370, 9530}, {92, 0, 170, 330}, {0, 100, 170, 330}, {0, 37, 170, 330},
  };
  rig.mp().position = 42.4;  // halted elsewhere: the line does not care
  for (const auto& c : cases) {
    rig.f().MarkerScale = c.markerScale;
    rig.f().H->setValue(c.value);
    Mark();
    const float expected = GetParam().start ? c.start : c.end;
    EXPECT_EQ(Line().X1(), expected) << c.markerScale << " x " << c.value;
    EXPECT_EQ(Line().X2(), expected) << c.markerScale << " x " << c.value;
    EXPECT_EQ(Stored(), 42);
  }
}

TEST_P(BothMarks, FailingPositionReadMovesTheLineButKeepsTheMark) {
  rig.SimulateOpen();
  rig.mp().position = 30;
  Mark();
  const QString label = Label()->text();
  const QString length = rig.f().Label3->text();
  rig.f().H->setValue(60);
  for (const char* why : {"read fails", "does not fit 32 bits"}) {
    if (std::string(why) == "read fails") {
      rig.mp().failing = {"CurrentPosition"};
    } else {
      rig.mp().failing.clear();
      rig.mp().position = 3e9;
    }
    Mark();
    EXPECT_EQ(Line().X1(), 60 * 92 + Offset()) << why;
    EXPECT_EQ(Line().X2(), 60 * 92 + Offset()) << why;
    EXPECT_EQ(Stored(), 30) << why;
    EXPECT_EQ(Label()->text(), label) << why;
    EXPECT_EQ(rig.f().Label3->text(), length) << why;
    EXPECT_TRUE(rig.msg.shown.empty()) << why;
    EXPECT_FALSE(rig.app.ended) << why;
  }
}

INSTANTIATE_TEST_SUITE_P(Marks, BothMarks, ::testing::Values(MarkCase{"Start", true}, MarkCase{"End", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Label3 from both marks, whichever was set last.
TEST(MarkLength, RecomputedFromBothMarksInEitherOrder) {
  const struct {
    double start, end;
    bool endFirst;
    const char* length;
  } cases[] = {
      {65, 3726, false, " 1 : 1 : 1"}, {65, 3726, true, " 1 : 1 : 1"}, {10, 11, true, " 0 : 0 : 1"},
      {40, 40, false, "0 : 0 : 0"},    {50, 20, false, "0 : 0 : 0"},   {50, 20, true, "0 : 0 : 0"},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.SimulateOpen("/videos/long.mkv", 4000);
    auto& f = rig.f();
    auto markStart = [&] {
      rig.mp().position = c.start;
      f.Command5_Click();
    };
    auto markEnd = [&] {
      rig.mp().position = c.end;
      f.Command6_Click();
    };
    if (c.endFirst) {
      markEnd();
      EXPECT_EQ(f.Label3->text(),
                c.end > 0 ? vintrel::Form1::FormatTime(static_cast<int32_t>(c.end)) : "0 : 0 : 0");
      markStart();
    } else {
      markStart();
      EXPECT_EQ(f.Label3->text(), "0 : 0 : 0");  // the end is still 0
      markEnd();
    }
    EXPECT_EQ(f.Label3->text(), c.length) << c.start << ".." << c.end;
    // Out of order marks are kept as given; only the length refuses them.
    EXPECT_EQ(f.SelStart, c.start);
    EXPECT_EQ(f.SelEnd, c.end);
  }
}

// The tick the user sees stands on the slider at the second that was marked.
TEST(MarkTick, StandsOnTheSliderAtTheMarkedSecond) {
  Rig rig;
  rig.SimulateOpen("/videos/clip.avi", 100);
  auto& f = rig.f();
  const QRect slider = f.H->geometry();
  int previous = -1;
  for (int value : {0, 25, 50, 75, 100}) {
    f.H->setValue(value);
    f.Command5_Click();
    f.Command6_Click();
    const QRect start = f.Line1->Tick()->geometry();
    const QRect end = f.Line2->Tick()->geometry();
    EXPECT_EQ(start.width(), 2);
    EXPECT_EQ(start.x(), end.x()) << "both lines of one second stand together, " << value;
    EXPECT_GT(start.x(), previous) << value;
    previous = start.x();
    EXPECT_GE(start.x(), slider.left()) << value;
    EXPECT_LE(start.right(), slider.right()) << value;
    EXPECT_TRUE(start.intersects(slider.adjusted(0, 0, 0, 4))) << "over or right under the slider, " << value;
    EXPECT_TRUE(f.Line1->Tick()->isVisibleTo(&f));
    if (value == 50) {
      EXPECT_NEAR(start.center().x(), slider.center().x(), 3);
    }
  }
  // Where the scale cannot tell seconds apart the ticks still stand at the slider's value.
  rig.SimulateOpen("/videos/long.mkv", 20000);
  ASSERT_EQ(f.MarkerScale, 0);
  f.H->setValue(10000);
  f.Command5_Click();
  EXPECT_EQ(f.Line1->X1(), 170);
  EXPECT_NEAR(f.Line1->Tick()->geometry().center().x(), slider.center().x(), 3);
}

}  // namespace
