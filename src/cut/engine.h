#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "cut/commands.h"
#include "cut/plan.h"

namespace vintrel::cut {

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

// ffmpeg and ffprobe beside the program first, then on PATH; throws CutError naming both places.
Tools FindTools(const QString& programFolder);

// What stops writing `output` from `input` before anything runs, or empty: a missing input,
// the same file (device and inode, so links and other spellings count), an existing output
// without permission to replace it, a folder as output.
QString OutputProblem(const QString& input, const QString& output, bool overwrite);

// Makes the cut: probe, plan, run, verify, then rename into place. Throws CutError with one
// line for the user, or CutCancelled; either way every temporary file is gone and an old
// output is untouched.
CutReport RunCut(const Tools& tools, const CutRequest& request, const CutObserver& observer = {});

}  // namespace vintrel::cut
