// The segment list's rules and its texts, as the window and vintrel-cut both read them.
#include "cut/protocol/segment_list.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "cut/cli/options.h"

using namespace vintrel::cut;

namespace {

std::string Text(const QString& text) { return text.toStdString(); }

// Whether a problem reads as expected: starts so, or is none where none is expected.
bool Reads(const QString& problem, const char* expected) {
  return *expected ? problem.startsWith(expected) : problem.isEmpty();
}

TEST(SegmentList, RowsRunForwardsWithinTheVideoWithoutOverlap) {
  const SegmentList list = {{10, 20, "a"}, {30, 40, "b"}};
  const struct {
    size_t index;
    Segment segment;
    double videoEnd;
    const char* problem;  // the start of the words, empty: accepted
  } cases[] = {
      {2, {20, 30, "between"}, 100, ""},  // touching both neighbours is no overlap
      {2, {40, 100, "to the end"}, 100, ""},
      {2, {0, 10, "from the start"}, 100, ""},
      {2, {50, 60, ""}, 0, ""},  // an unknown length limits nothing
      {2, {19.9, 25, ""}, 100, "Segment 3 (0:00:19.900 to 0:00:25.000) overlaps Segment 1"},
      {2, {5, 45, ""}, 100, "Segment 3 (0:00:05.000 to 0:00:45.000) overlaps Segment 1"},
      {2, {32, 35, ""}, 100, "Segment 3 (0:00:32.000 to 0:00:35.000) overlaps Segment 2"},
      {0, {15, 25, "moved"}, 100, ""},  // a row is not measured against itself
      {0, {15, 31, "moved"}, 100, "Segment 1 (0:00:15.000 to 0:00:31.000) overlaps Segment 2"},
      {2, {60, 50, ""}, 100, "Segment 3 ends at 0:00:50.000, which is not after its start"},
      {2, {60, 60, ""}, 100, "Segment 3 ends at 0:01:00.000, which is not after its start"},
      {2, {90, 100.5, ""}, 100, "Segment 3 ends at 0:01:40.500, past the end of the video (0:01:40.000)"},
      {2, {100, 120, ""}, 100, "Segment 3 starts at 0:01:40.000, after the end of the video"},
      {2, {-1, 5, ""}, 100, "Segment 3 has a time that is no time"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.segment.name.toStdString() + " " + std::to_string(c.segment.start));
    const QString problem = SegmentProblem(list, c.index, c.segment, c.videoEnd);
    EXPECT_TRUE(Reads(problem, c.problem)) << Text(problem);
  }
  EXPECT_EQ(SegmentListProblem(list, 35),
            "Segment 2 ends at 0:00:40.000, past the end of the video (0:00:35.000).");
  EXPECT_TRUE(SegmentListProblem({}, 10).isEmpty());
}

TEST(SegmentList, StretchesKeptInListOrderOrWhatLiesBetweenInTheVideosOrder) {
  const SegmentList list = {{40, 50, "late"}, {10, 20, "early"}};
  const struct {
    SegmentMode mode;
    double videoEnd;
    SegmentList cut;
  } cases[] = {
      {SegmentMode::kKeep, 60, list},
      {SegmentMode::kRemove, 60, {{0, 10, "Part 1"}, {20, 40, "Part 2"}, {50, 60, "Part 3"}}},
      {SegmentMode::kRemove, 50, {{0, 10, "Part 1"}, {20, 40, "Part 2"}}},  // nothing after the end
  };
  for (const auto& c : cases) EXPECT_EQ(StretchesToCut(list, c.mode, c.videoEnd), c.cut);
  EXPECT_EQ(StretchesToCut({{0, 5, ""}, {5, 10, ""}}, SegmentMode::kRemove, 10), SegmentList{})
      << "touching removals from the start to the end leave nothing";
}

TEST(SegmentList, CommandLineFormReadsBackWithNamesAndRefusesWhatIsNoList) {
  const SegmentList list = {{10, 20, ""}, {2400, 2490.5, "Credits, part 1 = end \\ of it"}, {3.48, 4, "x"}};
  QString problem;
  const std::optional<SegmentList> read = ParseSegmentListArgument(SegmentListArgument(list), problem);
  ASSERT_TRUE(read) << Text(problem);
  EXPECT_EQ(*read, list);
  const std::optional<SegmentList> typed = ParseSegmentListArgument("10-20,40:00-41:30", problem);
  ASSERT_TRUE(typed);
  EXPECT_EQ(*typed, (SegmentList{{10, 20, ""}, {2400, 2490, ""}}));
  const struct {
    const char* text;
    const char* problem;
  } bad[] = {{"10", "10 is not a stretch as START-END."},
             {"10-20,", " is not a stretch"},
             {"10-x", "x is not a time."},
             {"1:75-2:00", "1:75 is not a time."},
             {"10-20=a=b", "10-20=a=b is not a stretch"}};
  for (const auto& c : bad) {
    problem.clear();
    EXPECT_FALSE(ParseSegmentListArgument(c.text, problem)) << c.text;
    EXPECT_TRUE(problem.contains(c.problem)) << Text(problem);
  }
}

TEST(SegmentList, CsvWithOrWithoutHeaderQuotedNamesAndEitherTimeForm) {
  const struct {
    const char* text;
    SegmentList list;
  } cases[] = {
      {"start,end,name\n10,20,Intro\n", {{10, 20, "Intro"}}},
      {"10,20\r\n0:00:30.500,0:00:40.000,\"Say \"\"hi\"\", then go\"\r\n\r\n",
       {{10, 20, ""}, {30.5, 40, "Say \"hi\", then go"}}},
      {"\xEF\xBB\xBFStart;End\n1:00,1:30,a,b\n",
       {{60, 90, "a,b"}}},  // a header of any words, a byte-order mark
      {"", {}},
  };
  for (const auto& c : cases) {
    QString problem;
    const std::optional<SegmentList> read = ParseSegmentListCsv(QString::fromUtf8(c.text), problem);
    ASSERT_TRUE(read) << c.text << Text(problem);
    EXPECT_EQ(*read, c.list) << c.text;
  }
  const SegmentList names = {{1, 2, "comma, \"quote\"\nline"}, {3.001, 4, " spaced "}, {5, 6, ""}};
  QString problem;
  std::optional<SegmentList> back = ParseSegmentListCsv(SegmentListCsv(names), problem);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->at(0), names[0]);
  EXPECT_EQ(back->at(1).name, "spaced") << "names are trimmed as they are read";
  EXPECT_FALSE(ParseSegmentListCsv("start,end\n10,20\n30\n", problem));
  EXPECT_EQ(problem, "Record 3 holds no END (start,end,name).");
  EXPECT_FALSE(ParseSegmentListCsv("10,20\nten,30\n", problem));
  EXPECT_EQ(problem, "Record 2: ten is not a time.");
}

