// The built program, started as a user starts it, in an X server of its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <clocale>
#include <functional>

#include "app/layout.h"
#include "media.h"
#include "x11/in_process_main.h"
#include "x11/xsession.h"

namespace {

namespace layout = vintrel::layout;

// One X server for the whole run; each test starts and ends its own program on it.
xtest::XServer* g_x = nullptr;

QString ProgramPath() { return qEnvironmentVariable("VINTREL_PROGRAM"); }

QString ShotDir() {
  const QString dir = qEnvironmentVariable("VINTREL_BUILD_DIR") + "/screenshots";
  QDir().mkpath(dir);
  return dir;
}

// The cut program, where the program looks first: beside it.
QString CutProgram() {
  const QString path = QFileInfo(ProgramPath()).absolutePath() + "/vintrel-cut";
  return QFileInfo(path).isExecutable() ? path : QString();
}

// Polls a condition; the bound only keeps a broken program from hanging the test.
bool WaitUntil(const std::function<bool()>& done, int boundMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > boundMs) return false;
    QThread::msleep(100);
  }
  return true;
}

bool IsWhite(QRgb c) { return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240; }

// Dark pixels in a part of the picture: text and frames.
int Ink(const QImage& image, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) n += qGray(image.pixel(x, y)) < 160;
  }
  return n;
}

// The share of the video area that is not black: a picture is drawn there.
double Lit(const QImage& video) {
  int lit = 0, all = 0;
  for (int y = 0; y < video.height(); y += 6) {
    for (int x = 0; x < video.width(); x += 6, ++all) lit += qGray(video.pixel(x, y)) > 40;
  }
  return all ? double(lit) / all : 0;
}

// The share of sampled pixels that differ between two pictures of the same area.
double Changed(const QImage& a, const QImage& b) {
  int changed = 0, all = 0;
  for (int y = 0; y < a.height(); y += 4) {
    for (int x = 0; x < a.width(); x += 4, ++all) changed += a.pixel(x, y) != b.pixel(x, y);
  }
  return all ? double(changed) / all : 0;
}

// Whether any process runs this program with an argument containing `text`.
bool ProcessRunning(const QString& program, const QString& text) {
  QProcess p;
  p.start("pgrep", {"-f", "-a", program});
  p.waitForFinished(5000);
  return QString::fromLocal8Bit(p.readAllStandardOutput()).contains(text);
}

// Whether the message box shows `text`: the text stands in it pixel for pixel as in a box
// this test puts up itself with the same text (and detail, which shapes the box), drawn by
// the same toolkit with the same fonts on the same screen. The box keeps the keyboard.
bool BoxSays(unsigned long box, const QString& text, const QString& detail = {}) {
  QMessageBox reference(QMessageBox::Information, "Vintrel", text, QMessageBox::Ok);
  if (!detail.isEmpty()) reference.setInformativeText(detail);
  reference.setAttribute(Qt::WA_ShowWithoutActivating);
  reference.show();
  // Out of the way of the program's windows, which stand at the top left or the middle.
  reference.move(1270 - reference.width(), 790 - reference.height());
  if (!QTest::qWaitForWindowExposed(&reference)) return false;
  const auto* label = reference.findChild<QLabel*>("qt_msgbox_label");
  if (!label) return false;
  const QRect textArea = label->geometry();
  const unsigned long mine = reference.winId();
  bool same = false;
  for (int attempt = 0; attempt < 25 && !same; ++attempt) {
    QTest::qWait(200);  // both boxes painted
    const QImage shot = g_x->Screenshot();
    const QImage expected = shot.copy(textArea.translated(g_x->Geometry(mine).topLeft()));
    const QImage shown = shot.copy(textArea.translated(g_x->Geometry(box).topLeft()));
    same = !expected.isNull() && expected == shown;
  }
  reference.hide();
  g_x->Focus(box);
  return same;
}

// The program with its main window up.
struct Started {
  xtest::XServer& x;
  xtest::Program program;
  unsigned long window = 0;
  QRect g;
  Started(xtest::XServer& server, const QStringList& args = {}, const QStringList& env = {})
      : x(server), program(server, ProgramPath(), env, args) {
    // A file given names the window once it opens.
    window =
        x.WaitForWindow(args.isEmpty() ? QString("Vintrel") : QFileInfo(args[0]).fileName() + " - Vintrel");
    if (window) g = x.Geometry(window);
  }
  QPoint At(QPoint p) const { return g.topLeft() + p; }
  QPoint At(const QRect& control) const { return At(control.center()); }
  QImage Video() const {
    return x.Screenshot().copy(QRect(At(layout::kVideo.topLeft()), layout::kVideo.size()));
  }
};

