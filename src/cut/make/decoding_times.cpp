#include "cut/make/decoding_times.h"

#include <algorithm>

#include "cut/cut_error.h"

namespace vintrel::cut {

DecodingTimes::DecodingTimes(int depth, Sink sink) : depth_(std::max(0, depth)), sink_(std::move(sink)) {}

void DecodingTimes::push(PacketHandle packet) {
  if (firstStep_ == 0 && packet->duration > 0) firstStep_ = packet->duration;
  shown_.push(packet->pts);
  waiting_.push_back(std::move(packet));
  if (int(waiting_.size()) > depth_) release();
}

void DecodingTimes::finish() {
  while (!waiting_.empty()) release();
}

void DecodingTimes::release() {
  PacketHandle packet = std::move(waiting_.front());
  waiting_.pop_front();
  int64_t dts;
  if (released_ < depth_) {
    dts = shown_.top() - (depth_ - released_) * std::max<int64_t>(1, firstStep_);
  } else {
    dts = shown_.top();
    shown_.pop();
  }
  if (last_ != AV_NOPTS_VALUE) dts = std::max(dts, last_ + 1);
  // Deep enough, the depth gives each packet a time no later than its own display; a stream
  // that reorders deeper than it declares leaves none that also keeps the order.
  if (dts > packet->pts) throw CutError("the video's frames are reordered deeper than the stream declares");
  packet->dts = dts;
  last_ = dts;
  ++released_;
  sink_(std::move(packet));
}

}  // namespace vintrel::cut
