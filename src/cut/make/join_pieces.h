// Joins checked cuts of one source (made by the same writer, so their streams match) into one
// file through one muxer on one clock: each piece's video and subtitles start where the piece
// before ended, its sound runs on without a gap and is placed within half an audio frame of its
// picture, and the chapters follow the pieces.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "cut/make/output_file.h"
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

// The streams of a joined file on one clock, each piece's packets moved by its offset (seconds)
// to where it starts: pictures and cues in rising decoding times, the sound run on without a gap
// and placed within half an audio frame of its picture at every join.
class JoinedStreams {
 public:
  // `first`: the streams' kinds and time bases (every piece's packets come in them).
  // `remakeDecodingTimes`: the pictures' decoding times made afresh from their display times.
  JoinedStreams(OutputFile& output, const Source& first, bool remakeDecodingTimes);
  void startPiece();
  // `later`: of a piece after the first. Throws CutError where decoding times would overlap.
  void write(int sourceIndex, AVPacket* packet, double offset, bool later);
  void finish();  // writes the last sound packets held back
  const Joined& joined() const { return joined_; }

 private:
  // Where a stream stands: the last decoding time written, and for sound where its next packet goes.
  struct StreamClock {
    std::optional<int64_t> lastDts;
    std::optional<int64_t> nextSound;
    std::optional<int64_t> pieceShift;  // how far the piece's sound moved to follow on, once known
    std::vector<int64_t> waiting;       // pictures' times not yet given as a decoding time, rising
    PacketHandle held;                  // the last sound packet, not yet written
  };
  void place(AVPacket* packet, int index, double offset);
  void placeSound(AVPacket* packet, int index, double offset, bool later);

  OutputFile& output_;
  const Source& first_;
  std::vector<StreamClock> clocks_;
  bool remakeDecodingTimes_;
  Joined joined_;
};

// Throws CutError where the pieces' streams differ or a join cannot be written in order,
// WriteFailed where the file cannot be written, CutCancelled.
Joined JoinPieces(const std::vector<JoinPiece>& pieces, const QString& made, bool chapters,
                  const std::function<void(double)>& progress);

// The check of a joined file read afresh: every piece's frames within its own stretch of the
// joined clock, the copied pictures byte for byte, the sound's length. Throws VerificationFailed.
QStringList CheckJoined(const std::vector<JoinPiece>& pieces, const QString& made, const Joined& joined);

}  // namespace vintrel::cut