TEST(Program, StartsWithItsWindowAndControlsAndClosesCleanly) {
  xtest::XServer& x = *g_x;
  Started vintrel(x);
  ASSERT_NE(vintrel.window, 0u) << "no window titled Vintrel";
  EXPECT_EQ(vintrel.g.size(), layout::kWindow);

  const QRect buttons[] = {layout::kPlayButton,         layout::kStopButton,    layout::kOpenButton,
                           layout::kMarkStartButton,    layout::kMarkEndButton, layout::kHelpButton,
                           layout::kPlaySelectedButton, layout::kSaveButton,    layout::kWebsiteButton};
  // The window is mapped before it is painted: look until it is, then judge what is there.
  QImage shot;
  WaitUntil(
      [&] {
        shot = x.Screenshot().copy(vintrel.g);
        if (shot.isNull() || !IsWhite(shot.pixel(440, 120))) return false;
        for (const QRect& button : buttons)
          if (Ink(shot, button.adjusted(2, 2, -2, -2)) <= 20) return false;
        return true;
      },
      10000);
  ASSERT_FALSE(shot.isNull());
  shot.save(ShotDir() + "/start.png");
  EXPECT_TRUE(IsWhite(shot.pixel(440, 120))) << "window background";
  EXPECT_EQ(qGray(shot.pixel(200, 150)), 0) << "the empty video area is black";
  // Every button shows its frame and caption where the layout puts it.
  for (const QRect& button : buttons)
    EXPECT_GT(Ink(shot, button.adjusted(2, 2, -2, -2)), 20)
        << "a button at " << button.x() << "," << button.y();

  // F1 lists the keys; Esc closes the list.
  x.Focus(vintrel.window);
  x.Key("F1");
  const unsigned long keys = x.WaitForWindow("Keyboard Shortcuts", 10000);
  ASSERT_NE(keys, 0u) << "no Keyboard Shortcuts window";
  x.Focus(keys);
  x.Key("Escape");
  EXPECT_TRUE(WaitUntil([&] { return x.Windows("Keyboard Shortcuts").empty(); }, 5000)) << "Esc left it open";

  // "About..." from the window's context menu, opened with Shift+F10, opens the About window
  // over the main window; Esc closes it.
  x.Focus(vintrel.window);
  x.Key("shift+F10");
  x.Key("Down");
  x.Key("Down");
  x.Key("Return");
  const unsigned long about = x.WaitForWindow("About", 10000);
  ASSERT_NE(about, 0u) << "no About window";
  // Centred on it, as far as the screen's edge allows (this window stands in its corner); Qt
  // leaves room for a title bar it assumes where no window manager draws one.
  const QRect aboutAt = x.Geometry(about);
  const QPoint centred = vintrel.g.center() - QPoint(aboutAt.width() / 2, aboutAt.height() / 2);
  EXPECT_LE(
      (aboutAt.topLeft() - QPoint(std::max(0, centred.x()), std::max(0, centred.y()))).manhattanLength(), 52)
      << "not over the window";
  x.Screenshot().save(ShotDir() + "/about.png");
  x.Focus(about);
  x.Key("Escape");
  EXPECT_TRUE(WaitUntil([&] { return x.Windows("About").empty(); }, 5000)) << "Esc left About open";
  x.Click(vintrel.At(QPoint(440, 120)), 3);
  x.Key("Down");
  x.Key("Down");
  x.Key("Return");
  ASSERT_NE(x.WaitForWindow("About", 10000), 0u);

  // Closing the main window ends the program, the About window with it.
  x.Close(vintrel.window);
  EXPECT_EQ(vintrel.program.WaitForExit(), 0);
}

TEST(Program, WithoutCreditsFileSaysReinstallOverTheWindowThenEnds) {
  xtest::XServer& x = *g_x;
  QTemporaryDir dir;
  const QString copy = dir.path() + "/vintrel";
  ASSERT_TRUE(QFile::copy(ProgramPath(), copy));
  QFile::setPermissions(copy, QFile::permissions(ProgramPath()));
  ASSERT_FALSE(QFile::exists(dir.path() + "/thanks.txt"));

  xtest::Program vintrel(x, copy);
  // The main window is on screen, and the message over it.
  ASSERT_TRUE(WaitUntil([&] { return x.Windows("Vintrel").size() == 2; }, 20000)) << "not a window and a box";
  unsigned long window = 0, box = 0;
  for (unsigned long w : x.Windows("Vintrel")) (x.Geometry(w).size() == layout::kWindow ? window : box) = w;
  ASSERT_NE(window, 0u) << "the main window is not on screen";
  ASSERT_NE(box, 0u) << "no message box";
  EXPECT_TRUE(BoxSays(box, "Please re-install Vintrel"));
  x.Screenshot().save(ShotDir() + "/reinstall.png");
  EXPECT_TRUE(vintrel.Running()) << "the program waits for the message to be closed";
  x.Key("Return");
  EXPECT_EQ(vintrel.WaitForExit(), 1);
}

