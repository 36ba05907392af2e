// The bar and the title of a running save, on made-up times.
#include "save/save_progress.h"

#include <gtest/gtest.h>

#include "cut/time_text.h"

namespace {

using vintrel::SaveProgress;

TEST(SaveProgress, FollowsTheReportsNeverBackwardsAndShows100OnlyOnceComplete) {
  SaveProgress p;
  p.start(0);
  EXPECT_EQ(p.title(), "Saving");
  // Within the first second: no time left yet.
  const struct {
    double fraction;
    int percent;
  } steps[] = {{0.1, 10}, {0.42, 42}, {0.3, 42}, {-1, 42}, {0.999, 99}, {1.0, 99}, {7, 99}};
  for (const auto& s : steps) {
    p.report(s.fraction, 0.5);
    EXPECT_EQ(p.percent(), s.percent) << s.fraction;
    EXPECT_EQ(p.title(), QString("Saving %1%").arg(s.percent)) << s.fraction;
  }
  p.complete();
  EXPECT_EQ(p.percent(), 100);
  EXPECT_EQ(p.title(), "Saving 100%") << "nothing is left once complete";
  p.start(50);
  EXPECT_EQ(p.percent(), 0);
  EXPECT_EQ(p.title(), "Saving");
}

TEST(SaveProgress, TheTimeLeftOnceItCanBeTold) {
  const struct {
    double fraction, at;  // seconds after the start
    const char* title;
  } cases[] = {
      {0.42, 8.7, "Saving 42% - 0:12 left"},
      {0.5, 0.9, "Saving 50%"},  // too early to tell
      {0.02, 10, "Saving 2%"},   // too little done to tell
      {0.03, 10, "Saving 3% - 5:23 left"},
      {0.1, 400, "Saving 10% - 1:00:00 left"},
      {0.9, 9, "Saving 90% - 0:01 left"},
  };
  for (const auto& c : cases) {
    SaveProgress p;
    p.start(1000);
    p.report(c.fraction, 1000 + c.at);
    EXPECT_EQ(p.title(), c.title) << c.fraction << " at " << c.at;
  }
  const struct {
    double seconds;
    const char* text;
  } texts[] = {{0.4, "0:00"},   {59.6, "1:00"},    {725, "12:05"},
               {3599, "59:59"}, {3723, "1:02:03"}, {-5, "0:00"}};
  for (const auto& t : texts) EXPECT_EQ(vintrel::cut::ClockText(t.seconds), t.text) << t.seconds;
}

// A cut stopped from outside (SIGSTOP) or stuck reports nothing: the bar stands where the
// last report put it, and the title says it waits instead of counting anything.
TEST(SaveProgress, AQuietCutHoldsTheBarAndSaysItWaits) {
  const struct {
    double reported;  // < 0: nothing reported yet
    int percent;
    const char* titleBeforeQuiet;
  } cases[] = {{-1, 0, "Saving"}, {0.05, 5, "Saving 5% - 0:15 left"}, {0.95, 95, "Saving 95% - 0:00 left"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reported);
    SaveProgress p;
    p.start(0);
    if (c.reported >= 0) p.report(c.reported, 1);
    p.tick(4.9);
    EXPECT_EQ(p.title(), c.titleBeforeQuiet) << "a quiet moment is not yet silence";
    // Ticks every quarter second, as in the window, for an hour.
    for (double t = 6; t < 3600; t += 0.25) {
      p.tick(t);
      ASSERT_EQ(p.percent(), c.percent) << t;
      ASSERT_EQ(p.title(), "Saving - waiting for the encoder") << t;
      ASSERT_FALSE(p.secondsLeft()) << t;
    }
    // It goes on: the bar and the time left follow again.
    p.report(0.96, 3600);
    EXPECT_EQ(p.percent(), 96);
    EXPECT_TRUE(p.title().startsWith("Saving 96%")) << p.title().toStdString();
  }
}

TEST(SaveProgress, TheTimeLeftCountsDownBetweenReportsAndNeverGrows) {
  SaveProgress p;
  p.start(0);
  p.report(0.25, 10);  // 30 s to go at this pace
  ASSERT_EQ(p.secondsLeft(), 30);
  double last = 30;
  for (double t = 10.25; t < 10 + SaveProgress::kQuietSeconds; t += 0.25) {
    p.tick(t);
    ASSERT_TRUE(p.secondsLeft()) << t;
    ASSERT_LE(*p.secondsLeft(), last) << t;
    last = *p.secondsLeft();
  }
  EXPECT_NEAR(last, 25.25, 1e-9);
}

// "progress 0.5700" is 57%, not the 56 a plain floor of the double gives.
TEST(SaveProgress, ThePercentIsTheReportedOne) {
  for (int percent = 0; percent < 100; ++percent) {
    SaveProgress p;
    p.start(0);
    p.report(percent / 100.0, 0.5);
    EXPECT_EQ(p.percent(), percent);
  }
}

}  // namespace
