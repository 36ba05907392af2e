// Reading a made file and its source for the check, in process: what the judge weighs.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "cut/check/judge.h"
#include "cut/media/av.h"
#include "cut/media/source.h"

namespace vintrel::cut {

// The source's side of the comparison: its frame at the start, and the hashes of the first
// frames the copy starts with.
struct SourceSample {
  FrameHandle first;
  std::vector<QByteArray> copied;
};
// Decodes from the key frame `decodeFrom` (video ticks); `copyFrom`: the copy's first frame.
SourceSample SampleSource(Source& source, int64_t decodeFrom, int64_t start, std::optional<int64_t> copyFrom,
                          int copiedFrames);

// Where the made file is decoded: the whole file, or its start through the compared frames
// and its end from `endFrom` (seconds of the made file) on.
struct DecodePlan {
  bool wholeFile = false;
  int headFrames = 0;  // the frames before the copy: the compared ones follow
  std::optional<double> endFrom;
};

Found MeasureMade(const QString& made, const SourceSample& source, const DecodePlan& plan);

// Picture comparisons: the same frame bit for bit, and how close two frames of one size are.
QByteArray FrameHash(const AVFrame* frame);
std::optional<double> LumaPsnr(const AVFrame* a, const AVFrame* b);

// The rotation a stream's display matrix asks for, in whole degrees (counter-clockwise); 0 without one.
int StreamRotation(const AVStream* stream);

}  // namespace vintrel::cut