TEST(SegmentList, JsonDocumentNamesTheVideoAndItsMode) {
  const SegmentDocument document{"/videos/holiday.mp4", SegmentMode::kRemove, {{1.5, 2, "a"}, {3, 4, ""}}};
  QString problem;
  const std::optional<SegmentDocument> read =
      ParseSegmentDocumentJson(SegmentDocumentJson(document), problem);
  ASSERT_TRUE(read) << Text(problem);
  EXPECT_EQ(read->video, document.video);
  EXPECT_EQ(read->mode, document.mode);
  EXPECT_EQ(read->segments, document.segments);
  const struct {
    const char* text;
    const char* problem;  // empty: read
  } cases[] = {
      {R"({"segments": [{"start": 1, "end": 2.5}]})", ""},  // seconds as numbers, the mode "keep"
      {"[1, 2]", "The JSON document is no object."},
      {"{", "The file is no JSON document"},
      {R"({"mode": "cut", "segments": []})", "The mode is \"cut\""},
      {R"({"video": "a"})", "The JSON document holds no \"segments\" list."},
      {R"({"segments": [{"start": "1:x", "end": 2}]})", "Segment 1 has no start and end time."},
  };
  for (const auto& c : cases) {
    problem.clear();
    EXPECT_EQ(ParseSegmentDocumentJson(c.text, problem).has_value(), QString(c.problem).isEmpty()) << c.text;
    EXPECT_TRUE(Reads(problem, c.problem)) << Text(problem);
  }
}

