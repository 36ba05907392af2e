#include "cut/media/av.h"

#include <QByteArray>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace vintrel::cut {

PacketHandle NewPacket() {
  PacketHandle packet(av_packet_alloc());
  if (!packet) throw std::bad_alloc();
  return packet;
}

PacketHandle ClonePacket(const AVPacket* source) {
  PacketHandle packet(av_packet_clone(source));
  if (!packet) throw std::bad_alloc();
  return packet;
}

PacketHandle PacketWith(const QByteArray& bytes, const AVPacket* like) {
  PacketHandle packet = NewPacket();
  if (av_new_packet(packet.get(), int(bytes.size())) < 0) throw std::bad_alloc();
  memcpy(packet->data, bytes.constData(), bytes.size());
  av_packet_copy_props(packet.get(), like);
  return packet;
}

FrameHandle NewFrame() {
  FrameHandle frame(av_frame_alloc());
  if (!frame) throw std::bad_alloc();
  return frame;
}

QString AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromUtf8(text);
}

double Seconds(int64_t ticks, AVRational timeBase) { return double(ticks) * av_q2d(timeBase); }

int64_t Ticks(double seconds, AVRational timeBase) {
  return std::llround(seconds * timeBase.den / timeBase.num);
}

}  // namespace vintrel::cut
