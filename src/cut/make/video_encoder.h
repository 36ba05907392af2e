// The video of a whole re-encode: the output type's encoder set to the source's picture,
// colour, profile and level where it can take them, at a quality near the eye's limit, and the
// frames turned upright, scaled and placed on the type's clock where it needs that.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "cut/media/av.h"
#include "cut/media/containers.h"

struct SwsContext;

namespace vintrel::cut {

// The frame rate a type's slots run at: the source's own, the nearest MPEG-1/2 rate, or (a
// Video CD) 25, 29.97 or 23.976; none where frames keep their own times.
std::optional<AVRational> SlotRate(const ContainerFacts& facts, AVRational sourceRate);
// The slot of a frame `ticks` (the video's time base) after the stretch's start.
int64_t SlotOf(int64_t ticks, AVRational timeBase, AVRational rate);

class VideoEncoder {
 public:
  VideoEncoder(const AVStream* source, const ContainerFacts& facts, bool globalHeader);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  const AVCodecContext* context() const { return context_.get(); }
  // What the report says of the encoder: its codec and, where it is less efficient than the
  // source's, that the file grows.
  QString description() const;

  using PacketSink = std::function<void(AVPacket*)>;
  // `sinceStart`: the frame's time from the stretch's start, in the source video's ticks.
  // False where the frame is dropped: its slot is taken already.
  bool encode(AVFrame* frame, int64_t sinceStart, const PacketSink& sink);
  void finish(const PacketSink& sink);

 private:
  AVFrame* prepared(AVFrame* frame);
  void receive(const PacketSink& sink);
  CodecHandle context_;
  AVRational sourceTimeBase_;
  AVCodecID sourceCodec_;
  std::optional<AVRational> slotRate_;
  int64_t lastSlot_ = INT64_MIN;
  int turn_ = 0;  // degrees clockwise that frames are turned to stand upright
  SwsContext* scaler_ = nullptr;
  FrameHandle scaled_, turned_;
};

}  // namespace vintrel::cut
