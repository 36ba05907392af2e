#include "cut/make/subtitle_cues.h"

#include <algorithm>
#include <map>

#include "cut/cut_error.h"
#include "cut/media/source.h"

namespace vintrel::cut {

namespace {

// A cue that began this long before the start mark and is still on screen is rare enough.
constexpr double kLongestCue = 60;

// Text subtitles from one format to another, through the libraries' own decoder and encoder.
class CueConverter {
 public:
  CueConverter(const AVStream* source, AVCodecID to) {
    const AVCodec* decoding = avcodec_find_decoder(source->codecpar->codec_id);
    const AVCodec* encoding = avcodec_find_encoder(to);
    decoder_.reset(avcodec_alloc_context3(decoding));
    encoder_.reset(avcodec_alloc_context3(encoding));
    if (!decoder_ || !encoder_) throw std::bad_alloc();
    avcodec_parameters_to_context(decoder_.get(), source->codecpar);
    decoder_->pkt_timebase = encoder_->time_base = source->time_base;
    const bool opened = decoding && encoding && avcodec_open2(decoder_.get(), decoding, nullptr) >= 0;
    if (opened && decoder_->subtitle_header) {
      const int size = decoder_->subtitle_header_size;
      encoder_->subtitle_header = static_cast<uint8_t*>(av_mallocz(size + 1));  // text: 0-terminated
      if (!encoder_->subtitle_header) throw std::bad_alloc();
      memcpy(encoder_->subtitle_header, decoder_->subtitle_header, size);
      encoder_->subtitle_header_size = size;
    }
    if (!opened || avcodec_open2(encoder_.get(), encoding, nullptr) < 0)
      throw CutError("The subtitles cannot be converted.");
  }
  const AVCodecContext* encoder() const { return encoder_.get(); }

  // The cue's text in the other format, with its times kept; false for a cue with no text.
  bool convert(AVPacket* packet) {
    AVSubtitle subtitle = {};
    int got = 0;
    if (avcodec_decode_subtitle2(decoder_.get(), &subtitle, &got, packet) < 0 || !got) return false;
    uint8_t buffer[65536];
    const int size = avcodec_encode_subtitle(encoder_.get(), buffer, sizeof buffer, &subtitle);
    avsubtitle_free(&subtitle);
    if (size <= 0) return false;
    PacketHandle converted =
        PacketWith(QByteArray::fromRawData(reinterpret_cast<char*>(buffer), size), packet);
    av_packet_unref(packet);
    av_packet_move_ref(packet, converted.get());
    return true;
  }

 private:
  CodecHandle decoder_, encoder_;
};

}  // namespace

std::optional<CueSpan> ClipCue(int64_t pts, int64_t duration, int64_t from, int64_t to) {
  const int64_t cueEnd = pts + std::max<int64_t>(0, duration);
  if (pts >= to || cueEnd <= from) return std::nullopt;
  const int64_t start = std::max(pts, from), end = std::min(cueEnd, to);
  return CueSpan{start - from, end - start};
}

std::vector<Cue> ReadCues(const Source& source, double start, double end, OutputFile& output) {
  std::vector<Cue> cues;
  const std::vector<int> streams = source.streamsOf(AVMEDIA_TYPE_SUBTITLE);
  if (std::none_of(streams.begin(), streams.end(), [&](int index) { return output.keepsCue(index); }))
    return cues;  // the type holds no subtitles
  Source reader(source.path());
  AVFormatContext* input = reader.context();
  auto isCue = [&](int index) {
    return input->streams[index]->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
  };
  for (unsigned i = 0; i < input->nb_streams; ++i)
    if (!isCue(int(i))) input->streams[i]->discard = AVDISCARD_ALL;
  const AVOutputFormat* format = output.format();
  const AVCodecDescriptor* converted =
      avcodec_descriptor_get_by_name(output.facts().subtitleCodec.toUtf8().constData());
  const AVCodecID text = converted ? converted->id : AV_CODEC_ID_NONE;
  std::map<int, std::unique_ptr<CueConverter>> converters;
  for (const int index : streams) {
    if (!output.keepsCue(index)) continue;
    const AVCodecID codec = input->streams[index]->codecpar->codec_id;
    if (avformat_query_codec(format, codec, FF_COMPLIANCE_NORMAL) == 1 || !IsTextSubtitle(codec)) continue;
    converters[index] = std::make_unique<CueConverter>(input->streams[index], text);
    output.setCueCodec(index, converters[index]->encoder());
  }
  const double seekTo = start - kLongestCue;
  if (seekTo > 0) av_seek_frame(input, -1, Ticks(seekTo, AV_TIME_BASE_Q), AVSEEK_FLAG_BACKWARD);
  PacketHandle packet = NewPacket();
  while (av_read_frame(input, packet.get()) >= 0) {
    const int index = packet->stream_index;
    const AVStream* stream = input->streams[index];
    if (isCue(index) && packet->pts != AV_NOPTS_VALUE) {
      if (Seconds(packet->pts, stream->time_base) >= end) break;
      const std::optional<CueSpan> span = ClipCue(
          packet->pts, packet->duration, Ticks(start, stream->time_base), Ticks(end, stream->time_base));
      const auto converter = converters.find(index);
      if (span && (converter == converters.end() || converter->second->convert(packet.get()))) {
        Cue cue{index, ClonePacket(packet.get())};
        cue.packet->pts = cue.packet->dts = span->start;
        cue.packet->duration = span->duration;
        cues.push_back(std::move(cue));
      }
    }
    av_packet_unref(packet.get());
  }
  return cues;
}

}  // namespace vintrel::cut
