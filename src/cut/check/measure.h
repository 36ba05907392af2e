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

// The source's side of the comparison, by display times: its first frame at or after `start`
// (the stretch's first), and the hashes of the first `copiedFrames` at or after `copyFrom`
// (where the copy starts); times in the video's ticks.
struct SourceSample {
  FrameHandle first;
  std::vector<QByteArray> copied;
};
// How the sample's reading reaches the start: from the key frame before it, or from the
// file's start (for types whose seeking guesses).
enum class SampleReading { kSeek, kFromFileStart };
// Opens `path` afresh: what the maker decoded is never the reference it is judged against.
SourceSample SampleSource(const QString& path, int64_t start, std::optional<int64_t> copyFrom,
                          int copiedFrames, SampleReading reading);

// Where the made file is decoded: the whole file, or its start through the compared frames
// and its end from `endFrom` (seconds of the made file) on.
struct DecodePlan {
  bool wholeFile = false;
  int headFrames = 0;  // the frames before the copy: the compared ones follow
  std::optional<double> endFrom;
};

Found MeasureMade(const QString& made, const SourceSample& source, const DecodePlan& plan);

// Where a sound packet is first heard, seconds: after the samples its side data says to skip.
double HeardFrom(const AVPacket* packet, const AVStream* stream);

// A made picture in display order (`index` from the first of the stretch) against the source's
// sample: the first one's PSNR, and a copied one (after `headFrames`) counted where it is the
// source's bit for bit. Returns its index among the copied frames (negative in the head).
int TallyPicture(const AVFrame* frame, int index, int headFrames, const SourceSample& sample, Found& found);

// Decodes a file's video from its last key frame at or before `from` (its video's ticks), giving
// frames in display order to `take` until it has seen enough; returns the decoder's errors.
int DecodeVideoFrom(Source& file, int64_t from, const std::function<bool(AVFrame*)>& take);

// Picture comparisons: the same frame bit for bit, and how close two frames of one size and
// pixel format are, in dB, measured as ffmpeg's psnr filter does (its psnr_y and psnr_avg).
QByteArray FrameHash(const AVFrame* frame);
constexpr double kIdenticalPsnr = 100;  // where the pictures are the same
struct Psnr {
  double luma = 0;
  double average = 0;  // over every component, each weighed by its samples
};
std::optional<Psnr> PicturePsnr(const AVFrame* a, const AVFrame* b);

// The rotation a stream's display matrix asks for, in whole degrees (counter-clockwise); 0 without one.
int StreamRotation(const AVStream* stream);

}  // namespace vintrel::cut
