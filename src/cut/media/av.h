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

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputHandle = std::unique_ptr<AVFormatContext, InputCloser>;

struct CodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecHandle = std::unique_ptr<AVCodecContext, CodecFreer>;

struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketHandle = std::unique_ptr<AVPacket, PacketFreer>;
PacketHandle NewPacket();
PacketHandle ClonePacket(const AVPacket* packet);

struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FrameHandle = std::unique_ptr<AVFrame, FrameFreer>;
FrameHandle NewFrame();

QString AvErrorText(int code);

// Seconds from a stream's ticks and back.
double Seconds(int64_t ticks, AVRational timeBase);
int64_t Ticks(double seconds, AVRational timeBase);

}  // namespace vintrel::cut
