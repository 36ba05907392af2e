// Play Selected and Save: how long the window leaves posted events waiting meanwhile, and
// Save of a 30 s cut against vintrel-cut run from the command line and the encoder run bare.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QFile>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include "benches.h"
#include "hands.h"
#include "media.h"
#include "posted_events.h"
#include "program_rig.h"

extern char** environ;

#include "platform/spawn.h"

namespace bench {

namespace {

using vintrel::MainWindow;

// Opens the clip through the Open dialog unless it is open already, and halts it.
bool OpenHalted(ProgramRig& rig, const QString& clip) {
  MainWindow& w = rig.window();
  if (w.session().file() != clip) {
    Time chosen{};
    rig.loaded.reset();
    Answer({ChoosePath(clip, &chosen)});
    QTest::mouseClick(w.openButton, Qt::LeftButton);
    ForgetAnswers();
    WaitFor([&] { return rig.loaded.has_value(); }, 10000);
  }
  if (w.session().isPlaying()) QTest::mouseClick(w.playButton, Qt::LeftButton);
  Watch(300);
  return w.session().file() == clip && w.player().isLoaded();
}

// Marks a stretch as a user does: thumb to the second, then Mark Start or Mark End.
bool Mark(MainWindow& w, int start, int end) {
  DragSlider(w.positionSlider, start);
  QTest::mouseClick(w.markStartButton, Qt::LeftButton);
  DragSlider(w.positionSlider, end);
  QTest::mouseClick(w.markEndButton, Qt::LeftButton);
  return w.session().markStart() == start && w.session().markEnd() == end;
}

double Longest(const std::vector<double>& waits) {
  return waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end());
}

QString OneDecimal(double ms) { return QString("%1 ms").arg(ms, 0, 'f', 1); }

// The posted-event rows of a stretch of time: the longest wait and the 99th percentile,
// against the limit and, when given, the same probe beside an idle window.
void WaitRows(Report& report, const QString& during, const std::vector<double>& waits,
              const std::vector<double>& idle = {}) {
  const double longest = Longest(waits), p99 = Percentile(waits, 0.99);
  const QString idleMax = idle.empty() ? QString() : "; idle window " + OneDecimal(Longest(idle));
  const QString idleP99 = idle.empty() ? QString() : "; idle window " + OneDecimal(Percentile(idle, 0.99));
  report.rows.push_back({"posted event wait, " + during + ": max", OneDecimal(longest), "20 ms" + idleMax,
                         Signed(longest - 20), Verdict(longest <= 20)});
  report.rows.push_back({"posted event wait, " + during + ": p99", OneDecimal(p99), "20 ms" + idleP99,
                         Signed(p99 - 20), Verdict(p99 <= 20)});
}

// The processor time (user + system, seconds) of this process's children that have ended
// and been waited for, and of their own waited-for children: vintrel-cut with its encoders.
double ChildrenCpu() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](timeval t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A program run to its end with nothing of ours around it: its wall time in ms, or nothing
// when it failed. Output and errors go nowhere.
std::optional<double> RunBare(const QString& program, const QStringList& args) {
  const Time started = Clock::now();
  const std::optional<pid_t> pid = vintrel::spawnProgram(program, args);
  if (!pid) return std::nullopt;
  int status = 0;
  waitpid(*pid, &status, 0);
  const Time ended = Clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return Ms(ended - started);
}

bool CutOk(const QString& path, double seconds) {
  const testmedia::ProbeResult cut = testmedia::Probe(path);
  return cut.ok && cut.streams >= 1 && std::abs(cut.duration - seconds) < 0.5;
}

}  // namespace

