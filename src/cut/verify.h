#pragma once

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

// Timestamps at the start and the end of a file's stream ("v:0", "a:0"), without reading
// all of it.
StreamSpan MeasureSpan(const Tools& tools, const QString& file, const QString& stream);
int CountVideoFrames(const Tools& tools, const QString& file);
// Hashes of decoded frames, for comparing the copied part with the source.
QStringList FrameHashes(const Tools& tools, const QString& file, double from, int frames);

// Checks a made file against the plan; returns what was checked, one line each, or throws
// VerificationFailed.
QStringList VerifyCut(const Tools& tools, const MediaInfo& source, const CutRequest& request,
                      const CutPlan& plan, const QString& madeFile);

}  // namespace vintrel::cut
