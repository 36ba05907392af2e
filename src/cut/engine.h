// The cut engine's one entry: a request in, a checked file in place and its report out.
#pragma once

#include <QString>
#include <functional>

#include "cut/protocol/cut_request.h"

namespace vintrel::cut {

enum class CutMethod { kSmartCut, kReEncode };
enum class CutPhase { kProbing, kEncoding, kCopying, kVerifying };
QString PhaseName(CutPhase phase);

struct CutObserver {
  std::function<void(double)> progress;  // 0..1 over the whole cut; 1 only once the file is in place
  std::function<void(CutPhase)> phase;
};

struct CutReport {
  CutMethod method = CutMethod::kReEncode;
  QString text;  // several lines: how it was made, its length, what was checked
};

// What stops writing `output` from `input` before anything runs, or empty: a missing input,
// the same file (device and inode, so links and other spellings count), an existing output
// without permission to replace it, a folder as output.
QString OutputProblem(const QString& input, const QString& output, bool overwrite);
// Why no file of the output's type can be made (an ending no muxer knows, or none), or empty.
QString OutputTypeProblem(const QString& output);

// Makes the cut: read, plan, make, check, then move into place. Throws CutError with one line
// for the user, or CutCancelled; either way every work file is gone and an old output untouched.
// An end past the last frame means the end of the video.
CutReport RunCut(const CutArguments& request, const CutObserver& observer = {});

}  // namespace vintrel::cut
