#include "cut/make/video_encoder.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstring>

#include "cut/check/measure.h"
#include "cut/cut_error.h"
#include "cut/make/source_match.h"
#include "cut/media/versions.h"

namespace vintrel::cut {

namespace {

const AVRational kMpegRates[] = {{24000, 1001}, {24, 1}, {25, 1},       {30000, 1001},
                                 {30, 1},       {50, 1}, {60000, 1001}, {60, 1}};
const AVRational kVideoCdRates[] = {{25, 1}, {30000, 1001}, {24000, 1001}};
// x264's and x265's constant quality: 47-50 dB against an x264 source at 1.4x its size.
constexpr int kConstantQuality = 16;
// The quantiser of the older codecs: 45 dB and more; a lower one grows the file fast.
constexpr int kQuantiser = 3;
constexpr int kVideoCdBitRate = 1150000, kVideoCdBuffer = 40 * 1024 * 8;

template <size_t N>
AVRational Nearest(const AVRational (&rates)[N], AVRational rate) {
  const double wanted = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 25;
  AVRational best = rates[0];
  for (const AVRational candidate : rates)
    if (std::abs(av_q2d(candidate) - wanted) < std::abs(av_q2d(best) - wanted)) best = candidate;
  return best;
}

const AVCodec* ChooseEncoder(const ContainerFacts& facts, AVCodecID source) {
  const AVCodec* first = nullptr;
  for (const QString& name : facts.videoEncoders) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.toUtf8().constData());
    if (codec && codec->id == source) return codec;
    if (!first) first = codec;
  }
  if (!first) throw CutError(QString("The %1 encoder is missing.").arg(facts.videoEncoders.value(0)));
  return first;
}

AVPixelFormat ChoosePixelFormat(const AVCodec* codec, AVPixelFormat source) {
  std::vector<AVPixelFormat> formats = SupportedPixelFormats(codec);
  if (formats.empty() || std::find(formats.begin(), formats.end(), source) != formats.end()) return source;
  formats.push_back(AV_PIX_FMT_NONE);
  return avcodec_find_best_pix_fmt_of_list(formats.data(), source, 0, nullptr);
}

// x264's and x265's names for the source's profile; empty where they have none.
QString ProfileName(const AVCodecParameters* source, AVCodecID encoding) {
  const char* name = avcodec_profile_name(source->codec_id, source->profile);
  if (!name || source->codec_id != encoding) return {};
  QString profile = QString(name).toLower().remove("constrained ").remove(" predictive").remove(" intra");
  profile.remove(':').remove(' ').replace("4:4:4", "444");
  if (profile == "extended") profile = "main";
  const QStringList known = encoding == AV_CODEC_ID_H264
                                ? QStringList{"baseline", "main", "high", "high10", "high422", "high444"}
                                : QStringList{"main", "main10", "mainstillpicture"};
  return known.contains(profile) ? profile : QString();
}

// The source's profile and level where the picture is the source's; quality by constant rate factor.
void SetX26xQuality(AVCodecContext* context, const AVCodecParameters* source, bool samePicture) {
  void* options = context->priv_data;
  const bool hevc = context->codec_id == AV_CODEC_ID_HEVC;
  av_opt_set(options, "preset", "veryfast", 0);
  av_opt_set_double(options, "crf", kConstantQuality, 0);
  const QString profile = samePicture ? ProfileName(source, context->codec_id) : QString();
  if (!profile.isEmpty()) av_opt_set(options, "profile", profile.toUtf8().constData(), 0);
  const int level = samePicture && source->codec_id == context->codec_id ? source->level : 0;
  if (hevc) {
    const QString params = "log-level=error" + X265LevelParameter(level);
    av_opt_set(options, "x265-params", params.toUtf8().constData(), 0);
  } else if (const QString x264Level = X264Level(level); !x264Level.isEmpty()) {
    av_opt_set(options, "level", x264Level.toUtf8().constData(), 0);
  }
}

void SetQuantiserQuality(AVCodecContext* context, bool videoCd, AVRational rate) {
  const bool mpeg =
      context->codec_id == AV_CODEC_ID_MPEG1VIDEO || context->codec_id == AV_CODEC_ID_MPEG2VIDEO;
  context->max_b_frames = mpeg ? 2 : 0;
  context->gop_size = mpeg ? 15 : std::min(300, int(std::lround(av_q2d(rate) * 10)));
  if (videoCd) {
    context->bit_rate = context->rc_max_rate = context->rc_min_rate = kVideoCdBitRate;
    context->rc_buffer_size = kVideoCdBuffer;
    context->gop_size = rate.num == 25 ? 15 : 18;
    return;
  }
  context->flags |= AV_CODEC_FLAG_QSCALE;
  context->global_quality = FF_QP2LAMBDA * kQuantiser;
}

