// The encoder's command line as text and as an argument list, the codec options, the VCD
// norm, and where the encoder is looked for.
#include <gtest/gtest.h>

#include <QDir>

#include "export/command_line.h"
#include "fakes/fakes.h"

namespace {

using namespace vintrel;

EncoderJob Job(const QString& folder, int32_t start, int32_t length, const QString& input,
               const QString& output, const QStringList& options) {
  return EncoderJob{folder, start, length, input, output, options};
}

TEST(CommandLine, ExampleAsTextAndAsArguments) {
  const EncoderJob job =
      Job("/opt/Tool", 12, 18, "/videos/clip.avi", "/videos/part.avi", CodecOptions("avi"));
  EXPECT_EQ(CommandLine(job),
            R"("/opt/Tool/ffmpeg" -ss  12 -t  18 -i "/videos/clip.avi" -q:v 0 "/videos/part.avi")");
  const ArgumentList list = Arguments(job);
  EXPECT_EQ(list.program, "/opt/Tool/ffmpeg");
  EXPECT_EQ(list.args, (QStringList{"-ss", "12", "-t", "18", "-i", "file:/videos/clip.avi", "-q:v", "0",
                                    "file:/videos/part.avi"}));
}

TEST(CommandLine, EdgesOfThePieces) {
  // A folder ending in a separator keeps it: nothing is added or taken away.
  const EncoderJob slash = Job("/opt/Tool/", 1, 0, "/v/a.avi", "/v/b.avi", {"-q:v", "0"});
  EXPECT_EQ(CommandLine(slash), R"("/opt/Tool//ffmpeg" -ss  1 -t  0 -i "/v/a.avi" -q:v 0 "/v/b.avi")");
  EXPECT_EQ(Arguments(slash).program, "/opt/Tool//ffmpeg");
  EXPECT_EQ(Arguments(slash).args.mid(0, 4), (QStringList{"-ss", "1", "-t", "0"}));

  // Paths go in as they are in the text; no quoting or escaping of their own.
  const EncoderJob odd = Job("/a b", 1, 29, "/in \"x\" $(y);.wmv", "/out é.wmv", CodecOptions("wmv"));
  EXPECT_EQ(CommandLine(odd),
            R"("/a b/ffmpeg" -ss  1 -t  29 -i "/in "x" $(y);.wmv" -q:v 0 -acodec wmav2 "/out é.wmv")");
  EXPECT_EQ(Arguments(odd).args, (QStringList{"-ss", "1", "-t", "29", "-i", "file:/in \"x\" $(y);.wmv",
                                              "-q:v", "0", "-acodec", "wmav2", "file:/out é.wmv"}));
}

TEST(CommandLine, FileArgumentsCannotPassForOptionsOrProtocols) {
  const QString cwd = QDir::currentPath();
  EXPECT_EQ(FileArgument("/v/-x.avi"), "file:/v/-x.avi");
  EXPECT_EQ(FileArgument("-x.avi"), "file:" + cwd + "/-x.avi");
  EXPECT_EQ(FileArgument("http:x.avi"), "file:" + cwd + "/http:x.avi");
  // ".." stays: cleaning it by text would go wrong behind a symbolic link.
  EXPECT_EQ(FileArgument("a/../b.avi"), "file:" + cwd + "/a/../b.avi");
}

TEST(CommandLine, CodecOptionsByExactInputExtension) {
  const struct {
    const char* extension;
    QStringList options;
  } rows[] = {
      {"DAT", {"-target", "ntsc-vcd"}},
      {"dat", {"-target", "ntsc-vcd"}},
      {"Dat", {"-q:v", "0"}},
      {"WMV", {"-q:v", "0", "-acodec", "wmav2"}},
      {"wmv", {"-q:v", "0", "-acodec", "wmav2"}},
      {"Wmv", {"-q:v", "0"}},
      {"avi", {"-q:v", "0"}},
      {"ivx", {"-q:v", "0"}},  // .divx
      {".ts", {"-q:v", "0"}},
      {"mpg", {"-q:v", "0"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CodecOptions(row.extension, "ntsc-vcd"), row.options) << row.extension;
  }
}

TEST(CommandLine, VcdNormFromFrameRate) {
  const struct {
    const char* probed;
    const char* target;
  } rows[] = {
      {"25/1", "pal-vcd"},  {"25", "pal-vcd"},          {"30000/1001", "ntsc-vcd"},
      {"30/1", "ntsc-vcd"}, {"24000/1001", "film-vcd"}, {"24/1", "film-vcd"},
      {"50/1", "pal-vcd"},  {"60000/1001", "pal-vcd"},  {"15/1", "pal-vcd"},
      {"0/0", "pal-vcd"},   {"N/A", "pal-vcd"},         {"", "pal-vcd"},
      {"1/0", "pal-vcd"},   {"2997/100", "ntsc-vcd"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(VcdTarget(ParseFrameRate(row.probed)), row.target) << row.probed;
  }
}

TEST(CommandLine, FrameRateProbe) {
  fakes::FakeFiles files;
  fakes::FakeProcesses processes;
  ProgramRun answer{true, true, 0, "30000/1001\n", {}};
  processes.onRun = [&](const QString&, const QStringList&) { return answer; };

  // No ffprobe anywhere: nothing is run.
  EXPECT_FALSE(ProbeFrameRate(files, processes, "/v/a.dat"));
  EXPECT_TRUE(processes.runs.empty());

  files.inPath["ffprobe"] = "/usr/bin/ffprobe";
  EXPECT_NEAR(ProbeFrameRate(files, processes, "/v/-a.dat").value_or(0), 29.97, 0.001);
  ASSERT_EQ(processes.runs.size(), 1u);
  EXPECT_EQ(processes.runs[0].program, "/usr/bin/ffprobe");
  EXPECT_EQ(processes.runs[0].args.last(), "file:/v/-a.dat");

  answer.exitCode = 1;
  EXPECT_FALSE(ProbeFrameRate(files, processes, "/v/a.dat"));
  answer = ProgramRun{true, false, -1, "25/1\n", {}};  // timed out
  EXPECT_FALSE(ProbeFrameRate(files, processes, "/v/a.dat"));
  answer = ProgramRun{};  // could not start
  EXPECT_FALSE(ProbeFrameRate(files, processes, "/v/a.dat"));
}

TEST(CommandLine, EncoderIsLookedForInTheAppFolderThenOnPath) {
  fakes::FakeFiles files;
  files.appPath = "/opt/Tool";

  ToolLocation none = LocateTool(files, "ffmpeg");
  EXPECT_FALSE(none.found);
  EXPECT_EQ(none.folder, "/opt/Tool");
  EXPECT_TRUE(none.lookedIn.contains("/opt/Tool/ffmpeg")) << none.lookedIn.toStdString();
  EXPECT_TRUE(none.lookedIn.contains("PATH")) << none.lookedIn.toStdString();

  files.inPath["ffmpeg"] = "/usr/bin/ffmpeg";
  ToolLocation onPath = LocateTool(files, "ffmpeg");
  EXPECT_TRUE(onPath.found);
  EXPECT_EQ(onPath.folder, "/usr/bin");
  EXPECT_EQ(onPath.program, "/usr/bin/ffmpeg");

  files.executables.insert("/opt/Tool/ffmpeg");
  ToolLocation inApp = LocateTool(files, "ffmpeg");
  EXPECT_TRUE(inApp.found);
  EXPECT_EQ(inApp.program, "/opt/Tool/ffmpeg");
}

}  // namespace
