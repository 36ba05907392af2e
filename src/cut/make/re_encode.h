// The whole stretch re-encoded by the ffmpeg program, for the types and codecs a smart cut
// does not take: its argument list (pure) and its run.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace vintrel::cut {

// What the arguments need to know of the source.
struct ReEncodeSource {
  QString input;
  QString videoCodec;  // the libraries' codec name: "h264", "hevc", "mpeg4", ...
  double frameRate = 25;
  int sampleRate = 0;  // of the first sound stream
  int videoIndex = 0;
  QList<int> audio;  // stream indexes, in order
};

// `start` and `end` in seconds from the player's 0. Every frame keeps its time (a variable
// rate stays variable), but where the type has a fixed rate (VCD).
QStringList ReEncodeArguments(const ReEncodeSource& source, double start, double end, const QString& output);

// Runs ffmpeg (or the program given) to its end; its progress lines reach `progress` as a
// share of `seconds`. Throws CutError with the encoder's reason, or CutCancelled.
void RunEncoder(const QString& program, const QStringList& arguments, double seconds,
                const std::function<void(double)>& progress);

// ffmpeg beside this program first, then on PATH; empty when nowhere.
QString FindEncoder();

}  // namespace vintrel::cut
