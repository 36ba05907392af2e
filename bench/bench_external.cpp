// The built program as a separate process: start-up to its window, and its memory while a
// 720p clip plays and over repeated opens, the latter against libmpv alone in a process of
// its own (vintrel_bench_bare).
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "benches.h"
#include "platform/spawn.h"
#include "x11/xsession.h"
#include "xscreen.h"

namespace bench {

namespace {

// A start of our own rather than QProcess: nothing of ours between the clock and the program.
pid_t Launch(const QString& program, const QStringList& environment) {
  vintrel::SpawnOptions options;
  options.output = 1;
  options.errors = 2;
  options.environment = environment;
  return vintrel::spawnProgram(program, {}, options).value_or(0);
}

// Closes the window as its close box does and waits for the program to end.
void Finish(const xtest::XServer& x, pid_t pid, unsigned long window) {
  if (window) x.Close(window);
  for (int i = 0; i < 500; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    QThread::msleep(10);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool WaitFired(PixelWatch& watch, int timeoutMs) {
  const Time deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!watch.Fired() && Clock::now() < deadline) QThread::msleep(2);
  return watch.Fired();
}

bool White(Rgb c) { return c.r > 240 && c.g > 240 && c.b > 240; }

// Where the resident memory lies: the mappings' resident sizes summed by what they map
// (a library, the heap, anonymous memory), the largest first, in MiB.
QString LargestMappings(pid_t pid, int count) {
  QFile smaps(QString("/proc/%1/smaps").arg(pid));
  if (!smaps.open(QIODevice::ReadOnly)) return {};
  std::map<QString, double> byName;
  QString name;
  static const QRegularExpression header(R"(^[0-9a-f]+-[0-9a-f]+\s)");
  for (const QByteArray& raw : smaps.readAll().split('\n')) {
    const QString line = QString::fromLocal8Bit(raw);
    if (header.match(line).hasMatch()) {
      const QStringList parts = line.simplified().split(' ');
      name = parts.size() >= 6 ? parts.mid(5).join(' ') : "[anonymous]";
      name = name.section('/', -1);
    } else if (line.startsWith("Rss:")) {
      byName[name] += line.simplified().section(' ', 1, 1).toDouble() / 1024.0;
    }
  }
  std::vector<std::pair<double, QString>> sorted;
  for (const auto& [n, mib] : byName) sorted.push_back({mib, n});
  std::sort(sorted.rbegin(), sorted.rend());
  QStringList parts;
  for (int i = 0; i < count && i < static_cast<int>(sorted.size()); ++i) {
    parts << QString("%1 %2").arg(sorted[i].second).arg(sorted[i].first, 0, 'f', 1);
  }
  return parts.join(", ");
}

// The program started and its window painted.
struct Running {
  pid_t pid = 0;
  std::optional<MapWatch::Mapped> window;
};

Running StartAndWait(const xtest::XServer& x, MapWatch& maps, const QString& program) {
  Running r;
  r.pid = Launch(program, x.Env().toStringList());
  if (r.pid <= 0) return r;
  r.window = maps.Wait("Vintrel", 20000);
  if (r.window) {
    PixelWatch painted(x.display().toStdString());
    painted.Arm({r.window->origin.x + 440, r.window->origin.y + 120}, White);
    WaitFired(painted, 5000);
    painted.Disarm();
  }
  return r;
}

// Open as a user does it: the Open button, the path typed into the dialog, Enter. `armed`
// runs just before Enter, to start watching for the clip's first frame.
bool OpenThroughDialog(const xtest::XServer& x, MapWatch& maps, Point origin, const QString& path,
                       const std::function<void()>& armed) {
  // One xdotool run, without --sync: a pointer already on the spot would keep it waiting.
  x.Run("xdotool",
        {"mousemove", QString::number(origin.x + 450), QString::number(origin.y + 103), "click", "1"});
  const auto dialog = maps.Wait("Open", 10000);
  if (!dialog) return false;
  // Typing goes to the window with the keyboard focus: wait until the dialog has it (on a
  // busy machine that takes a while after it is mapped), and a moment for its name field.
  for (int i = 0; i < 60; ++i) {
    if (x.Run("xdotool", {"getwindowfocus"}).trimmed().toULong() == dialog->window) break;
    QThread::msleep(50);
  }
  QThread::msleep(150);
  x.Run("xdotool", {"type", "--delay", "4", path});
  armed();
  x.Run("xdotool", {"key", "Return"});
  return true;
}

// The VmRSS after open 1, after open 10 and after the last.
QString Curve(const std::vector<double>& rss) {
  if (rss.size() < 10) return "-";
  return QString("%1 / %2 / %3 MiB")
      .arg(rss.front(), 0, 'f', 1)
      .arg(rss[9], 0, 'f', 1)
      .arg(rss.back(), 0, 'f', 1);
}

}  // namespace

Report StartUp(const xtest::XServer& x, const QString& program) {
  Report report;
  const std::string display = x.display().toStdString();
  const QStringList environment = x.Env().toStringList();
  std::vector<double> mapped, painted;
  const int n = Repeats(5);
  // The first start fills the disk cache with the program and its libraries; not counted.
  for (int i = -1; i < n; ++i) {
    MapWatch maps(display);
    PixelWatch paint(display);
    const Time launched = Clock::now();
    const pid_t pid = Launch(program, environment);
    if (pid <= 0) break;
    const auto window = maps.Wait("Vintrel", 20000);
    std::optional<Time> drawn;
    if (window) {
      // The window's white background where no control stands: the window is painted.
      paint.Arm({window->origin.x + 440, window->origin.y + 120}, White);
      WaitFired(paint, 5000);
      drawn = paint.Disarm();
    }
    Finish(x, pid, window ? window->window : 0);
    if (i < 0 || !window) continue;
    mapped.push_back(Ms(window->when - launched));
    if (drawn) painted.push_back(Ms(*drawn - launched));
  }
  if (mapped.empty()) {
    report.rows.push_back({"start-up to window on screen", "FAILED", "500 ms", "-", "MISSED"});
    return report;
  }
  const double median = Median(mapped);
  report.rows.push_back(
      {"start-up to window mapped", MsText(median), "500 ms", Signed(median - 500), Verdict(median < 500)});
  if (!painted.empty()) {
    report.rows.push_back({"start-up to window painted", MsText(Median(painted)), "-", "-", "-"});
  }
  report.details << QString("start-up: launch -> MapNotify of \"Vintrel\": %1 ms").arg(Samples(mapped))
                 << QString("start-up: launch -> white background painted: %1 ms").arg(Samples(painted));
  return report;
}

Report Memory(const xtest::XServer& x, const QString& program, const QStringList& clips) {
  Report report;
  const std::string display = x.display().toStdString();

  // --- the window alone, then a 720p clip playing -----------------------------------------
  {
    MapWatch maps(display);
    const Running run = StartAndWait(x, maps, program);
    bool playing = false;
    double rss = 0, hwm = 0, idle = 0;
    QString idleMappings, playingMappings;
    if (run.window) {
      const Point origin = run.window->origin;
      QThread::msleep(500);
      idle = StatusMiB(run.pid, "VmRSS");
      idleMappings = LargestMappings(run.pid, 6);
      // Five seconds into the clip, read off the marker in the video area.
      PixelWatch watch(display);
      const Point marker = MarkerOnScreen(origin.x + 2, origin.y + 3, kAreaWidth, kAreaHeight);
      OpenThroughDialog(x, maps, origin, clips[0], [&] {
        watch.Arm(
            marker,
            [](Rgb c) {
              const auto second = MarkerSecond(c, 0);
              return second && *second >= 5;
            },
            10000);
      });
      playing = WaitFired(watch, 30000);
      watch.Disarm();
      rss = StatusMiB(run.pid, "VmRSS");
      hwm = StatusMiB(run.pid, "VmHWM");
      playingMappings = LargestMappings(run.pid, 8);
    }
    Finish(x, run.pid, run.window ? run.window->window : 0);
    if (!playing) {
      report.rows.push_back({"memory while a 720p clip plays", "FAILED (did not play)", "-", "-", "MISSED"});
    } else {
      report.rows.push_back({"memory, window only: VmRSS", MiBText(idle), "-", "-", "-"});
      report.rows.push_back({"memory while 720p plays: VmRSS", MiBText(rss), "-", "-", "-"});
      report.rows.push_back({"memory while 720p plays: VmHWM", MiBText(hwm), "-", "-", "-"});
      report.details
          << "memory: the built program, the clip opened through its Open dialog with xdotool, read from "
             "/proc/<pid>/status before opening and at second 5 of playback"
          << "memory, window only, largest resident mappings (MiB): " + idleMappings
          << "memory while playing, largest resident mappings (MiB): " + playingMappings;
    }
  }

  // --- over repeated opens ------------------------------------------------------------------
  const int opens = std::max(
      10, qEnvironmentVariableIntValue("BENCH_OPENS") > 0 ? qEnvironmentVariableIntValue("BENCH_OPENS") : 24);
  // Short names to type: the clips through links in a folder of their own.
  QTemporaryDir links(QDir::tempPath() + "/vb-XXXXXX");
  QStringList typed;
  for (int clip = 0; clip < 2; ++clip) {
    const QString link = QString("%1/%2.mp4").arg(links.path()).arg(clip);
    QFile::link(clips[clip], link);
    typed << link;
  }
  std::vector<double> programRss, programOpenMs;
  double programIdle = 0;
  int retries = 0;
  QString programEnd;
  {
    MapWatch maps(display);
    const Running run = StartAndWait(x, maps, program);
    if (run.window) {
      const Point origin = run.window->origin;
      PixelWatch watch(display);
      const Point marker = MarkerOnScreen(origin.x + 2, origin.y + 3, kAreaWidth, kAreaHeight);
      QThread::msleep(400);
      programIdle = StatusMiB(run.pid, "VmRSS");
      for (int i = 0; i < opens; ++i) {
        const int clip = i % 2;
        Time entered{};
        const bool asked = OpenThroughDialog(x, maps, origin, typed[clip], [&] {
          watch.Arm(marker, [clip](Rgb c) { return MarkerShows(c, clip, 0); });
          entered = Clock::now();
        });
        bool shown = asked && WaitFired(watch, 10000);
        if (!shown) {
          // Keys lost on a busy machine: the dialog, if still up, is closed and the open made again.
          watch.Disarm();
          x.Run("xdotool", {"key", "Escape"});
          QThread::msleep(500);
          ++retries;
          shown = OpenThroughDialog(x, maps, origin, typed[clip],
                                    [&] {
                                      watch.Arm(marker, [clip](Rgb c) { return MarkerShows(c, clip, 0); });
                                      entered = Clock::now();
                                    }) &&
                  WaitFired(watch, 10000);
        }
        const auto frame = watch.Disarm();
        if (!shown || !frame) break;
        // It plays a moment, as on the bare side, before its memory is read.
        QThread::msleep(300);
        programRss.push_back(StatusMiB(run.pid, "VmRSS"));
        programOpenMs.push_back(Ms(*frame - entered));
      }
      programEnd = LargestMappings(run.pid, 6);
    }
    Finish(x, run.pid, run.window ? run.window->window : 0);
  }
  std::vector<double> bareRss, bareOpenMs;
  double bareIdle = 0;
  {
    QProcess bare;
    QProcessEnvironment env = x.Env();
    bare.setProcessEnvironment(env);
    bare.start(qEnvironmentVariable("VINTREL_BENCH_BARE", VINTREL_BENCH_BARE),
               {QString::number(opens), clips[0], clips[1]});
    bare.waitForFinished(180000);
    for (const QString& line : QString::fromLatin1(bare.readAllStandardOutput()).split('\n')) {
      const QStringList f = line.split(' ', Qt::SkipEmptyParts);
      if (f.size() == 2 && f[0] == "idle") bareIdle = f[1].toDouble();
      if (f.size() == 4 && f[0] == "open" && f[3].toDouble() >= 0) {
        bareRss.push_back(f[2].toDouble());
        bareOpenMs.push_back(f[3].toDouble());
      }
    }
  }
  const bool complete =
      static_cast<int>(programRss.size()) == opens && static_cast<int>(bareRss.size()) == opens;
  const QString label = QString("memory over %1 opens: VmRSS after 1 / 10 / %1").arg(opens);
  if (!complete) {
    report.rows.push_back(
        {label, QString("FAILED (%1 and %2 opens done)").arg(programRss.size()).arg(bareRss.size()), "-", "-",
         "MISSED"});
  } else {
    const double programGrowth = programRss.back() - programRss[0];
    const double bareGrowth = bareRss.back() - bareRss[0];
    report.rows.push_back({label, Curve(programRss), "bare libmpv " + Curve(bareRss),
                           QString("growth %1%2 MiB against %3%4 MiB")
                               .arg(programGrowth >= 0 ? "+" : "")
                               .arg(programGrowth, 0, 'f', 1)
                               .arg(bareGrowth >= 0 ? "+" : "")
                               .arg(bareGrowth, 0, 'f', 1),
                           "-"});
  }
  report.details
      << QString(
             "memory over opens: the two clips in turn, each opened while the other plays; VmRSS read 300 ms "
             "after the new clip's first frame. Program: Open, the path typed, Enter (xdotool); bare: "
             "loadfile replace into a plain %1x%2 window, in a process of its own")
             .arg(kAreaWidth)
             .arg(kAreaHeight)
      << QString("memory over opens, program (MiB, before the first: %1): %2")
             .arg(programIdle, 0, 'f', 1)
             .arg(Samples(programRss, 1))
      << QString("memory over opens, bare libmpv (MiB, before the first: %1): %2")
             .arg(bareIdle, 0, 'f', 1)
             .arg(Samples(bareRss, 1))
      << "memory over opens, program: Enter -> the new clip's first frame (ms): " + Samples(programOpenMs) +
             QString(" (%1 opens made again after lost keys)").arg(retries)
      << "memory over opens, bare: loadfile -> the new clip's first frame (ms): " + Samples(bareOpenMs)
      << "memory after the last open, program, largest resident mappings (MiB): " + programEnd;
  return report;
}

}  // namespace bench
