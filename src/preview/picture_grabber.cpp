#include "preview/picture_grabber.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include "cut/cut_error.h"
#include "cut/media/decoder.h"
#include "cut/media/source.h"

namespace vintrel {

struct PictureGrabber::Open {
  explicit Open(const QString& path) : source(path) {}
  cut::Source source;
  std::unique_ptr<cut::Decoder> decoder;
};

PictureGrabber::PictureGrabber(QString path) : path_(std::move(path)) {}

PictureGrabber::~PictureGrabber() = default;

namespace {

QSize fittedSize(const AVFrame* frame, QSize box) {
  const double aspect = frame->sample_aspect_ratio.num > 0 ? av_q2d(frame->sample_aspect_ratio) : 1.0;
  QSize shape(std::max(1, int(frame->width * aspect)), frame->height);
  shape.scale(box, Qt::KeepAspectRatio);
  return shape.expandedTo(QSize(2, 2));
}

QImage scaledPicture(const AVFrame* frame, QSize box) {
  const QSize size = fittedSize(frame, box);
  SwsContext* scaler =
      sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), size.width(), size.height(),
                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler) return {};
  QImage picture(size, QImage::Format_RGB32);
  uint8_t* const planes[] = {picture.bits()};
  const int strides[] = {int(picture.bytesPerLine())};
  sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
  sws_freeContext(scaler);
  return picture;
}

}  // namespace

QImage PictureGrabber::pictureAt(double seconds, QSize size) {
  std::lock_guard lock(busy_);
  try {
    if (!open_) open_ = std::make_unique<Open>(path_);
    cut::Source& source = open_->source;
    open_->decoder = std::make_unique<cut::Decoder>(source.video());  // nothing of the last question in it
    source.seekVideo(source.ticksAt(seconds, source.video()->time_base));
    QImage picture;
    cut::PacketHandle packet = cut::NewPacket();
    // The key frame the seek lands on is the first frame out; a damaged one may take a few more.
    for (int read = 0; picture.isNull() && read < 400 && source.read(packet.get()); ++read) {
      if (packet->stream_index == source.videoIndex())
        open_->decoder->send(packet.get(), [&](AVFrame* frame) {
          if (picture.isNull()) picture = scaledPicture(frame, size);
        });
      av_packet_unref(packet.get());
    }
    return picture;
  } catch (const cut::CutError&) {
    return {};
  }
}

}  // namespace vintrel
