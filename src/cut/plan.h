#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "cut/media_info.h"

namespace vintrel::cut {

struct CutRequest {
  QString input;
  QString output;
  double start = 0;  // seconds from the container's start, as the player shows them
  double end = 0;
  bool forceReEncode = false;
};

enum class CutMethod { kSmartCut, kReEncode };

// A smart cut in frames: [head: re-encoded][copy: the source's packets][tail: re-encoded].
struct SmartCutLayout {
  double headStart = 0;  // time of the first frame of the stretch
  int headFrames = 0;
  double copyStart = 0;  // a clean key frame
  int copyFrames = 0;
  double tailStart = 0;  // a clean key frame, when the copy cannot end exactly at the end
  int tailFrames = 0;
};

struct CutPlan {
  CutMethod method = CutMethod::kReEncode;
  QString reason;  // why the stretch is re-encoded; empty for a smart cut
  SmartCutLayout layout;
  int expectedFrames = 0;  // exact for a constant frame rate
  double frameRate = 0;
};

QString LowerExtension(const QString& path);

// One line saying what is wrong with the stretch for this input, or empty when it is fine.
QString StretchProblem(const MediaInfo& media, const CutRequest& request);

// Why this input cannot be smart-cut into this output type; empty when it can.
QString SmartCutObstacle(const MediaInfo& media, const CutRequest& request);
// Where a smart cut's join can read the copied packets straight from the source, with no run
// to copy them first: from the copy's key frame, at its exact time (so that the join places
// it exactly), to just before the decoding time of the first packet after the copy. The
// concat demuxer stops a file at the first packet of any stream that reaches that time, so
// this holds only where, in the order the demuxer reads the source (`endEvery`: the probe's
// listing of every stream around the end), no video packet before it comes after a packet at
// or past it. The parts must also share the source's time base (the join keeps the first
// part's), the source's video must be its first stream (parts are matched by stream number)
// and H.264, which the join puts into Annex B itself, in an MP4/MOV. nullopt otherwise.
struct DirectCopy {
  double inpoint = 0, outpoint = 0;
  long long timeScale = 0;  // of the source's video, for the encoded parts
};
std::optional<DirectCopy> DirectCopyBounds(const MediaInfo& media, const CutPlan& plan,
                                           const QList<Packet>& start, const QList<Packet>& endEvery);

// Whether the request alone (before anything is known of the video) leaves a smart cut open.
bool SmartCutPossible(const CutRequest& request);

// Frame index of a time on the stream's constant-rate grid (the first frame is index 0).
long long FrameIndex(const MediaInfo& media, double time);
// The first frame index at or after a time: the frame a stretch starting there begins with.
long long FirstFrameAtOrAfter(const MediaInfo& media, double time);
double FrameTime(const MediaInfo& media, long long index);
// Where the video ends, from the container's start; a file's audio may run longer.
double VideoEnd(const MediaInfo& media);
// The end of the stretch's video: the end asked for, or the video's end if that comes first.
double VideoStretchEnd(const MediaInfo& media, const CutRequest& request);

// Key frames in decode-ordered packets that no later packet displays before (no leading
// pictures) and that lie in [from, to), in time order. Whether their NAL type makes them
// clean entry points is checked apart, with the packet's bytes.
QList<double> EntryCandidates(const MediaInfo& media, const QList<Packet>& packets, double from, double to);

// Whether the packets' timestamps sit on the stream's constant frame grid.
bool FrameTimesRegular(const MediaInfo& media, const QList<Packet>& packets);

CutPlan PlanReEncode(const MediaInfo& media, const CutRequest& request, const QString& reason);

// startEntry: the first clean key frame at or after the start; endWindow: decode-ordered
// packets around the end; endEntry: the last clean key frame at or before the end.
CutPlan PlanSmartCut(const MediaInfo& media, const CutRequest& request, std::optional<double> startEntry,
                     const QList<Packet>& endWindow, std::optional<double> endEntry);

}  // namespace vintrel::cut
