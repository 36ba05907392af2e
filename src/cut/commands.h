#pragma once

#include <QString>
#include <QStringList>

#include "cut/media_info.h"
#include "cut/plan.h"

namespace vintrel::cut {

// Where the engine finds the encoder and the prober.
struct Tools {
  QString ffmpeg;
  QString ffprobe;
};

// Every argument list the engine runs, built here as data. Paths go to the tools as "file:"
// plus an absolute path, so a name starting with a dash or holding a colon is never read as
// an option or a protocol.
QString FileArgument(const QString& path);

// The packets of every stream (times, flags, byte positions and sizes) between two times from
// the container's start, assumed at 0 until the media probe says otherwise; with
// `withMedia`, the format and the streams too, so the common case needs one run.
QStringList StreamPacketProbeArguments(const QString& input, double from, double to, bool withMedia);
// Video packets (timestamps and flags, no data) between two times relative to the start.
QStringList PacketProbeArguments(const QString& input, const MediaInfo& media, double from, double to);
// The bytes of the first video packet at each time, to read their NAL unit types, in one run.
// `after`: whether to seek a hair after each time (demuxers that seek to the key frame before
// a point) or a hair before it (those that seek to the one after).
QStringList PacketDataArguments(const QString& input, const MediaInfo& media, const QList<double>& at,
                                bool after);

// "pal-vcd", "ntsc-vcd" or "film-vcd" for a frame rate: VCD allows only these three.
QString VcdTarget(double framesPerSecond);

// Seeking straight to a frame (-ss before -i) is exact for most decoders, but MPEG-1/2 video
// gives the first frames after a seek their neighbours' times. For those, a re-encode seeks to
// a point some seconds earlier and drops the frames before `after` by their decoded times.
struct SplitSeek {
  double before = 0;  // input seek, from the container start
  double after = 0;   // from `before` to the wanted time
};
SplitSeek SplitSeekTo(const MediaInfo& media, double time);
QStringList InputSeek(double seconds);  // "-ss <seconds>", or nothing for the start

// Encoder and quality options for a re-encode into the output's type.
QStringList ReEncodeCodecOptions(const MediaInfo& media, const CutRequest& request);
QStringList ReEncodeArguments(const MediaInfo& media, const CutRequest& request, const CutPlan& plan,
                              const QString& temporaryOutput);

// Frames of the source kept for a smart cut's check by the run that decodes them anyway: the
// first one losslessly in a file, and the hashes of `hashFrames` frames from `hashAfter`
// seconds after it; `seconds` of input are read.
struct SampleOutputs {
  double hashAfter = 0;
  int hashFrames = 0;
  double seconds = 0;
  QString firstFrameFile, hashFile;
};

// The output half of a run that keeps those frames: `[first]` losslessly into firstFrameFile,
// `[hashed]` as frame hashes into hashFile (the filter graph names both).
QStringList SampleOutputArguments(const SampleOutputs& sample);

// Frames a smart cut re-encodes: `frames` from the one at `from`.
struct EncodeRange {
  double from = 0;
  int frames = 0;
  // `from` is a clean key frame, so decoding can start at it instead of at the key frame before.
  bool atKeyFrame = false;
  // Decoder and encoder threads, 0 for ffmpeg's choice (more than the processors). The
  // parts share the processors: as many threads as a part's share of them keeps them busy
  // with less of the threads' own overhead, which matters for the few frames of a part.
  int threads = 0;
  // The part's container: MPEG-TS, or with a time scale, fragmented MP4 whose video counts in
  // it (the join's concat demuxer keeps the first part's time base for all of them).
  long long mp4TimeScale = 0;
};

// The re-encoded frames of a smart cut, made to match the copied ones, as MPEG-TS into
// `output` (a "file:" or "pipe:" argument); with `sample`, the same run keeps those frames
// too (from the same unturned decoding).
QStringList SmartEncodeArguments(const MediaInfo& media, const QString& input, const EncodeRange& range,
                                 const QString& output, const SampleOutputs* sample = nullptr);
// The copied packets: fragmented MP4 for H.264, MPEG-TS for the rest; into `output` as above.
QStringList SmartCopyArguments(const MediaInfo& media, const QString& input, double from, int frames,
                               const QString& output);
struct ConcatPart {
  QString fileName;  // "pipe:N", or a file's path
  double duration = 0;
  // Where the join starts reading the file (its key frame there) and the decoding time at
  // which it stops, in the file's own times; negative: from the start, to the end.
  double inpoint = -1, outpoint = -1;
};
QString ConcatList(const QList<ConcatPart>& parts);
QStringList SmartJoinArguments(const MediaInfo& media, const CutRequest& request, const QString& concatList,
                               const QString& temporaryOutput);

}  // namespace vintrel::cut
