#pragma once

#include <QString>

namespace vintrel::cut {

// Sets the display matrix of the first video track of an MP4/MOV file in place, as ffmpeg
// writes it for a stream whose display matrix says `rotation` degrees (counter-clockwise, the
// way ffprobe reports it). The ffmpeg this engine runs cannot give a stream from the concat
// demuxer a rotation, so a smart cut restores the source's afterwards. Returns false when the
// file has no such track or cannot be written.
bool SetMp4VideoRotation(const QString& file, int rotation);

}  // namespace vintrel::cut
