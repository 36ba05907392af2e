// Open and seek: the program's Open dialog and slider against libmpv alone, both drawing a
// 1280x720 clip into a window of the same size on the same X server.
#include <QTest>
#include <algorithm>

#include "bare_mpv.h"
#include "benches.h"
#include "program_rig.h"
#include "x11/ui_driver.h"
#include "x11/xsession.h"
#include "xscreen.h"

namespace bench {

namespace {

using vintrel::Form1;

std::function<bool(Rgb)> Shows(int clip, int second) {
  return [clip, second](Rgb c) {
    const auto s = MarkerSecond(c, clip);
    return s && *s == second;
  };
}

// The same comparison for open and for seek.
void Compare(Report& report, const QString& measure, const std::vector<double>& program,
             const std::vector<double>& bare) {
  if (program.empty() || bare.empty()) {
    report.rows.push_back({measure, "FAILED", "-", "-", "MISSED"});
    return;
  }
  const double p = Median(program), b = Median(bare);
  report.rows.push_back({measure, MsText(p), "bare libmpv " + MsText(b) + ", x1.2",
                         QString("%1x (%2)").arg(p / b, 0, 'f', 2).arg(Signed(p - b)),
                         Verdict(p <= 1.2 * b)});
}

// Every timed step starts from players at rest: just after a load or a seek, libmpv still
// reads ahead and decodes in the background, and the next command would pay for that.
void Settle() { uidriver::Watch(400); }

constexpr Point kBareOrigin{700, 420};  // where nothing of the program covers the bare player

}  // namespace

Report FirstOpen(const xtest::XServer& x, const QStringList& clips) {
  Report report;
  const std::string display = x.display().toStdString();
  PixelWatch watch(display);
  std::vector<double> program, bare, programDialog, programHidden, programPlay, programKnown, programFrame;
  std::vector<double> programDuration;
  std::vector<double> bareLoaded, bareFrame;
  const int n = Repeats(5);
  // The first pair is not counted: it loads the graphics driver into this process.
  for (int i = -1; i < n; ++i) {
    int width = 0, height = 0;
    {
      ProgramRig rig;
      Form1& f = rig.form();
      uidriver::WaitFor([&] { return f.isVisible(); }, 5000);
      Settle();
      const QPoint area = f.mpArea->mapToGlobal(QPoint(0, 0));
      width = f.mpArea->width();
      height = f.mpArea->height();
      Time chosen{};
      watch.Arm(MarkerOnScreen(area.x(), area.y(), width, height), Shows(0, 0));
      uidriver::Answer({ChoosePath(clips[0], &chosen)});
      QTest::mouseClick(f.Command4, Qt::LeftButton);
      const Time known = Clock::now();
      const bool opened = f.CurrentFile == clips[0] && f.H->maximum() == kClipSeconds;
      uidriver::WaitFor([&] { return watch.Fired(); }, 10000);
      const auto frame = watch.Disarm();
      if (i >= 0 && opened && frame) {
        program.push_back(Ms(std::max(known, *frame) - chosen));
        programDialog.push_back(Ms(rig.dialogReturned - chosen));
        programHidden.push_back(Ms(rig.dialogHidden - chosen));
        programKnown.push_back(Ms(known - chosen));
        programDuration.push_back(rig.PlayerMs("Duration", chosen));
        programFrame.push_back(Ms(*frame - chosen));
        programPlay.push_back(rig.PlayerMs("Play", chosen));
      }
    }
    {
      PlainWindow plain(display, kBareOrigin, width, height);
      BarePlayer player(static_cast<int64_t>(plain.id()));
      Settle();
      watch.Arm(MarkerOnScreen(kBareOrigin.x, kBareOrigin.y, width, height), Shows(0, 0));
      const Time asked = Clock::now();
      player.Load(clips[0].toStdString());
      player.WaitUntil([&] { return watch.Fired() && player.marks().loaded; }, 10);
      const auto frame = watch.Disarm();
      if (i >= 0 && frame && player.marks().loaded) {
        bare.push_back(Ms(std::max(*player.marks().loaded, *frame) - asked));
        bareLoaded.push_back(Ms(*player.marks().loaded - asked));
        bareFrame.push_back(Ms(*frame - asked));
      }
    }
  }
  Compare(report, "open, first file (Enter -> frame + length)", program, bare);
  report.details << "open, first file: a fresh window and player each time against a fresh libmpv handle"
                 << "open, first file, program: Enter -> frame + length: " + Samples(program) + " ms"
                 << "open, first file, program: Enter -> the dialog is hidden: " + Samples(programHidden) +
                        " ms; -> it hands back the path: " + Samples(programDialog) + " ms"
                 << "open, first file, program: in the player's Play: " + Samples(programPlay) +
                        " ms; in its Duration (after Play): " + Samples(programDuration) + " ms"
                 << "open, first file, program: Enter -> Open returns (length known): " +
                        Samples(programKnown) + " ms; -> first frame on screen: " + Samples(programFrame) +
                        " ms"
                 << "open, first file, bare: loadfile -> FILE_LOADED (length known): " + Samples(bareLoaded) +
                        " ms; -> first frame on screen: " + Samples(bareFrame) + " ms"
                 << "open, first file, bare: loadfile -> frame + length: " + Samples(bare) + " ms";
  return report;
}

Report OpenAndSeek(ProgramRig& rig, const xtest::XServer& x, const QStringList& clips) {
  Report report;
  Form1& f = rig.form();
  const std::string display = x.display().toStdString();
  PixelWatch watch(display);
  const QPoint area = f.mpArea->mapToGlobal(QPoint(0, 0));
  const int width = f.mpArea->width(), height = f.mpArea->height();
  const Point marker = MarkerOnScreen(area.x(), area.y(), width, height);
  // The bare player's window: the video area's size, where nothing of the program covers it.
  const Point bareOrigin = kBareOrigin;
  PlainWindow plain(display, bareOrigin, width, height);
  BarePlayer bare(static_cast<int64_t>(plain.id()));
  if (!watch.ok() || !plain.ok() || !bare.ok()) {
    report.rows.push_back({"open / seek", "FAILED (no X or no libmpv)", "-", "-", "MISSED"});
    return report;
  }
  const Point bareMarker = MarkerOnScreen(bareOrigin.x, bareOrigin.y, width, height);
  auto waitFired = [&](int timeoutMs) { return uidriver::WaitFor([&] { return watch.Fired(); }, timeoutMs); };
  auto settle = Settle;

  // --- open ----------------------------------------------------------------------------
  struct OpenTimes {
    double known = 0, frame = 0;  // from Enter in the dialog, ms
    double stop = 0, play = 0;    // in the player's Stop (the old file) and Play (the new one)
    double dialog = 0;            // until the dialog had handed the path to the program
  };
  std::vector<OpenTimes> programOpens;
  std::vector<double> dialogOpening;  // click on Open -> dialog on screen (not part of the figure)
  std::vector<double> programOpen, bareOpen, bareLoaded, bareRestart, bareFrame;
  // The chosen clip's first frame is told from the other clip's by its marker: the window
  // still shows the clip opened before it.
  auto openInProgram = [&](int clip) -> std::optional<double> {
    settle();
    Time chosen{};
    watch.Arm(marker, Shows(clip, 0));
    uidriver::Answer({ChoosePath(clips[clip], &chosen)});
    const Time clicked = Clock::now();
    QTest::mouseClick(f.Command4, Qt::LeftButton);  // returns once the clip plays and its length is known
    const Time known = Clock::now();
    dialogOpening.push_back(Ms(rig.dialogShown - clicked));
    const bool opened = f.CurrentFile == clips[clip] && f.H->maximum() == kClipSeconds;
    waitFired(10000);
    const auto frame = watch.Disarm();
    QTest::mouseClick(f.Command1, Qt::LeftButton);  // Pause: nothing plays while the other side is timed
    if (!opened || !frame) return std::nullopt;
    programOpens.push_back({Ms(known - chosen), Ms(*frame - chosen), rig.PlayerMs("Stop", chosen),
                            rig.PlayerMs("Play", chosen), Ms(rig.dialogReturned - chosen)});
    return Ms(std::max(known, *frame) - chosen);
  };
  int bareClip = -1;  // the clip the bare player holds
  auto openBare = [&](int clip) -> std::optional<double> {
    bareClip = clip;
    settle();
    watch.Arm(bareMarker, Shows(clip, 0));
    const Time asked = Clock::now();
    bare.Load(clips[clip].toStdString());
    bare.WaitUntil([&] { return watch.Fired() && bare.marks().loaded; }, 10);
    const auto frame = watch.Disarm();
    bare.SetPause(true);
    const auto& m = bare.marks();
    if (!frame || !m.loaded || !(m.duration > 0)) return std::nullopt;
    bareLoaded.push_back(Ms(*m.loaded - asked));
    if (m.restarted) bareRestart.push_back(Ms(*m.restarted - asked));
    bareFrame.push_back(Ms(*frame - asked));
    return Ms(std::max(*m.loaded, *frame) - asked);
  };
  // libmpv as the program drives it: the old file let go first, then the new one loaded.
  std::vector<double> bareStopLoad, bareStopped, bareLoadAfterStop;
  auto stopThenLoadBare = [&](int clip) {
    bareClip = clip;
    settle();
    watch.Arm(bareMarker, Shows(clip, 0));
    const Time asked = Clock::now();
    bare.Stop();
    bare.WaitUntil([&] { return bare.marks().ended.has_value(); }, 10);
    const Time stopped = Clock::now();
    bare.Load(clips[clip].toStdString());
    bare.WaitUntil([&] { return watch.Fired() && bare.marks().loaded; }, 10);
    const auto frame = watch.Disarm();
    bare.SetPause(true);
    if (frame && bare.marks().loaded) {
      bareStopLoad.push_back(Ms(std::max(*bare.marks().loaded, *frame) - asked));
      bareStopped.push_back(Ms(stopped - asked));
      bareLoadAfterStop.push_back(Ms(std::max(*bare.marks().loaded, *frame) - stopped));
    }
  };
  // Each side opens clip 1 first, untimed: the player's first start, the disk cache.
  openInProgram(1);
  openBare(1);
  programOpens.clear();
  dialogOpening.clear();
  bareLoaded.clear();
  bareRestart.clear();
  bareFrame.clear();
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
  // The same clips once more through stop-then-load, for where the time goes.
  for (int i = 0; i < n; ++i) stopThenLoadBare(1 - bareClip);
  Compare(report, "open, another file (Enter -> frame + length)", programOpen, bareOpen);
  std::vector<double> known, frame, stop, play, dialog;
  for (const OpenTimes& t : programOpens) {
    known.push_back(t.known);
    frame.push_back(t.frame);
    stop.push_back(t.stop);
    play.push_back(t.play);
    dialog.push_back(t.dialog);
  }
  report.details
      << "open, program: Enter -> Open returns (length known): " + Samples(known) + " ms"
      << "open, program: Enter -> first frame on screen: " + Samples(frame) + " ms"
      << "open, program: Enter -> the dialog hands back the path: " + Samples(dialog) + " ms"
      << "open, program: in the player's Stop (the old file let go): " + Samples(stop) + " ms"
      << "open, program: in the player's Play (loadfile until loaded): " + Samples(play) + " ms"
      << "open, bare: loadfile -> FILE_LOADED (length known): " + Samples(bareLoaded) + " ms"
      << "open, bare: loadfile -> PLAYBACK_RESTART: " + Samples(bareRestart) + " ms"
      << "open, bare: loadfile -> first frame on screen: " + Samples(bareFrame) + " ms"
      << "open, bare, stop then loadfile (as the program does): stop -> frame + length: " +
             Samples(bareStopLoad) + " ms"
      << "open, bare, stop then loadfile: stop -> END_FILE: " + Samples(bareStopped) +
             " ms; loadfile -> frame + length: " + Samples(bareLoadAfterStop) + " ms"
      << QString("open: video output of the bare player: %1").arg(QString::fromStdString(bare.CurrentVo()));

  // --- seek ----------------------------------------------------------------------------
  // Both halted on clip 0, then sent to the same seconds in the same order.
  if (f.CurrentFile != clips[0]) openInProgram(0);
  openBare(0);
  std::vector<double> programSeek, bareSeek, programReturn, bareRestartSeek;
  const int targets[] = {13, 4, 19, 8, 16, 2, 21, 11, 6, 17};
  const int seeks = std::min<int>(Repeats(8), std::size(targets));
  for (int i = 0; i < seeks; ++i) {
    const int second = targets[i];
    for (int side = 0; side < 2; ++side) {
      settle();
      if ((side + i) % 2 == 0) {
        f.H->setValue(second);
        watch.Arm(marker, Shows(0, second));
        const Time clicked = Clock::now();
        emit f.H->Click();  // what a release on the slider sends once the thumb stands at `second`
        const Time returned = Clock::now();
        waitFired(10000);
        if (const auto shown = watch.Disarm()) {
          programSeek.push_back(Ms(std::max(*shown, returned) - clicked));
          programReturn.push_back(Ms(returned - clicked));
        }
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
  Compare(report, "seek (slider click -> frame)", programSeek, bareSeek);
  // Each target costs its own decoding from the key frame before it; pairs cancel that out.
  std::vector<double> pairDifferences;
  for (size_t i = 0; i < std::min(programSeek.size(), bareSeek.size()); ++i) {
    pairDifferences.push_back(programSeek[i] - bareSeek[i]);
  }
  QStringList order;
  for (int i = 0; i < seeks; ++i) order << QString::number(targets[i]);
  report.details << "seek targets, in order (s): " + order.join(", ")
                 << "seek, program: click -> new frame on screen: " + Samples(programSeek) + " ms"
                 << "seek, program: click -> H_Click returns: " + Samples(programReturn) + " ms"
                 << "seek, bare: seek -> new frame on screen: " + Samples(bareSeek) + " ms"
                 << "seek, bare: seek -> PLAYBACK_RESTART: " + Samples(bareRestartSeek) + " ms"
                 << QString("seek: program minus bare, same target: median %1 ms")
                        .arg(Median(pairDifferences), 0, 'f', 1);
  bare.SetPause(true);
  return report;
}

}  // namespace bench
