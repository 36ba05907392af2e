// Every cut point a user can pick, on the GOP shapes common encoders and presets make, judged
// from outside by display time: at and either side of every key frame and mid-GOP, starts and
// ends crossed, into MP4, MOV and Matroska, plus random pairs (VINTREL_SWEEP_SEED sets the
// seed; the one used is printed). Every cut must exit 0 with exactly the source's frames whose
// times lie in [start, end), the copied ones identical, the sound where it was against them.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <iostream>
#include <random>
#include <thread>

#include "clips.h"

using namespace cuttest;

namespace {

const QStringList kAac = {"-c:a", "aac"};
const QStringList kOutputTypes = {"mp4", "mov", "mkv"};

struct Pair {
  double start, end;
  QString type;
};

struct Recipe {
  const char* name;
  QString type;   // the clip's extension
  QString video;  // a lavfi source; empty for a file from a Debian package
  double seconds;
  QStringList options;  // the encoder's, the sound's
  QString package = {}, pathInPackage = {};
  std::vector<Pair> found = {};  // pairs that failed once, cut every run
  bool everyPoint = true;        // the points and random pairs too, not only `found`
  // Frames that may show a neighbour's picture: where a container gives times in decoding
  // order though the pictures are reordered, a copy's last frames are the decoder's, up to
  // the reordering depth.
  int misplacedAllowed = 0;
};

void PrintTo(const Recipe& recipe, std::ostream* out) { *out << recipe.name; }

QStringList X264(const QString& preset, const QStringList& more) {
  return QStringList{"-c:v", "libx264", "-preset", preset, "-pix_fmt", "yuv420p"} + more + kAac;
}

// Brief clips of every GOP shape: fixed spacing and scene cuts (the picture inverts at
// irregular times), B-pyramids of each kind, no B-frames, HEVC's open GOP, common rates.
const Recipe kRecipes[] = {
    {"X264Ultrafast_25fps", "mp4", "testsrc2=s=640x360:r=25", 5, X264("ultrafast", {"-g", "25"})},
    {"X264VeryfastPyramid_2997fps", "mp4", "testsrc2=s=640x360:r=30000/1001", 6,
     X264("veryfast", {"-g", "50", "-keyint_min", "50", "-sc_threshold", "0"})},
    {"X264MediumStrictPyramid_SceneCuts_Mkv", "mkv",
     "testsrc2=s=640x360:r=30,negate=enable='lt(mod(t\\,1.7)\\,0.85)'", 6,
     X264("medium", {"-x264-params", "b-pyramid=strict"})},
    {"X264SlowerNoPyramid_50fps_Mov", "mov", "testsrc2=s=480x270:r=50", 4,
     X264("slower", {"-g", "40", "-x264-params", "b-pyramid=none"})},
    {"X264Baseline_720p", "mp4", "testsrc2=s=1280x720:r=25", 3,
     X264("veryfast", {"-profile:v", "baseline", "-g", "25"})},
    {"X265OpenGop_25fps",
     "mp4",
     "testsrc2=s=640x360:r=25",
     5,
     {"-c:v", "libx265", "-x265-params", "keyint=25:log-level=error", "-c:a", "aac"}},
    {"X264_1080p_30fps", "mp4", "testsrc2=s=1920x1080:r=30", 1.5, X264("veryfast", {"-g", "15"})},
    // A camera's MP4: MP3 as stream 0, B-frames two deep whose container times are in decoding order.
    {"Camera_BoxMp4",
     "mp4",
     {},
     0,
     {},
     "opencv-doc",
     "usr/share/doc/opencv-doc/opencv4/html/box.mp4.gz",
     {{3, 12, "mp4"}, {1, 9, "mp4"}, {3, 12, "mkv"}, {0, 8.343, "mov"}, {8.31, 12.5, "mp4"}},
     false,
     2},
};

// How many random pairs each clip gets on top of the points below.
constexpr int kRandomPairs = 2;

// The time the window passes for a frame: its time to the millisecond, never past it.
double MarkOf(double time) { return std::floor(time * 1000 + 1e-6) / 1000; }

// Start points at and around key frame `k` and end points around key frame `e`, each kind
// against each: the frame itself, one before, one after, mid-GOP (and the file's end).
// Each clip takes every other combination, the next clip the rest: all of them over the sweep.
std::vector<Pair> PointPairs(const QList<TimedFrame>& frames, const std::vector<int>& keys, double videoEnd,
                             int half) {
  const auto around = [&](size_t key, int kind) -> double {
    const int at = keys[std::min(key, keys.size() - 1)];
    const int next = key + 1 < keys.size() ? keys[key + 1] : int(frames.size());
    const int index = kind == 0 ? at : kind == 1 ? at - 1 : kind == 2 ? at + 1 : (at + next) / 2;
    return index >= int(frames.size()) ? videoEnd : frames[std::max(0, index)].time;
  };
  std::vector<Pair> pairs;
  int combination = 0;
  for (int startKind = 0; startKind < 4; ++startKind)
    for (int endKind = 0; endKind < 5; ++endKind, ++combination) {
      const size_t startKey = size_t(combination) % keys.size(), endKey = startKey + 1 + combination % 2;
      const double start = around(startKey, startKind),
                   end = endKind == 4 ? videoEnd + 1 : around(endKey, endKind);
      if (end > start && combination % 2 == half)
        pairs.push_back({MarkOf(start), MarkOf(end), kOutputTypes[combination % 3]});
    }
  return pairs;
}

// Random pairs, each mark inside a frame's interval (not at a frame), so no tick rounds it over.
std::vector<Pair> RandomPairs(const QList<TimedFrame>& frames, std::mt19937& random) {
  std::vector<Pair> pairs;
  std::uniform_int_distribution<int> frame(0, int(frames.size()) - 2), type(0, 2);
  std::uniform_real_distribution<double> within(0.3, 0.7);
  const auto inside = [&](int index) {
    return MarkOf(frames[index].time + within(random) * (frames[index + 1].time - frames[index].time));
  };
  for (int i = 0; i < kRandomPairs; ++i) {
    int a = frame(random), b = frame(random);
    if (a == b) continue;
    pairs.push_back({inside(std::min(a, b)), inside(std::max(a, b)), kOutputTypes[type(random)]});
  }
  return pairs;
}

unsigned SweepSeed() {
  static const unsigned seed = qEnvironmentVariableIsSet("VINTREL_SWEEP_SEED")
                                   ? qEnvironmentVariable("VINTREL_SWEEP_SEED").toUInt()
                                   : std::random_device{}();
  return seed;
}

struct Source {
  QList<TimedFrame> frames;
  QList<StoredPacket> audio;
  double videoEnd = 0;
};

// What a viewer would find wrong with the made file; empty when nothing.
QStringList Problems(const Source& source, const Pair& pair, const QString& made, const QString& report,
                     int misplacedAllowed) {
  const int allowance = misplacedAllowed;
  QStringList problems;
  QList<qsizetype> expected;  // the source's frames, by index
  for (qsizetype i = 0; i < source.frames.size(); ++i)
    if (source.frames[i].time >= pair.start - 1e-7 && source.frames[i].time < pair.end - 1e-7) expected << i;
  const QList<TimedFrame> frames = FramesByTime(made);
  if (frames.size() != expected.size())
    problems << QString("%1 frames where the source shows %2").arg(frames.size()).arg(expected.size());
  int identical = 0;
  for (qsizetype i = 0; i < std::min(frames.size(), expected.size()) && problems.size() < 6; ++i) {
    const TimedFrame& shown = source.frames[expected[i]];
    // Spaced as in the source, from the first frame (a file's start may lie before it).
    const double late = (frames[i].time - frames[0].time) - (shown.time - source.frames[expected[0]].time);
    if (std::abs(late) > 0.0015)
      problems << QString("frame %1 at %2 s is %3 ms off").arg(i).arg(frames[i].time).arg(late * 1000);
    if (frames[i].hash == shown.hash) {
      ++identical;
      continue;
    }
    // A re-encoded frame looks like its source frame more than like the frames beside it.
    const double own = ThumbnailDistance(frames[i].thumbnail, shown.thumbnail);
    for (const qsizetype other : {expected[i] - 1, expected[i] + 1})
      if (other >= 0 && other < source.frames.size() &&
          ThumbnailDistance(frames[i].thumbnail, source.frames[other].thumbnail) < own)
        if (misplacedAllowed-- <= 0)
          problems
              << QString("frame %1 looks like the source's at %2 s").arg(i).arg(source.frames[other].time);
  }
  const QRegularExpressionMatch smart =
      QRegularExpression(R"(^Smart cut: \d+ frames re-encoded, (\d+) copied\.)").match(report);
  if (smart.hasMatch() && identical + allowance < smart.captured(1).toInt())
    problems
        << QString("%1 frames identical to the source's, %2 copied").arg(identical).arg(smart.captured(1));
  // A failed smart cut that fell back to a re-encode is a fault here: these clips all allow one.
  if (report.startsWith("Re-encoded: the smart cut")) problems << "the smart cut failed";
  // Sync: a copied sound packet stands as far from the first frame as in the source (the
  // nearest of its copies there: a steady tone repeats). Matroska starts sound on a packet's edge.
  const QList<StoredPacket> audio = StoredPackets(made, "a:0");
  if (smart.hasMatch() && !audio.isEmpty() && !frames.isEmpty() && !expected.isEmpty()) {
    const double shift = source.frames[expected[0]].time - frames[0].time;
    double drift = INFINITY;
    for (const StoredPacket& in : source.audio)
      if (in.hash == audio[0].hash && std::abs(in.time - audio[0].time - shift) < std::abs(drift))
        drift = in.time - audio[0].time - shift;
    if (std::abs(drift) > (pair.type == "mkv" ? 0.0245 : 0.0011))
      problems << QString("the sound is %1 ms off the picture").arg(drift * 1000);
  }
  return problems;
}

struct Outcome {
  QString failure;  // empty for a cut as it should be
  bool smart = false;
};

Outcome CutAndJudge(const Source& source, const QString& clip, const Pair& pair, const QString& made,
                    int misplacedAllowed) {
  const ProgramRun run =
      RunProgram(CutProgram(), {clip, QString::number(pair.start), QString::number(pair.end), made}, 300000);
  const QString what = QString("%1 to %2 into .%3").arg(pair.start).arg(pair.end).arg(pair.type);
  if (run.exitCode != 0)
    return {QString("%1: exit %2: %3").arg(what).arg(run.exitCode).arg(run.err.trimmed().section('\n', -1))};
  const QStringList problems = Problems(source, pair, made, run.out, misplacedAllowed);
  QFile::remove(made);
  return {problems.isEmpty()
              ? QString()
              : QString("%1 (%2): %3").arg(what, run.out.section('\n', 0, 0), problems.join("; ")),
          run.out.startsWith("Smart cut")};
}

class Sweep : public testing::TestWithParam<Recipe> {
 protected:
  QTemporaryDir folder_;
};

TEST_P(Sweep, EveryCutPointMakesTheExactStretch) {
  const Recipe& recipe = GetParam();
  QString clip = folder_.filePath("source." + recipe.type), problem;
  if (recipe.video.isEmpty()) {
    clip = DebianFile(recipe.package, recipe.pathInPackage, problem);
    if (clip.isEmpty()) GTEST_SKIP() << problem.toStdString();
  } else {
    ASSERT_NO_THROW(MakeClip(clip, recipe.seconds, recipe.options, 1, recipe.video));
  }
  Source source{FramesByTime(clip), StoredPackets(clip, "a:0")};
  ASSERT_GT(source.frames.size(), 10);
  std::vector<int> keys;
  const QList<StoredPacket> video = StoredPackets(clip, "v:0");
  for (const StoredPacket& packet : video)
    for (int i = 0; packet.key && i < source.frames.size(); ++i)
      if (std::abs(source.frames[i].time - packet.time) < 1e-6) keys.push_back(i);
  std::sort(keys.begin(), keys.end());
  source.videoEnd = source.frames.back().time + 0.01;
  std::mt19937 random(SweepSeed() ^ unsigned(qHash(QString(recipe.name))));
  std::vector<Pair> pairs;
  if (recipe.everyPoint) {
    const auto index = std::find_if(std::begin(kRecipes), std::end(kRecipes),
                                    [&](const Recipe& r) { return QString(r.name) == recipe.name; });
    pairs = PointPairs(source.frames, keys, source.videoEnd, int(index - std::begin(kRecipes)) % 2);
    for (const Pair& pair : RandomPairs(source.frames, random)) pairs.push_back(pair);
  }
  pairs.insert(pairs.end(), recipe.found.begin(), recipe.found.end());

  QElapsedTimer timer;
  timer.start();
  // Two cuts at a time: most of the work is in the programs, one per core.
  std::vector<Outcome> outcomes(pairs.size());
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i; (i = next++) < pairs.size();)
      outcomes[i] = CutAndJudge(source, clip, pairs[i],
                                folder_.filePath(QString("made%1.%2").arg(i).arg(pairs[i].type)),
                                recipe.misplacedAllowed);
  };
  std::thread other(work);
  work();
  other.join();
  int smartCuts = 0;
  for (const Outcome& outcome : outcomes) {
    smartCuts += outcome.smart;
    EXPECT_EQ(outcome.failure.toStdString(), "");
  }
  std::cout << "[ figures  ] " << recipe.name << ": " << pairs.size() << " cuts (" << smartCuts
            << " smart) in " << timer.elapsed() / 1000.0 << " s, seed " << SweepSeed()
            << " (VINTREL_SWEEP_SEED)\n";
}

std::string RecipeName(const testing::TestParamInfo<Recipe>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Clips, Sweep, testing::ValuesIn(kRecipes), RecipeName);

}  // namespace
