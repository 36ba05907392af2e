// The times the one muxer is given: decoding times of joined parts, and subtitle cues clipped
// to the stretch.
#include <gtest/gtest.h>

#include "cut/cut_error.h"
#include "cut/make/decoding_times.h"
#include "cut/make/subtitle_cues.h"

using namespace vintrel::cut;

namespace {

std::vector<int64_t> DtsOf(const std::vector<int64_t>& shown, int depth, int64_t step = 1) {
  std::vector<int64_t> dts;
  DecodingTimes times(depth, [&](PacketHandle packet) {
    EXPECT_LE(packet->dts, packet->pts);
    dts.push_back(packet->dts);
  });
  for (const int64_t pts : shown) {
    PacketHandle packet = NewPacket();
    packet->pts = pts;
    packet->duration = step;
    times.push(std::move(packet));
  }
  times.finish();
  return dts;
}

TEST(DecodingTimes, EvenStepsAcrossJoins) {
  // A head without B-frames (0..2), then a copy with them (3 6 4 5 9 7 8): one even clock.
  EXPECT_EQ(DtsOf({0, 1, 2, 3, 6, 4, 5, 9, 7, 8}, 2), (std::vector<int64_t>{-2, -1, 0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(DtsOf({0, 1, 2}, 0), (std::vector<int64_t>{0, 1, 2}));
  // A variable rate keeps its own steps.
  EXPECT_EQ(DtsOf({0, 2, 3, 7, 8}, 0, 2), (std::vector<int64_t>{0, 2, 3, 7, 8}));
  // Reordered deeper than the depth given: no times both in order and before display, so the
  // copy is refused rather than written with times that run backwards.
  EXPECT_THROW(DtsOf({0, 3, 2, 1}, 1), CutError);
}

TEST(SubtitleCues, ClippedToTheStretch) {
  const struct {
    int64_t pts, duration;
    std::optional<CueSpan> kept;
  } cases[] = {
      {100, 50, CueSpan{0, 50}},   // across the start mark: shown from 0 for what is left
      {50, 40, std::nullopt},      // ended before the start
      {150, 20, CueSpan{50, 20}},  // inside
      {190, 30, CueSpan{90, 10}},  // across the end
      {200, 10, std::nullopt},     // after the end
  };
  for (const auto& c : cases) {
    const std::optional<CueSpan> kept = ClipCue(c.pts, c.duration, 100, 200);
    ASSERT_EQ(kept.has_value(), c.kept.has_value()) << c.pts;
    if (kept) {
      EXPECT_EQ(kept->start, c.kept->start);
      EXPECT_EQ(kept->duration, c.kept->duration);
    }
  }
}

}  // namespace
