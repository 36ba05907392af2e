// Several stretches in one save, judged from outside as a viewer would: on the sync clip (a
// white frame and a beep at each whole second) every flash of every kept stretch must show with
// its beep beside it on both sides of every join, no beep twice and none lost, the frame count
// of each stretch, chapters where each stretch starts, cues moved with their stretch, and the
// file read by GStreamer and mkvmerge as well.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include "clips.h"

using namespace cuttest;

namespace {

// A sound codec's options and its frame, seconds: how far sound may run past a stretch's end.
struct Sound {
  QStringList options;
  double frame;
};
const Sound kAac{{"-c:a", "aac"}, 1024.0 / 48000}, kAc3{{"-c:a", "ac3"}, 1536.0 / 48000},
    kOpus{{"-c:a", "libopus"}, 0.020};

const QStringList kX264 = {"-c:v", "libx264", "-preset",       "veryfast", "-bf",      "3",
                           "-g",   "30",      "-sc_threshold", "0",        "-pix_fmt", "yuv420p"};

struct Stretch {
  double start, end;
};

struct JoinCase {
  const char* name;
  QString type;  // the source's and the output's
  Sound sound;
  QStringList list;           // vintrel-cut's options naming the stretches
  std::vector<Stretch> kept;  // what the file must hold, in its order
  QStringList titles = {};    // the chapters', where asked for
  bool each = false;          // one file per stretch
  QString subtitles = {};
  QString videoFilter = {};  // the source's frames thinned to a variable rate, where given
};

void PrintTo(const JoinCase& c, std::ostream* out) { *out << c.name; }

// How far a beep may move against its flash: a single cut trims its sound to the sample where the
// type can; at a join the sound moves by at most half its frame.
double SyncTolerance(const JoinCase& c) { return c.each ? 0.0011 : c.sound.frame / 2 + 0.001; }

// Cues across both joins of 1-3, 5-8, 9.5-11.
const QString kSubtitles =
    "1\n00:00:02,500 --> 00:00:05,500\nAcross the first join\n\n"
    "2\n00:00:06,000 --> 00:00:07,000\nInside\n\n"
    "3\n00:00:07,500 --> 00:00:10,000\nAcross the second\n";

class JoinTest : public testing::TestWithParam<JoinCase> {
 protected:
  QTemporaryDir folder_;
  QString source() const { return folder_.filePath("source." + GetParam().type); }
  QString made() const { return folder_.filePath("made." + GetParam().type); }
  // Where each kept stretch starts in the made file.
  std::vector<double> Offsets() const {
    std::vector<double> offsets;
    double at = 0;
    for (const Stretch& s : GetParam().kept) {
      offsets.push_back(at);
      at += s.end - s.start;
    }
    return offsets;
  }
  double Length() const {
    return Offsets().back() + GetParam().kept.back().end - GetParam().kept.back().start;
  }
  void ExpectSyncAtEveryJoin(const QString& file, const std::vector<Stretch>& kept);
  void ExpectFrames(const QString& file, const std::vector<Stretch>& kept);
};

// Every flash of the source a stretch holds (with room for its beep) shows in the made file at
// its place, its beep as far from it as in the source; every beep heard once.
void JoinTest::ExpectSyncAtEveryJoin(const QString& file, const std::vector<Stretch>& kept) {
  const SyncMarks source = MeasureSync(this->source()), made = MeasureSync(file);
  const double sourceOffset = AvOffsets(source, 0).first();
  QList<double> expectedFlashes;
  double at = 0;
  for (const Stretch& s : kept) {
    for (const double flash : source.flashes)
      if (flash >= s.start - 0.001 && flash + 0.05 < s.end) expectedFlashes << at + flash - s.start;
    at += s.end - s.start;
  }
  QStringList madeFlashes;
  for (const double flash : made.flashes) madeFlashes << QString::number(flash, 'f', 3);
  ASSERT_EQ(made.flashes.size(), expectedFlashes.size())
      << "flashes; made's at " << madeFlashes.join(' ').toStdString();
  // Matroska may start the whole file a little later than its first picture (its sound began
  // before): by less than an audio frame, the same for every picture.
  const double frame = GetParam().sound.frame;
  const double lead = expectedFlashes.isEmpty() ? 0 : made.flashes[0] - expectedFlashes[0];
  EXPECT_LE(std::abs(lead), frame) << "the whole file moved";
  for (qsizetype i = 0; i < expectedFlashes.size(); ++i) {
    EXPECT_NEAR(made.flashes[i], expectedFlashes[i] + lead, 0.002) << "flash " << i;
    const auto beep = std::min_element(made.beeps.begin(), made.beeps.end(), [&](double a, double b) {
      return std::abs(a - made.flashes[i]) < std::abs(b - made.flashes[i]);
    });
    ASSERT_NE(beep, made.beeps.end());
    EXPECT_NEAR(*beep - made.flashes[i], sourceOffset, SyncTolerance(GetParam()) + 0.0002)
        << "beep against flash at " << made.flashes[i] << " s";
  }
  // A beep beside no flash is one from just past a stretch's end, where the sound runs on by at
  // most an audio frame: none may stand anywhere else, and none twice.
  QList<double> ends;
  double end = 0;
  for (const Stretch& s : kept) ends << lead + (end += s.end - s.start);
  for (const double beep : made.beeps) {
    const bool withFlash = std::any_of(made.flashes.begin(), made.flashes.end(), [&](double flash) {
      return std::abs(beep - flash - sourceOffset) < 0.05;
    });
    const bool pastAnEnd = std::any_of(ends.begin(), ends.end(), [&](double e) {
      return beep >= e - frame - 0.002 && beep < e + frame / 2 + 0.002;
    });
    EXPECT_TRUE(withFlash || pastAnEnd) << "a beep at " << beep << " s, beside no flash and no join";
  }
  EXPECT_LE(made.beeps.size(), expectedFlashes.size() + ends.size()) << "a beep heard twice at a join";
  EXPECT_NEAR(made.audioSeconds, at, 0.05 * double(kept.size())) << "the sound's length";
}

// Every frame of every stretch, each shown as long as in the source (at any rate, variable
// too): no gap, no overlap, no repeat at a join.
void JoinTest::ExpectFrames(const QString& file, const std::vector<Stretch>& kept) {
  const QList<double> sourceTimes = FrameTimes(source()), madeTimes = FrameTimes(file);
  QList<double> expected;  // where each kept frame shows in the made file
  double at = 0;
  for (const Stretch& s : kept) {
    for (int i = FrameIndexAt(sourceTimes, s.start); i < FrameIndexAt(sourceTimes, s.end); ++i)
      expected << at + sourceTimes[i] - s.start;
    at += s.end - s.start;
  }
  ASSERT_EQ(madeTimes.size(), expected.size()) << "frames of every stretch";
  for (qsizetype i = 1; i < madeTimes.size(); ++i) {
    if (!std::isnan(madeTimes[i]) && !std::isnan(madeTimes[i - 1])) {
      EXPECT_NEAR(madeTimes[i] - madeTimes[i - 1], expected[i] - expected[i - 1], 0.0015)
          << "between frames " << i - 1 << " and " << i;
    }
  }
  EXPECT_EQ(DecodeErrors(file), "");
}

TEST_P(JoinTest, EveryStretchInSyncOnBothSidesOfEveryJoin) {
  const JoinCase& c = GetParam();
  SyncClip clip;
  clip.options = kX264 + c.sound.options;
  clip.subtitles = c.subtitles;
  clip.videoFilter = c.videoFilter;
  if (!c.videoFilter.isEmpty())
    clip.options << "-fps_mode"
                 << "vfr";
  ASSERT_NO_THROW(MakeSyncClip(source(), clip));
  const QString output = c.each ? folder_.filePath("part-{n}." + c.type) : made();
  const ProgramRun run = RunProgram(CutProgram(), c.list + QStringList{source(), output}, 600000);
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  std::cout << "[ report   ] " << run.out.section('\n', 0, 2).toStdString() << "\n";
  if (c.each) {
    for (size_t i = 0; i < c.kept.size(); ++i) {
      SCOPED_TRACE(i + 1);
      const QString part = folder_.filePath(QString("part-%1.%2").arg(i + 1).arg(c.type));
      ExpectFrames(part, {c.kept[i]});
      ExpectSyncAtEveryJoin(part, {c.kept[i]});
      EXPECT_TRUE(run.out.contains(QString("Segment %1 (").arg(i + 1))) << "the report names each segment";
    }
    EXPECT_EQ(QDir(folder_.path()).entryList({"part-*"}).size(), qsizetype(c.kept.size()));
    return;
  }
  ExpectFrames(made(), c.kept);
  ExpectSyncAtEveryJoin(made(), c.kept);
  QList<std::pair<const char*, OtherReading>> readings = {{"gst-discoverer-1.0", ReadWithGStreamer(made())}};
  if (c.type == "mkv") readings.append({"mkvmerge -J", ReadWithMkvmerge(made())});
  for (const auto& [reader, reading] : readings) {
    SCOPED_TRACE(reader);
    EXPECT_EQ(reading.problem, "");
    EXPECT_NEAR(reading.duration, Length(), 0.15);
    EXPECT_EQ(reading.video, 1);
    EXPECT_EQ(reading.audio, 1);
  }
  if (!c.titles.isEmpty()) {
    const QStringList starts = Probe(made(), "chapter=start_time").split('\n', Qt::SkipEmptyParts);
    const QStringList titles = Probe(made(), "chapter_tags=title").split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(titles, c.titles);
    ASSERT_EQ(starts.size(), qsizetype(c.kept.size()));
    for (size_t i = 0; i < c.kept.size(); ++i)
      EXPECT_NEAR(starts[qsizetype(i)].section('=', -1).toDouble(), Offsets()[i], 0.002)
          << "chapter " << i + 1;
  }
  if (!c.subtitles.isEmpty()) {
    QList<Cue> expected;
    for (size_t i = 0; i < c.kept.size(); ++i)
      for (const Cue& cue : Cues(source()))
        if (cue.end > c.kept[i].start && cue.start < c.kept[i].end)
          expected << Cue{Offsets()[i] + std::max(cue.start, c.kept[i].start) - c.kept[i].start,
                          Offsets()[i] + std::min(cue.end, c.kept[i].end) - c.kept[i].start, cue.text};
    const QList<Cue> made = Cues(this->made());
    ASSERT_EQ(made.size(), expected.size());
    for (qsizetype i = 0; i < made.size(); ++i) {
      EXPECT_EQ(made[i].text, expected[i].text);
      EXPECT_NEAR(made[i].start, expected[i].start, 0.02) << made[i].text.toStdString();
      EXPECT_NEAR(made[i].end, expected[i].end, 0.02) << made[i].text.toStdString();
    }
  }
}

std::string CaseName(const testing::TestParamInfo<JoinCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Joins, JoinTest,
    // Key-frame and mid-GOP starts, in an order other than the video's. The beeps on either side of
    // a join stand more than a third of a second apart, so that each is heard on its own.
    testing::Values(
        JoinCase{"Keep3_Mp4",
                 "mp4",
                 kAac,
                 {"--keep", "6-8=Six,1.5-3.2=One,9.3-11=Nine", "--chapters"},
                 {{6, 8}, {1.5, 3.2}, {9.3, 11}},
                 {"Six", "One", "Nine"}},
        JoinCase{"Remove2_Mp4", "mp4", kAac, {"--remove", "2.5-4.2,7-9.6"}, {{0, 2.5}, {4.2, 7}, {9.6, 12}}},
        JoinCase{"EachSegment_Mp4",
                 "mp4",
                 kAac,
                 {"--keep", "1.5-3.2,5-7.7", "--each"},
                 {{1.5, 3.2}, {5, 7.7}},
                 {},
                 true},
        JoinCase{"Keep3_Mkv",
                 "mkv",
                 kAac,
                 {"--keep", "1.5-3.4,5-7.7,9-11", "--chapters"},
                 {{1.5, 3.4}, {5, 7.7}, {9, 11}},
                 {"Segment 1", "Segment 2", "Segment 3"}},
        // Re-encoded whole, the stretches are cut on their own and joined in a second pass.
        JoinCase{"Keep3_ReEncoded_Mkv",
                 "mkv",
                 kAac,
                 {"--reencode", "--keep", "1.5-3.4,5-7.7,9-11", "--chapters"},
                 {{1.5, 3.4}, {5, 7.7}, {9, 11}},
                 {"Segment 1", "Segment 2", "Segment 3"}},
        JoinCase{
            "Remove2_Ac3_Mkv", "mkv", kAc3, {"--remove", "2.5-4.2,7-9.6"}, {{0, 2.5}, {4.2, 7}, {9.6, 12}}},
        JoinCase{"Keep3_Opus_Mkv",
                 "mkv",
                 kOpus,
                 {"--keep", "1.5-3.4,5-7.7,9-11"},
                 {{1.5, 3.4}, {5, 7.7}, {9, 11}}},
        JoinCase{"SubtitlesAcrossJoins_Mkv",
                 "mkv",
                 kAac,
                 {"--keep", "1-3,5-8,9.5-11"},
                 {{1, 3}, {5, 8}, {9.5, 11}},
                 {},
                 false,
                 kSubtitles},
        JoinCase{"SubtitlesAcrossJoins_Mp4",
                 "mp4",
                 kAac,
                 {"--keep", "1-3,5-8,9.5-11"},
                 {{1, 3}, {5, 8}, {9.5, 11}},
                 {},
                 false,
                 kSubtitles},
        // 30 frames a second in even seconds, 15 in odd ones; a join in each kind.
        JoinCase{"VariableRate_Mp4",
                 "mp4",
                 kAac,
                 {"--keep", "1.5-3.4,5.5-7.7,8.2-11"},
                 {{1.5, 3.4}, {5.5, 7.7}, {8.2, 11}},
                 {},
                 false,
                 {},
                 "select='lt(mod(t\\,2)\\,1)+not(mod(n\\,2))'"}),
    CaseName);

}  // namespace
