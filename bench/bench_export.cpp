// Save against the same encoder command run bare, and how long the window leaves posted
// events waiting while Save and Play Selected wait.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QTest>
#include <algorithm>

#include "benches.h"
#include "media.h"
#include "posted_events.h"
#include "program_rig.h"
#include "x11/ui_driver.h"

namespace bench {

namespace {

using vintrel::Form1;

// Marks a stretch as a user does: thumb to the second, then Mark Start or Mark End.
bool Mark(Form1& f, int start, int end) {
  uidriver::DragSlider(f.H, start);
  QTest::mouseClick(f.Command5, Qt::LeftButton);
  uidriver::DragSlider(f.H, end);
  QTest::mouseClick(f.Command6, Qt::LeftButton);
  return f.SelStart == start && f.SelEnd == end;
}

// The X server's process, found by its display argument.
long XServerPid(const QString& display) {
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
    bool number = false;
    const long pid = entry.toLong(&number);
    if (!number) continue;
    QFile cmdline("/proc/" + entry + "/cmdline");
    if (!cmdline.open(QIODevice::ReadOnly)) continue;
    const QList<QByteArray> args = cmdline.readAll().split('\0');
    if (args.size() > 1 && args[0].endsWith("Xvfb") && args[1] == display.toLatin1()) return pid;
  }
  return 0;
}

bool OpenClip(ProgramRig& rig, const QString& clip) {
  Form1& f = rig.form();
  if (f.CurrentFile != clip) {
    Time chosen{};
    uidriver::Answer({ChoosePath(clip, &chosen)});
    QTest::mouseClick(f.Command4, Qt::LeftButton);
  }
  if (f.Command1->text() == "Pause") QTest::mouseClick(f.Command1, Qt::LeftButton);
  return f.CurrentFile == clip;
}

}  // namespace

Report PlaySelectedWait(ProgramRig& rig) {
  Report report;
  Form1& f = rig.form();
  if (!Mark(f, 2, 8)) {
    report.rows.push_back({"posted event wait, Play Selected", "FAILED (marks)", "-", "-", "-"});
    return report;
  }
  PostedEventProbe probe;
  probe.Start();
  const Time from = Clock::now();
  QTest::mouseClick(f.Command9, Qt::LeftButton);  // returns when the stretch has played
  const Time to = Clock::now();
  probe.Stop();
  const double longest = probe.LongestWaitMs(from, to);
  report.rows.push_back(
      {"posted event wait, Play Selected", MsText(longest), "none (200 ms sleeps)", "-", "-"});
  report.details << QString("Play Selected 2..8 s ran %1 ms; %2 events posted every 5 ms; longest wait %3 ms")
                        .arg(Ms(to - from), 0, 'f', 0)
                        .arg(probe.Count(from, to))
                        .arg(longest, 0, 'f', 1);
  return report;
}

