#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "cut/commands.h"
#include "cut/media_info.h"
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
// Made MP4 files up to this size have their packets listed; bigger ones are measured from
// their index.
constexpr qint64 kListPacketsUpTo = qint64(128) << 20;
// The same from an MP4's index as ffprobe reads it (its sample counts and track times),
// which costs no reading of the packets; nullopt when the index does not count the video.
std::optional<MadeListing> ListingFromIndex(const MediaInfo& made);

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

// Checks a made file against the plan; returns what was checked, one line each, or throws
// VerificationFailed. A smart cut's needs the source's sample and names for two work files.
QStringList VerifyCut(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile, const SourceSample& sourceSample = {},
                      const std::function<QString(const QString&)>& workFile = {});

}  // namespace vintrel::cut
