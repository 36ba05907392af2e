// Owning handles for the ffmpeg libraries' objects, and their error codes as text.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <QString>
#include <memory>

namespace vintrel::cut {

// An owning handle whose deleter is the library's own av_*_free(&pointer).
template <auto Free>
struct Freer {
  template <typename T>
  void operator()(T* object) const {
    Free(&object);
  }
};
using InputHandle = std::unique_ptr<AVFormatContext, Freer<avformat_close_input>>;
using CodecHandle = std::unique_ptr<AVCodecContext, Freer<avcodec_free_context>>;
using PacketHandle = std::unique_ptr<AVPacket, Freer<av_packet_free>>;
using FrameHandle = std::unique_ptr<AVFrame, Freer<av_frame_free>>;
PacketHandle NewPacket();
PacketHandle ClonePacket(const AVPacket* packet);
// A packet holding `bytes`, with `like`'s times and flags.
PacketHandle PacketWith(const QByteArray& bytes, const AVPacket* like);
FrameHandle NewFrame();

QString AvErrorText(int code);

// Seconds from a stream's ticks and back.
double Seconds(int64_t ticks, AVRational timeBase);
int64_t Ticks(double seconds, AVRational timeBase);

}  // namespace vintrel::cut
