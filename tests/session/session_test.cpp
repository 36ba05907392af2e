// The session's rules: positions to whole seconds, the time labels' text, and the stretch
// that Save cuts.
#include "session/session.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <cfenv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace {

using vintrel::formatTime;
using vintrel::roundToSecond;
using vintrel::Session;

TEST(RoundToSecond, NearestWholeSecondTiesToEven) {
  const struct {
    double seconds;
    int64_t rounded;
  } cases[] = {
      {0.0, 0},       {0.4, 0},     {0.5, 0},
      {1.5, 2},       {2.5, 2},     {3.5, 4},
      {12.4, 12},     {12.5, 12},   {12.6, 13},
      {13.5, 14},     {59.5, 60},   {58.5, 58},
      {99.49, 99},    {100.5, 100}, {101.5, 102},
      {3661.2, 3661}, {-0.5, 0},    {-1.5, -2},
      {-2.5, -2},     {-2.6, -3},   {1e10 + 0.5, 10000000000},
  };
  for (const auto& c : cases) EXPECT_EQ(roundToSecond(c.seconds), c.rounded) << c.seconds;
}

TEST(RoundToSecond, NotANumberOrInfinityIsZero) {
  for (double v :
       {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
    EXPECT_EQ(roundToSecond(v), 0) << v;
}

// Another library may leave the rounding mode changed; marks must not move with it.
TEST(RoundToSecond, IgnoresAndKeepsTheCurrentRoundingMode) {
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    EXPECT_EQ(roundToSecond(2.5), 2) << mode;
    EXPECT_EQ(roundToSecond(3.5), 4) << mode;
    EXPECT_EQ(roundToSecond(2.4), 2) << mode;
    EXPECT_EQ(roundToSecond(-2.6), -3) << mode;
    EXPECT_EQ(std::fegetround(), mode);
    std::fesetround(FE_TONEAREST);
  }
}

TEST(FormatTime, HoursMinutesSecondsEachWithABlankBeforeIt) {
  const struct {
    int64_t seconds;
    const char* text;
  } cases[] = {
      {0, " 0 : 0 : 0"},
      {1, " 0 : 0 : 1"},
      {59, " 0 : 0 : 59"},
      {60, " 0 : 1 : 0"},
      {65, " 0 : 1 : 5"},
      {3599, " 0 : 59 : 59"},
      {3600, " 1 : 0 : 0"},
      {3661, " 1 : 1 : 1"},
      {36000, " 10 : 0 : 0"},
      {90061, " 25 : 1 : 1"},
      {117964799, " 32767 : 59 : 59"},
      // No limit at 16 bits of hours any more.
      {117964800, " 32768 : 0 : 0"},
      // A minus takes the blank's place.
      {-3661, "-1 :-1 :-1"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatTime(c.seconds), c.text) << c.seconds;
  // A reset label has no leading blank.
  EXPECT_STREQ(vintrel::kZeroTime, "0 : 0 : 0");
}

TEST(Session, SelectionAndTheStretchToSave) {
  const struct {
    int64_t start, end;
    int64_t length;  // what the length label shows
    std::optional<std::pair<int64_t, int64_t>> stretch;
  } cases[] = {
      {0, 0, 0, std::nullopt},
      {5, 5, 0, std::nullopt},
      {10, 3, 0, std::nullopt},
      {50, 20, 0, std::nullopt},
      // A cut never starts at second 0: it moves to 1, and 0..1 is nothing then.
      {0, 1, 1, std::nullopt},
      {0, 2, 2, std::make_pair(1, 2)},
      {0, 30, 30, std::make_pair(1, 30)},
      {1, 2, 1, std::make_pair(1, 2)},
      {12, 30, 18, std::make_pair(12, 30)},
      {65, 3726, 3661, std::make_pair(65, 3726)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
    Session s;
    s.setFile("/videos/clip.avi");
    s.setMarkStart(c.start);
    s.setMarkEnd(c.end);
    EXPECT_EQ(s.selectionValid(), c.start < c.end);
    EXPECT_EQ(s.selectionLength(), c.length);
    const auto stretch = s.stretchToSave();
    ASSERT_EQ(stretch.has_value(), c.stretch.has_value());
    if (stretch) {
      EXPECT_EQ(stretch->start, c.stretch->first);
      EXPECT_EQ(stretch->end, c.stretch->second);
      EXPECT_EQ(stretch->length(), c.stretch->second - c.stretch->first);
    }
    // The marks themselves stay as the user set them.
    EXPECT_EQ(s.markStart(), c.start);
    EXPECT_EQ(s.markEnd(), c.end);
  }
}

TEST(Session, ANewFileStartsAfreshAndAnEmptyPathClosesIt) {
  Session s;
  s.setFile("/videos/old.avi");
  s.setMarkStart(3);
  s.setMarkEnd(8);
  s.setPlayback(Session::Playback::Playing);
  s.setPlayingSelection(true);
  QSignalSpy changed(&s, &Session::changed);
  s.setFile("/videos/new.avi");
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(s.file(), "/videos/new.avi");
  EXPECT_EQ(s.markStart(), 0);
  EXPECT_EQ(s.markEnd(), 0);
  EXPECT_EQ(s.playback(), Session::Playback::Stopped);
  EXPECT_FALSE(s.isPlayingSelection());

  s.setFile({});
  EXPECT_FALSE(s.hasFile());
}

// A preview runs only while the video plays: halting it in any way ends the preview.
TEST(Session, HaltingEndsAPreviewPlayingKeepsIt) {
  for (auto halted : {Session::Playback::Paused, Session::Playback::Stopped}) {
    Session s;
    s.setFile("/videos/clip.avi");
    s.setPlayback(Session::Playback::Playing);
    s.setPlayingSelection(true);
    s.setPlayback(Session::Playback::Playing);
    EXPECT_TRUE(s.isPlayingSelection());
    s.setPlayback(halted);
    EXPECT_FALSE(s.isPlayingSelection());
    EXPECT_FALSE(s.isPlaying());
  }
}

}  // namespace
