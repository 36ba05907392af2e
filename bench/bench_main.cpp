// Runs every benchmark in one private X server and prints one table: each figure next to
// its limit or its baseline, measured in the same run on the same machine.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <clocale>
#include <cstdio>

#include "benches.h"
#include "program_rig.h"
#include "x11/xsession.h"

namespace bench {

QString MsText(double ms) { return QString("%1 ms").arg(ms, 0, 'f', 0); }
QString MiBText(double mib) { return QString("%1 MiB").arg(mib, 0, 'f', 1); }
QString Signed(double ms) { return QString("%1%2 ms").arg(ms >= 0 ? "+" : "").arg(ms, 0, 'f', 0); }
QString Verdict(bool ok) { return ok ? "ok" : "MISSED"; }

namespace {

void Say(const QString& text) {
  std::fprintf(stderr, "bench: %s\n", qPrintable(text));
  std::fflush(stderr);
}

void Print(const std::vector<Row>& rows, const QStringList& details) {
  const Row head{"measure", "value", "limit / baseline", "ratio / difference", "verdict"};
  std::vector<Row> all{head};
  all.insert(all.end(), rows.begin(), rows.end());
  int w[5] = {0, 0, 0, 0, 0};
  for (const Row& r : all) {
    const QString cells[] = {r.measure, r.value, r.limit, r.compare, r.verdict};
    for (int i = 0; i < 5; ++i) w[i] = std::max(w[i], static_cast<int>(cells[i].size()));
  }
  auto line = [&](const Row& r) {
    const QString cells[] = {r.measure, r.value, r.limit, r.compare, r.verdict};
    QStringList out;
    for (int i = 0; i < 5; ++i) out << cells[i].leftJustified(w[i]);
    std::printf("| %s |\n", qPrintable(out.join(" | ")));
  };
  line(head);
  QStringList rule;
  for (int width : w) rule << QString(width, '-');
  std::printf("|-%s-|\n", qPrintable(rule.join("-|-")));
  for (const Row& r : rows) line(r);
  std::printf("\n");
  for (const QString& d : details) std::printf("  %s\n", qPrintable(d));
  std::fflush(stdout);
}

}  // namespace

}  // namespace bench

int main(int argc, char** argv) {
  using namespace bench;
  xtest::XServer x;
  if (!x.ok()) {
    std::fprintf(stderr, "bench: Xvfb did not start\n");
    return 1;
  }
  qputenv("DISPLAY", x.display().toLatin1());
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");

  const QString media = BuildFolder() + "/bench-media";
  QDir().mkpath(media);
  Say("clips (made on the first run only) in " + media);
  const QStringList clips = Clips(media);
  if (clips.size() != 2) {
    std::fprintf(stderr, "bench: the clips could not be made\n");
    return 1;
  }
  QTemporaryDir work;

  std::vector<Row> rows;
  QStringList details;
  auto take = [&](const Report& r) {
    rows.insert(rows.end(), r.rows.begin(), r.rows.end());
    details << r.details;
  };
  // Named on the command line, only some run: startup memory open playselected export keyframes.
  QStringList asked = app.arguments().mid(1);
  auto wanted = [&](const char* name) { return asked.isEmpty() || asked.contains(name); };
  const QString program = ProgramPath();
  if (wanted("startup")) {
    Say("start-up of " + program);
    take(StartUp(x, program));
  }
  if (wanted("memory")) {
    Say("memory: the window, a clip playing, and over repeated opens against bare libmpv");
    take(Memory(x, program, clips));
  }
  if (wanted("open")) {
    Say("open, first file");
    take(FirstOpen(x, clips));
  }
  if (wanted("open") || wanted("playselected") || wanted("export") || wanted("keyframes")) {
    ProgramRig rig;
    if (wanted("open")) {
      Say("open another file while one plays, and seek");
      take(OpenAndSeek(rig, x, clips));
    }
    if (wanted("playselected")) {
      Say("Play Selected");
      take(PlaySelectedWait(rig, clips));
    }
    if (wanted("keyframes")) {
      Say("key frames of 2 h 1080p files on the slider (the files are made on the first run)");
      take(KeyFramesOnOpen(rig, media));
    }
    if (wanted("export")) {
      Say(CutProgram().isEmpty() ? "export: the bare encoder only (no vintrel-cut in " + BuildFolder() + ")"
                                 : "export with " + CutProgram());
      take(Export(rig, media, work.path()));
    }
  }
  Print(rows, details);
  return 0;
}
