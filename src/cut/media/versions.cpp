#include "cut/media/versions.h"

#include <cstring>

namespace vintrel::cut {

namespace {

// libavutil 57.30: AVFrame::duration replaces pkt_duration.
#define VINTREL_FRAME_DURATION (LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100))
// libavutil 58.7: AV_FRAME_FLAG_KEY and the interlacing flags replace key_frame and its kin.
#define VINTREL_FRAME_FLAGS (LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(58, 7, 100))
// libavcodec 60.30: stream side data lives in the codec parameters.
#define VINTREL_CODED_SIDE_DATA (LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 30, 100))
// libavcodec 61.13: avcodec_get_supported_config() replaces AVCodec's lists.
#define VINTREL_SUPPORTED_CONFIG (LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100))

template <typename T>
std::vector<T> ListUpTo(const T* list, T last) {
  std::vector<T> values;
  for (; list && *list != last; ++list) values.push_back(*list);
  return values;
}

#if VINTREL_SUPPORTED_CONFIG
template <typename T>
std::vector<T> Supported(const AVCodec* codec, AVCodecConfig config) {
  const void* list = nullptr;
  int count = 0;
  if (avcodec_get_supported_config(nullptr, codec, config, 0, &list, &count) < 0 || !list) return {};
  const T* values = static_cast<const T*>(list);
  return std::vector<T>(values, values + count);
}
#endif

}  // namespace

int64_t FrameDuration(const AVFrame* frame) {
#if VINTREL_FRAME_DURATION
  return frame->duration;
#else
  return frame->pkt_duration;
#endif
}

void SetFrameDuration(AVFrame* frame, int64_t duration) {
#if VINTREL_FRAME_DURATION
  frame->duration = duration;
#else
  frame->pkt_duration = duration;
#endif
}

bool IsKeyFrame(const AVFrame* frame) {
#if VINTREL_FRAME_FLAGS
  return frame->flags & AV_FRAME_FLAG_KEY;
#else
  return frame->key_frame;
#endif
}

void SetKeyFrame(AVFrame* frame, bool key) {
#if VINTREL_FRAME_FLAGS
  frame->flags = key ? frame->flags | AV_FRAME_FLAG_KEY : frame->flags & ~AV_FRAME_FLAG_KEY;
#else
  frame->key_frame = key;
#endif
}

bool IsInterlaced(const AVFrame* frame) {
#if VINTREL_FRAME_FLAGS
  return frame->flags & AV_FRAME_FLAG_INTERLACED;
#else
  return frame->interlaced_frame;
#endif
}

bool IsTopFieldFirst(const AVFrame* frame) {
#if VINTREL_FRAME_FLAGS
  return frame->flags & AV_FRAME_FLAG_TOP_FIELD_FIRST;
#else
  return frame->top_field_first;
#endif
}

std::vector<AVPixelFormat> SupportedPixelFormats(const AVCodec* codec) {
#if VINTREL_SUPPORTED_CONFIG
  return Supported<AVPixelFormat>(codec, AV_CODEC_CONFIG_PIX_FORMAT);
#else
  return ListUpTo(codec->pix_fmts, AV_PIX_FMT_NONE);
#endif
}

std::vector<AVSampleFormat> SupportedSampleFormats(const AVCodec* codec) {
#if VINTREL_SUPPORTED_CONFIG
  return Supported<AVSampleFormat>(codec, AV_CODEC_CONFIG_SAMPLE_FORMAT);
#else
  return ListUpTo(codec->sample_fmts, AV_SAMPLE_FMT_NONE);
#endif
}

std::vector<int> SupportedSampleRates(const AVCodec* codec) {
#if VINTREL_SUPPORTED_CONFIG
  return Supported<int>(codec, AV_CODEC_CONFIG_SAMPLE_RATE);
#else
  return ListUpTo(codec->supported_samplerates, 0);
#endif
}

std::vector<AVChannelLayout> SupportedChannelLayouts(const AVCodec* codec) {
#if VINTREL_SUPPORTED_CONFIG
  return Supported<AVChannelLayout>(codec, AV_CODEC_CONFIG_CHANNEL_LAYOUT);
#else
  std::vector<AVChannelLayout> layouts;
  for (const AVChannelLayout* layout = codec->ch_layouts; layout && layout->nb_channels; ++layout)
    layouts.push_back(*layout);
  return layouts;
#endif
}

const uint8_t* StreamSideData(const AVStream* stream, AVPacketSideDataType type, size_t* size) {
#if VINTREL_CODED_SIDE_DATA
  const AVCodecParameters* parameters = stream->codecpar;
  const AVPacketSideData* found =
      av_packet_side_data_get(parameters->coded_side_data, parameters->nb_coded_side_data, type);
  if (size) *size = found ? found->size : 0;
  return found ? found->data : nullptr;
#else
  size_t found = 0;
  const uint8_t* data = av_stream_get_side_data(stream, type, &found);
  if (size) *size = found;
  return data;
#endif
}

bool AddStreamSideData(AVStream* stream, AVPacketSideDataType type, const uint8_t* data, size_t size) {
#if VINTREL_CODED_SIDE_DATA
  AVCodecParameters* parameters = stream->codecpar;
  AVPacketSideData* added =
      av_packet_side_data_new(&parameters->coded_side_data, &parameters->nb_coded_side_data, type, size, 0);
  if (!added) return false;
  memcpy(added->data, data, size);
  return true;
#else
  uint8_t* added = av_stream_new_side_data(stream, type, size);
  if (!added) return false;
  memcpy(added, data, size);
  return true;
#endif
}

void CopyStreamSideData(const AVStream* from, AVStream* to) {
#if VINTREL_CODED_SIDE_DATA
  const AVCodecParameters* parameters = from->codecpar;
  for (int i = 0; i < parameters->nb_coded_side_data; ++i) {
    const AVPacketSideData& data = parameters->coded_side_data[i];
    if (!StreamSideData(to, data.type)) AddStreamSideData(to, data.type, data.data, data.size);
  }
#else
  for (int i = 0; i < from->nb_side_data; ++i) {
    const AVPacketSideData& data = from->side_data[i];
    if (!StreamSideData(to, data.type)) AddStreamSideData(to, data.type, data.data, data.size);
  }
#endif
}

}  // namespace vintrel::cut
