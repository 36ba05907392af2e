#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

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

// The frame hashes of ffmpeg's framemd5 format, by stream index, from text that may hold
// other lines too.
QList<QStringList> ParseFrameHashes(const QByteArray& text);

// Checks a made file against the plan; returns what was checked, one line each, or throws
// VerificationFailed. Its reads of the file run at the same time.
QStringList VerifyCut(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile);

}  // namespace vintrel::cut
