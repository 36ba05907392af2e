// vintrel-cut --plan against what the same cut then says it made, for the same marks.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "../clips.h"

using namespace cuttest;

namespace {

struct Row {
  const char* clip;  // h264.mp4, h264.mkv, hevc.mp4: made on first use
  QString start, end, outputType;
};

const QStringList kX264 = {"-c:v", "libx264",     "-preset", "veryfast",      "-bf", "3",    "-g",
                           "50",   "-keyint_min", "50",      "-sc_threshold", "0",   "-c:a", "aac"};
const QStringList kX265 = {"-c:v",         "libx265",
                           "-preset",      "ultrafast",
                           "-x265-params", "keyint=40:min-keyint=40:scenecut=0:open-gop=1:log-level=error",
                           "-tag:v",       "hvc1",
                           "-c:a",         "aac"};

QString ClipPath(const QTemporaryDir& folder, const QString& name) {
  static QMap<QString, QString> made;
  if (!made.contains(name)) {
    const QString path = folder.filePath(name);
    MakeClip(path, 16, name.startsWith("hevc") ? kX265 : kX264);
    made[name] = path;
  }
  return made[name];
}

class PlanAgainstTheCut : public testing::TestWithParam<Row> {
 protected:
  static QTemporaryDir* folder;
  static void SetUpTestSuite() { folder = new QTemporaryDir; }
  static void TearDownTestSuite() { delete folder; }
};
QTemporaryDir* PlanAgainstTheCut::folder = nullptr;

TEST_P(PlanAgainstTheCut, CountsWhatTheCutMakes) {
  const Row& row = GetParam();
  const QString input = ClipPath(*folder, row.clip);
  const QString output = folder->filePath(QString("made-%1-%2.%3").arg(row.start, row.end, row.outputType));
  const ProgramRun planned = RunProgram(CutProgram(), {"--plan", input, row.start, row.end, output});
  ASSERT_EQ(planned.exitCode, 0) << planned.err.toStdString();
  const QJsonObject plan = QJsonDocument::fromJson(planned.out.toUtf8()).object();
  ASSERT_FALSE(plan.isEmpty()) << planned.out.toStdString();
  EXPECT_FALSE(QFile::exists(output)) << "a plan makes nothing";

  const ProgramRun cut = RunProgram(CutProgram(), {"--overwrite", input, row.start, row.end, output});
  ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
  const QRegularExpressionMatch frames = QRegularExpression(R"(\((\d+) frames)").match(cut.out);
  ASSERT_TRUE(frames.hasMatch()) << cut.out.toStdString();
  const int total = frames.captured(1).toInt();
  const QRegularExpressionMatch smart =
      QRegularExpression(R"(Smart cut: (\d+) frames re-encoded, (\d+) copied)").match(cut.out);
  if (plan["method"] == "smart") {
    ASSERT_TRUE(smart.hasMatch()) << cut.out.toStdString();
    EXPECT_EQ(plan["head"].toInt() + plan["tail"].toInt(), smart.captured(1).toInt());
    EXPECT_EQ(plan["copy"].toInt(), smart.captured(2).toInt());
    EXPECT_GE(plan["entry"].toDouble(), row.start.toDouble());
  } else {
    EXPECT_TRUE(cut.out.startsWith("Re-encoded: " + plan["why"].toString())) << cut.out.toStdString();
    EXPECT_EQ(plan["head"].toInt(), total);
  }
  EXPECT_EQ(plan["head"].toInt() + plan["copy"].toInt() + plan["tail"].toInt(), total);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, PlanAgainstTheCut,
    testing::Values(Row{"h264.mp4", "2", "10", "mp4"},     // key frame to key frame
                    Row{"h264.mp4", "3", "9.5", "mp4"},    // mid-GOP both ends
                    Row{"h264.mp4", "0", "16", "mp4"},     // the whole clip
                    Row{"h264.mp4", "4.04", "14", "mkv"},  // a frame after a key frame
                    Row{"h264.mp4", "2.5", "3.5", "mp4"},  // no key frame inside
                    Row{"h264.mp4", "5", "11", "avi"},     // a type that takes no copy
                    Row{"h264.mkv", "3", "12.04", "mkv"},  // mid-GOP to a frame past a key frame
                    Row{"hevc.mp4", "3", "11", "mp4"}),    // open GOP entries
    [](const testing::TestParamInfo<Row>& info) { return "row" + std::to_string(info.index); });

}  // namespace
