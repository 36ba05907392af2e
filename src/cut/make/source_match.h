// What an encoder is told so that its pictures stand in for the source's: the source's colour
// and field order, and its level in x264's and x265's words.
#pragma once

#include <QString>

#include "cut/media/av.h"

namespace vintrel::cut {

// Range, primaries, transfer, matrix, chroma siting and field order, as the source has them.
void CopyColour(const AVCodecParameters* source, AVCodecContext* context);
// An H.264 level (41) as x264's "level" option takes it ("4.1"); empty for none or 1b.
QString X264Level(int level);
// An HEVC level (123, thirty times the number) as an x265-params entry (":level-idc=4.1"); empty for none.
QString X265LevelParameter(int level);

}  // namespace vintrel::cut
