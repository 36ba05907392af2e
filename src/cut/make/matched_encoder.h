// An encoder for the frames that stand between the source's own: libx264/libx265 set to the
// source's profile, level, picture and colour, with its parameter sets in band.
#pragma once

#include <QByteArray>
#include <QList>
#include <functional>

#include "cut/media/av.h"

namespace vintrel::cut {

class MatchedEncoder {
 public:
  // `sourceSets`: the source's parameter sets, whose ids ours must not take where we choose them.
  // Throws CutError where the source's frames cannot be matched (no encoder for its pixel
  // format, a Dolby Vision stream without a base layer of its own).
  MatchedEncoder(const AVStream* source, const QList<QByteArray>& sourceSets, int nalLengthSize);

  using PacketSink = std::function<void(PacketHandle)>;
  // Packets come as the container holds the source's: NAL units behind lengths, times in the
  // source's time base as the frames had them.
  void encode(AVFrame* frame, const PacketSink& sink);
  void finish(const PacketSink& sink);
  int encoded() const { return encoded_; }

 private:
  void open(const AVFrame* first);
  void receive(const PacketSink& sink);
  const AVStream* source_;
  QList<QByteArray> sourceSets_;
  const AVCodec* codec_ = nullptr;
  CodecHandle context_;
  int nalLengthSize_;
  int encoded_ = 0;
};

}  // namespace vintrel::cut
