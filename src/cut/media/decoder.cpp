#include "cut/media/decoder.h"

#include <atomic>
#include <mutex>

#include "cut/cut_error.h"

namespace vintrel::cut {

namespace {

// Decoders say what they concealed only in their log, from whichever of their threads met it:
// decoders' error lines are counted, and kept out of the terminal. A decoder's errors are those
// counted while it lived (the engine decodes with one decoder at a time where it counts).
std::atomic<int> decoderErrors{0};

void LogCallback(void* source, int level, const char* format, va_list arguments) {
  const AVClass* type = source ? *static_cast<AVClass**>(source) : nullptr;
  if (level <= AV_LOG_ERROR && type && type->category == AV_CLASS_CATEGORY_DECODER) ++decoderErrors;
  if (level <= av_log_get_level()) av_log_default_callback(source, level, format, arguments);
}

}  // namespace

void InstallLibraryLog() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    av_log_set_level(AV_LOG_QUIET);
    av_log_set_callback(LogCallback);
  });
}

Decoder::Decoder(const AVStream* stream) : frame_(NewFrame()) {
  InstallLibraryLog();
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) throw CutError("The video's format cannot be decoded here.");
  context_.reset(avcodec_alloc_context3(codec));
  if (!context_) throw std::bad_alloc();
  avcodec_parameters_to_context(context_.get(), stream->codecpar);
  context_->pkt_timebase = stream->time_base;
  context_->thread_count = 0;  // as many as the library sees fit
  if (const int error = avcodec_open2(context_.get(), codec, nullptr); error < 0)
    throw CutError(QString("The video cannot be decoded: %1.").arg(AvErrorText(error)));
  loggedBefore_ = decoderErrors;
  // The files seen timed in decoding order are H.264 cameras'. Other decoders drop pictures
  // they cannot show (HEVC's leading pictures after a seek, MPEG's first frames), whose times
  // the rule would hand to the frames after them.
  mayBeInDecodingOrder_ = stream->codecpar->codec_id == AV_CODEC_ID_H264;
}

int Decoder::errors() const { return errors_ + (decoderErrors - loggedBefore_); }

void Decoder::send(const AVPacket* packet, const FrameSink& sink) {
  if (packet->size > 0 && mayBeInDecodingOrder_) {
    // Only a stream that times every packet can have its times given in decoding order.
    inDecodingOrder_ = inDecodingOrder_ && packet->pts != AV_NOPTS_VALUE &&
                       (lastSent_ == AV_NOPTS_VALUE || packet->pts >= lastSent_);
    lastSent_ = packet->pts;
    if (packet->pts != AV_NOPTS_VALUE) unshown_.insert(packet->pts);
  }
  int result = avcodec_send_packet(context_.get(), packet);
  if (result == AVERROR(EAGAIN)) {
    receive(sink);
    result = avcodec_send_packet(context_.get(), packet);
  }
  if (result < 0 && result != AVERROR_EOF) ++errors_;
  receive(sink);
}

void Decoder::drain(const FrameSink& sink) {
  avcodec_send_packet(context_.get(), nullptr);
  receive(sink);
  avcodec_flush_buffers(context_.get());
  unshown_.clear();
  lastSent_ = AV_NOPTS_VALUE;
}

void Decoder::placeAsShown(AVFrame* frame) {
  if (mayBeInDecodingOrder_ && inDecodingOrder_ && !unshown_.empty())
    frame->pts = frame->best_effort_timestamp = *unshown_.begin();
  const int64_t shown = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
  if (const auto given = unshown_.find(shown); given != unshown_.end()) unshown_.erase(given);
}

void Decoder::receive(const FrameSink& sink) {
  while (true) {
    const int result = avcodec_receive_frame(context_.get(), frame_.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
    if (result < 0) {
      ++errors_;
      break;
    }
    if (frame_->decode_error_flags || (frame_->flags & AV_FRAME_FLAG_CORRUPT)) ++errors_;
    placeAsShown(frame_.get());
    sink(frame_.get());
    av_frame_unref(frame_.get());
  }
}

}  // namespace vintrel::cut
