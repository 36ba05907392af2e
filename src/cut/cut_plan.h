// What a cut of a stretch will do, planned as the engine plans it, before anything is made:
// for `vintrel-cut --plan` and the window's line under the marks.
#pragma once

#include <QString>

#include "cut/media/source.h"
#include "cut/plan/smart_cut_plan.h"

namespace vintrel::cut {

struct CutPlan {
  bool smart = false;  // a smart cut: copied from the entry, re-encoded only around it
  int head = 0;        // frames re-encoded before the entry
  int copy = 0;        // frames copied as they are (-1: not counted)
  int tail = 0;        // frames re-encoded at the end
  double entry = -1;   // where the copy starts, from the player's 0 (-1: none)
  QString why;         // why the whole stretch is re-encoded (empty for a smart cut)
};

// Where the source's first sound stream starts and ends, from the player's 0 (a camera's may
// start late); 0 without sound.
double AudioStart(const Source& source);
double AudioEnd(const Source& source);

// The marks (seconds from the player's 0) in video ticks, from the first tick at or after each:
// a frame between a mark and the tick nearest it lies in the stretch by its time, and stays in.
Stretch StretchOf(const Source& source, double start, double end);
// Why a smart cut of `source` into a file named like `output` is out of the question (its
// type, its codec, the streams it holds), or empty when one may be tried.
QString SmartCutObstacleOf(const Source& source, const QString& output, bool forceReEncode);
// The smart cut's layout from the packets read near the marks (`stretch` in video ticks).
SmartCutDecision PlanFromPackets(Source& source, const Stretch& stretch);

// The plan for cutting `start`..`end` (seconds from the player's 0; an end past the last frame
// is the video's end) of `input` into a file named like `output`. Throws CutError where the
// input is no video or the stretch is unusable. Without `countFrames` the copied frames (and a
// re-encode's) are not counted: that reads every packet of the stretch.
CutPlan PlanCut(const QString& input, double start, double end, const QString& output,
                bool countFrames = true);

// {"method":"smart","head":12,"copy":300,"tail":3,"entry":6.0,"why":""}
QString PlanJson(const CutPlan& plan);
// One short line: "Copied whole" / "12 frames re-encoded at the start, 3 at the end" /
// "Re-encoded: <why>".
QString CostLine(const CutPlan& plan);

}  // namespace vintrel::cut
