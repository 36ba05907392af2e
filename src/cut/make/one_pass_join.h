// Several stretches of one source, each a smart cut (head re-encoded, copy, tail re-encoded),
// written in one pass through one muxer: every stream of each stretch moved on one clock to
// where the stretches before it end, the sound run on across every join, cues and chapters moved
// with their stretch.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "cut/make/join_pieces.h"
#include "cut/make/smart_cut_writer.h"
#include "cut/media/source.h"
#include "cut/plan/smart_cut_plan.h"

namespace vintrel::cut {

struct PlannedStretch {
  Stretch stretch;  // the video's ticks
  SmartCutLayout layout;
};

struct JoinedInOnePass {
  Joined joined;
  std::vector<SmartCutMade> stretches;
  std::vector<double> offsets;  // where each stretch starts in the made file, seconds
};

// `titles`: a chapter at each stretch, named so; none: the source's chapters, moved with their
// stretch. Throws CutError where the stretches cannot be joined so, WriteFailed, CutCancelled.
JoinedInOnePass WriteJoined(Source& source, const std::vector<PlannedStretch>& stretches, const QString& made,
                            const std::optional<QStringList>& titles,
                            const std::function<void(double)>& progress);

}  // namespace vintrel::cut