TEST(Program, StartsPlayingTheFileItIsGivenAndClosingWhileItPlaysEndsAtOnce) {
  xtest::XServer& x = *g_x;
  QTemporaryDir dir;
  const QString clip = testmedia::MakeClip(dir.path() + "/playing clip.mp4", 30);
  ASSERT_FALSE(clip.isEmpty());
  Started vintrel(x, {clip});
  ASSERT_NE(vintrel.window, 0u);

  // The picture comes, and it moves.
  QImage first;
  ASSERT_TRUE(WaitUntil(
      [&] {
        first = vintrel.Video();
        return Lit(first) > 0.5;
      },
      15000))
      << "no picture in the video area";
  first.save(ShotDir() + "/playing.png");
  QImage later;
  EXPECT_TRUE(WaitUntil(
      [&] {
        later = vintrel.Video();
        return Changed(first, later) > 0.05;
      },
      10000))
      << "the picture stands still";

  ASSERT_TRUE(vintrel.program.Running());
  x.Close(vintrel.window);
  EXPECT_EQ(vintrel.program.WaitForExit(5000), 0);
}

TEST(Program, APlayerThatCannotStartSaysSoAndTheProgramEnds) {
  xtest::XServer& x = *g_x;
  // An output option libmpv refuses: the player cannot be set up.
  xtest::Program vintrel(x, ProgramPath(), {"VINTREL_VO=null:no-such-option=1"});
  const unsigned long box = x.WaitForWindow("Vintrel");
  ASSERT_NE(box, 0u) << "no message box";
  EXPECT_NE(x.Geometry(box).size(), layout::kWindow) << "the main window came up";
  EXPECT_TRUE(BoxSays(box, "The video player could not be started.",
                      "The player refused the option vo=null:no-such-option=1: error setting option"));
  EXPECT_TRUE(vintrel.Running());
  x.Key("Return");
  // A normal end with a failure code, not a crash.
  EXPECT_EQ(vintrel.WaitForExit(), 1);
}

TEST(Program, WebsiteWithoutABrowserSaysSoAndTheProgramGoesOn) {
  xtest::XServer& x = *g_x;
  // Nothing a browser could be started with: no xdg-open or browser on PATH, no $BROWSER,
  // no desktop whose own opener would be tried.
  QTemporaryDir emptyBin;
  Started vintrel(x, {},
                  {"PATH=" + emptyBin.path(), "BROWSER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                   "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"});
  ASSERT_NE(vintrel.window, 0u);
  x.Click(vintrel.At(layout::kWebsiteButton));
  const unsigned long box = x.WaitForWindow("Vintrel", 10000, vintrel.window);
  ASSERT_NE(box, 0u) << "no message";
  EXPECT_TRUE(
      BoxSays(box, "Vintrel could not start a web browser.", "The page is at https://vintrel.example.org/"));
  x.Key("Escape");
  EXPECT_TRUE(WaitUntil([&] { return x.Windows("Vintrel").size() == 1; }, 10000)) << "Esc left the message";
  EXPECT_TRUE(vintrel.program.Running());

  // The window still answers: its context menu opens About.
  x.Click(vintrel.At(QPoint(440, 120)), 3);
  x.Key("Down");
  x.Key("Down");
  x.Key("Return");
  EXPECT_NE(x.WaitForWindow("About", 10000), 0u);
  x.Close(vintrel.window);
  EXPECT_EQ(vintrel.program.WaitForExit(), 0);
}

// A session bus of the test's own, with a notification service that keeps what it is sent.
class Notifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList summaries, bodies;
  bool Serve(const QString& address) {
    bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "notifications"));
    return bus_->isConnected() && bus_->registerService("org.freedesktop.Notifications") &&
           bus_->registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots);
  }
  ~Notifications() override {
    if (bus_) QDBusConnection::disconnectFromBus("notifications");
  }

 public slots:
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap&, int) {
    summaries << summary;
    bodies << body;
    return static_cast<uint>(summaries.size());
  }

 private:
  std::unique_ptr<QDBusConnection> bus_;
};

