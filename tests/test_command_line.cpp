// The encoder's command line as text and as an argument list, the codec options and the
// VCD norm.
#include <gtest/gtest.h>

#include <QDir>

#include "export/command_line.h"
#include "fakes/fakes.h"

namespace {

using namespace vintrel;

TEST(CommandLine, TextAndArgumentsFromTheSamePieces) {
  const struct {
    EncoderJob job;
    const char* text;
    const char* program;
    QStringList args;
  } rows[] = {
      {{"/opt/Tool", 12, 18, "/videos/clip.avi", "/videos/part.avi", CodecOptions("avi")},
       R"("/opt/Tool/ffmpeg" -ss  12 -t  18 -i "/videos/clip.avi" -q:v 0 "/videos/part.avi")",
       "/opt/Tool/ffmpeg",
       {"-ss", "12", "-t", "18", "-i", "file:/videos/clip.avi", "-q:v", "0", "file:/videos/part.avi"}},
      // A folder ending in a separator keeps it; a length of 0 is " 0".
      {{"/opt/Tool/", 1, 0, "/v/a.avi", "/v/b.avi", {"-q:v", "0"}},
       R"("/opt/Tool//ffmpeg" -ss  1 -t  0 -i "/v/a.avi" -q:v 0 "/v/b.avi")",
       "/opt/Tool//ffmpeg",
       {"-ss", "1", "-t", "0", "-i", "file:/v/a.avi", "-q:v", "0", "file:/v/b.avi"}},
      // Paths go in as they are: no quoting or escaping of their own.
      {{"/a b", 1, 29, "/in \"x\" $(y);.wmv", "/-out é.wmv", CodecOptions("wmv")},
       R"("/a b/ffmpeg" -ss  1 -t  29 -i "/in "x" $(y);.wmv" -q:v 0 -acodec wmav2 "/-out é.wmv")",
       "/a b/ffmpeg",
       {"-ss", "1", "-t", "29", "-i", "file:/in \"x\" $(y);.wmv", "-q:v", "0", "-acodec", "wmav2",
        "file:/-out é.wmv"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CommandLine(row.job), row.text);
    EXPECT_EQ(Arguments(row.job).program, row.program);
    EXPECT_EQ(Arguments(row.job).args, row.args);
  }
}

TEST(CommandLine, RelativeFileArgumentsCannotPassForOptionsOrProtocols) {
  const QString cwd = QDir::currentPath();
  EXPECT_EQ(FileArgument("-x.avi"), "file:" + cwd + "/-x.avi");
  EXPECT_EQ(FileArgument("http:x.avi"), "file:" + cwd + "/http:x.avi");
  // ".." stays: cleaning it by text would go wrong behind a symbolic link.
  EXPECT_EQ(FileArgument("a/../b.avi"), "file:" + cwd + "/a/../b.avi");
}

TEST(CommandLine, CodecOptionsByExactInputExtension) {
  const QStringList best{"-q:v", "0"};
  const QStringList wmv{"-q:v", "0", "-acodec", "wmav2"};
  const QStringList vcd{"-target", "ntsc-vcd"};
  const std::pair<const char*, QStringList> rows[] = {
      {"DAT", vcd},  {"dat", vcd},  {"Dat", best}, {"WMV", wmv},  {"wmv", wmv},
      {"Wmv", best}, {"avi", best}, {"ivx", best}, {".ts", best},
  };
  for (const auto& [extension, options] : rows)
    EXPECT_EQ(CodecOptions(extension, "ntsc-vcd"), options) << extension;
}

TEST(CommandLine, VcdNormFromTheProbedFrameRate) {
  const std::pair<const char*, const char*> rows[] = {
      {"25/1", "pal-vcd"},        {"30000/1001", "ntsc-vcd"}, {"30/1", "ntsc-vcd"}, {"2997/100", "ntsc-vcd"},
      {"24000/1001", "film-vcd"}, {"24", "film-vcd"},         {"50/1", "pal-vcd"},  {"15/1", "pal-vcd"},
      {"0/0", "pal-vcd"},         {"N/A", "pal-vcd"},         {"", "pal-vcd"},
  };
  for (const auto& [probed, target] : rows) EXPECT_EQ(VcdTarget(ParseFrameRate(probed)), target) << probed;

  fakes::FakeFiles files;
  fakes::FakeProcesses processes;
  ProgramRun answer{true, true, 0, "30000/1001\n", {}};
  processes.onRun = [&](const QString&, const QStringList&) { return answer; };
  EXPECT_FALSE(ProbeFrameRate(files, processes, "/v/a.dat"));  // no ffprobe: nothing is run
  EXPECT_TRUE(processes.runs.empty());
  files.inPath["ffprobe"] = "/usr/bin/ffprobe";
  EXPECT_NEAR(ProbeFrameRate(files, processes, "/v/a.dat").value_or(0), 29.97, 0.001);
  EXPECT_EQ(processes.runs.at(0).program, "/usr/bin/ffprobe");
  EXPECT_EQ(processes.runs.at(0).args.last(), "file:/v/a.dat");
  for (const ProgramRun& failed :
       {ProgramRun{true, true, 1, "25/1\n", {}}, ProgramRun{true, false, -1, "25/1\n", {}}, ProgramRun{}}) {
    answer = failed;
    EXPECT_FALSE(ProbeFrameRate(files, processes, "/v/a.dat"));
  }
}

}  // namespace
