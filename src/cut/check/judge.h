// Judging a made file: what it should be, what was found in it, and the verdict. Pure.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace vintrel::cut {

// A re-encoded first frame this close to the source's is the same picture to the eye; a wrong
// frame (a neighbour of a moving picture) or a damaged one is far below.
inline constexpr double kSamePicture = 30;

struct Expected {
  int frames = 0;     // the source's frames whose times lie in the stretch
  double length = 0;  // seconds the stretch's video runs
  bool audio = false;
  double audioLength = 0;  // seconds the stretch's sound runs
  // Seconds from the first sound to the first frame, as in the source over the stretch, and how
  // far off it may be (a sample where the container trims the sound, else one audio frame).
  double videoAfterAudio = 0;
  double syncTolerance = 0.001;
  int rotation = 0;
  bool firstFrameCompared = true;  // not where the picture changed size or turned (a re-encode)
  int copiedCompared = 0;          // copied frames whose pictures are compared with the source's
};

struct Found {
  QString unreadable;  // why the file could not be read at all; empty when it could
  int frames = 0;
  double videoFirst = 0;  // the first frame's time, seconds, as a player places it
  std::optional<double> audioFirst, audioLength;
  int decodeErrors = 0;                  // where the decoding went: around every join, or the whole file
  QString decodedWhere;                  // "around every join" / "the whole file"
  std::optional<double> firstFramePsnr;  // against the source's frame at the start: psnr_avg, dB
  int copiedMatching = 0;                // of the compared copied frames, those identical to the source's
  int rotation = 0;
};

struct Verdict {
  QString failure;  // empty when the file passes
  QStringList checked;
  bool passed() const { return failure.isEmpty(); }
};

// The first failed check says why (in a fixed order), else every check names what it found.
Verdict Judge(const Expected& expected, const Found& found);

}  // namespace vintrel::cut
