// Open and seek: the program's Open dialog and slider against libmpv alone, both drawing a
// 1280x720 clip into an area of the same size on the same X server.
#include <QTest>
#include <algorithm>

#include "bare_mpv.h"
#include "benches.h"
#include "hands.h"
#include "program_rig.h"
#include "x11/xsession.h"
#include "xscreen.h"

namespace bench {

namespace {

using vintrel::MainWindow;

std::function<bool(Rgb)> Shows(int clip, int second) {
  return [clip, second](Rgb c) { return MarkerShows(c, clip, second); };
}

// The same comparison for open and for seek.
void Compare(Report& report, const QString& measure, const std::vector<double>& program,
             const std::vector<double>& bare, double goal = 1.2) {
  if (program.empty() || bare.empty()) {
    report.rows.push_back({measure, "FAILED", "-", "-", "MISSED"});
    return;
  }
  const double p = Median(program), b = Median(bare);
  report.rows.push_back({measure, MsText(p), QString("bare libmpv %1, x%2").arg(MsText(b)).arg(goal),
                         QString("%1x (%2)").arg(p / b, 0, 'f', 2).arg(Signed(p - b)),
                         Verdict(p <= goal * b)});
}

// Every timed step starts from players at rest: just after a load or a seek, libmpv still
// reads ahead and decodes in the background, and the next command would pay for that.
void Settle() { Watch(400); }

Point AreaMarker(MainWindow& w) {
  const QPoint area = w.videoArea->mapToGlobal(QPoint(0, 0));
  return MarkerOnScreen(area.x(), area.y(), w.videoArea->width(), w.videoArea->height());
}

// The program's Open, the path typed into its dialog. Returns when the dialog has given the
// path to the program; `chosen` is the moment of Enter.
bool ClickOpen(ProgramRig& rig, const QString& path, Time* chosen) {
  Answer({ChoosePath(path, chosen)});
  QTest::mouseClick(rig.window().openButton, Qt::LeftButton);
  const bool answered = PendingAnswers() == 0;
  ForgetAnswers();
  return answered && rig.window().session().file() == path;
}

void PauseProgram(MainWindow& w) {
  if (w.session().isPlaying()) QTest::mouseClick(w.playButton, Qt::LeftButton);
}

}  // namespace

Report FirstOpen(const xtest::XServer& x, const QStringList& clips) {
  Report report;
  const std::string display = x.display().toStdString();
  PixelWatch watch(display);
  std::vector<double> program, programDialog, programKnown, bare, bareLoaded;
  const int n = Repeats(5);
  // The first pair is not counted: it loads the graphics driver into this process.
  for (int i = -1; i < n; ++i) {
    {
      ProgramRig rig;
      MainWindow& w = rig.window();
      Settle();
      Time chosen{};
      watch.Arm(AreaMarker(w), Shows(0, 0));
      const bool opened = ClickOpen(rig, clips[0], &chosen);
      WaitFor([&] { return watch.Fired() && rig.loaded; }, 10000);
      const auto frame = watch.Disarm();
      if (i >= 0 && opened && frame && rig.loaded) {
        program.push_back(Ms(*frame - chosen));
        programDialog.push_back(Ms(rig.dialogReturned - chosen));
        programKnown.push_back(Ms(*rig.loaded - chosen));
      }
    }
    {
      PlainWindow plain(display, kBareOrigin, kAreaWidth, kAreaHeight);
      BarePlayer player(static_cast<int64_t>(plain.id()));
      Settle();
      watch.Arm(MarkerOnScreen(kBareOrigin.x, kBareOrigin.y, kAreaWidth, kAreaHeight), Shows(0, 0));
      const Time asked = Clock::now();
      player.Load(clips[0].toStdString());
      player.WaitUntil([&] { return watch.Fired() && player.marks().loaded; }, 10);
      const auto frame = watch.Disarm();
      if (i >= 0 && frame && player.marks().loaded) {
        bare.push_back(Ms(*frame - asked));
        bareLoaded.push_back(Ms(*player.marks().loaded - asked));
      }
    }
  }
  Compare(report, "open, first file (Enter -> first frame)", program, bare);
  report.details << "open, first file: a fresh window and player each time against a fresh libmpv handle"
                 << "open, first file, program: Enter -> first frame on screen: " + Samples(program) + " ms"
                 << "open, first file, program: Enter -> the dialog hands back the path: " +
                        Samples(programDialog) + " ms; -> `loaded` (length known): " + Samples(programKnown) +
                        " ms"
                 << "open, first file, bare: loadfile -> first frame on screen: " + Samples(bare) +
                        " ms; -> FILE_LOADED: " + Samples(bareLoaded) + " ms";
  return report;
}

Report OpenAndSeek(ProgramRig& rig, const xtest::XServer& x, const QStringList& clips) {
  Report report;
  MainWindow& w = rig.window();
  const std::string display = x.display().toStdString();
  PixelWatch watch(display);
  const Point marker = AreaMarker(w);
  PlainWindow plain(display, kBareOrigin, kAreaWidth, kAreaHeight);
  BarePlayer bare(static_cast<int64_t>(plain.id()));
  if (!watch.ok() || !plain.ok() || !bare.ok()) {
    report.rows.push_back({"open / seek", "FAILED (no X or no libmpv)", "-", "-", "MISSED"});
    return report;
  }
  const Point bareMarker = MarkerOnScreen(kBareOrigin.x, kBareOrigin.y, kAreaWidth, kAreaHeight);

  // --- open another file while one plays ------------------------------------------------
  std::vector<double> programOpen, programKnown, programDialog, dialogOpening;
  std::vector<double> bareOpen, bareLoaded;
  // The chosen clip's first frame is told from the other clip's by its marker.
  auto openInProgram = [&](int clip) -> std::optional<double> {
    // The clip open now plays (the other side is halted) until the user opens another.
    if (w.session().hasFile() && !w.session().isPlaying()) QTest::mouseClick(w.playButton, Qt::LeftButton);
    Settle();
    Time chosen{};
    watch.Arm(marker, Shows(clip, 0));
    rig.loaded.reset();
    const Time clicked = Clock::now();
    const bool opened = ClickOpen(rig, clips[clip], &chosen);
    dialogOpening.push_back(Ms(rig.dialogShown - clicked));
    WaitFor([&] { return watch.Fired() && rig.loaded; }, 10000);
    const auto frame = watch.Disarm();
    PauseProgram(w);  // nothing plays while the other side is timed
    if (!opened || !frame || !rig.loaded) return std::nullopt;
    programKnown.push_back(Ms(*rig.loaded - chosen));
    programDialog.push_back(Ms(rig.dialogReturned - chosen));
    return Ms(*frame - chosen);
  };
  auto openBare = [&](int clip) -> std::optional<double> {
    bare.SetPause(false);
    Settle();
    watch.Arm(bareMarker, Shows(clip, 0));
    const Time asked = Clock::now();
    bare.Load(clips[clip].toStdString());
    bare.WaitUntil([&] { return watch.Fired() && bare.marks().loaded; }, 10);
    const auto frame = watch.Disarm();
    bare.SetPause(true);
    if (!frame || !bare.marks().loaded) return std::nullopt;
    bareLoaded.push_back(Ms(*bare.marks().loaded - asked));
    return Ms(*frame - asked);
  };
  // Each side opens clip 1 first, untimed: the player's first file, the disk cache.
  openInProgram(1);
  openBare(1);
  programKnown.clear();
  programDialog.clear();
  dialogOpening.clear();
  bareLoaded.clear();
  const int n = Repeats(6);
  for (int i = 0; i < n; ++i) {
    const int clip = i % 2 == 0 ? 0 : 1;
    // Turn about, so neither side always follows the other.
    for (int side = 0; side < 2; ++side) {
      if ((side + i) % 2 == 0) {
        if (const auto t = openInProgram(clip)) programOpen.push_back(*t);
      } else {
        if (const auto t = openBare(clip)) bareOpen.push_back(*t);
      }
    }
  }
  Compare(report, "open, another file (Enter -> first frame)", programOpen, bareOpen);
  report.details
      << "open, another file, program: Enter -> first frame of the new clip on screen: " +
             Samples(programOpen) + " ms"
      << "open, another file, program: Enter -> the dialog hands back the path: " + Samples(programDialog) +
             " ms; -> `loaded` (length known): " + Samples(programKnown) + " ms"
      << "open, another file, program: click on Open -> dialog on screen (not counted): " +
             Samples(dialogOpening) + " ms"
      << "open, another file, bare: loadfile replace -> first frame on screen: " + Samples(bareOpen) +
             " ms; -> FILE_LOADED: " + Samples(bareLoaded) + " ms"
      << QString("open: video output of the bare player: %1").arg(QString::fromStdString(bare.CurrentVo()));

  // --- seek ----------------------------------------------------------------------------
  // Both halted on clip 0, then sent to the same seconds in the same order.
  if (w.session().file() != clips[0]) openInProgram(0);
  PauseProgram(w);
  openBare(0);
  std::vector<double> programSeek, bareSeek, bareRestartSeek;
  const int targets[] = {13, 4, 19, 8, 16, 2, 21, 11, 6, 17};
  const int seeks = std::min<int>(Repeats(8), std::size(targets));
  for (int i = 0; i < seeks; ++i) {
    const int second = targets[i];
    for (int side = 0; side < 2; ++side) {
      Settle();
      if ((side + i) % 2 == 0) {
        w.positionSlider->setValue(second);
        watch.Arm(marker, Shows(0, second));
        const Time released = Clock::now();
        emit w.positionSlider->released();  // what letting go of the thumb at `second` sends
        WaitFor([&] { return watch.Fired(); }, 10000);
        if (const auto shown = watch.Disarm()) programSeek.push_back(Ms(*shown - released));
      } else {
        watch.Arm(bareMarker, Shows(0, second));
        const Time asked = Clock::now();
        bare.Seek(second);
        bare.WaitUntil([&] { return watch.Fired() && bare.marks().restarted; }, 10);
        if (const auto shown = watch.Disarm()) {
          bareSeek.push_back(Ms(*shown - asked));
          if (bare.marks().restarted) bareRestartSeek.push_back(Ms(*bare.marks().restarted - asked));
        }
      }
    }
  }
  Compare(report, "seek (slider released -> frame)", programSeek, bareSeek);
  // Each target costs its own decoding from the key frame before it; pairs cancel that out.
  std::vector<double> pairDifferences;
  for (size_t i = 0; i < std::min(programSeek.size(), bareSeek.size()); ++i) {
    pairDifferences.push_back(programSeek[i] - bareSeek[i]);
  }
  QStringList order;
  for (int i = 0; i < seeks; ++i) order << QString::number(targets[i]);
  report.details << "seek targets, in order (s): " + order.join(", ")
                 << "seek, program: release -> new frame on screen: " + Samples(programSeek) + " ms"
                 << "seek, bare: seek -> new frame on screen: " + Samples(bareSeek) +
                        " ms; -> PLAYBACK_RESTART: " + Samples(bareRestartSeek) + " ms"
                 << QString("seek: program minus bare, same target: median %1 ms")
                        .arg(Median(pairDifferences), 0, 'f', 1);
  bare.SetPause(true);
  return report;
}

}  // namespace bench
