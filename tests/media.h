#pragma once
// Test clips, made by the encoder on the spot; nothing is shipped.
#include <QString>
#include <QStringList>

namespace testmedia {

// A folder that lives as long as the test process.
QString TempDir();

// Runs ffmpeg (quiet, overwriting) with the given arguments; true when it exited 0.
bool Ffmpeg(const QStringList& args);

// A clip with a test picture and a tone: seconds long, at the given size and rate. The
// container follows the path's extension; extra arguments (codecs) go before the output.
// Returns the path, or an empty string when ffmpeg failed.
QString MakeClip(const QString& path, double seconds, const QString& size = "320x240",
                 const QString& rate = "25", const QStringList& codecArgs = {});

struct ProbeResult {
  bool ok = false;
  int streams = 0;
  double duration = 0;     // seconds, of the container
  QString firstVideoRate;  // "25/1"
};
// What ffprobe sees in a file.
ProbeResult Probe(const QString& path);

// The whole file's bytes, for "unchanged" comparisons.
QByteArray ReadAll(const QString& path);

}  // namespace testmedia