struct Sample {
  int x, y;
};

// Where the sample at (x, y) of a width by height plane goes when the picture turns clockwise
// by 90, 180 or 270 degrees.
Sample Turned(Sample from, int width, int height, int degrees) {
  if (degrees == 90) return {height - 1 - from.y, from.x};
  if (degrees == 180) return {width - 1 - from.x, height - 1 - from.y};
  return {from.y, width - 1 - from.x};
}

// One plane of `in` into `out`, a sample of `bytes` at a time.
void TurnPlane(const AVFrame* in, AVFrame* out, int plane, Sample size, int bytes, int degrees) {
  for (int y = 0; y < size.y; ++y)
    for (int x = 0; x < size.x; ++x) {
      const Sample to = Turned({x, y}, size.x, size.y, degrees);
      memcpy(out->data[plane] + ptrdiff_t(to.y) * out->linesize[plane] + ptrdiff_t(to.x) * bytes,
             in->data[plane] + ptrdiff_t(y) * in->linesize[plane] + ptrdiff_t(x) * bytes, bytes);
    }
}

// Plane by plane: 90 or 270 (clockwise) swap the picture's sides.
void Turn(const AVFrame* in, AVFrame* out, int degrees) {
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(AVPixelFormat(in->format));
  for (int plane = 0; plane < 4 && in->data[plane]; ++plane) {
    const bool chroma = plane == 1 || plane == 2;
    const Sample size = {chroma ? AV_CEIL_RSHIFT(in->width, descriptor->log2_chroma_w) : in->width,
                         chroma ? AV_CEIL_RSHIFT(in->height, descriptor->log2_chroma_h) : in->height};
    TurnPlane(in, out, plane, size, descriptor->comp[0].step, degrees);
  }
}

}  // namespace

std::optional<AVRational> SlotRate(const ContainerFacts& facts, AVRational sourceRate) {
  if (facts.videoCd) return Nearest(kVideoCdRates, sourceRate);
  if (facts.timing == FrameTiming::kStandardRates) return Nearest(kMpegRates, sourceRate);
  if (facts.timing == FrameTiming::kSourceRateSlots)
    return sourceRate.num > 0 && sourceRate.den > 0 ? sourceRate : AVRational{25, 1};
  return std::nullopt;
}

int64_t SlotOf(int64_t ticks, AVRational timeBase, AVRational rate) {
  return av_rescale_q_rnd(ticks, timeBase, av_inv_q(rate), AVRounding(AV_ROUND_NEAR_INF));
}

VideoEncoder::VideoEncoder(const AVStream* source, const ContainerFacts& facts, bool globalHeader)
    : sourceTimeBase_(source->time_base), sourceCodec_(source->codecpar->codec_id) {
  const AVCodecParameters* parameters = source->codecpar;
  const AVCodec* codec = ChooseEncoder(facts, parameters->codec_id);
  context_.reset(avcodec_alloc_context3(codec));
  if (!context_) throw std::bad_alloc();
  AVCodecContext* context = context_.get();
  const AVRational rate = source->avg_frame_rate.num > 0 ? source->avg_frame_rate : source->r_frame_rate;
  slotRate_ = SlotRate(facts, rate);
  turn_ = (360 - StreamRotation(source) % 360) % 360;
  const bool sideways = turn_ == 90 || turn_ == 270;
  context->width = sideways ? parameters->height : parameters->width;
  context->height = sideways ? parameters->width : parameters->height;
  context->sample_aspect_ratio = parameters->sample_aspect_ratio;
  if (facts.videoCd) {
    const double shown =
        double(context->width) / context->height *
        (parameters->sample_aspect_ratio.num > 0 ? av_q2d(parameters->sample_aspect_ratio) : 1);
    context->width = 352;
    context->height = slotRate_->num == 25 ? 288 : 240;
    av_reduce(&context->sample_aspect_ratio.num, &context->sample_aspect_ratio.den,
              std::lround(shown * context->height * 1000), int64_t(context->width) * 1000, 1 << 16);
  }
  context->pix_fmt = ChoosePixelFormat(codec, AVPixelFormat(parameters->format));
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(context->pix_fmt);
  // Subsampled chroma needs even sides.
  if (format && format->log2_chroma_w) context->width &= ~1;
  if (format && format->log2_chroma_h) context->height &= ~1;
  CopyColour(parameters, context);
  context->time_base = slotRate_ ? av_inv_q(*slotRate_) : source->time_base;
  context->framerate = slotRate_ ? *slotRate_ : rate;
  context->thread_count = 0;
  if (globalHeader) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const bool samePicture = context->width == parameters->width && context->height == parameters->height &&
                           context->pix_fmt == parameters->format;
  if (codec->id == AV_CODEC_ID_H264 || codec->id == AV_CODEC_ID_HEVC)
    SetX26xQuality(context, parameters, samePicture);
  else
    SetQuantiserQuality(context, facts.videoCd, context->framerate);
  if (const int error = avcodec_open2(context, codec, nullptr); error < 0)
    throw CutError(
        QString("The %1 encoder cannot be set up for this video: %2.").arg(codec->name, AvErrorText(error)));
}

