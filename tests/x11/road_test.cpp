// One cut from start to end, as a user makes it: the real window in a real X server, the
// real player and vintrel-cut, driven through the widgets and the real dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <memory>

#include "app/main_window.h"
#include "fakes/fakes.h"
#include "media.h"
#include "platform/qt_platform.h"
#include "player/mpv_player.h"
#include "save/cut_job.h"
#include "x11/in_process_main.h"
#include "x11/ui_driver.h"
#include "x11/xsession.h"

using namespace vintrel;
using namespace uidriver;

namespace {

xtest::XServer* g_x = nullptr;

QString BuildDir() {
  return qEnvironmentVariable("VINTREL_BUILD_DIR", QCoreApplication::applicationDirPath());
}

// The program's folder is the build folder, where the credits file and vintrel-cut lie.
class BuildFolderFiles : public RealFiles {
 public:
  QString programFolder() override { return BuildDir(); }
};

// The real program's parts, as main() puts them together.
struct RealRig {
  QtMessages messages;
  QtFileDialogs dialogs;
  DesktopUrlOpener urls;
  BuildFolderFiles files;
  std::unique_ptr<MainWindow> window;
  RealRig() {
    Services services{messages,
                      dialogs,
                      urls,
                      files,
                      [](QWidget* area) { return makeEmbeddedPlayer(area, {}, "null"); },
                      [this]() -> std::unique_ptr<CutJob> {
                        return std::make_unique<ProcessCutJob>(findCutProgram(files.programFolder()));
                      }};
    window = std::make_unique<MainWindow>(services, "credits");
    window->move(0, 0);
    window->show();
  }
  MainWindow& w() { return *window; }
  double Position() { return window->player().position(); }

