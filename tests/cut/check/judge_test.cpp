// The check's verdicts as a table: findings of made files against what the stretch should give.
#include "cut/check/judge.h"

#include <gtest/gtest.h>

using namespace vintrel::cut;

namespace {

Expected Stretch() {
  Expected expected;
  expected.frames = 121;
  expected.length = 4.84;
  expected.audio = true;
  expected.audioLength = 4.84;
  expected.videoAfterAudio = 0.0;
  expected.syncTolerance = 0.0011;
  expected.copiedCompared = 12;
  return expected;
}

Found Good() {
  Found found;
  found.frames = 121;
  found.videoFirst = 0;
  found.audioFirst = 0;
  found.audioLength = 4.84;
  found.decodedWhere = "around every join";
  found.firstFramePsnr = 55;
  found.copiedMatching = 12;
  return found;
}

TEST(Judge, Verdicts) {
  const struct {
    const char* name;
    std::function<void(Expected&, Found&)> change;
    const char* failure;  // the start of the reason; empty: passes
  } cases[] = {
      {"as expected", [](Expected&, Found&) {}, ""},
      {"unreadable", [](Expected&, Found& f) { f.unreadable = "Invalid data"; },
       "the made file cannot be read"},
      {"a frame short", [](Expected&, Found& f) { f.frames = 120; },
       "the video has 120 frames where the source has 121"},
      {"a frame more", [](Expected&, Found& f) { f.frames = 122; },
       "the video has 122 frames where the source has 121"},
      {"VFR stretch counted by times", [](Expected& e, Found& f) { e.frames = f.frames = 225; }, ""},
      {"sound missing", [](Expected&, Found& f) { f.audioFirst.reset(); }, "the sound is missing"},
      {"sound too short", [](Expected&, Found& f) { f.audioLength = 4.7; }, "the sound runs 4.700 s"},
      {"picture late by 75 ms", [](Expected&, Found& f) { f.videoFirst = 0.075; },
       "the picture is 75.0 ms behind the sound"},
      {"picture early", [](Expected& e, Found&) { e.videoAfterAudio = 0.021; },
       "the picture is 21.0 ms ahead of"},
      {"offset kept as in the source",
       [](Expected& e, Found& f) { e.videoAfterAudio = f.videoFirst = 0.021; }, ""},
      {"within one audio frame",
       [](Expected& e, Found& f) {
         e.syncTolerance = 0.024;
         f.audioFirst = -0.02;
       },
       ""},
      {"decoder errors", [](Expected&, Found& f) { f.decodeErrors = 3; },
       "decoding around every join reports 3"},
      {"copied frames differ", [](Expected&, Found& f) { f.copiedMatching = 11; },
       "1 of 12 copied frames differ"},
      {"wrong first frame", [](Expected&, Found& f) { f.firstFramePsnr = 18; },
       "the first frame is not the source's"},
      {"first frame not compared", [](Expected&, Found& f) { f.firstFramePsnr.reset(); },
       "the first frame could not"},
      {"a picture of another size, not to be compared",
       [](Expected& e, Found& f) {
         e.firstFrameCompared = false;
         f.firstFramePsnr.reset();
       },
       ""},
      {"rotation lost", [](Expected& e, Found&) { e.rotation = 90; },
       "the video's rotation is 0 degrees, not 90"},
      {"no sound in the source",
       [](Expected& e, Found& f) {
         e.audio = false;
         f.audioFirst.reset();
       },
       ""},
  };
  for (const auto& c : cases) {
    Expected expected = Stretch();
    Found found = Good();
    c.change(expected, found);
    const Verdict verdict = Judge(expected, found);
    // A passing report names only what was checked.
    if (verdict.passed()) {
      EXPECT_EQ(verdict.checked.filter("first frame matches").size(), expected.firstFrameCompared ? 1 : 0)
          << c.name;
    }
    if (QString(c.failure).isEmpty()) {
      EXPECT_TRUE(verdict.passed()) << c.name << ": " << verdict.failure.toStdString();
    } else {
      EXPECT_TRUE(verdict.failure.startsWith(c.failure)) << c.name << ": " << verdict.failure.toStdString();
    }
  }
}

}  // namespace
