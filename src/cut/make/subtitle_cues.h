// The subtitle cues of a stretch: those that overlap it, clipped to it, in the output's format.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "cut/make/output_file.h"
#include "cut/media/av.h"
#include "cut/media/source.h"

namespace vintrel::cut {

struct CueSpan {
  int64_t start = 0;
  int64_t duration = 0;
};
// A cue from `pts` for `duration`, clipped to [from, to) and counted from `from`; none when it
// does not overlap. All in one time base.
std::optional<CueSpan> ClipCue(int64_t pts, int64_t duration, int64_t from, int64_t to);

struct Cue {
  int sourceIndex = -1;
  PacketHandle packet;  // times from the stretch's start, in the source stream's time base
};

// Reads the cues of the source's subtitle streams that overlap [start, end) (seconds of the
// file's clock) from a reader of its own, which skips the other streams' data; text the output's
// type holds in another format is converted, and its output stream's codec set.
std::vector<Cue> ReadCues(const Source& source, double start, double end, OutputFile& output);

}  // namespace vintrel::cut
