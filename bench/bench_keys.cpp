// Key frames of a two-hour 1080p MP4 and MKV on the slider after an open, beside ffprobe
// listing the same key frames, and how long posted events wait while they load and while the
// pointer rests on the slider (the picture under it decoded meanwhile).
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <algorithm>

#include "benches.h"
#include "hands.h"
#include "media.h"
#include "posted_events.h"
#include "program_rig.h"

namespace bench {

namespace {

using vintrel::MainWindow;

// 2 h of 1080p at 25 fps with a key frame every 2 s: a 10 s encode repeated by copying it, so
// the index is a real film's (180,000 frames, 3,600 key frames) though the picture is simple.
QString LongClip(const QString& folder, const QString& type) {
  const QString path = folder + "/two-hours-1080p." + type;
  if (QFileInfo(path).size() > 0) return path;
  const QString piece = folder + "/ten-seconds-1080p.mp4";
  if (!QFileInfo::exists(piece) &&
      testmedia::MakeClip(piece, 10, "1920x1080", "25",
                          {"-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-keyint_min", "50",
                           "-sc_threshold", "0", "-b:v", "300k", "-c:a", "aac", "-b:a", "32k"})
          .isEmpty())
    return {};
  return testmedia::Ffmpeg({"-stream_loop", "719", "-i", piece, "-c", "copy", path}) ? path : QString();
}

struct Probed {
  double ms = 0;
  int keyFrames = 0;
};
// ffprobe decoding only the key frames, as a user of the command line would list them.
Probed FfprobeKeyFrames(const QString& file) {
  QProcess probe;
  QElapsedTimer clock;
  clock.start();
  probe.start("ffprobe", {"-v", "error", "-skip_frame", "nokey", "-select_streams", "v:0", "-show_entries",
                          "frame=pts_time", "-of", "csv=p=0", file});
  probe.waitForFinished(600000);
  Probed probed{double(clock.elapsed()), 0};
  for (const QByteArray& line : probe.readAllStandardOutput().split('\n'))
    probed.keyFrames += !line.trimmed().isEmpty();
  return probed;
}

// Rests the pointer on the slider at a few places, as a user looking for a spot does.
void HoverOver(MainWindow& w, int milliseconds) {
  QWidget* slider = w.positionSlider;
  QElapsedTimer clock;
  clock.start();
  for (int step = 0; clock.elapsed() < milliseconds; ++step) {
    const int x = 10 + (step * 37) % std::max(20, slider->width() - 20);
    QTest::mouseMove(slider, QPoint(x, slider->height() / 2));
    Watch(40);
  }
}

void OneFile(Report& report, ProgramRig& rig, const QString& file, const QString& name) {
  MainWindow& w = rig.window();
  PostedEventProbe probe;
  probe.Start();
  const Time opened = Clock::now();
  w.openFile(file);
  const bool drawn = WaitFor([&] { return !w.positionSlider->keyFrames().isEmpty(); }, 20000);
  const Time firstDrawn = Clock::now();
  Watch(0);  // painted
  const qsizetype draftCount = w.positionSlider->keyFrames().size();
  // The exact times (MP4 reads each key frame's packet) replace the draft a while later.
  WaitFor([&] { return false; }, 3000);
  const Time loaded = Clock::now();
  const qsizetype count = w.positionSlider->keyFrames().size();
  HoverOver(w, 3000);
  const Time hovered = Clock::now();
  probe.Stop();
  const Probed probed = FfprobeKeyFrames(file);
  const double ms = Ms(firstDrawn - opened);
  report.rows.push_back({"key frames on the slider, 2 h 1080p " + name, drawn ? MsText(ms) : "FAILED",
                         "1000 ms; ffprobe -skip_frame nokey " + MsText(probed.ms),
                         QString("%1 of %2 key frames").arg(count).arg(probed.keyFrames),
                         Verdict(drawn && ms <= 1000 && count == probed.keyFrames)});
  const std::vector<double> loading = probe.WaitsMs(opened, loaded),
                            hovering = probe.WaitsMs(loaded, hovered);
  auto longest = [](const std::vector<double>& waits) {
    return waits.empty() ? 0 : *std::max_element(waits.begin(), waits.end());
  };
  report.rows.push_back({"posted event wait, " + name + " key frames loading: max", MsText(longest(loading)),
                         "20 ms", Signed(longest(loading) - 20), Verdict(longest(loading) <= 20)});
  report.rows.push_back({"posted event wait, hovering the slider (" + name + "): max",
                         MsText(longest(hovering)), "20 ms", Signed(longest(hovering) - 20),
                         Verdict(longest(hovering) <= 20)});
  report.details << QString(
                        "%1: first marks %2 ms after the open (%3 drawn), %4 at the end; ffprobe listed %5 "
                        "in %6 ms; posted events while loading: p99 %7 ms, while hovering: p99 %8 ms; "
                        "pictures kept %9 KiB")
                        .arg(name)
                        .arg(ms, 0, 'f', 0)
                        .arg(draftCount)
                        .arg(count)
                        .arg(probed.keyFrames)
                        .arg(probed.ms, 0, 'f', 0)
                        .arg(Percentile(loading, 0.99), 0, 'f', 1)
                        .arg(Percentile(hovering, 0.99), 0, 'f', 1)
                        .arg(w.framePictures->keptBytes() / 1024);
}

}  // namespace

Report KeyFramesOnOpen(ProgramRig& rig, const QString& mediaFolder) {
  Report report;
  for (const QString type : {"mp4", "mkv"}) {
    const QString file = LongClip(mediaFolder, type);
    if (file.isEmpty()) {
      report.rows.push_back(
          {"key frames, 2 h 1080p " + type, "FAILED (the clip could not be made)", "-", "-", "MISSED"});
      continue;
    }
    OneFile(report, rig, file, type.toUpper());
  }
  return report;
}

}  // namespace bench