Report Export(ProgramRig& rig, const QString& display, const QString& clip, const QString& folder) {
  Report report;
  Form1& f = rig.form();
  const int start = 2, end = start + 20;
  if (!OpenClip(rig, clip) || !Mark(f, start, end)) {
    report.rows.push_back({"export", "FAILED (open or marks)", "-", "-", "MISSED"});
    return report;
  }
  const QString out = folder + "/cut.mp4";
  PostedEventProbe probe;
  vintrel::PosixProcesses bareStarter;
  const long xvfb = XServerPid(display);

  std::vector<double> program, dialog, afterEnter, bare, before, encoder, noticed, toCheck, check, message,
      waits, saveWaits;
  std::vector<double> programCpu, bareCpu, guiCpu, xCpu, guiCpuBare, xCpuBare;
  QString encoderProgram;
  QStringList encoderArgs;
  QString failure;

  // The program: Save, the path typed into its dialog, until "Done" is on screen.
  auto saveInProgram = [&] {
    QFile::remove(out);
    rig.processes.Clear();
    rig.boxes.clear();
    Time chosen{};
    uidriver::Answer({ChoosePath(out, &chosen), uidriver::Press("OK")});
    const double gui0 = CpuSeconds(getpid()), x0 = CpuSeconds(xvfb);
    probe.Start();
    const Time clicked = Clock::now();
    QTest::mouseClick(f.Command7, Qt::LeftButton);
    probe.Stop();
    const auto done = rig.BoxShown("Done");
    const testmedia::ProbeResult cut = testmedia::Probe(out);
    if (!done || rig.processes.started.empty() || !cut.ok || std::abs(cut.duration - (end - start)) > 0.1) {
      failure = "FAILED (no \"Done\" or a wrong cut)";
      return;
    }
    const auto& run = *rig.processes.started.back();
    const auto ended = run.Ended();
    // The user's time in the dialog (from its coming up to Enter) is no work of the program.
    dialog.push_back(Ms(rig.dialogShown - clicked));
    afterEnter.push_back(Ms(*done - chosen));
    program.push_back(dialog.back() + afterEnter.back());
    before.push_back(Ms(run.called - chosen));
    if (ended) encoder.push_back(Ms(*ended - run.called));
    if (ended && run.noticed) noticed.push_back(Ms(*run.noticed - *ended));
    if (!rig.processes.helpers.empty()) {
      const auto& helper = rig.processes.helpers.back();
      check.push_back(Ms(helper.to - helper.from));
      if (run.noticed) toCheck.push_back(Ms(helper.from - *run.noticed));
      message.push_back(Ms(*done - helper.to));
    }
    programCpu.push_back(run.cpu);
    guiCpu.push_back(CpuSeconds(getpid()) - gui0);
    xCpu.push_back(CpuSeconds(xvfb) - x0);
    waits.push_back(probe.LongestWaitMs(run.called, run.noticed.value_or(*done)));
    saveWaits.push_back(probe.LongestWaitMs(chosen, *done));
    encoderProgram = run.program;
    encoderArgs = run.args;
  };
  // Bare: the same argument list through the same process start, waited for at once.
  auto runBare = [&] {
    QFile::remove(out);
    QTemporaryFile log(QDir::tempPath() + "/vintrel-bench-XXXXXX.log");
    log.open();
    const double gui0 = CpuSeconds(getpid()), x0 = CpuSeconds(xvfb);
    // The probe's thread runs here too (its events wait unseen), so both sides share its cost.
    probe.Start();
    const Time asked = Clock::now();
    const long pid = bareStarter.Start(encoderProgram, encoderArgs, log.fileName());
    int status = 0;
    rusage usage{};
    wait4(static_cast<pid_t>(pid), &status, 0, &usage);
    const Time exited = Clock::now();
    probe.Stop();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      failure = "FAILED (the bare encoder)";
      return;
    }
    bare.push_back(Ms(exited - asked));
    auto seconds = [](timeval t) { return t.tv_sec + t.tv_usec / 1e6; };
    bareCpu.push_back(seconds(usage.ru_utime) + seconds(usage.ru_stime));
    guiCpuBare.push_back(CpuSeconds(getpid()) - gui0);
    xCpuBare.push_back(CpuSeconds(xvfb) - x0);
  };
  // The first Save also learns the command; after that the two take turns at going first.
  const int n = Repeats(5);
  for (int i = 0; i < n && failure.isEmpty(); ++i) {
    if (i % 2 == 0) {
      saveInProgram();
      if (failure.isEmpty()) runBare();
    } else {
      runBare();
      if (failure.isEmpty()) saveInProgram();
    }
  }
  if (!failure.isEmpty()) {
    report.rows.push_back({"export", failure, "-", "-", "MISSED"});
    return report;
  }
  QFile::remove(out);

  const double p = Median(program), b = Median(bare);
  const double limit = std::max(1.05 * b, b + 150);
  report.rows.push_back({"export (click -> \"Done\", less typing)", MsText(p),
                         QString("bare %1; limit %2").arg(MsText(b), MsText(limit)),
                         QString("%1x, %2").arg(p / b, 0, 'f', 3).arg(Signed(p - b)), Verdict(p <= limit)});
  // The program's own share: everything from the click to "Done" but the encoder's run and
  // the user's typing. The
  // encoder's run alone varies by some per cent between identical runs on a shared machine.
  std::vector<double> share;
  for (size_t i = 0; i < program.size() && i < encoder.size(); ++i) share.push_back(program[i] - encoder[i]);
  const double ownShare = Median(share), ownLimit = std::max(0.05 * Median(encoder), 150.0);
  report.rows.push_back({"export, outside the encoder's run", MsText(ownShare),
                         QString("max(5% of the encoder's %1, 150 ms)").arg(MsText(Median(encoder))),
                         Signed(ownShare - ownLimit), Verdict(ownShare <= ownLimit)});
  const double wait = *std::max_element(waits.begin(), waits.end());
  report.rows.push_back({"posted event wait, encoder running", MsText(wait), "120 ms", Signed(wait - 120),
                         Verdict(wait <= 120)});
  const double saveWait = *std::max_element(saveWaits.begin(), saveWaits.end());
  report.rows.push_back({"posted event wait, Enter -> \"Done\"", MsText(saveWait), "120 ms",
                         Signed(saveWait - 120), Verdict(saveWait <= 120)});
  report.details << "export command: " + encoderProgram + " " + encoderArgs.join(' ')
                 << "export, program: click -> \"Done\" less the user's time in the dialog: " +
                        Samples(program) + " ms"
                 << "export, program: click on Save -> dialog on screen: " + Samples(dialog) +
                        " ms; Enter -> \"Done\" on screen: " + Samples(afterEnter) + " ms"
                 << "export, bare: start -> waitpid returns: " + Samples(bare) + " ms"
                 << "export, program: Enter -> encoder started: " + Samples(before, 1) + " ms"
                 << "export, program: encoder started -> encoder ended (pidfd): " + Samples(encoder) + " ms"
                 << "export, program: encoder ended -> program notices: " + Samples(noticed, 1) + " ms"
                 << "export, program: program notices -> result check starts: " + Samples(toCheck, 1) + " ms"
                 << "export, program: result check (ffprobe): " + Samples(check, 1) + " ms"
                 << "export, program: check done -> \"Done\" on screen: " + Samples(message, 1) + " ms"
                 << "export, encoder processor time (user+sys), program's run: " + Samples(programCpu, 2) +
                        " s; bare: " + Samples(bareCpu, 2) + " s"
                 << "export, processor time of this process (window, player) during the program's run: " +
                        Samples(guiCpu, 2) + " s; during the bare run: " + Samples(guiCpuBare, 2) + " s"
                 << "export, processor time of Xvfb during the program's run: " + Samples(xCpu, 2) +
                        " s; during the bare run: " + Samples(xCpuBare, 2) + " s"
                 << "export, program: outside the encoder's run: " + Samples(share) + " ms"
                 << "export: longest posted-event wait per run, encoder running: " + Samples(waits, 1) +
                        " ms; whole Save: " + Samples(saveWaits, 1) + " ms";
  return report;
}

}  // namespace bench
