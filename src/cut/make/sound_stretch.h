// The sound of a whole re-encode, one stream at a time: copied packet by packet where the
// output type holds its codec, else decoded, resampled where the encoder needs it and encoded.
// Either way it covers the stretch on the start mark's clock, to the sample where the type trims
// sound (an edit list), else to a packet's edge.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "cut/media/av.h"
#include "cut/media/containers.h"

namespace vintrel::cut {

class SoundStretch {
 public:
  // Where the stretch lies, in seconds of the source's own clock.
  struct Span {
    double start = 0, end = 0;
  };
  using PacketSink = std::function<void(AVPacket*, AVRational timeBase)>;

  virtual ~SoundStretch() = default;
  // The stream's packets in the source's order.
  virtual void take(AVPacket* packet) = 0;
  virtual void finish() = 0;
  // No packet of the stretch is still to come.
  bool done() const { return finished; }
  // The encoder of a re-encoded stream; nullptr for a copy.
  virtual const AVCodecContext* encoder() const { return nullptr; }
  // "sound as mp3 (...)" for a re-encode; empty for a copy.
  virtual QString description() const { return {}; }

 protected:
  bool finished = false;
};

// Copies the stream where `facts` holds its codec, else re-encodes it.
std::unique_ptr<SoundStretch> MakeSoundStretch(const AVStream* stream, const ContainerFacts& facts,
                                               bool globalHeader, SoundStretch::Span span,
                                               SoundStretch::PacketSink sink);

}  // namespace vintrel::cut