struct SessionBus {
  QProcess daemon;
  QString address;
  SessionBus() {
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (daemon.waitForReadyRead(10000)) address = QString::fromUtf8(daemon.readLine()).trimmed();
  }
  ~SessionBus() {
    daemon.terminate();
    daemon.waitForFinished(5000);
  }
};

// Closing the window during a save: the cut finishes its file, and the program stays until
// it has, to tell the desktop that it saved.
TEST(Program, ClosingDuringASaveLeavesTheCutToFinishItsFileAndTellsTheDesktop) {
  if (CutProgram().isEmpty()) GTEST_SKIP() << "vintrel-cut is not beside the program";
  SessionBus bus;
  if (bus.address.isEmpty()) GTEST_SKIP() << "no dbus-daemon to start a session bus with";
  Notifications notifications;
  ASSERT_TRUE(notifications.Serve(bus.address));
  xtest::XServer& x = *g_x;
  QTemporaryDir dir;
  // One key frame for the whole clip: every frame of the cut is encoded again, which takes
  // a few seconds at this size.
  const QString clip =
      testmedia::MakeClip(dir.path() + "/big.mp4", 14, "1280x720", "25",
                          {"-c:v", "libx264", "-preset", "ultrafast", "-g", "1000", "-pix_fmt", "yuv420p"});
  ASSERT_FALSE(clip.isEmpty());
  const QString out = dir.path() + "/cut of big.mp4";
  xtest::Program program(x, ProgramPath(), {"DBUS_SESSION_BUS_ADDRESS=" + bus.address}, {clip});
  const unsigned long window = x.WaitForWindow("big.mp4 - Vintrel");
  ASSERT_NE(window, 0u);
  const QRect g = x.Geometry(window);
  auto at = [&](const QRect& control) { return g.topLeft() + control.center(); };
  auto video = [&] {
    return x.Screenshot().copy(QRect(g.topLeft() + layout::kVideo.topLeft(), layout::kVideo.size()));
  };
  ASSERT_TRUE(WaitUntil([&] { return Lit(video()) > 0.5; }, 15000)) << "the clip does not play";
  x.Click(at(layout::kPlayButton));       // Pause
  x.Click(at(layout::kMarkStartButton));  // the second it has reached
  // Two clicks on the slider's groove, far right of the thumb: 5 seconds each.
  const QPoint groove = g.topLeft() + QPoint(layout::kSlider.right() - 25, layout::kSlider.center().y());
  x.Click(groove);
  x.Click(groove);
  x.Click(at(layout::kMarkEndButton));
  x.Click(at(layout::kSaveButton));
  ASSERT_NE(x.WaitForWindow("Save", 10000), 0u) << "no Save dialog";
  x.Key("ctrl+a");  // the dialog proposes a name of its own
  x.Type(out);
  x.Key("Return");

  // The cut is at work; the window is closed under it.
  ASSERT_TRUE(WaitUntil([&] { return ProcessRunning("vintrel-cut", "cut of big"); }, 10000))
      << "the cut did not start";
  x.Close(window);
  EXPECT_TRUE(WaitUntil([&] { return x.Windows("big.mp4 - Vintrel").empty(); }, 5000)) << "the window stays";
  EXPECT_TRUE(ProcessRunning("vintrel-cut", "cut of big")) << "the cut went with the window";
  // The notification comes once the cut is done; the program ends after it.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !notifications.summaries.isEmpty(); }, 120000))
      << "nobody was told";
  EXPECT_EQ(program.WaitForExit(10000), 0);
  ASSERT_EQ(notifications.summaries.size(), 1);
  EXPECT_EQ(notifications.summaries[0], "Done: cut of big.mp4");
  EXPECT_TRUE(notifications.bodies[0].contains("In " + dir.path())) << notifications.bodies[0].toStdString();
  const testmedia::ProbeResult cut = testmedia::Probe(out);
  ASSERT_TRUE(cut.ok) << "the cut did not finish the file";
  EXPECT_GE(cut.duration, 8.0);
  EXPECT_LE(cut.duration, 10.1);
}

}  // namespace

// The reference message boxes are drawn on the same server as the program's.
int main(int argc, char** argv) { return xtest::RunTestsOnPrivateServer(argc, argv, g_x); }

#include "program_test.moc"