Report PlaySelectedWait(ProgramRig& rig, const QStringList& clips) {
  Report report;
  MainWindow& w = rig.window();
  const int start = 2, end = 7;
  if (!OpenHalted(rig, clips[0]) || !Mark(w, start, end)) {
    report.rows.push_back({"posted event wait, Play Selected", "FAILED (open or marks)", "-", "-", "MISSED"});
    return report;
  }
  Watch(400);
  PostedEventProbe probe;
  probe.Start();
  const Time from = Clock::now();
  QTest::mouseClick(w.playSelectedButton, Qt::LeftButton);
  // It plays the stretch and halts at the end mark.
  const bool halted = WaitFor([&] { return w.session().isPlaying(); }, 2000) &&
                      WaitFor([&] { return !w.session().isPlaying(); }, 20000);
  const Time to = Clock::now();
  probe.Stop();
  if (!halted) {
    report.rows.push_back({"posted event wait, Play Selected", "FAILED (did not halt)", "-", "-", "MISSED"});
    return report;
  }
  const std::vector<double> waits = probe.WaitsMs(from, to);
  WaitRows(report, "Play Selected", waits);
  report.details << QString(
                        "Play Selected %1..%2 s ran %3 ms (click -> halted at the end mark); %4 events "
                        "posted every 5 ms; waits: median %5 ms, p99 %6 ms, max %7 ms")
                        .arg(start)
                        .arg(end)
                        .arg(Ms(to - from), 0, 'f', 0)
                        .arg(waits.size())
                        .arg(Median(waits), 0, 'f', 2)
                        .arg(Percentile(waits, 0.99), 0, 'f', 2)
                        .arg(waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end()), 0, 'f', 2);
  return report;
}

