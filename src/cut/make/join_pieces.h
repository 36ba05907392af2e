// Joins checked cuts of one source (made by the same writer, so their streams match) into one
// file through one muxer on one clock: each piece's video and subtitles start where the piece
// before ended, its sound runs on without a gap and is placed within half an audio frame of its
// picture, and the chapters follow the pieces.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "cut/media/source.h"

namespace vintrel::cut {

struct JoinPiece {
  QString file;
  double length = 0;      // of its stretch, seconds: where the next piece starts
  double firstFrame = 0;  // where its first picture stands after the stretch's start, seconds
  QString title;          // its chapter's
};

// Where the first picture of the source at or after `start` (seconds from a player's 0) stands
// after it, in seconds: where a cut from `start` shows its first picture.
double FirstFrameAfter(Source& source, double start);

struct Joined {
  int frames = 0;
  double soundOffsetAtJoins = 0;  // the largest shift of the sound against the picture at a join, seconds
  double soundFrame = 0;          // one audio frame of the first sound stream, seconds; 0 without sound
};

// Throws CutError where the pieces' streams differ or a join cannot be written in order,
// WriteFailed where the file cannot be written, CutCancelled.
Joined JoinPieces(const std::vector<JoinPiece>& pieces, const QString& made, bool chapters,
                  const std::function<void(double)>& progress);

// The check of a joined file read afresh: every piece's frames within its own stretch of the
// joined clock, the copied pictures byte for byte, the sound's length. Throws VerificationFailed.
QStringList CheckJoined(const std::vector<JoinPiece>& pieces, const QString& made, const Joined& joined);

}  // namespace vintrel::cut
