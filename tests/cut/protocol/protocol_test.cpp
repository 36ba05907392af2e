// The protocol between vintrel-cut and the window, as both sides read and write it.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "cut/cli/options.h"
#include "cut/protocol/cut_request.h"
#include "cut/protocol/progress_lines.h"

using namespace vintrel::cut;

namespace {

// A frame's time must reach vintrel-cut at or before the frame: it cuts from the first frame
// at or after the time it is given.
TEST(Protocol, TimesToTheMillisecondNeverPastTheFrame) {
  const struct {
    double seconds;
    const char* text;
  } cases[] = {
      {0, "0"},
      {12, "12"},
      {3661, "3661"},
      {13.48, "13.48"},
      {3.48, "3.48"},       // held as 3.4799999...
      {0.04 * 87, "3.48"},  // a frame time at 25 fps, as a player computes it
      {1.5, "1.5"},
      {1001.0 / 30000, "0.033"},       // the first frame after 0 at 30000/1001
      {32 * 1001.0 / 30000, "1.067"},  // 1.06773...: rounding would pass the frame
      {0.0009, "0"},
      {-1, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeArgument(c.seconds), c.text) << c.seconds;
}

TEST(Protocol, ProgressPhasesErrorsAndAnythingElse) {
  using Kind = ProgressEvent::Kind;
  const struct {
    const char* line;
    Kind kind;
    double fraction;
    const char* text;
  } cases[] = {
      {"progress 0.4200", Kind::Progress, 0.42, ""},
      {"progress 1.0000 ", Kind::Progress, 1, ""},
      {"progress 1.5", Kind::Other, 0, "progress 1.5"},
      {"progress -0.1", Kind::Other, 0, "progress -0.1"},
      {"progress 0.4 more", Kind::Other, 0, "progress 0.4 more"},
      {"progress", Kind::Other, 0, "progress"},
      {"phase encoding", Kind::Phase, 0, "encoding"},
      {"error The input cannot be read", Kind::Error, 0, "The input cannot be read"},
      {"error   spaced out  ", Kind::Error, 0, "spaced out"},
      {"errors are fine", Kind::Other, 0, "errors are fine"},
      {"", Kind::Other, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const ProgressEvent parsed = ParseProgressLine(c.line);
    EXPECT_EQ(parsed.kind, c.kind);
    EXPECT_DOUBLE_EQ(parsed.fraction, c.fraction);
    EXPECT_EQ(parsed.text, c.text);
  }
}

TEST(Protocol, WhatOneSideWritesTheOtherReads) {
  for (const double fraction : {0.0, 0.4242, 0.9999, 1.0}) {
    const ProgressEvent event = ParseProgressLine(ProgressLine(fraction));
    EXPECT_EQ(event.kind, ProgressEvent::Kind::Progress);
    EXPECT_NEAR(event.fraction, fraction, 1e-4);
  }
  EXPECT_EQ(ParseProgressLine(ErrorLine("two\nlines")).text, "two lines") << "an error is one line";
  // The file the user agreed to replace travels as its identity.
  QTemporaryDir folder;
  const QString file = folder.filePath("agreed.mp4");
  QFile(file).open(QIODevice::WriteOnly);
  const std::optional<FileIdentity> identity = IdentityOf(file);
  ASSERT_TRUE(identity);
  const CutArguments sent{.input = "/v/in.mp4",
                          .output = file,
                          .start = 1,
                          .end = 2.5,
                          .overwrite = true,
                          .replaces = identity,
                          .machineProgress = true};
  const CommandLineOptions read = ParseCommandLine(CutCommandLine(sent));
  ASSERT_TRUE(read.problem.isEmpty()) << read.problem.toStdString();
  EXPECT_EQ(read.cut.replaces, identity);
  EXPECT_EQ(read.cut.output, file);
  EXPECT_EQ(read.cut.end, 2.5);
  EXPECT_TRUE(read.cut.overwrite && read.cut.machineProgress && !read.cut.reEncode);
  EXPECT_FALSE(ParseCommandLine({"--replace=12", "a", "1", "2", "b"}).problem.isEmpty());
  EXPECT_FALSE(ParseCommandLine({"a", "1", "2", ""}).problem.isEmpty()) << "an empty output name";
}

}  // namespace
