// A save of several stretches: the list checked against the video, then one file per stretch,
// or the stretches joined into one file; the report names each stretch.
#pragma once

#include "cut/engine.h"

namespace vintrel::cut {

// For a request with segments (RunCut makes a single stretch). Throws as RunCut does; every file
// this run made is gone when it throws.
CutReport RunSegmentCut(const CutArguments& request, const CutObserver& observer = {});

// "Segment 2 (Credits, 0:00:40.000 to 0:00:41.500)": how reports and messages name a stretch.
QString SegmentTitle(int number, const Segment& segment);

}  // namespace vintrel::cut
