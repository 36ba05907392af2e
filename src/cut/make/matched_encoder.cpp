#include "cut/make/matched_encoder.h"

extern "C" {
#include <libavutil/dovi_meta.h>
#include <libavutil/mastering_display_metadata.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "cut/cut_error.h"
#include "cut/make/source_match.h"
#include "cut/media/nal.h"
#include "cut/media/versions.h"

namespace vintrel::cut {

namespace {

// Re-encoded frames are few (a GOP at most): quality over speed, near transparent.
constexpr int kQuality = 16;

struct X264Settings {
  const char* profile;
  const char* features;  // what makes x264 declare that profile, whatever the preset turned off
};

X264Settings H264Profile(int profile) {
  const int base = profile & ~AV_PROFILE_H264_CONSTRAINED;
  if (base == AV_PROFILE_H264_BASELINE) return {"baseline", "cabac=0:8x8dct=0"};
  if (base == AV_PROFILE_H264_MAIN || base == AV_PROFILE_H264_EXTENDED) return {"main", "cabac=1:8x8dct=0"};
  if (base == AV_PROFILE_H264_HIGH_10) return {"high10", "cabac=1:8x8dct=1"};
  if (base == AV_PROFILE_H264_HIGH_422) return {"high422", "cabac=1:8x8dct=1"};
  if (base == AV_PROFILE_H264_HIGH_444_PREDICTIVE) return {"high444", "cabac=1:8x8dct=1"};
  return {"high", "cabac=1:8x8dct=1"};
}

const char* HevcProfile(int profile) {
  if (profile == AV_PROFILE_HEVC_MAIN) return "main";
  if (profile == AV_PROFILE_HEVC_MAIN_10) return "main10";
  return profile == AV_PROFILE_HEVC_MAIN_STILL_PICTURE ? "mainstillpicture" : nullptr;
}

QString FieldOrderOption(AVFieldOrder order) {
  if (order == AV_FIELD_TT || order == AV_FIELD_TB) return ":tff=1";
  if (order == AV_FIELD_BB || order == AV_FIELD_BT) return ":bff=1";
  return {};
}

void CopyPicture(const AVStream* source, AVCodecContext* context) {
  const AVCodecParameters* parameters = source->codecpar;
  context->width = parameters->width;
  context->height = parameters->height;
  context->pix_fmt = AVPixelFormat(parameters->format);
  context->sample_aspect_ratio = parameters->sample_aspect_ratio;
  CopyColour(parameters, context);
  context->time_base = source->time_base;
  const AVRational rate = source->avg_frame_rate.num > 0 ? source->avg_frame_rate : source->r_frame_rate;
  if (rate.num > 0) context->framerate = rate;
}

// The mastering display and content light levels: the container's, else those the first
// frame's SEI carried (a stream whose container says nothing of them).
template <typename Metadata>
const Metadata* HdrMetadata(const AVStream* source, const AVFrame* first, AVPacketSideDataType streamType,
                            AVFrameSideDataType frameType) {
  if (const uint8_t* data = StreamSideData(source, streamType))
    return reinterpret_cast<const Metadata*>(data);
  const AVFrameSideData* side = first ? av_frame_get_side_data(first, frameType) : nullptr;
  return side ? reinterpret_cast<const Metadata*>(side->data) : nullptr;
}

// x264's and x265's words for them: "G(x,y)B(x,y)R(x,y)WP(x,y)L(max,min)" in 0.00002 and
// 0.0001 cd/m² steps, and "MaxCLL,MaxFALL".
QString HdrOptions(const AVStream* source, const AVFrame* first, bool hevc) {
  QString options;
  const auto* display = HdrMetadata<AVMasteringDisplayMetadata>(
      source, first, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
  if (display && display->has_primaries && display->has_luminance) {
    auto chromaticity = [](AVRational value) { return QString::number(std::lround(av_q2d(value) * 50000)); };
    auto point = [&](const AVRational* xy) { return chromaticity(xy[0]) + "," + chromaticity(xy[1]); };
    options += QString(":%1=G(%2)B(%3)R(%4)WP(%5)L(%6,%7)")
                   .arg(hevc ? "master-display" : "mastering-display", point(display->display_primaries[1]),
                        point(display->display_primaries[2]), point(display->display_primaries[0]),
                        point(display->white_point))
                   .arg(std::lround(av_q2d(display->max_luminance) * 10000))
                   .arg(std::lround(av_q2d(display->min_luminance) * 10000));
  }
  const auto* light = HdrMetadata<AVContentLightMetadata>(source, first, AV_PKT_DATA_CONTENT_LIGHT_LEVEL,
                                                          AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
  if (light)
    options += QString(":%1=%2,%3").arg(hevc ? "max-cll" : "cll").arg(light->MaxCLL).arg(light->MaxFALL);
  // PQ's own rate control, on 10-bit pictures only.
  if (hevc && source->codecpar->color_trc == AVCOL_TRC_SMPTE2084 &&
      av_pix_fmt_desc_get(AVPixelFormat(source->codecpar->format))->comp[0].depth >= 10)
    options += ":hdr10-opt=1";
  return options;
}

// A Dolby Vision stream whose base layer shows nothing without its metadata (profile 5) cannot
// have frames of ours among its own.
void RefuseBareDolbyVision(const AVStream* source) {
  const auto* record = reinterpret_cast<const AVDOVIDecoderConfigurationRecord*>(
      StreamSideData(source, AV_PKT_DATA_DOVI_CONF));
  if (record && record->bl_present_flag && record->dv_bl_signal_compatibility_id == 0)
    throw CutError(QString("the source's Dolby Vision picture (profile %1) cannot be re-encoded in part")
                       .arg(record->dv_profile));
}

}  // namespace

MatchedEncoder::MatchedEncoder(const AVStream* source, const QList<QByteArray>& sourceSets, int nalLengthSize)
    : source_(source), sourceSets_(sourceSets), nalLengthSize_(nalLengthSize) {
  const bool hevc = source->codecpar->codec_id == AV_CODEC_ID_HEVC;
  codec_ = avcodec_find_encoder_by_name(hevc ? "libx265" : "libx264");
  if (!codec_) throw CutError(QString("The %1 encoder is missing.").arg(hevc ? "x265" : "x264"));
  RefuseBareDolbyVision(source);
  const std::vector<AVPixelFormat> formats = SupportedPixelFormats(codec_);
  const AVPixelFormat format = AVPixelFormat(source->codecpar->format);
  if (!formats.empty() && std::find(formats.begin(), formats.end(), format) == formats.end())
    throw CutError(
        QString("the encoder cannot make the video's pixel format (%1)").arg(av_get_pix_fmt_name(format)));
}

// Set up on the first frame: its SEI may carry what the container does not (HDR metadata).
void MatchedEncoder::open(const AVFrame* first) {
  context_.reset(avcodec_alloc_context3(codec_));
  if (!context_) throw std::bad_alloc();
  CopyPicture(source_, context_.get());
  // One key frame, the first: the frames between are too few for another.
  context_->gop_size = 100000;
  context_->max_b_frames = 0;
  void* options = context_->priv_data;
  av_opt_set(options, "preset", "ultrafast", 0);
  av_opt_set_double(options, "crf", kQuality, 0);
  const AVCodecParameters* parameters = source_->codecpar;
  const int level = parameters->level;
  const bool hevc = parameters->codec_id == AV_CODEC_ID_HEVC;
  const QString hdr = HdrOptions(source_, first, hevc);
  if (hevc) {
    if (const char* profile = HevcProfile(parameters->profile)) av_opt_set(options, "profile", profile, 0);
    const QString params =
        "log-level=error:repeat-headers=1:open-gop=0:scenecut=0:bframes=0" + hdr + X265LevelParameter(level);
    av_opt_set(options, "x265-params", params.toUtf8().constData(), 0);
  } else {
    const X264Settings settings = H264Profile(parameters->profile);
    av_opt_set(options, "profile", settings.profile, 0);
    if (const QString x264Level = X264Level(level); !x264Level.isEmpty())
      av_opt_set(options, "level", x264Level.toUtf8().constData(), 0);
    // Our parameter sets under ids of their own: whichever a decoder keeps, the source's
    // frames find theirs.
    const QString params = QString("%1:scenecut=0:sps-id=%2%3%4")
                               .arg(settings.features)
                               .arg(FreeH264ParameterSetId(sourceSets_))
                               .arg(FieldOrderOption(parameters->field_order), hdr);
    av_opt_set(options, "x264-params", params.toUtf8().constData(), 0);
  }
  if (const int error = avcodec_open2(context_.get(), codec_, nullptr); error < 0)
    throw CutError(QString("the encoder cannot be set up like the source (%1)").arg(AvErrorText(error)));
}

void MatchedEncoder::encode(AVFrame* frame, const PacketSink& sink) {
  if (!context_) open(frame);
  // A decoded frame keeps its old type, which the encoder would take as an order.
  frame->pict_type = encoded_ == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  SetKeyFrame(frame, encoded_ == 0);
  if (const int error = avcodec_send_frame(context_.get(), frame); error < 0)
    throw CutError(QString("The encoder failed: %1.").arg(AvErrorText(error)));
  ++encoded_;
  receive(sink);
}

void MatchedEncoder::finish(const PacketSink& sink) {
  if (!context_) return;
  avcodec_send_frame(context_.get(), nullptr);
  receive(sink);
}

void MatchedEncoder::receive(const PacketSink& sink) {
  while (true) {
    PacketHandle packet = NewPacket();
    const int result = avcodec_receive_packet(context_.get(), packet.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
    if (result < 0) throw CutError(QString("The encoder failed: %1.").arg(AvErrorText(result)));
    const QByteArray annexB(reinterpret_cast<const char*>(packet->data), packet->size);
    sink(PacketWith(JoinLengthPrefixed(SplitAnnexB(annexB), nalLengthSize_), packet.get()));
  }
}

}  // namespace vintrel::cut