TEST(SegmentList, FileNamesFromTheVideoTheNumberTheNameAndTheTimes) {
  const struct {
    const char* pattern;
    Segment segment;
    const char* name;
  } cases[] = {
      {"/out/holiday.mp4", {3, 13, "Beach"}, "/out/holiday-2-Beach-0_03-0_13.mp4"},
      {"/out/holiday.mp4", {3.48, 3700, ""}, "/out/holiday-2-0_03.48-1_01_40.mp4"},
      {"/out/{video} {n}.mkv", {0, 1, "a/b"}, "/out/in 2.mkv"},
      {"/o{x}/{n}-{name}-{start}.mkv", {0, 1, "a/b\tc"}, "/o{x}/2-a_b_c-0_00.mkv"},
      {"noending", {1, 2, ""}, "noending-2-0_01-0_02"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SegmentFileName(c.pattern, "/videos/in.mp4", 2, c.segment), c.name) << c.pattern;
}

TEST(SegmentList, CommandLineOptionsForSeveralStretches) {
  QTemporaryDir folder;
  const QString csv = folder.filePath("list.csv");
  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("start,end,name\n1,2,one\n0:00:05.500,0:00:07,two\n");
  file.close();
  const struct {
    QStringList arguments;
    SegmentList segments;
    SegmentMode mode;
    const char* problem;  // the start of it; empty: parsed
  } cases[] = {
      {{"in.mp4", "out.mp4", "--keep", "10-20,40:00-41:30"},
       {{10, 20, ""}, {2400, 2490, ""}},
       SegmentMode::kKeep,
       ""},
      {{"--remove=1-2", "--remove", "3-4", "in", "out"}, {{1, 2, ""}, {3, 4, ""}}, SegmentMode::kRemove, ""},
      {{"--segments", csv, "--each", "in", "out"}, {{1, 2, "one"}, {5.5, 7, "two"}}, SegmentMode::kKeep, ""},
      {{"--keep", "1-2", "--remove", "3-4", "in", "out"},
       {},
       SegmentMode::kKeep,
       "Stretches are either kept"},
      {{"--keep", "1-2,1.5-3", "in", "out"},
       {},
       SegmentMode::kKeep,
       "Segment 1 (0:00:01.000 to 0:00:02.000) overlaps Segment 2"},
      {{"--keep", "5-2", "in", "out"}, {}, SegmentMode::kKeep, "Segment 1 ends at 0:00:02.000"},
      {{"--keep", "1-2", "in", "1", "2", "out"}, {}, SegmentMode::kKeep, "Expected INPUT OUTPUT with a list"},
      {{"in", "out", "--keep"}, {}, SegmentMode::kKeep, "--keep needs a value."},
      {{"--segments", folder.filePath("none.csv"), "in", "out"}, {}, SegmentMode::kKeep, "The segment list"},
      {{"--each", "in", "1", "2", "out"}, {}, SegmentMode::kKeep, "--each and --chapters go with a list"},
      {{"--keep", "1-2", "in", ""}, {}, SegmentMode::kKeep, "The output file name is empty."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const CommandLineOptions read = ParseCommandLine(c.arguments);
    EXPECT_TRUE(Reads(read.problem, c.problem)) << Text(read.problem);
    if (QString(c.problem).isEmpty()) {
      EXPECT_EQ(read.cut.segments, c.segments);
      EXPECT_EQ(read.cut.segmentMode, c.mode);
    }
  }
  // What the window sends, vintrel-cut reads.
  CutArguments sent{.input = "-in.mp4", .output = "/o/{n}.mkv", .overwrite = true};
  sent.segments = {{1, 2.5, "a, b"}, {7, 9, ""}};
  sent.segmentMode = SegmentMode::kRemove;
  sent.eachSegment = sent.chapters = true;
  const CommandLineOptions read = ParseCommandLine(CutCommandLine(sent));
  ASSERT_TRUE(read.problem.isEmpty()) << Text(read.problem);
  EXPECT_EQ(read.cut.input, sent.input);
  EXPECT_EQ(read.cut.output, sent.output);
  EXPECT_EQ(read.cut.segments, sent.segments);
  EXPECT_TRUE(read.cut.segmentMode == SegmentMode::kRemove && read.cut.eachSegment && read.cut.chapters &&
              read.cut.overwrite);
}

}  // namespace
