// Decoding one stream's packets into frames, counting the errors the decoder reports.
#pragma once

#include <functional>
#include <set>

#include "cut/media/av.h"

namespace vintrel::cut {

// The libraries keep quiet: what the user reads is our one line. Decoders' errors are counted.
void InstallLibraryLog();

class Decoder {
 public:
  explicit Decoder(const AVStream* stream);

  using FrameSink = std::function<void(AVFrame*)>;
  // Frames come out in display order, each with its time (`pts` and `best_effort_timestamp`) as a
  // player shows it: its own, or where the container gives times in decoding order though the pictures are
  // reordered (some cameras' files), the earliest time sent and not yet shown (the decoder's order on the
  // stream's clock). Both are the same for frames timed as they are shown.
  void send(const AVPacket* packet, const FrameSink& sink);
  void drain(const FrameSink& sink);

  // Decoding failures and damage reported (concealed or not) since it was made, by it or by any
  // decoder at the same time.
  int errors() const;

 private:
  void receive(const FrameSink& sink);
  void placeAsShown(AVFrame* frame);
  CodecHandle context_;
  FrameHandle frame_;
  int errors_ = 0;
  int loggedBefore_ = 0;
  std::multiset<int64_t> unshown_;  // times of the packets sent, not yet given to a frame
  bool mayBeInDecodingOrder_ = false;
  bool inDecodingOrder_ = true;  // no packet sent so far had an earlier time than one before it
  int64_t lastSent_ = AV_NOPTS_VALUE;
};

}  // namespace vintrel::cut
