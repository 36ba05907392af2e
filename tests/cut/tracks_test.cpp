// Track choices through vintrel-cut, read back from outside (ffprobe; mkvmerge for Matroska).
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "clips.h"

using namespace cuttest;

namespace {

struct Row {
  const char* name;
  QString type;           // the source's and the output's
  QStringList options;    // vintrel-cut's track options
  QStringList expected;   // the made file's streams: "video", "audio fra", "subtitle", ...
  int defaultAudio = -1;  // the place among the audio streams of the one marked default; -1: not checked
  QString outputType = {};
};

// The made file's streams as ffprobe lists them.
QStringList Streams(const QString& file) {
  QStringList streams;
  for (const QString& line :
       Probe(file, "stream=codec_type:stream_tags=language").split('\n', Qt::SkipEmptyParts)) {
    const QString type = line.section(',', 0, 0), language = line.section(',', 1, 1);
    streams << (type == "audio" && !language.isEmpty() ? "audio " + language : type);
  }
  return streams;
}

int DefaultAudio(const QString& file) {
  const QStringList flags = Probe(file, "stream_disposition=default", "a").split('\n', Qt::SkipEmptyParts);
  for (int i = 0; i < flags.size(); ++i)
    if (flags[i].section(',', 0, 0) == "1") return i;
  return -1;
}

class TrackChoice : public testing::TestWithParam<Row> {};

TEST_P(TrackChoice, KeepsExactlyTheTracksChosen) {
  const Row& row = GetParam();
  QTemporaryDir folder;
  QFile subtitles(folder.filePath("subs.srt"));
  ASSERT_TRUE(subtitles.open(QIODevice::WriteOnly));
  subtitles.write("1\n00:00:01,000 --> 00:00:05,000\nHello\n\n2\n00:00:06,000 --> 00:00:09,000\nAgain\n");
  subtitles.close();
  const QString source = folder.filePath("source." + row.type);
  ASSERT_NO_THROW(MakeClip(source, 10,
                           {"-c:v", "libx264", "-preset", "ultrafast", "-g", "25", "-c:a", "aac", "-map",
                            "3:s", "-c:s", row.type == "mkv" ? "srt" : "mov_text", "-metadata:s:a:0",
                            "language=fra", "-metadata:s:a:1", "language=deu", "-disposition:a:0", "default"},
                           2, "testsrc2=size=160x120:rate=25", {"-i", subtitles.fileName()}));
  const QString made = folder.filePath("made." + (row.outputType.isEmpty() ? row.type : row.outputType));
  const ProgramRun run = RunProgram(CutProgram(), row.options + QStringList{source, "2", "8", made});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_EQ(Streams(made), row.expected);
  EXPECT_TRUE(run.out.contains("Tracks: video")) << run.out.toStdString();
  if (row.defaultAudio >= 0) {
    EXPECT_EQ(DefaultAudio(made), row.defaultAudio);
  }
  if (row.type == "mkv" && row.outputType.isEmpty()) {
    const OtherReading other = ReadWithMkvmerge(made);
    EXPECT_TRUE(other.problem.isEmpty()) << other.problem.toStdString();
    EXPECT_EQ(other.audio, int(row.expected.filter("audio").size()));
    EXPECT_EQ(other.subtitles, int(row.expected.filter("subtitle").size()));
  }
}

const QStringList kAll = {"video", "audio fra", "audio deu", "subtitle"};

INSTANTIATE_TEST_SUITE_P(
    Choices, TrackChoice,
    testing::Values(Row{"EveryTrackByDefault", "mkv", {}, kAll, 0},
                    Row{"OnlyTheSecondSound", "mkv", {"--tracks", "v:0,a:1"}, {"video", "audio deu"}},
                    Row{"DropSoundAndSubtitles", "mkv", {"--drop=a:0,s:0"}, {"video", "audio deu"}},
                    Row{"AnotherDefaultSound", "mkv", {"--default-sound=a:1"}, kAll, 1},
                    Row{"Mp4DropsOneSound", "mp4", {"--drop=a:1"}, {"video", "audio fra", "subtitle"}},
                    Row{"Mp4DefaultWhereTwoStay",
                        "mp4",
                        {"--drop=s:0", "--default-sound", "a:1"},
                        {"video", "audio fra", "audio deu"},
                        1},
                    Row{"ReEncodedKeepsTheChoice", "mp4", {"--drop=a:0"}, {"video", "audio"}, -1, "avi"}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

struct Refusal {
  QStringList options;
  int exitCode;
  QString says;
};

TEST(TrackChoiceRefused, NamesWhatIsWrong) {
  QTemporaryDir folder;
  const QString source = folder.filePath("source.mp4"), made = folder.filePath("made.mp4");
  ASSERT_NO_THROW(MakeClip(source, 4, {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}));
  const Refusal refusals[] = {
      {{"--tracks=a:5"}, 1, "no track a:5"},
      {{"--tracks=v:0,x:1"}, 2, "v:0,a:1,s:0"},
      {{"--drop=a:0", "--default-sound=a:0"}, 1, "not among those kept"},
      {{"--default-sound=s:0"}, 2, "one sound track"},
  };
  for (const Refusal& refusal : refusals) {
    const ProgramRun run = RunProgram(CutProgram(), refusal.options + QStringList{source, "1", "3", made});
    EXPECT_EQ(run.exitCode, refusal.exitCode) << refusal.options.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains(refusal.says)) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(made));
  }
}

}  // namespace
