// Pure decisions before a cut reads its frames: whether the stretch is usable, and whether a
// smart cut may be tried at all.
#pragma once

#include <QString>

namespace vintrel::cut {

QString LowerExtension(const QString& path);

// One line saying what is wrong with the stretch, or empty. `videoEnd`: where the video ends,
// from the player's 0 (0 when unknown).
QString StretchProblem(double start, double end, double videoEnd);
// An end past the last frame means the end of the video.
double StretchEnd(double end, double videoEnd);

struct SmartCutInput {
  QString inputType, outputType;  // lower-case extensions
  QString videoCodec;             // the libraries' name: "h264", "hevc", ...
  int rotation = 0;
  bool forceReEncode = false;
};
// Why the stretch is re-encoded whole, or empty when a smart cut may be tried.
QString SmartCutObstacle(const SmartCutInput& input);

}  // namespace vintrel::cut