  // Open through the dialog, the path typed as a user does; waits until the clip plays.
  bool Open(const QString& clip) {
    Answer({TypePath(clip)});
    QTest::mouseClick(window->openButton, Qt::LeftButton);
    return Pending() == 0 && WaitFor([&] { return window->player().isLoaded(); }, 10000);
  }
  // Makes the test clip in `dir` and opens it as Open does; its path, empty when either failed.
  QString OpenNewClip(const QTemporaryDir& dir);
  // The same, paused there; false when it failed.
  bool OpenNewClipPaused(const QTemporaryDir& dir);
  // Drags the slider to the second and clicks the mark button there.
  void MarkAt(int second, QPushButton* mark) {
    DragSlider(window->positionSlider, second);
    QTest::mouseClick(mark, Qt::LeftButton);
  }
};

// Fraction of the video area that is not black: the picture is drawn.
double PictureCoverage(MainWindow& w) {
  const QImage shot = g_x->Screenshot();
  const QRect area(w.videoArea->mapToGlobal(QPoint(0, 0)), w.videoArea->size());
  const QImage picture = shot.copy(area);
  int lit = 0, all = 0;
  for (int y = 0; y < picture.height(); y += 4) {
    for (int x = 0; x < picture.width(); x += 4, ++all) lit += qGray(picture.pixel(x, y)) > 40;
  }
  return all ? double(lit) / all : 0;
}

// Where the slider's thumb stands for a second, in the window: the tick of a mark stands there.
int ThumbX(MainWindow& w, int second) {
  return w.positionSlider->x() + w.positionSlider->handleRect(second).center().x();
}

QString Clip(const QString& dir) {
  return testmedia::MakeClip(
      dir + "/holiday clip.mp4", 20, "640x360", "25",
      {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"});
}

QString RealRig::OpenNewClip(const QTemporaryDir& dir) {
  const QString clip = Clip(dir.path());
  return !clip.isEmpty() && Open(clip) ? clip : QString();
}

bool RealRig::OpenNewClipPaused(const QTemporaryDir& dir) {
  if (OpenNewClip(dir).isEmpty()) return false;
  QTest::mouseClick(window->playButton, Qt::LeftButton);  // pause, so the marks land exactly
  return true;
}

bool CutProgramBuilt() { return QFileInfo(BuildDir() + "/vintrel-cut").isExecutable(); }

TEST(Road, OpenWatchPauseStopDragMarkAndPreview) {
  QTemporaryDir dir;
  const QString clip = Clip(dir.path());
  ASSERT_FALSE(clip.isEmpty());
  RealRig rig;
  MainWindow& w = rig.w();
  ASSERT_TRUE(WaitFor([&] { return w.isVisible(); }, 5000));
  EXPECT_EQ(w.objectName(), "mainWindow");
  EXPECT_EQ(w.windowTitle(), "Vintrel");

  // Open the clip through the dialog: it plays, the slider takes its length.
  ASSERT_TRUE(rig.Open(clip));
  EXPECT_EQ(FileDialogsSeen().last(), "OpenDialog");
  ASSERT_EQ(w.session().file(), clip);
  EXPECT_EQ(w.playButton->text(), "Pause");
  EXPECT_EQ(w.positionSlider->maximum(), 20);
  EXPECT_EQ(w.startLabel->text(), "0 : 0 : 0");

  // The position moves once a second, and the picture is there.
  ASSERT_TRUE(WaitFor([&] { return w.positionSlider->value() >= 2; }, 8000));
  EXPECT_TRUE(w.positionLabel->text().startsWith(" 0 : 0 :")) << w.positionLabel->text().toStdString();
  EXPECT_GT(PictureCoverage(w), 0.5);

  // Pause holds the position; Play goes on from it.
  QTest::mouseClick(w.playButton, Qt::LeftButton);
  EXPECT_EQ(w.playButton->text(), "Play");
  Watch(200);  // libmpv takes the pause on its own thread
  const double held = rig.Position();
  Watch(1200);
  EXPECT_NEAR(rig.Position(), held, 0.05);
  QTest::mouseClick(w.playButton, Qt::LeftButton);
  EXPECT_EQ(w.playButton->text(), "Pause");
  ASSERT_TRUE(WaitFor([&] { return rig.Position() > held + 0.5; }, 5000));

  // Stop rewinds; Play starts again from the beginning.
  QTest::mouseClick(w.stopButton, Qt::LeftButton);
  EXPECT_EQ(w.playButton->text(), "Play");
  EXPECT_EQ(w.positionLabel->text(), "0 : 0 : 0");
  EXPECT_EQ(w.positionSlider->value(), 0);
  EXPECT_LT(rig.Position(), 0.1);
  QTest::mouseClick(w.playButton, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return rig.Position() > 0.3; }, 5000));

  // Drag the slider to second 3 and mark the start there; to second 13 for the end.
  QTest::mouseClick(w.playButton, Qt::LeftButton);  // pause, so the marks land exactly
  DragSlider(w.positionSlider, 3);
  EXPECT_EQ(w.positionSlider->value(), 3);
  EXPECT_NEAR(rig.Position(), 3.0, 0.05);
  QTest::mouseClick(w.markStartButton, Qt::LeftButton);
  EXPECT_EQ(w.session().markStart(), 3);
  EXPECT_EQ(w.startLabel->text(), " 0 : 0 : 3");
  DragSlider(w.positionSlider, 13);
  EXPECT_NEAR(rig.Position(), 13.0, 0.05);
  QTest::mouseClick(w.markEndButton, Qt::LeftButton);
  EXPECT_EQ(w.session().markEnd(), 13);
  EXPECT_EQ(w.endLabel->text(), " 0 : 0 : 13");
  EXPECT_EQ(w.lengthLabel->text(), " 0 : 0 : 10");
  // The marks are drawn at the thumb's spots for them.
  const auto painted = fakes::PaintedMarks(*w.positionSlider);
  ASSERT_EQ(painted.size(), 2u);
  EXPECT_NEAR(painted[0].middle + w.positionSlider->x(), ThumbX(w, 3), 2);
  EXPECT_NEAR(painted[1].middle + w.positionSlider->x(), ThumbX(w, 13), 2);

  // The window as the README shows it: a video open and a stretch marked.
  Watch(500);  // let the window repaint before the picture is taken
  const QImage window = g_x->Screenshot().copy(QRect(w.mapToGlobal(QPoint(0, 0)), w.size()));
  const QString shots = BuildDir() + "/screenshots";
  QDir().mkpath(shots);
  window.save(shots + "/road.png");

  // Play Selected plays 3..13 and halts just past the end mark; the click returns at once.
  QTest::mouseClick(w.playSelectedButton, Qt::LeftButton);
  EXPECT_EQ(w.playButton->text(), "Pause");
  EXPECT_LT(rig.Position(), 4.0);
  ASSERT_TRUE(WaitFor([&] { return w.playButton->text() == "Play"; }, 20000));
  Watch(200);
  const double halted = rig.Position();
  EXPECT_GE(halted, 13.0);
  EXPECT_LT(halted, 13.5);
  EXPECT_TRUE(Seen().isEmpty()) << Seen().join(" | ").toStdString();
}

// The picture is libmpv's own window inside the video area: a double-click on it still
// reaches the window, and F11 and Esc from the keyboard, while the clip plays.
TEST(Road, ADoubleClickOnThePlayingPictureGoesFullScreen) {
  QTemporaryDir dir;
  RealRig rig;
  MainWindow& w = rig.w();
  const QString clip = rig.OpenNewClip(dir);
  ASSERT_FALSE(clip.isEmpty());
  ASSERT_TRUE(WaitFor([&] { return PictureCoverage(w) > 0.5; }, 8000)) << "no picture";
  const QPoint middle = w.videoArea->mapToGlobal(w.videoArea->rect().center());
  g_x->Run("xdotool", {"mousemove", QString::number(middle.x()), QString::number(middle.y()), "click",
                       "--repeat", "2", "--delay", "80", "1"});
  EXPECT_TRUE(WaitFor([&] { return w.isFullScreen(); }, 5000)) << "the double-click did not reach the window";
  g_x->Focus(w.winId());
  g_x->Key("Escape");
  EXPECT_TRUE(WaitFor([&] { return !w.isFullScreen(); }, 5000)) << "Esc did not leave full screen";
  g_x->Key("F11");
  EXPECT_TRUE(WaitFor([&] { return w.isFullScreen(); }, 5000)) << "F11 did not go full screen";
  g_x->Key("F11");
  EXPECT_TRUE(WaitFor([&] { return !w.isFullScreen(); }, 5000));
  EXPECT_TRUE(w.session().isPlaying()) << "playback goes on";
}

// The whole window's picture, as the screen shows it now.
QImage PictureNow(MainWindow& w) {
  return g_x->Screenshot().copy(QRect(w.videoArea->mapToGlobal(QPoint(0, 0)), w.videoArea->size()));
}

double Differs(const QImage& a, const QImage& b) {
  int changed = 0, all = 0;
  for (int y = 0; y < a.height(); y += 4) {
    for (int x = 0; x < a.width(); x += 4, ++all) changed += a.pixel(x, y) != b.pixel(x, y);
  }
  return all ? double(changed) / all : 0;
}

// A dialog cancelled loses nothing, a dragged thumb brings the picture with it, and the last
// frame stays when a step goes past it.
TEST(Road, NothingLosesThePlaceAndADragShowsThePicture) {
  QTemporaryDir dir;
  RealRig rig;
  MainWindow& w = rig.w();
  const QString clip = rig.OpenNewClip(dir);
  ASSERT_FALSE(clip.isEmpty());
  EXPECT_EQ(w.windowTitle(), "holiday clip.mp4 - Vintrel");
  EXPECT_EQ(w.durationLabel->text(), " 0 : 0 : 20");
  QTest::mouseClick(w.playButton, Qt::LeftButton);  // pause
  DragSlider(w.positionSlider, 3);
  ASSERT_TRUE(WaitFor([&] { return std::abs(rig.Position() - 3) < 0.05; }, 5000));
  Watch(500);
  const QImage atThree = PictureNow(w);

  // Open, then Esc: the picture and the place stay.
  Answer({PressEsc()});
  QTest::mouseClick(w.openButton, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return Pending() == 0; }, 10000));
  Watch(500);
  EXPECT_EQ(w.session().file(), clip);
  EXPECT_NEAR(rig.Position(), 3, 0.05);
  EXPECT_EQ(w.positionSlider->value(), 3);
  EXPECT_EQ(w.positionLabel->text(), " 0 : 0 : 3");
  EXPECT_LT(Differs(PictureNow(w), atThree), 0.02) << "the picture changed under a cancelled dialog";

  // Held and moved, the thumb brings the picture along before it is let go.
  const QPoint from = w.positionSlider->handleRect(3).center();
  QTest::mousePress(w.positionSlider, Qt::LeftButton, {}, from);
  for (int second : {6, 9, 12}) {
    QTest::mouseMove(w.positionSlider, QPoint(w.positionSlider->handleRect(second).center().x(), from.y()),
                     20);
    Watch(100);
  }
  Watch(600);
  EXPECT_EQ(w.positionSlider->value(), 12);
  EXPECT_GT(Differs(PictureNow(w), atThree), 0.05) << "the picture stood still during the drag";
  EXPECT_NEAR(rig.Position(), 12, 1.01) << "near the thumb";
  QTest::mouseRelease(w.positionSlider, Qt::LeftButton, {},
                      QPoint(w.positionSlider->handleRect(12).center().x(), from.y()), 20);
  ASSERT_TRUE(WaitFor([&] { return std::abs(rig.Position() - 12) < 0.05; }, 5000)) << "not exact on release";

  // Stop: the first frame, not a black picture.
  QTest::mouseClick(w.stopButton, Qt::LeftButton);
  Watch(700);
  EXPECT_GT(PictureCoverage(w), 0.5) << "black after Stop";

  // A step past the last frame keeps it and the place.
  QTest::keyClick(w.positionSlider, Qt::Key_End);
  ASSERT_TRUE(WaitFor([&] { return rig.Position() > 19.5; }, 5000));
  for (int i = 0; i < 30; ++i) {
    QTest::keyClick(w.positionSlider, Qt::Key_Period);
    Watch(60);
  }
  Watch(500);
  EXPECT_GT(rig.Position(), 19.5) << "a step past the end went back to the start";
  EXPECT_EQ(w.positionSlider->value(), 20);
  EXPECT_GT(PictureCoverage(w), 0.5);

  // Resting on the slider's end brings up the picture under the pointer, above the slider and
  // over no button: a real click on Mark End at once (before the window has seen the pointer
  // leave) still marks.
  const QPoint rest =
      w.positionSlider->mapToGlobal(QPoint(w.positionSlider->width() - 25, w.positionSlider->height() / 2));
  g_x->Run("xdotool", {"mousemove", "--sync", QString::number(rest.x()), QString::number(rest.y())});
  ASSERT_TRUE(WaitFor([&] { return w.hoverPicture->isVisible(); }, 5000)) << "no picture under the pointer";
  const QRect markEnd(w.markEndButton->mapToGlobal(QPoint(0, 0)), w.markEndButton->size());
  EXPECT_LE(w.hoverPicture->geometry().right(),
            w.positionSlider->mapToGlobal(QPoint(0, 0)).x() + w.positionSlider->width());
  const double endBefore = w.session().markEnd();
  g_x->Click(markEnd.center());
  EXPECT_TRUE(WaitFor([&] { return w.session().markEnd() != endBefore; }, 3000))
      << "the click went to the picture";
}

