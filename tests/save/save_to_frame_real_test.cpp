// Marks to the frame through Save, on the real libmpv player (no screen or sound output)
// and the real vintrel-cut: the frames stepped to with , and . are where the cut starts
// and ends, and its first frame is the frame the player showed at Mark Start.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#include "app/main_window.h"
#include "fakes/fakes.h"
#include "media.h"
#include "platform/qt_platform.h"
#include "player/mpv_player.h"
#include "real_window.h"

namespace {

using namespace vintrel;
using realwindow::PollUntil;

QString cutProgram() { return qEnvironmentVariable("VINTREL_BUILD_DIR") + "/vintrel-cut"; }

// One frame of a video, small and grey, as bytes to compare: the first one of `path`, or
// the one with index `frame` at 25 frames a second.
QByteArray frameBytes(const QString& path, int frame = 0) {
  QProcess p;
  p.setStandardInputFile(QProcess::nullDevice());
  p.start("ffmpeg", {"-v", "error", "-i", path, "-vf",
                     QString("select=eq(n\\,%1),scale=160:120,format=gray").arg(frame), "-frames:v", "1",
                     "-f", "rawvideo", "-"});
  p.waitForFinished(60000);
  return p.readAllStandardOutput();
}

double difference(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size() || a.isEmpty()) return 1e9;
  double sum = 0;
  for (qsizetype i = 0; i < a.size(); ++i) sum += std::abs(int(uchar(a[i])) - int(uchar(b[i])));
  return sum / a.size();
}

int frameCount(const QString& path) {
  QProcess p;
  p.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                      "stream=nb_read_frames", "-of", "csv=p=0", path});
  p.waitForFinished(60000);
  return QString::fromLatin1(p.readAllStandardOutput()).trimmed().toInt();
}

TEST(SaveToTheFrameReal, TheCutStartsAtTheFrameOnScreenAndEndsBeforeTheOneAtMarkEnd) {
  if (!QFileInfo(cutProgram()).isExecutable()) GTEST_SKIP() << "vintrel-cut is not built";
  QTemporaryDir folder;
  // A key frame every second: the cut is a smart one, its first frames re-encoded.
  const QString clip = testmedia::MakeClip(folder.filePath("clip.mp4"), 8, "320x240", "25",
                                           {"-c:v", "libx264", "-g", "25", "-pix_fmt", "yuv420p"});
  ASSERT_FALSE(clip.isEmpty());
  const QString output = folder.filePath("cut.mp4");

  fakes::FakeMessages messages;
  fakes::FakeDialogs dialogs;
  fakes::FakeUrlOpener urls;
  RealFiles files;
  Services services{messages,
                    dialogs,
                    urls,
                    files,
                    [](QWidget*) -> std::unique_ptr<Player> {
                      return std::make_unique<MpvPlayer>(MpvOptions{"null", "null", 0});
                    },
                    [] { return std::make_unique<ProcessCutJob>(cutProgram()); }};
  MainWindow w(services, "credits");
  w.marksToFrameAction->setChecked(true);
  w.openFile(clip);
  ASSERT_TRUE(PollUntil([&] { return w.player().isLoaded(); }));

  // Steps until the label shows where the player stands (a loaded machine may take a while).
  auto stepTo = [&](double second, int frames) {
    w.player().seek(second);
    for (int i = 0; i < frames; ++i) {
      const QString before = w.positionLabel->text();
      w.frameForwardAction->trigger();
      if (!PollUntil([&] { return w.positionLabel->text() != before; })) return false;
    }
    return PollUntil([&] { return w.positionLabel->text() == w.session().timeText(w.player().position()); });
  };
  ASSERT_TRUE(stepTo(2, 3));
  const double start = w.player().position();
  w.markStartAction->trigger();
  ASSERT_TRUE(stepTo(5, 2));
  const double end = w.player().position();
  w.markEndAction->trigger();
  EXPECT_DOUBLE_EQ(w.session().markStart(), start);
  EXPECT_DOUBLE_EQ(w.session().markEnd(), end);
  const int startFrame = static_cast<int>(std::lround(start * 25));
  const int endFrame = static_cast<int>(std::lround(end * 25));
  ASSERT_GT(startFrame % 25, 0) << "the start is not on a whole second";

  dialogs.answers.push_back(output);
  w.saveAction->trigger();
  ASSERT_TRUE(w.session().isSaving());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.session().isSaving(); }, 120000));
  ASSERT_EQ(messages.lastText(), "Done") << messages.shown.back().detail.toStdString();
  EXPECT_TRUE(messages.shown.back().detail.startsWith("0:03 saved as cut.mp4; "))
      << messages.shown.back().detail.toStdString();

  // Every frame from the one at Mark Start up to the one at Mark End, that one left out.
  EXPECT_EQ(frameCount(output), endFrame - startFrame);
  // The first is the frame that was on screen: nearer to it than to its neighbours.
  const QByteArray first = frameBytes(output);
  const double atMark = difference(first, frameBytes(clip, startFrame));
  EXPECT_LT(atMark, 2.0);
  EXPECT_LT(atMark, difference(first, frameBytes(clip, startFrame - 1)));
  EXPECT_LT(atMark, difference(first, frameBytes(clip, startFrame + 1)));
}

}  // namespace
