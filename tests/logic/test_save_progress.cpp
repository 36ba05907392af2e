// The bar and the title of a running save, on made-up times.
#include <gtest/gtest.h>

#include "cut/time_text.h"
#include "save/save_progress.h"

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
      {0.42, 8.7, "Saving 42% - 0:12 left"}, {0.5, 0.9, "Saving 50%"},  // too early to tell
      {0.02, 10, "Saving 2%"},                                          // too little done to tell
      {0.03, 10, "Saving 3% - 5:23 left"},   {0.1, 400, "Saving 10% - 1:00:00 left"},
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
  } texts[] = {{0.4, "0:00"}, {59.6, "1:00"}, {725, "12:05"}, {3599, "59:59"}, {3723, "1:02:03"}, {-5, "0:00"}};
  for (const auto& t : texts) EXPECT_EQ(vintrel::cut::ClockText(t.seconds), t.text) << t.seconds;
}

// Ticks every quarter second, as in the window, for an hour.
TEST(SaveProgress, BetweenReportsTheBarCreepsOnButNeverBackNorTo100) {
  for (double reported : {-1.0, 0.1, 0.95, 1.0}) {
    SCOPED_TRACE(reported);
    SaveProgress p;
    p.start(0);
    p.tick(1.9);
    EXPECT_EQ(p.percent(), 0) << "a quiet moment is not yet silence";
    p.tick(62);
    EXPECT_EQ(p.percent(), 56);  // two thirds of the way to 90% after a minute of silence
    EXPECT_FALSE(p.secondsLeft()) << "no estimate without reports";
    if (reported >= 0) p.report(reported, 62);
    int last = p.percent();
    for (double t = 62.25; t < 3600; t += 0.25) {
      p.tick(t);
      ASSERT_GE(p.percent(), last) << t;
      ASSERT_LT(p.percent(), 100) << t;
      last = p.percent();
    }
  }
}

// Disabled until fixed: the creep takes its ceiling from the bar rather than from the
// reports, so it raises it itself and a cut silent for minutes shows 98% instead of 90%.
TEST(SaveProgress, WithoutReportsTheBarStaysAtItsCeiling) {
  SaveProgress p;
  p.start(0);
  for (double t = 0.25; t < 600; t += 0.25) {
    p.tick(t);
    ASSERT_LE(p.percent(), 90) << t;
  }
}

// Disabled until fixed: the share is floored as a double, so "progress 0.5700" shows 56%.
TEST(SaveProgress, ThePercentIsTheReportedOne) {
  for (int percent = 0; percent < 100; ++percent) {
    SaveProgress p;
    p.start(0);
    p.report(percent / 100.0, 0.5);
    EXPECT_EQ(p.percent(), percent);
  }
}

}  // namespace
