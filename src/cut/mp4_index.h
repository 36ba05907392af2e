#pragma once

#include <QString>
#include <optional>

namespace vintrel::cut {

// Sets the display matrix of the first video track of an MP4/MOV file in place, as ffmpeg
// writes it for a stream whose display matrix says `rotation` degrees (counter-clockwise, the
// way ffprobe reports it). The ffmpeg this engine runs cannot give a stream from the concat
// demuxer a rotation, so a smart cut restores the source's afterwards. Returns false when the
// file has no such track or cannot be written.
bool SetMp4VideoRotation(const QString& file, int rotation);

// What an MP4/MOV file's index says of its first video and first audio track, as a player
// reads it: sample counts, and when each track starts and ends once its edit list is applied.
struct Mp4Track {
  long long samples = 0;
  double start = 0, end = 0;  // seconds
};
struct Mp4Index {
  std::optional<Mp4Track> video, audio;
  int rotation = 0;  // of the video, degrees counter-clockwise (ffprobe's sign)
};
// nullopt when the file has no readable movie index.
std::optional<Mp4Index> ReadMp4Index(const QString& file);

}  // namespace vintrel::cut
