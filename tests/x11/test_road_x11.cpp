// One cut from start to end, as a user makes it: the real window in a real X server, the
// real player and the real encoder, driven through the widgets and the real dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <memory>

#include "about/about_module.h"
#include "app/form1.h"
#include "media.h"
#include "platform/real_platform.h"
#include "player/mpv_player.h"
#include "x11/ui_driver.h"
#include "x11/xsession.h"

using namespace vintrel;
using namespace uidriver;

namespace {

xtest::XServer* g_x = nullptr;

// The program's folder is the build folder, where the credits file lies.
class BuildFolderFiles : public RealFiles {
 public:
  QString AppPath() override { return qEnvironmentVariable("VINTREL_BUILD_DIR", QCoreApplication::applicationDirPath() + "/.."); }
};

// The real program's parts, with the end of the program turned into an exception so the
// test can look at what is left.
class TestEnd : public IApp {
 public:
  [[noreturn]] void End(int code) override { throw ProgramEnded{code}; }
};

struct RealRig {
  QtMessageBox msg;
  QtCommonDialog dialog;
  SystemClock clock;
  QtPump pump;
  PosixProcesses processes;
  BuildFolderFiles files;
  DesktopUrlOpener url;
  TestEnd app;
  Platform platform{msg, dialog, clock, pump, processes, files, url, app, [](QWidget* area) {
                      MpvOptions options;
                      options.wid = static_cast<qint64>(area->winId());
                      options.ao = "null";
                      return std::unique_ptr<IPlayer>(std::make_unique<MpvPlayer>(options));
                    }};
  std::unique_ptr<Form1> form;
  RealRig() {
    form = std::make_unique<Form1>(platform);
    form->Form_Load();
  }
  ~RealRig() {
    try {
      form->Form_Unload();
    } catch (const ProgramEnded&) {
    }
  }
};

double Position(Form1& f) { return f.mp->CurrentPosition(); }

// Fraction of the video area that is not black: the picture is drawn.
double PictureCoverage(Form1& f) {
  const QImage shot = g_x->Screenshot();
  const QRect area(f.mpArea->mapToGlobal(QPoint(0, 0)), f.mpArea->size());
  const QImage picture = shot.copy(area);
  int lit = 0, all = 0;
  for (int y = 0; y < picture.height(); y += 4) {
    for (int x = 0; x < picture.width(); x += 4, ++all) lit += qGray(picture.pixel(x, y)) > 40;
  }
  return all ? double(lit) / all : 0;
}

TEST(Road, OpenWatchMarkPreviewAndSaveACut) {
  QTemporaryDir dir;
  const QString clip = testmedia::MakeClip(dir.path() + "/holiday clip.mp4", 20, "640x360", "25",
                                           {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"});
  ASSERT_FALSE(clip.isEmpty());
  RealRig rig;
  Form1& f = *rig.form;
  f.move(0, 0);
  ASSERT_TRUE(WaitFor([&] { return f.isVisible(); }, 5000));

  // Open the clip through the dialog: it plays, the slider takes its length.
  Answer({TypePath(clip)});
  QTest::mouseClick(f.Command4, Qt::LeftButton);
  EXPECT_EQ(Pending(), 0);
  ASSERT_EQ(f.CurrentFile, clip);
  EXPECT_EQ(f.Command1->text(), "Pause");
  EXPECT_EQ(f.H->maximum(), 20);
  EXPECT_EQ(f.Label7->text(), "0 : 0 : 0");

  // The position moves once a second, and the picture is there.
  ASSERT_TRUE(WaitFor([&] { return f.H->value() >= 2; }, 8000));
  EXPECT_TRUE(f.Label4->text().startsWith(" 0 : 0 :")) << f.Label4->text().toStdString();
  EXPECT_GT(PictureCoverage(f), 0.5);

  // Pause holds the position; Play goes on from it.
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  EXPECT_EQ(f.Command1->text(), "Play");
  const double held = Position(f);
  Watch(1200);
  EXPECT_NEAR(Position(f), held, 0.05);
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  EXPECT_EQ(f.Command1->text(), "Pause");
  ASSERT_TRUE(WaitFor([&] { return Position(f) > held + 0.5; }, 5000));

  // Stop rewinds; Play starts again from the beginning.
  QTest::mouseClick(f.Command2, Qt::LeftButton);
  EXPECT_EQ(f.Command1->text(), "Play");
  EXPECT_EQ(f.Label4->text(), "0 : 0 : 0");
  EXPECT_EQ(f.H->value(), 0);
  EXPECT_LT(Position(f), 0.1);
  QTest::mouseClick(f.Command1, Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return Position(f) > 0.3; }, 5000));

  // Drag the slider to second 3 and mark the start there; to second 13 for the end.
  QTest::mouseClick(f.Command1, Qt::LeftButton);  // pause, so the marks land exactly
  DragSlider(f.H, 3);
  EXPECT_EQ(f.H->value(), 3);
  EXPECT_NEAR(Position(f), 3.0, 0.05);
  QTest::mouseClick(f.Command5, Qt::LeftButton);
  EXPECT_EQ(f.SelStart, 3);
  EXPECT_EQ(f.Label7->text(), " 0 : 0 : 3");
  DragSlider(f.H, 13);
  EXPECT_NEAR(Position(f), 13.0, 0.05);
  QTest::mouseClick(f.Command6, Qt::LeftButton);
  EXPECT_EQ(f.SelEnd, 13);
  EXPECT_EQ(f.Label9->text(), " 0 : 0 : 13");
  EXPECT_EQ(f.Label3->text(), " 0 : 0 : 10");
  EXPECT_EQ(f.Line1->X1(), 3 * f.MarkerScale + 170.0f);
  EXPECT_EQ(f.Line2->X1(), 13 * f.MarkerScale + 330.0f);

  // The window as the README shows it: a video open and a stretch marked.
  Watch(500);  // let the window repaint before the picture is taken
  const QImage window = g_x->Screenshot().copy(QRect(f.mapToGlobal(QPoint(0, 0)), f.size()));
  const QString shots = qEnvironmentVariable("VINTREL_BUILD_DIR") + "/screenshots";
  QDir().mkpath(shots);
  window.save(shots + "/road.png");

  // Play Selected plays 3..13 and halts just past the end mark.
  QTest::mouseClick(f.Command9, Qt::LeftButton);  // returns when the preview has ended
  EXPECT_EQ(f.Command1->text(), "Play");
  const double halted = Position(f);
  EXPECT_GE(halted, 13.0);
  EXPECT_LT(halted, 13.6);

  // Save the stretch: the encoder cuts it, "Done".
  const QString out = dir.path() + "/the cut.mp4";
  Answer({TypePath(out), Press("OK")});
  QTest::mouseClick(f.Command7, Qt::LeftButton);
  EXPECT_EQ(Pending(), 0);
  ASSERT_FALSE(Seen().isEmpty());
  EXPECT_EQ(Seen().last(), "Done");
  EXPECT_EQ(f.windowTitle(), "Vintrel");
  EXPECT_TRUE(f.Command7->isEnabled());
  testmedia::ProbeResult cut = testmedia::Probe(out);
  ASSERT_TRUE(cut.ok);
  EXPECT_EQ(cut.streams, 2);
  EXPECT_NEAR(cut.duration, 10.0, 0.1);

  // Saving over it: No keeps the file.
  const QByteArray first = testmedia::ReadAll(out);
  Answer({TypePath(out), Press("No")});
  QTest::mouseClick(f.Command7, Qt::LeftButton);
  EXPECT_EQ(Seen().last(), "Do you want to overwrite the existing file?");
  EXPECT_EQ(testmedia::ReadAll(out), first);
  EXPECT_TRUE(f.Command7->isEnabled());

  // A new start at second 5, and Yes replaces the file with the shorter cut.
  DragSlider(f.H, 5);
  QTest::mouseClick(f.Command5, Qt::LeftButton);
  EXPECT_EQ(f.SelStart, 5);
  Answer({TypePath(out), Press("Yes"), Press("OK")});
  QTest::mouseClick(f.Command7, Qt::LeftButton);
  EXPECT_EQ(Seen().last(), "Done");
  cut = testmedia::Probe(out);
  EXPECT_NEAR(cut.duration, 8.0, 0.1);
}

}  // namespace

int main(int argc, char** argv) {
  xtest::XServer x;
  if (!x.ok()) {
    fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  g_x = &x;
  qputenv("DISPLAY", x.display().toLatin1());
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
