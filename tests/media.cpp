#include "media.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace testmedia {

QString TempDir() {
  static QTemporaryDir dir;
  return dir.path();
}

bool Ffmpeg(const QStringList& args) {
  QProcess p;
  p.setStandardInputFile(QProcess::nullDevice());
  p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args);
  if (!p.waitForFinished(120000)) return false;
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString MakeClip(const QString& path, double seconds, const QString& size, const QString& rate,
                 const QStringList& codecArgs) {
  const QString d = QString::number(seconds);
  QStringList args{"-f", "lavfi", "-i", QString("testsrc2=size=%1:rate=%2:duration=%3").arg(size, rate, d),
                   "-f", "lavfi", "-i", QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(d)};
  args << codecArgs << "-shortest" << path;
  return Ffmpeg(args) ? path : QString();
}

ProbeResult Probe(const QString& path) {
  ProbeResult r;
  QProcess p;
  p.setStandardInputFile(QProcess::nullDevice());
  p.start("ffprobe", {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", path});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return r;
  const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
  const QJsonArray streams = root["streams"].toArray();
  r.streams = static_cast<int>(streams.size());
  for (const auto& s : streams) {
    const QJsonObject o = s.toObject();
    if (o["codec_type"].toString() == "video" && r.firstVideoRate.isEmpty())
      r.firstVideoRate = o["r_frame_rate"].toString();
  }
  r.duration = root["format"].toObject()["duration"].toString().toDouble();
  r.ok = true;
  return r;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

}  // namespace testmedia