TEST(Road, SaveTheCutAndReplaceItOnlyAfterYes) {
  if (!CutProgramBuilt()) GTEST_SKIP() << "vintrel-cut is not in " << BuildDir().toStdString();
  QTemporaryDir dir;
  RealRig rig;
  MainWindow& w = rig.w();
  ASSERT_TRUE(rig.OpenNewClipPaused(dir));
  rig.MarkAt(3, w.markStartButton);
  rig.MarkAt(13, w.markEndButton);
  ASSERT_EQ(w.session().markStart(), 3);
  ASSERT_EQ(w.session().markEnd(), 13);
  auto saved = [&] { return !w.session().isSaving() && Pending() == 0; };

  // Save the stretch: the cut runs while the window answers, then "Done".
  const QString out = dir.path() + "/the cut.mp4";
  const qsizetype before = Seen().size();
  Answer({TypePath(out), Press("OK")});
  QTest::mouseClick(w.saveButton, Qt::LeftButton);
  EXPECT_EQ(FileDialogsSeen().last(), "SaveDialog");
  ASSERT_TRUE(WaitFor(saved, 120000)) << "the cut did not end";
  ASSERT_GT(Seen().size(), before);
  EXPECT_EQ(Seen().last(), "Done");
  EXPECT_EQ(w.windowTitle(), "holiday clip.mp4 - Vintrel");
  EXPECT_EQ(w.saveButton->text(), "Save");
  EXPECT_TRUE(w.saveButton->isEnabled());
  EXPECT_TRUE(w.openButton->isEnabled());
  testmedia::ProbeResult cut = testmedia::Probe(out);
  ASSERT_TRUE(cut.ok);
  EXPECT_EQ(cut.streams, 2);
  EXPECT_NEAR(cut.duration, 10.0, 0.1);

  // Saving over it: No keeps the file and goes back to the Save dialog, which Esc leaves.
  const QByteArray first = testmedia::ReadAll(out);
  Answer({TypePath(out), Press("No"), PressEsc()});
  QTest::mouseClick(w.saveButton, Qt::LeftButton);
  ASSERT_TRUE(WaitFor(saved, 10000));
  EXPECT_EQ(Seen().last(), "Do you want to overwrite the existing file?");
  EXPECT_EQ(FileDialogsSeen().mid(FileDialogsSeen().size() - 2), QStringList({"SaveDialog", "SaveDialog"}));
  Watch(500);  // no cut started behind the answer
  EXPECT_EQ(testmedia::ReadAll(out), first);
  EXPECT_FALSE(w.session().isSaving());
  EXPECT_TRUE(w.saveButton->isEnabled());

  // A new start at second 5, and Yes replaces the file with the shorter cut.
  rig.MarkAt(5, w.markStartButton);
  EXPECT_EQ(w.session().markStart(), 5);
  Answer({TypePath(out), Press("Yes"), Press("OK")});
  QTest::mouseClick(w.saveButton, Qt::LeftButton);
  ASSERT_TRUE(WaitFor(saved, 120000)) << "the cut did not end";
  EXPECT_EQ(Seen().last(), "Done");
  cut = testmedia::Probe(out);
  EXPECT_NEAR(cut.duration, 8.0, 0.1);
}

