// The clips and the small sums every benchmark needs.
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "bench.h"
#include "media.h"

namespace bench {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t rank = static_cast<size_t>(std::ceil(fraction * values.size()));
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

QString Samples(const std::vector<double>& values, int decimals) {
  QStringList parts;
  for (double v : values) parts << QString::number(v, 'f', decimals);
  return parts.join(", ");
}

int Repeats(int fallback) {
  const int asked = qEnvironmentVariableIntValue("BENCH_REPEATS");
  return asked > 0 ? asked : fallback;
}

double StatusMiB(long pid, const QString& key) {
  QFile status(QString("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  const QString text = QString::fromLatin1(status.readAll());
  const auto m = QRegularExpression(key + R"(:\s*(\d+)\s*kB)").match(text);
  return m.hasMatch() ? m.captured(1).toDouble() / 1024.0 : 0;
}

namespace {

QString MarkerLevel(int clip) {
  return clip == 0 ? QString("%1+%2*floor(T)").arg(kMarkerLow).arg(kMarkerStep)
                   : QString("%1-%2*floor(T)").arg(kMarkerHigh).arg(kMarkerStep);
}

bool Usable(const QString& path, double seconds) {
  const testmedia::ProbeResult seen = testmedia::Probe(path);
  return QFile::exists(path) && seen.ok && seen.streams == 2 && std::abs(seen.duration - seconds) < 0.2;
}

}  // namespace

QStringList Clips(const QString& folder) {
  QStringList clips;
  for (int clip = 0; clip < 2; ++clip) {
    const QString path = QString("%1/marked-%2.mp4").arg(folder).arg(clip);
    if (!Usable(path, kClipSeconds)) {
      const QString seconds = QString::number(kClipSeconds);
      const QString size = QString("%1x%2").arg(kClipWidth).arg(kClipHeight);
      const bool made =
          testmedia::Ffmpeg({"-f",
                             "lavfi",
                             "-i",
                             QString("testsrc2=size=%1:rate=25:duration=%2").arg(size, seconds),
                             "-f",
                             "lavfi",
                             "-i",
                             QString("color=c=black:size=%1x%1:rate=25:duration=%2,format=gray,geq=lum='%3'")
                                 .arg(kMarkerSize)
                                 .arg(seconds, MarkerLevel(clip)),
                             "-f",
                             "lavfi",
                             "-i",
                             QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds),
                             "-filter_complex",
                             "[0:v][1:v]overlay=0:0,format=yuv420p[v]",
                             "-map",
                             "[v]",
                             "-map",
                             "2:a",
                             "-c:v",
                             "libx264",
                             "-preset",
                             "veryfast",
                             "-c:a",
                             "aac",
                             "-shortest",
                             path});
      if (!made) return {};
    }
    clips << path;
  }
  return clips;
}

QString ExportClip(const QString& folder) {
  const QString path = folder + "/export-720p-gop2s.mp4";
  if (Usable(path, kExportClipSeconds)) return path;
  const QString seconds = QString::number(kExportClipSeconds);
  // A key frame every 50 frames (2 s) and nowhere else, as a camera or a streaming
  // encoder writes them.
  const bool made =
      testmedia::Ffmpeg({"-f",
                         "lavfi",
                         "-i",
                         QString("testsrc2=size=1280x720:rate=25:duration=%1").arg(seconds),
                         "-f",
                         "lavfi",
                         "-i",
                         QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds),
                         "-c:v",
                         "libx264",
                         "-preset",
                         "veryfast",
                         "-pix_fmt",
                         "yuv420p",
                         "-g",
                         "50",
                         "-keyint_min",
                         "50",
                         "-sc_threshold",
                         "0",
                         "-c:a",
                         "aac",
                         "-shortest",
                         path});
  return made ? path : QString();
}

}  // namespace bench
