#include "cut/media/decoder.h"

#include <map>
#include <mutex>
#include <set>

#include "cut/cut_error.h"

namespace vintrel::cut {

namespace {

// Decoders say what they concealed only in their log: their error lines are counted for the
// decoder they came from, and kept out of the terminal.
std::mutex logMutex;
std::set<const void*> watchedContexts;
std::map<const void*, int>* errorCounts() {
  static std::map<const void*, int> counts;
  return &counts;
}

void LogCallback(void* source, int level, const char* format, va_list arguments) {
  if (level <= AV_LOG_ERROR) {
    std::lock_guard lock(logMutex);
    if (watchedContexts.count(source)) {
      ++(*errorCounts())[source];
      return;
    }
  }
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

Decoder::Decoder(const AVStream* stream, int threads) : frame_(NewFrame()) {
  InstallLibraryLog();
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) throw CutError("The video's format cannot be decoded here.");
  context_.reset(avcodec_alloc_context3(codec));
  if (!context_) throw std::bad_alloc();
  avcodec_parameters_to_context(context_.get(), stream->codecpar);
  context_->pkt_timebase = stream->time_base;
  context_->thread_count = threads;
  if (threads == 1) context_->thread_type = 0;
  if (const int error = avcodec_open2(context_.get(), codec, nullptr); error < 0)
    throw CutError(QString("The video cannot be decoded: %1.").arg(AvErrorText(error)));
  std::lock_guard lock(logMutex);
  watchedContexts.insert(context_.get());
}

Decoder::~Decoder() {
  std::lock_guard lock(logMutex);
  watchedContexts.erase(context_.get());
  errorCounts()->erase(context_.get());
}

void Decoder::send(const AVPacket* packet, const FrameSink& sink) {
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
}

void Decoder::reset() { avcodec_flush_buffers(context_.get()); }

void Decoder::receive(const FrameSink& sink) {
  while (true) {
    const int result = avcodec_receive_frame(context_.get(), frame_.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
    if (result < 0) {
      ++errors_;
      break;
    }
    if (frame_->decode_error_flags || (frame_->flags & AV_FRAME_FLAG_CORRUPT)) ++errors_;
    sink(frame_.get());
    av_frame_unref(frame_.get());
  }
  std::lock_guard lock(logMutex);
  int& logged = (*errorCounts())[context_.get()];
  errors_ += logged;
  logged = 0;
}

}  // namespace vintrel::cut
