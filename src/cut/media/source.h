// A video file opened for reading: its streams, and its packets from near a time.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "cut/media/av.h"

namespace vintrel::cut {

// What the plan needs of one video packet, in the video stream's time base.
struct VideoPacket {
  int64_t pts = 0;
  int64_t duration = 0;
  bool key = false;         // the container marks it as a key frame
  bool cleanEntry = false;  // and its bytes say a decoder can start there (see IsCleanEntry)
};

class Source {
 public:
  // Throws CutError when the file cannot be read as a video.
  explicit Source(const QString& path);

  const QString& path() const { return path_; }
  AVFormatContext* context() const { return context_.get(); }
  AVStream* stream(int index) const { return context_->streams[index]; }
  AVStream* video() const { return stream(videoIndex_); }
  int videoIndex() const { return videoIndex_; }
  int nalLengthSize() const { return nalLengthSize_; }
  // How many frames decoding may run ahead of display, as the stream declares it: its
  // parameter sets, or the decoder's delay where that is more.
  int reorderDepth() const { return reorderDepth_; }
  // The streams of one kind, in order; the first sound stream not left out (-1 without one).
  std::vector<int> streamsOf(AVMediaType type) const;
  int firstAudio() const;

  // A player's time 0, in seconds of the file's own clock: where the container starts.
  double startSeconds() const;
  // Where a stream ends, from a player's 0 (the file's end where the stream does not say).
  double endSeconds(const AVStream* stream) const;
  double videoEndSeconds() const { return endSeconds(video()); }
  // A player's time as ticks of a stream's clock.
  int64_t ticksAt(double playerSeconds, AVRational timeBase) const;

  // Reading goes on from the video's last key frame at or before `videoTicks`.
  void seekVideo(int64_t videoTicks);
  // The next packet; false at the end of the data (a read error, a damaged file's end, too:
  // what is missing then shows in the check's frame count).
  bool read(AVPacket* packet);

  VideoPacket describe(const AVPacket& videoPacket) const;

  // Video packets in decoding order from the key frame at or before `from` (kFromStart: where
  // a fresh reader stands), until `enough` says so or the file ends.
  static constexpr int64_t kFromStart = INT64_MIN;
  std::vector<VideoPacket> readVideo(int64_t from,
                                     const std::function<bool(const std::vector<VideoPacket>&)>& enough);

 private:
  QString path_;
  InputHandle context_;
  int videoIndex_ = -1;
  int nalLengthSize_ = 4;
  int reorderDepth_ = 0;
};

}  // namespace vintrel::cut
