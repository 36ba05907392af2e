// A whole stretch re-encoded in process, in one muxer pass: the frames whose display times lie
// in [start, end) by the output type's video encoder, each at its time from the start mark (or
// its slot, where the type runs at a fixed rate), the sound copied where the type holds its
// codec and re-encoded where not, the subtitles' cues clipped where the type holds them.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "cut/media/source.h"
#include "cut/plan/smart_cut_plan.h"

namespace vintrel::cut {

struct ReEncodeMade {
  int frames = 0;         // video frames written
  QStringList encodings;  // "video as mpeg4, ...", "sound as mp3 (...)": what the report tells
};

// `stretch`: in the video's ticks; the other streams are cut at the same times. Throws CutError
// (a write failure, told in words) or CutCancelled.
ReEncodeMade WriteReEncode(const Source& source, const Stretch& stretch, const QString& made,
                           const std::function<void(double)>& progress);

// A fresh reader is moved early enough for the frame at `start` (video ticks) to be decoded
// whole: to the key frame a second before it, or left at the file's start where the demuxer's
// seek would land past it (MPEG's guesses) or where a seek to the start goes by guesses itself
// (AVI's counts of packets start over wrong).
void SeekBefore(Source& fresh, int64_t start);
// Where the video's first frame is, in its ticks.
int64_t FirstTicks(const Source& source);

}  // namespace vintrel::cut
