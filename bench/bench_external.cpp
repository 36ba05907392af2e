// The built program as a separate process: start-up to its window, and its memory while
// a 720p clip plays.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <map>
#include <vector>

#include "benches.h"
#include "x11/xsession.h"
#include "xscreen.h"

namespace bench {

namespace {

// posix_spawn rather than QProcess: nothing of ours between the clock and the program.
pid_t Launch(const QString& program, const QStringList& environment) {
  std::vector<QByteArray> storage{QFile::encodeName(program)};
  std::vector<QByteArray> envStorage;
  for (const QString& kv : environment) envStorage.push_back(kv.toLocal8Bit());
  std::vector<char*> argv{storage[0].data(), nullptr};
  std::vector<char*> envp;
  for (QByteArray& kv : envStorage) envp.push_back(kv.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) return 0;
  return pid;
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

// A line of /proc/<pid>/status, in MiB.
double StatusMiB(pid_t pid, const QString& key) {
  QFile status(QString("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  const QString text = QString::fromLatin1(status.readAll());
  const auto m = QRegularExpression(key + R"(:\s*(\d+)\s*kB)").match(text);
  return m.hasMatch() ? m.captured(1).toDouble() / 1024.0 : 0;
}

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

Report Memory(const xtest::XServer& x, const QString& program, const QString& clip) {
  Report report;
  const std::string display = x.display().toStdString();
  MapWatch maps(display);
  const pid_t pid = Launch(program, x.Env().toStringList());
  const auto window = maps.Wait("Vintrel", 20000);
  bool playing = false;
  double rss = 0, hwm = 0, idle = 0;
  QString idleMappings, playingMappings;
  if (window) {
    const Point origin = window->origin;
    // The window alone, before anything is opened.
    PixelWatch painted(display);
    painted.Arm({origin.x + 440, origin.y + 120}, White);
    WaitFired(painted, 5000);
    painted.Disarm();
    QThread::msleep(500);
    idle = StatusMiB(pid, "VmRSS");
    idleMappings = LargestMappings(pid, 6);
    x.Click(QPoint(origin.x + 450, origin.y + 103));  // Open
    // The dialog comes up with the file name field focused.
    if (maps.Wait("", 10000)) QThread::msleep(500);
    x.Type(clip);
    x.Key("Return");
    // Five seconds into the clip, read off the marker in the video area.
    PixelWatch watch(display);
    const Point marker = MarkerOnScreen(origin.x + 2, origin.y + 3, 404, 288);
    watch.Arm(
        marker,
        [](Rgb c) {
          const auto second = MarkerSecond(c, 0);
          return second && *second >= 5;
        },
        10000);
    playing = WaitFired(watch, 30000);
    watch.Disarm();
    rss = StatusMiB(pid, "VmRSS");
    hwm = StatusMiB(pid, "VmHWM");
    playingMappings = LargestMappings(pid, 8);
  }
  Finish(x, pid, window ? window->window : 0);
  if (!playing) {
    report.rows.push_back({"memory while a 720p clip plays", "FAILED (did not play)", "-", "-", "MISSED"});
    return report;
  }
  report.rows.push_back(
      {"memory, window only: VmRSS", QString("%1 MiB").arg(idle, 0, 'f', 1), "-", "-", "-"});
  report.rows.push_back(
      {"memory while 720p plays: VmRSS", QString("%1 MiB").arg(rss, 0, 'f', 1), "-", "-", "-"});
  report.rows.push_back(
      {"memory while 720p plays: VmHWM", QString("%1 MiB").arg(hwm, 0, 'f', 1), "-", "-", "-"});
  report.details
      << "memory: the built program, the clip opened through its Open dialog with xdotool, read from "
         "/proc/<pid>/status before opening and at second 5 of playback"
      << "memory, window only, largest resident mappings (MiB): " + idleMappings
      << "memory while playing, largest resident mappings (MiB): " + playingMappings;
  return report;
}

}  // namespace bench
