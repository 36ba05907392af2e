// Key frames read by the engine against the key-flagged packets ffprobe lists for the same file.
#include "cut/media/key_frames.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "../clips.h"

using namespace vintrel::cut;
using namespace cuttest;

namespace {

struct Case {
  const char* name;
  QString type;
  QStringList options;
  QString videoSource = "testsrc2=size=160x120:rate=25";
  bool fromIndex = true;
};

// ffprobe's key-flagged video packets, by display time from the file's start.
std::vector<double> ProbedKeyFrames(const QString& file) {
  const double start = Probe(file, "format=start_time").toDouble();
  std::vector<double> times;
  for (const QString& line : Probe(file, "packet=pts_time,flags", "v:0").split('\n', Qt::SkipEmptyParts))
    if (line.section(',', 1, 1).contains('K')) times.push_back(line.section(',', 0, 0).toDouble() - start);
  std::sort(times.begin(), times.end());
  return times;
}

class KeyFrameReading : public testing::TestWithParam<Case> {};

TEST_P(KeyFrameReading, FindsTheKeyFramesFfprobeFinds) {
  const Case& c = GetParam();
  QTemporaryDir folder;
  const QString clip = folder.filePath("clip." + c.type);
  MakeClip(clip, 24, c.options, 1, c.videoSource);
  const std::vector<double> truth = ProbedKeyFrames(clip);
  ASSERT_GT(truth.size(), 2u) << "the clip has too few key frames to tell anything";

  KeyFrames draft;
  const KeyFrames read = ReadKeyFrames(clip, nullptr, [&](const KeyFrames& first) { draft = first; });
  EXPECT_EQ(read.fromIndex, c.fromIndex);
  ASSERT_EQ(read.seconds.size(), truth.size());
  for (size_t i = 0; i < truth.size(); ++i)
    EXPECT_NEAR(read.seconds[i], truth[i], 0.0015) << "key frame " << i;

  // A draft, where one comes first, is as long and off by the reordering at most.
  if (!draft.seconds.empty()) {
    ASSERT_EQ(draft.seconds.size(), truth.size());
    for (size_t i = 0; i < truth.size(); ++i) EXPECT_NEAR(draft.seconds[i], truth[i], 0.5) << "draft " << i;
  }

  // Alt+Left/Right land on them: from just after one, the one before is that one.
  const size_t middle = truth.size() / 2;
  const std::vector<double>& keys = read.seconds;
  EXPECT_EQ(KeyFrameBefore(keys, keys[middle] + 0.01), keys[middle]);
  EXPECT_EQ(KeyFrameBefore(keys, keys[middle]), keys[middle - 1]);
  EXPECT_EQ(KeyFrameAfter(keys, keys[middle] - 0.0005), keys[middle + 1]) << "a player's rounding";
  EXPECT_FALSE(KeyFrameAfter(keys, keys.back()));
  EXPECT_FALSE(KeyFrameBefore(keys, keys.front()));
}

const QStringList kX264 = {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-g", "50", "-c:a", "aac"};
const QStringList kX265 = {"-c:v",         "libx265",
                           "-preset",      "ultrafast",
                           "-x265-params", "keyint=40:min-keyint=20:open-gop=1:bframes=4:log-level=error",
                           "-c:a",         "aac"};
// Frames at uneven times: the rate changes every few seconds.
const QString kVariableRate = "testsrc2=size=160x120:rate=30,setpts='N/30/TB+0.4*floor(N/70)/TB'";

INSTANTIATE_TEST_SUITE_P(
    Containers, KeyFrameReading,
    testing::Values(
        Case{"Mp4BFrames", "mp4", kX264},
        Case{"Mp4SceneCuts", "mp4", kX264 + QStringList{"-sc_threshold", "40", "-keyint_min", "5"},
             "testsrc2=size=160x120:rate=25,hue=H=floor(t/3)*2"},
        Case{"MkvBFrames", "mkv", kX264},
        Case{"MovStartOffset", "mov", kX264 + QStringList{"-output_ts_offset", "3.5"}},
        Case{"HevcOpenGopMp4", "mp4", kX265 + QStringList{"-tag:v", "hvc1"}},
        Case{"HevcOpenGopMkv", "mkv", kX265},
        Case{"VariableRateMp4", "mp4", kX264 + QStringList{"-fps_mode", "passthrough"}, kVariableRate},
        Case{"VariableRateMkv", "mkv", kX264 + QStringList{"-fps_mode", "passthrough"}, kVariableRate},
        Case{"TransportStreamScanned", "ts", kX264, "testsrc2=size=160x120:rate=25", false},
        Case{"MpegProgramScanned",
             "mpg",
             {"-c:v", "mpeg2video", "-g", "15", "-c:a", "mp2"},
             "testsrc2=size=160x120:rate=25",
             false}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(KeyFrameReadingFails, OnAFileThatIsNoVideo) {
  QTemporaryDir folder;
  const QString text = folder.filePath("notes.mp4");
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a video at all");
  file.close();
  EXPECT_ANY_THROW(ReadKeyFrames(text));
}

}  // namespace
