// Decoding one stream's packets into frames, counting the errors the decoder reports.
#pragma once

#include <functional>

#include "cut/media/av.h"

namespace vintrel::cut {

// The libraries keep quiet: what the user reads is our one line. Decoders' errors are counted.
void InstallLibraryLog();

class Decoder {
 public:
  explicit Decoder(const AVStream* stream);

  using FrameSink = std::function<void(AVFrame*)>;
  // Frames come out in display order, each with its best-effort time in `best_effort_timestamp`.
  void send(const AVPacket* packet, const FrameSink& sink);
  void drain(const FrameSink& sink);

  // Decoding failures and damage reported (concealed or not) since it was made, by it or by any
  // decoder at the same time.
  int errors() const;

 private:
  void receive(const FrameSink& sink);
  CodecHandle context_;
  FrameHandle frame_;
  int errors_ = 0;
  int loggedBefore_ = 0;
};

}  // namespace vintrel::cut
