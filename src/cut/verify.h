#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "cut/child_process.h"
#include "cut/commands.h"
#include "cut/media_info.h"
#include "cut/mp4_index.h"
#include "cut/plan.h"

namespace vintrel::cut {

// A made file that does not pass its checks; the message says which and by how much.
class VerificationFailed : public std::runtime_error {
 public:
  explicit VerificationFailed(const QString& message) : std::runtime_error(message.toStdString()) {}
};

struct StreamSpan {
  double first = 0;  // earliest timestamp
  double end = 0;    // latest timestamp plus its duration
  double packet = 0; // the longest packet seen: a compressed stream ends on a packet's edge
  double length() const { return end - first; }
};

// What a listing of every packet of a made file's first video and audio stream tells
// (ffmpeg's framecrc of a stream copy): read once for the length checks.
struct MadeListing {
  int videoPackets = 0;  // of the first video stream
  StreamSpan video;      // the first video stream
  StreamSpan audio;      // the first audio stream; all zero without one
};
MadeListing ParseFrameCrcListing(const QByteArray& text);
// Whether a smart cut into `output` is measured from the file's index (MP4 and MOV).
bool LengthsFromIndex(const QString& output);
// The same from an MP4's index; nullopt when the index does not count the video.
std::optional<MadeListing> ListingFromIndex(const Mp4Index& made);

// The frame hashes of ffmpeg's framemd5 format, by stream index, from text that may hold
// other lines too.
QList<QStringList> ParseFrameHashes(const QByteArray& text);

// The source's side of a smart cut's comparison, read while the parts are made: its frame
// where the stretch starts (kept losslessly in `firstFrameFile`) and the hashes of the frames
// the copy starts with. Empty where it could not be read, which the check then tells.
struct SourceSample {
  QString firstFrameFile;
  QStringList hashes;
};
int CopiedFramesCompared(const CutPlan& plan);
// What to keep of the source for the check, read from a quarter frame before the stretch's
// first frame (where the head's encode reads from).
SampleOutputs SourceSampleOutputs(const CutPlan& plan, const QString& firstFrameFile, const QString& hashFile);
// The sample an encode kept; empty where it is missing.
SourceSample ReadSourceSample(const SampleOutputs& outputs);
// A run of its own, for a stretch that starts at a key frame (no head to encode).
SourceSample SampleSource(const Tools& tools, const CutRequest& request, const CutPlan& plan,
                          const SampleOutputs& outputs);

// A smart cut's two reads of the file it makes, started with the cut: the end's decoding
// (with the packet listing) and the start's comparison with the source. A program's start
// costs about as much as the reading it then does, and here it overlaps the probe; the
// programs wait on pipes until VerifyCut lets them read. Dropped unused, they end at once.
class EarlyChecks {
 public:
  // `listPackets`: the end's read lists every packet too (where the lengths do not come from
  // the made file's index).
  EarlyChecks(const Tools& tools, const QString& madeFile, const QString& sourceFrameFile,
              const QString& hashFile, bool listPackets);
  const QString madeFile, hashFile;
  const bool listPackets;
  // Waiting for the made file's name (a concat list) and for the comparison's graph.
  StartedChild end, start;
};

// Checks a made file against the plan; returns what was checked, one line each, or throws
// VerificationFailed. A smart cut's needs the source's sample and names for two work files.
QStringList VerifyCut(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile, const SourceSample& sourceSample = {},
                      const std::function<QString(const QString&)>& workFile = {},
                      EarlyChecks* early = nullptr);

}  // namespace vintrel::cut
