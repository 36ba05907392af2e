// A video file's tracks as a user chooses among them ("v:0", "a:1", "s:0": the kind and its
// number among the streams of that kind), and that choice applied to a source before a cut.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "cut/media/source.h"

namespace vintrel::cut {

struct Track {
  QString id;        // "a:1"
  int index = 0;     // the stream's number in the file
  QString kind;      // "video", "sound", "subtitles"
  QString codec;     // the libraries' name
  QString language;  // as tagged ("eng"), empty when not
  QString title;
  int channels = 0;  // sound only
  bool isDefault = false;
};

// The tracks a user can choose: the picture the player shows, every sound and subtitle track.
std::vector<Track> TracksOf(const Source& source);
std::vector<Track> ReadTracks(const QString& path);  // throws CutError as Source does

// "v:0,a:1" as a list, or nullopt where an item is not KIND:NUMBER (v, a or s).
std::optional<QStringList> ParseTrackList(const QString& text);

// What a cut keeps of the source's streams: only `keep` where given (the video always), less
// `drop`; `defaultSound` (an "a:N", or empty) becomes the one sound track played by default.
struct TrackChoice {
  QStringList keep, drop;
  QString defaultSound;
  bool isEmpty() const { return keep.isEmpty() && drop.isEmpty() && defaultSound.isEmpty(); }
};
// Marks the dropped streams of `source` as discarded (its reading and every writer skip them)
// and sets the default flag. Throws CutError naming a track the source does not have.
void ApplyTrackChoice(Source& source, const TrackChoice& choice);
// The tracks a source has left to keep, once a choice is applied.
std::vector<Track> KeptTracks(const Source& source);
// "Tracks: video h264; sound aac eng (default); subtitles mov_text": the report's line.
QString TracksLine(const std::vector<Track>& tracks);

}  // namespace vintrel::cut
