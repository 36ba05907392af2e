// The marked clips and the small sums every benchmark needs.
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "bench.h"
#include "media.h"

namespace bench {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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

double CpuSeconds(long pid) {
  QFile stat(QString("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return -1;
  // The command name may hold blanks; the fields after it are counted from its ")".
  const QString text = QString::fromLatin1(stat.readAll());
  const QStringList fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return -1;
  return (fields[11].toDouble() + fields[12].toDouble()) / sysconf(_SC_CLK_TCK);
}

namespace {
// The marker is grey, so no colour matrix can bend it: clip 0 climbs from 48 by 8 a
// second, clip 1 falls from 232 by 8 a second. At second 0 the two are far apart.
constexpr int kLow = 48, kHigh = 232, kStep = 8;

QString MarkerLevel(int clip) {
  return clip == 0 ? QString("%1+%2*floor(T)").arg(kLow).arg(kStep)
                   : QString("%1-%2*floor(T)").arg(kHigh).arg(kStep);
}
}  // namespace

std::optional<int> MarkerSecond(Rgb p, int clip) {
  const int high = std::max({p.r, p.g, p.b}), low = std::min({p.r, p.g, p.b});
  if (high - low > 24) return std::nullopt;  // not grey: the picture around the marker
  const double level = (p.r + p.g + p.b) / 3.0;
  const double second = clip == 0 ? (level - kLow) / kStep : (kHigh - level) / kStep;
  const long whole = std::lround(second);
  if (std::abs(second - whole) > 0.4 || whole < 0 || whole >= kClipSeconds) return std::nullopt;
  return static_cast<int>(whole);
}

Point MarkerOnScreen(int areaX, int areaY, int areaWidth, int areaHeight) {
  const double scale = std::min(double(areaWidth) / kClipWidth, double(areaHeight) / kClipHeight);
  const double left = (areaWidth - kClipWidth * scale) / 2, top = (areaHeight - kClipHeight * scale) / 2;
  const double middle = kMarkerSize / 2.0 * scale;
  return {areaX + static_cast<int>(std::lround(left + middle)),
          areaY + static_cast<int>(std::lround(top + middle))};
}

QStringList Clips(const QString& folder) {
  QStringList clips;
  for (int clip = 0; clip < 2; ++clip) {
    const QString path = QString("%1/marked-%2.mp4").arg(folder).arg(clip);
    const testmedia::ProbeResult seen = testmedia::Probe(path);
    if (!(QFile::exists(path) && seen.ok && seen.streams == 2 &&
          std::abs(seen.duration - kClipSeconds) < 0.2)) {
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

}  // namespace bench
