// The open video's key frames on the slider and Alt+Left/Alt+Right to them, on a fake player
// and clips made here.
#include <gtest/gtest.h>

#include <QTest>
#include <cmath>

#include "fakes/fakes.h"
#include "media.h"

namespace {

using fakes::Rig;

// Key frames every `gop` frames at 25 fps.
QString ClipWithKeyFrames(const QString& name, int gop) {
  return testmedia::MakeClip(testmedia::TempDir() + "/" + name, 12, "160x120", "25",
                             {"-c:v", "libx264", "-preset", "ultrafast", "-g", QString::number(gop),
                              "-keyint_min", QString::number(gop), "-sc_threshold", "0"});
}

bool KeyFramesDrawn(Rig& r, qsizetype count) {
  return QTest::qWaitFor([&] { return r.w().positionSlider->keyFrames().size() == count; }, 20000);
}

TEST(KeyFrames, AreDrawnOnceReadAndFollowTheLastFileOpened) {
  const QString everyTwo = ClipWithKeyFrames("every-two.mp4", 50),
                everyOne = ClipWithKeyFrames("every-one.mp4", 25);
  ASSERT_FALSE(everyTwo.isEmpty());
  Rig r;
  r.open(everyTwo, 12);
  EXPECT_TRUE(r.w().positionSlider->keyFrames().empty()) << "the window does not wait for them";
  ASSERT_TRUE(KeyFramesDrawn(r, 6));
  EXPECT_EQ(r.w().positionSlider->keyFrames(), QList<double>({0, 2, 4, 6, 8, 10}));

  // A second file opened while the first's are read: only the second's are drawn.
  r.open(everyTwo, 12);
  r.open(everyOne, 12);
  ASSERT_TRUE(KeyFramesDrawn(r, 12));
  QTest::qWait(300);
  EXPECT_EQ(r.w().positionSlider->keyFrames().size(), 12);

  // A file the libraries cannot read has none, and nothing else happens.
  r.open(testmedia::TempDir() + "/missing.mp4", 12);
  QTest::qWait(300);
  EXPECT_TRUE(r.w().positionSlider->keyFrames().empty());
}

struct Step {
  double from;
  bool forward;
  double expected;  // NaN: no seek
};

TEST(KeyFrames, AltLeftAndAltRightGoToThePreviousAndNextOne) {
  const QString clip = ClipWithKeyFrames("steps.mp4", 50);
  Rig r;
  r.open(clip, 12);
  ASSERT_TRUE(KeyFramesDrawn(r, 6));
  const Step steps[] = {
      {3.0, true, 4},   {3.0, false, 2},   {4.0, false, 2},   {4.0, true, 6},
      {4.001, true, 6}, {0.0, false, NAN}, {10.0, true, NAN}, {11.5, false, 10},
  };
  for (const Step& step : steps) {
    r.p().pos = step.from;
    r.p().seeks.clear();
    (step.forward ? r.w().nextKeyFrameAction : r.w().previousKeyFrameAction)->trigger();
    const QString row = QString("from %1 %2").arg(step.from).arg(step.forward ? "Alt+Right" : "Alt+Left");
    if (std::isnan(step.expected)) {
      EXPECT_TRUE(r.p().seeks.empty()) << row.toStdString();
      continue;
    }
    ASSERT_EQ(r.p().seeks.size(), 1u) << row.toStdString();
    EXPECT_DOUBLE_EQ(r.p().seeks[0], step.expected) << row.toStdString();
    EXPECT_EQ(r.w().positionSlider->value(), int(step.expected)) << row.toStdString();
    EXPECT_FALSE(r.w().session().isPlaying()) << row.toStdString();
  }
  EXPECT_EQ(r.w().nextKeyFrameAction->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Right));
  EXPECT_EQ(r.w().previousKeyFrameAction->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Left));
}

}  // namespace
