// The smart cut's decisions as data: packet lists in decoding order in, frames to re-encode,
// copy and re-encode again out, with the cases that must not be smart-cut.
#include "cut/plan/smart_cut_plan.h"

#include <gtest/gtest.h>

#include "cut/plan/cut_choice.h"

using namespace vintrel::cut;

namespace {

// Closed GOPs of `gop` frames of one tick each, B-frame pairs in decoding order (I P B B P B B ...).
std::vector<VideoPacket> ClosedGops(int frames, int gop, bool idr = true) {
  std::vector<VideoPacket> packets;
  auto add = [&](int frame, bool key) { packets.push_back({frame, 1, key, key && idr}); };
  for (int group = 0; group < frames; group += gop) {
    add(group, true);
    for (int anchor = group + 3; anchor < group + gop; anchor += 3) {
      add(anchor, false);
      add(anchor - 2, false);
      add(anchor - 1, false);
    }
    for (int rest = group + 1 + (gop - 1) / 3 * 3; rest < group + gop; ++rest) add(rest, false);
  }
  return packets;
}

// The packets from the key frame at or before `frame` on.
std::vector<VideoPacket> From(const std::vector<VideoPacket>& all, int64_t frame) {
  size_t from = 0;
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].key && all[i].pts <= frame) from = i;
  return {all.begin() + long(from), all.end()};
}

std::vector<int64_t> Range(int64_t from, int64_t to) {
  std::vector<int64_t> frames;
  for (int64_t i = from; i < to; ++i) frames.push_back(i);
  return frames;
}