VideoEncoder::~VideoEncoder() { sws_freeContext(scaler_); }

QString VideoEncoder::description() const {
  const AVCodecID made = context_->codec_id;
  QString text = QString("video as %1").arg(avcodec_get_name(made));
  const bool efficient = made == AV_CODEC_ID_H264 || made == AV_CODEC_ID_HEVC || made == sourceCodec_;
  if (!efficient)
    text +=
        QString(", which needs more bytes than %1 for the same picture").arg(avcodec_get_name(sourceCodec_));
  return text;
}

AVFrame* VideoEncoder::prepared(AVFrame* frame) {
  const AVCodecContext* context = context_.get();
  const bool sideways = turn_ == 90 || turn_ == 270;
  const int width = sideways ? context->height : context->width,
            height = sideways ? context->width : context->height;
  AVFrame* ready = frame;
  if (frame->width != width || frame->height != height || frame->format != context->pix_fmt) {
    scaler_ = sws_getCachedContext(scaler_, frame->width, frame->height, AVPixelFormat(frame->format), width,
                                   height, context->pix_fmt, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr,
                                   nullptr);
    if (!scaler_) throw CutError("The video cannot be scaled for the output type.");
    if (!scaled_) scaled_ = NewFrame();
    av_frame_unref(scaled_.get());
    scaled_->width = width;
    scaled_->height = height;
    scaled_->format = context->pix_fmt;
    if (av_frame_get_buffer(scaled_.get(), 0) < 0) throw std::bad_alloc();
    sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, scaled_->data, scaled_->linesize);
    ready = scaled_.get();
  }
  if (turn_ != 0) {
    if (!turned_) turned_ = NewFrame();
    av_frame_unref(turned_.get());
    turned_->width = context->width;
    turned_->height = context->height;
    turned_->format = context->pix_fmt;
    if (av_frame_get_buffer(turned_.get(), 0) < 0) throw std::bad_alloc();
    Turn(ready, turned_.get(), turn_);
    ready = turned_.get();
  }
  if (ready != frame) av_frame_copy_props(ready, frame);
  return ready;
}

bool VideoEncoder::encode(AVFrame* frame, int64_t sinceStart, const PacketSink& sink) {
  int64_t pts = sinceStart;
  if (slotRate_) {
    pts = SlotOf(sinceStart, sourceTimeBase_, *slotRate_);
    if (pts <= lastSlot_) return false;
    lastSlot_ = pts;
  }
  AVFrame* ready = prepared(frame);
  ready->pts = pts;
  SetFrameDuration(ready, slotRate_ ? 1 : FrameDuration(frame));
  // A decoded frame keeps its old type, which the encoder would take as an order.
  ready->pict_type = AV_PICTURE_TYPE_NONE;
  // The older codecs take their quantiser frame by frame (0: their finest).
  ready->quality = context_->global_quality;
  if (const int error = avcodec_send_frame(context_.get(), ready); error < 0)
    throw CutError(QString("The encoder failed: %1.").arg(AvErrorText(error)));
  receive(sink);
  return true;
}

void VideoEncoder::finish(const PacketSink& sink) {
  avcodec_send_frame(context_.get(), nullptr);
  receive(sink);
}

void VideoEncoder::receive(const PacketSink& sink) {
  PacketHandle packet = NewPacket();
  while (true) {
    const int result = avcodec_receive_packet(context_.get(), packet.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
    if (result < 0) throw CutError(QString("The encoder failed: %1.").arg(AvErrorText(result)));
    sink(packet.get());
    av_packet_unref(packet.get());
  }
}

}  // namespace vintrel::cut
