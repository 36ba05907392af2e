#pragma once

// Clips made with ffmpeg's lavfi sources for the engine tests, and measurements of made
// files that go around the engine's own checks (frame numbers rather than seeks).
#include <QList>
#include <QString>
#include <QStringList>

namespace cuttest {

struct ProgramRun {
  int exitCode = -1;
  QString out, err;
};
ProgramRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs = 120000);

// ffmpeg with testsrc2 (moving, so neighbouring frames differ) and `audioTracks` sine tones.
// `extraInputs` (e.g. "-i", "subs.srt") come after those and are mapped by `outputOptions`.
void MakeClip(const QString& path, double seconds, const QStringList& outputOptions, int audioTracks = 1,
              const QString& videoSource = "testsrc2=size=160x120:rate=25",
              const QStringList& extraInputs = {});

// Times of the decoded frames from the file's start, as a player shows them.
QList<double> FrameTimes(const QString& file);
// The index of the frame a player shows at `seconds`; the frame count past the end.
int FrameIndexAt(const QList<double>& times, double seconds);
QStringList FrameHashes(const QString& file);  // every decoded frame, in order
QStringList SourceFrameHashes(const QString& file, int firstFrame, int frames);
// PSNR of the first frame of `made` against frames first..first+count-1 of `source`, scaled alike.
QList<double> FirstFramePsnrs(const QString& made, const QString& source, int first, int count);
double AudioLength(const QString& file);
int StreamCount(const QString& file, const QString& type);
QString Probe(const QString& file, const QString& entries, const QString& streams = "");
QString DecodeErrors(const QString& file);
QStringList HiddenWorkFiles(const QString& folder);
QString CutProgram();  // the vintrel-cut the build made

}  // namespace cuttest