// What ffprobe reads of a file: the values of `entries`, one a line.
QStringList Probed(const QString& file, const QStringList& options) {
  QProcess probe;
  probe.start("ffprobe", QStringList{"-v", "error"} + options + QStringList{"-of", "csv=p=0", file});
  probe.waitForFinished(60000);
  return QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// Three stretches marked and put in the list (the button, then the A key), Remove chosen, and
// one file saved: the video without them, checked.
TEST(Road, RemoveThreeMarkedStretchesIntoOneFile) {
  if (!CutProgramBuilt()) GTEST_SKIP() << "vintrel-cut is not in " << BuildDir().toStdString();
  QTemporaryDir dir;
  RealRig rig;
  MainWindow& w = rig.w();
  ASSERT_TRUE(rig.OpenNewClipPaused(dir));
  const QList<std::pair<int, int>> stretches = {{2, 4}, {7, 9}, {12, 15}};
  for (const auto& [start, end] : stretches) {
    rig.MarkAt(start, w.markStartButton);
    rig.MarkAt(end, w.markEndButton);
    if (start == stretches.first().first) {
      QTest::mouseClick(w.addSegmentButton, Qt::LeftButton);
    } else {
      g_x->Focus(w.winId());
      g_x->Key("a");
    }
    const int row = static_cast<int>(stretches.indexOf({start, end}));
    const auto listed = [&] { return w.segmentPanel->table->model()->rowCount() > row; };
    ASSERT_TRUE(WaitFor(listed, 5000)) << "the stretch from " << start << " s is not in the list";
  }
  EXPECT_TRUE(w.segmentPanel->isVisible());
  QTest::mouseClick(w.segmentPanel->removeButton, Qt::LeftButton);
  ASSERT_TRUE(w.segmentPanel->removeButton->isChecked());

  const QString out = dir.path() + "/without.mp4";
  QString report;
  Answer({TypePath(out), [&report](QWidget* box) {
            if (auto* details = box->findChild<QPlainTextEdit*>("detailsPane"))
              report = details->toPlainText();
            Press("OK")(box);
          }});
  QTest::mouseClick(w.saveButton, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return !w.session().isSaving() && Pending() == 0; }, 180000))
      << "the save did not end";
  EXPECT_EQ(Seen().last(), "Done");
  EXPECT_TRUE(report.contains("Checked:")) << report.toStdString();
  // 20 s less 2 + 2 + 3 s, at 25 frames a second.
  const testmedia::ProbeResult made = testmedia::Probe(out);
  ASSERT_TRUE(made.ok);
  EXPECT_NEAR(made.duration, 13.0, 0.1);
  EXPECT_EQ(
      Probed(out, {"-select_streams", "v:0", "-count_frames", "-show_entries", "stream=nb_read_frames"}),
      QStringList{QString::number(13 * 25)});
  EXPECT_EQ(Probed(out, {"-show_entries", "stream=codec_type"}).mid(0, 2), QStringList({"video", "audio"}));
  // A chapter where each of the four parts left starts.
  QStringList starts;
  for (const QString& start : Probed(out, {"-show_entries", "chapter=start_time"}))
    starts << QString::number(start.toDouble(), 'f', 1);
  EXPECT_EQ(starts, QStringList({"0.0", "2.0", "5.0", "8.0"}));
}

}  // namespace

int main(int argc, char** argv) { return xtest::RunTestsOnPrivateServer(argc, argv, g_x); }