Report Export(ProgramRig& rig, const QString& mediaFolder, const QString& workFolder) {
  Report report;
  MainWindow& w = rig.window();
  const QString clip = ExportClip(mediaFolder);
  if (clip.isEmpty()) {
    report.rows.push_back({"export", "FAILED (the 720p clip could not be made)", "-", "-", "MISSED"});
    return report;
  }
  const int start = 7, end = start + 30;
  const QString out = workFolder + "/cut.mp4";
  const QString cutProgram = CutProgram();
  const int n = Repeats(3);

  // The encoder bare: a full re-encode, and a stream copy, of the same 30 s.
  const QStringList common{"-hide_banner",
                           "-loglevel",
                           "error",
                           "-nostdin",
                           "-y",
                           "-ss",
                           QString::number(start),
                           "-t",
                           QString::number(end - start),
                           "-i",
                           clip};
  std::vector<double> reencode, copy, program, cli, dialog, afterEnter, toJob, jobRun, jobToDone, saveWaits;
  // The longest wait per run in each part of Save: the dialog coming up, the user in it, from
  // Enter to the cut's start, the cut running, and its end to "Done".
  std::vector<double> waitOpening, waitInDialog, waitStarting, waitRunning, waitEnding;
  QString failure;
  std::vector<double> reencodeCpu, copyCpu, cliCpu, programCpu;
  std::vector<double> idleWaits;  // posted events while vintrel-cut runs from the command line
  PostedEventProbe probe;
  auto bare = [&](const QStringList& extra, std::vector<double>& into) {
    QFile::remove(out);
    const double cpu0 = ChildrenCpu();
    const auto t = RunBare("ffmpeg", common + extra + QStringList{out});
    (extra.isEmpty() ? reencodeCpu : copyCpu).push_back(ChildrenCpu() - cpu0);
    if (!t || !CutOk(out, end - start)) {
      failure = "FAILED (the bare encoder)";
      return;
    }
    into.push_back(*t);
  };
  // vintrel-cut as a user runs it from a terminal, with the arguments Save gives it.
  auto fromCommandLine = [&] {
    QFile::remove(out);
    vintrel::CutRequest request{clip, out, start, end, false};
    // Run from a thread while the window stands idle in its event loop: the posted events'
    // waits meanwhile are what the machine alone costs them while a cut runs.
    const double cpu0 = ChildrenCpu();
    std::optional<double> t;
    std::atomic<bool> ended{false};
    probe.Start();
    const Time from = Clock::now();
    std::thread runner([&] {
      t = RunBare(cutProgram, vintrel::cutArguments(request));
      ended = true;
    });
    WaitFor([&] { return ended.load(); }, 600000);
    runner.join();
    const Time to = Clock::now();
    probe.Stop();
    cliCpu.push_back(ChildrenCpu() - cpu0);
    const std::vector<double> waits = probe.WaitsMs(from, to);
    idleWaits.insert(idleWaits.end(), waits.begin(), waits.end());
    if (!t || !CutOk(out, end - start)) {
      failure = "FAILED (vintrel-cut from the command line)";
      return;
    }
    cli.push_back(*t);
  };
  // Save in the program: the path typed into its dialog, until "Done" is on screen.
  auto saveInProgram = [&] {
    QFile::remove(out);
    rig.boxes.clear();
    rig.cuts.clear();
    Time chosen{};
    Answer({ChoosePath(out, &chosen), Press("OK")});
    probe.Start();
    const double cpu0 = ChildrenCpu();
    const Time clicked = Clock::now();
    QTest::mouseClick(w.saveButton, Qt::LeftButton);  // returns once the cut has started
    WaitFor([&] { return !rig.boxes.empty(); }, 300000);
    const Time boxed = Clock::now();
    programCpu.push_back(ChildrenCpu() - cpu0);
    WaitFor([&] { return PendingAnswers() == 0; }, 5000);
    probe.Stop();
    ForgetAnswers();
    const auto done = rig.BoxShown(vintrel::kSaved);
    if (!done || rig.cuts.empty() || !rig.cuts.back().finished || !CutOk(out, end - start)) {
      failure =
          QString("FAILED (%1)")
              .arg(rig.boxes.empty() ? QString("no message")
                                     : "\"" + rig.boxes.front().text + "\" " +
                                           (rig.cuts.empty() ? QString() : rig.cuts.back().outcome.reason));
      return;
    }
    const ProgramRig::Cut& cut = rig.cuts.back();
    // The user's time in the dialog (from its coming up to Enter) is no work of the program.
    dialog.push_back(Ms(rig.dialogShown - clicked));
    afterEnter.push_back(Ms(*done - chosen));
    program.push_back(dialog.back() + afterEnter.back());
    toJob.push_back(Ms(cut.made - chosen));
    jobRun.push_back(Ms(*cut.finished - cut.made));
    jobToDone.push_back(Ms(*done - *cut.finished));
    auto longest = [&](Time from, Time to) {
      const std::vector<double> w = probe.WaitsMs(from, to);
      return w.empty() ? 0.0 : *std::max_element(w.begin(), w.end());
    };
    waitOpening.push_back(longest(clicked, rig.dialogShown));
    waitInDialog.push_back(longest(rig.dialogShown, chosen));
    waitStarting.push_back(longest(chosen, cut.made));
    waitRunning.push_back(longest(cut.made, *cut.finished));
    waitEnding.push_back(longest(*cut.finished, boxed));
    const std::vector<double> waits = probe.WaitsMs(clicked, boxed);
    saveWaits.insert(saveWaits.end(), waits.begin(), waits.end());
  };

  const bool haveCut = !cutProgram.isEmpty();
  if (haveCut && !(OpenHalted(rig, clip) && Mark(w, start, end))) failure = "FAILED (open or marks)";
  // The program and the command line take turns at going first.
  for (int i = 0; i < n && failure.isEmpty(); ++i) {
    if (haveCut) {
      if (i % 2 == 0) {
        saveInProgram();
        if (failure.isEmpty()) fromCommandLine();
      } else {
        fromCommandLine();
        if (failure.isEmpty()) saveInProgram();
      }
    }
    if (failure.isEmpty()) bare({"-c", "copy"}, copy);
  }
  // A full re-encode takes much longer than the rest; fewer turns of it.
  for (int i = 0; i < std::max(1, n / 3) && failure.isEmpty(); ++i) bare({}, reencode);
  QFile::remove(out);
  if (!failure.isEmpty()) {
    report.rows.push_back({"export", failure, "-", "-", "MISSED"});
    return report;
  }

  const double c = Median(copy), r = Median(reencode);
  const QString bareLine = QString("re-encode %1; stream copy %2").arg(MsText(r), MsText(c));
  if (!haveCut) {
    const QString skipped = "skipped: no vintrel-cut in " + BuildFolder();
    report.rows.push_back({"export, Save click -> \"Done\" (less typing)", skipped, bareLine, "-", "-"});
    report.rows.push_back({"export, vintrel-cut from the command line", skipped, bareLine, "-", "-"});
    report.rows.push_back({"posted event wait, Save: max / p99", skipped, "20 ms", "-", "-"});
  } else {
    const double p = Median(program), l = Median(cli);
    report.rows.push_back(
        {"export, Save click -> \"Done\" (less typing)", MsText(p),
         "vintrel-cut alone " + MsText(l) + "; " + bareLine,
         QString("%1 over vintrel-cut; %2x re-encode").arg(Signed(p - l)).arg(p / r, 0, 'f', 2), "-"});
    report.rows.push_back(
        {"export, vintrel-cut from the command line", MsText(l), bareLine,
         QString("%1x re-encode, %2x stream copy").arg(l / r, 0, 'f', 2).arg(l / c, 0, 'f', 2), "-"});
    // The same work takes the same processor time however busy the machine is.
    const double pc = Median(programCpu), lc = Median(cliCpu);
    report.rows.push_back(
        {"export, processor time of the cut, Save", QString("%1 s").arg(pc, 0, 'f', 1),
         QString("command line %1 s; re-encode %2 s").arg(lc, 0, 'f', 1).arg(Median(reencodeCpu), 0, 'f', 1),
         QString("%1x command line").arg(pc / lc, 0, 'f', 2), "-"});
    WaitRows(report, "Save (click -> \"Done\")", saveWaits, idleWaits);
    // The cut itself, without the Save dialog coming and going on the GUI thread.
    const double running = Longest(waitRunning);
    report.rows.push_back({"posted event wait, while the cut runs: max", OneDecimal(running),
                           "20 ms; idle window " + OneDecimal(Longest(idleWaits)), Signed(running - 20),
                           Verdict(running <= 20)});
  }
  report.details
      << QString(
             "export: seconds %1 to %2 of a %3 s 1280x720 H.264 (key frame every 2 s) + AAC clip, to .mp4")
             .arg(start)
             .arg(end)
             .arg(kExportClipSeconds)
      << "export, bare re-encode: ffmpeg " + (common + QStringList{out}).join(' ') + ": " +
             Samples(reencode) + " ms"
      << "export, bare stream copy: ffmpeg " + (common + QStringList{"-c", "copy", out}).join(' ') + ": " +
             Samples(copy) + " ms"
      << "export, processor time (user + system, s) of the encoder bare: re-encode " +
             Samples(reencodeCpu, 1) + "; stream copy " + Samples(copyCpu, 2);
  if (haveCut) {
    vintrel::CutRequest request{clip, out, start, end, false};
    report.details
        << "export, command line: " + cutProgram + " " + vintrel::cutArguments(request).join(' ') + ": " +
               Samples(cli) + " ms"
        << "export, processor time (user + system, s) of vintrel-cut with its encoder and checks: from the "
           "command "
           "line " +
               Samples(cliCpu, 1) + "; from Save " + Samples(programCpu, 1)
        << "export, program: click -> \"Done\" less the user's time in the dialog: " + Samples(program) +
               " ms"
        << "export, program: click on Save -> dialog on screen: " + Samples(dialog) +
               " ms; Enter -> \"Done\" on screen: " + Samples(afterEnter) + " ms"
        << "export, program: Enter -> cut job made: " + Samples(toJob, 1) +
               " ms; job made -> it saw vintrel-cut end: " + Samples(jobRun) +
               " ms; -> \"Done\" on screen: " + Samples(jobToDone, 1) + " ms"
        << QString("export, program: posted events during Save: %1, median wait %2 ms")
               .arg(saveWaits.size())
               .arg(Median(saveWaits), 0, 'f', 2)
        << "export, idle window while vintrel-cut runs from the command line: longest posted-event wait " +
               OneDecimal(Longest(idleWaits)) + ", p99 " + OneDecimal(Percentile(idleWaits, 0.99)) +
               QString(" (%1 events)").arg(idleWaits.size())
        << "export, program: longest posted-event wait per run (ms): click -> dialog on screen: " +
               Samples(waitOpening, 1) + "; in the dialog: " + Samples(waitInDialog, 1) +
               "; Enter -> cut job made: " + Samples(waitStarting, 1) +
               "; cut running: " + Samples(waitRunning, 1) +
               "; its end -> \"Done\" answered: " + Samples(waitEnding, 1);
  }
  return report;
}

}  // namespace bench