TEST(SmartCutPlan, Layouts) {
  const std::vector<VideoPacket> gops = ClosedGops(200, 25);
  const struct {
    const char* name;
    Stretch stretch;
    std::vector<int64_t> head;
    int64_t headFrom, entry;
    std::optional<int64_t> copyBefore;
    std::vector<int64_t> tail;
  } cases[] = {
      // Start between key frames, end where the B-frames before it refer past it.
      {"mid-GOP marks", {63, 184}, Range(63, 75), 50, 75, 184, {182, 183}},
      {"start on a key frame", {75, 184}, {}, 0, 75, 184, {182, 183}},
      {"end on a key frame", {63, 175}, Range(63, 75), 50, 75, 175, {}},
      {"to the end of the file", {63, 200}, Range(63, 75), 50, 75, std::nullopt, {}},
      {"one GOP", {75, 100}, {}, 0, 75, 100, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SmartCutDecision decision =
        PlanSmartCut(From(gops, c.stretch.start), From(gops, c.stretch.end), c.stretch, 0);
    ASSERT_TRUE(decision.layout) << decision.reason.toStdString();
    const SmartCutLayout& layout = *decision.layout;
    EXPECT_EQ(layout.head, c.head);
    if (!c.head.empty()) {
      EXPECT_EQ(layout.headDecodeFrom, c.headFrom);
    }
    EXPECT_EQ(layout.entry, c.entry);
    EXPECT_EQ(layout.copyBefore, c.copyBefore);
    EXPECT_EQ(layout.tail, c.tail);
    EXPECT_EQ(layout.reorderDepth, 1);
  }
}

TEST(SmartCutPlan, LongGopCopiesUpToTheEndMark) {
  // 10 s GOPs at 25 fps: only the B-frames whose reference lies past the end are re-encoded.
  const std::vector<VideoPacket> gops = ClosedGops(750, 250);
  const Stretch stretch{250, 742};
  const SmartCutDecision decision = PlanSmartCut(From(gops, 250), From(gops, 742), stretch, 3);
  ASSERT_TRUE(decision.layout);
  EXPECT_EQ(decision.layout->reorderDepth, 3) << "the stream's declared depth, deeper than near the marks";
  EXPECT_LE(decision.layout->tail.size(), 3u);
  EXPECT_EQ(decision.layout->tailDecodeFrom, 500) << "the last key frame before them";
}

TEST(SmartCutPlan, WhatIsNotSmartCut) {
  // Key frames that are not clean entries (H.264 open GOP's recovery points): none to copy from.
  const std::vector<VideoPacket> open = ClosedGops(200, 25, false);
  EXPECT_FALSE(PlanSmartCut(From(open, 63), From(open, 184), {63, 184}, 0).layout);
  // No key frame between the marks.
  const std::vector<VideoPacket> gops = ClosedGops(200, 50);
  const SmartCutDecision inside = PlanSmartCut(From(gops, 55), From(gops, 90), {55, 90}, 0);
  EXPECT_FALSE(inside.layout);
  EXPECT_FALSE(inside.reason.isEmpty());
}

TEST(SmartCutPlan, LeadingPicturesOfTheEntryAreReEncodedNotCopied) {
  // An HEVC CRA at 8 whose leading pictures 6 and 7 follow it in decoding order.
  std::vector<VideoPacket> packets = {{0, 1, true, true}, {3, 1}, {1, 1}, {2, 1}, {5, 1}, {4, 1},
                                      {8, 1, true, true}, {6, 1}, {7, 1}};
  for (int64_t i = 9; i < 40; ++i) packets.push_back({i, 1});
  const SmartCutDecision decision = PlanSmartCut(packets, packets, {5, 30}, 0);
  ASSERT_TRUE(decision.layout);
  EXPECT_EQ(decision.layout->head, (std::vector<int64_t>{5, 6, 7}));
  EXPECT_EQ(decision.layout->entry, 8);
  EXPECT_TRUE(decision.layout->tail.empty());
}

TEST(SmartCutPlan, VariableFrameTimesAreTakenAsTheyAre) {
  // 30 fps then 15 fps (ticks of 1/30 s): frames are counted by their times, not by a rate.
  std::vector<VideoPacket> packets;
  for (int64_t t = 0; t < 300; t += t < 150 ? 1 : 2)
    packets.push_back({t, t < 150 ? 1 : 2, t % 30 == 0, t % 30 == 0});
  const SmartCutDecision decision = PlanSmartCut(From(packets, 75), From(packets, 225), {75, 225}, 0);
  ASSERT_TRUE(decision.layout);
  EXPECT_EQ(decision.layout->head, Range(75, 90));
  EXPECT_EQ(decision.layout->copyBefore, 226);
}

TEST(SmartCutPlan, WindowsReadFarEnough) {
  const std::vector<VideoPacket> gops = ClosedGops(200, 25);
  const std::vector<VideoPacket> firstGop(gops.begin(), gops.begin() + 25);
  EXPECT_FALSE(StartWindowDone(firstGop, {10, 180})) << "the entry at 25 is not read yet";
  EXPECT_TRUE(StartWindowDone(gops, {10, 180}));
  EXPECT_FALSE(EndWindowDone(firstGop, {0, 24})) << "no key frame past the end yet";
  EXPECT_TRUE(EndWindowDone(gops, {0, 24}));
}

TEST(CutChoice, WhatIsTriedAsASmartCut) {
  const struct {
    SmartCutInput input;
    bool smart;
  } cases[] = {
      {{"mp4", "mp4", "h264"}, true},           {{"mov", "mp4", "hevc"}, true},
      {{"mp4", "mkv", "h264"}, true},           {{"mkv", "mov", "h264"}, true},
      {{"mp4", "mp4", "h264", 0, true}, false}, {{"avi", "avi", "mpeg4"}, false},
      {{"mp4", "avi", "h264"}, false},          {{"mp4", "mp4", "vp9"}, false},
      {{"mp4", "mkv", "h264", 90}, false},      {{"mp4", "mp4", "h264", 90}, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SmartCutObstacle(c.input).isEmpty(), c.smart)
        << c.input.inputType.toStdString() << " to " << c.input.outputType.toStdString();
}

TEST(CutChoice, TheStretchStaysInsideTheVideo) {
  EXPECT_EQ(StretchEnd(11, 10.6), 10.6) << "an end mark past the last frame is the end of the video";
  EXPECT_EQ(StretchEnd(8, 10.6), 8);
  EXPECT_TRUE(StretchProblem(1, 11, 10.6).isEmpty());
  EXPECT_TRUE(StretchProblem(11, 12, 10.6).startsWith("The stretch starts after the end of the video"));
  EXPECT_FALSE(StretchProblem(5, 5, 10.6).isEmpty());
}

}  // namespace
