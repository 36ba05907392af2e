#include "cut/make/sound_stretch.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>

#include "cut/cut_error.h"
#include "cut/media/decoder.h"
#include "cut/media/versions.h"

namespace vintrel::cut {

namespace {

constexpr int kVideoCdRate = 44100, kVideoCdBitRate = 224000;
constexpr int kBitRatePerChannel = 96000, kMpegAudioMostBitRate = 320000;

class SoundCopy : public SoundStretch {
 public:
  SoundCopy(const AVStream* stream, const ContainerFacts& facts, Span span, PacketSink sink)
      : stream_(stream),
        trims_(facts.trimsSound),
        times_(facts.timesSound),
        origin_(Ticks(span.start, stream->time_base)),
        end_(Ticks(span.end, stream->time_base)),
        sink_(std::move(sink)) {}

  void take(AVPacket* packet) override {
    if (finished || packet->pts == AV_NOPTS_VALUE) return;
    const int64_t duration = std::max<int64_t>(packet->duration, 1);
    if (packet->pts >= lastStart(duration)) {
      finished = true;
      return;
    }
    if (!shift_) {
      if (packet->pts + duration <= origin_) {
        // Where the type trims, a packet or two before the start go along unheard: a decoder
        // needs them to give the first heard one whole (MP3's bit reservoir, AAC's overlap).
        if (trims_) preRoll_.push_back(ClonePacket(packet));
        if (preRoll_.size() > (stream_->codecpar->codec_id == AV_CODEC_ID_MP3 ? 2u : 1u))
          preRoll_.pop_front();
        return;
      }
      // Sound without times starts on the packet edge nearest the start mark, half a packet
      // off at most; sound with times starts with the packet that holds the mark, before the
      // picture by as much, and the muxer moves every stream so that it starts at 0.
      if (!trims_ && !times_ && origin_ - packet->pts > duration / 2) return;
      shift_ = trims_ || times_ ? origin_ : std::min(origin_, packet->pts);
      for (PacketHandle& early : preRoll_) write(early.get());
      preRoll_.clear();
    }
    write(packet);
  }
  void finish() override { finished = true; }

 private:
  // Where the last packet may start: one that holds the end mark goes where the type trims,
  // the one nearest the end without times, and none that passes the end with them (whose
  // start came before the mark by as much).
  int64_t lastStart(int64_t duration) const {
    if (trims_) return end_;
    return times_ ? end_ - duration + 1 : end_ - duration / 2;
  }

  void write(AVPacket* packet) {
    packet->pts -= *shift_;
    packet->dts = packet->pts;
    sink_(packet, stream_->time_base);
  }

  const AVStream* stream_;
  const bool trims_, times_;
  const int64_t origin_, end_;
  PacketSink sink_;
  std::optional<int64_t> shift_;
  std::deque<PacketHandle> preRoll_;
};

template <typename T>
T Preferred(const std::vector<T>& supported, T wanted, T fallback) {
  if (supported.empty() || std::find(supported.begin(), supported.end(), wanted) != supported.end())
    return wanted;
  return std::find(supported.begin(), supported.end(), fallback) != supported.end() ? fallback
                                                                                    : supported.front();
}

void ChooseLayout(const AVCodec* codec, const AVChannelLayout& source, AVChannelLayout* chosen) {
  const std::vector<AVChannelLayout> layouts = SupportedChannelLayouts(codec);
  for (const AVChannelLayout& layout : layouts)
    if (layout.nb_channels == source.nb_channels) {
      av_channel_layout_copy(chosen, &layout);
      return;
    }
  if (layouts.empty()) {
    av_channel_layout_default(chosen, source.nb_channels > 0 ? source.nb_channels : 2);
    return;
  }
  av_channel_layout_default(chosen, std::min(2, source.nb_channels > 0 ? source.nb_channels : 2));
  for (const AVChannelLayout& layout : layouts)
    if (av_channel_layout_compare(&layout, chosen) == 0) return;
  av_channel_layout_copy(chosen, &layouts.front());
}

// The output type's encoder, taking the source's sample rate, format and channels where it can.
CodecHandle OpenSoundEncoder(const AVCodecParameters* source, const ContainerFacts& facts,
                             bool globalHeader) {
  const AVCodec* codec = avcodec_find_encoder_by_name(facts.audioEncoder.toUtf8().constData());
  if (!codec) throw CutError(QString("The %1 encoder is missing.").arg(facts.audioEncoder));
  CodecHandle context(avcodec_alloc_context3(codec));
  if (!context) throw std::bad_alloc();
  const int rate = facts.videoCd ? kVideoCdRate : source->sample_rate;
  context->sample_rate = Preferred(SupportedSampleRates(codec), rate, 48000);
  context->sample_fmt =
      Preferred(SupportedSampleFormats(codec), AVSampleFormat(source->format), AV_SAMPLE_FMT_FLTP);
  ChooseLayout(codec, source->ch_layout, &context->ch_layout);
  const bool mpegAudio = codec->id == AV_CODEC_ID_MP2 || codec->id == AV_CODEC_ID_MP3;
  context->bit_rate =
      facts.videoCd ? kVideoCdBitRate : int64_t(kBitRatePerChannel) * context->ch_layout.nb_channels;
  if (mpegAudio) context->bit_rate = std::min<int64_t>(context->bit_rate, kMpegAudioMostBitRate);
  context->time_base = {1, context->sample_rate};
  if (globalHeader) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0)
    throw CutError(
        QString("The %1 encoder cannot be set up for this sound: %2.").arg(codec->name, AvErrorText(error)));
  return context;
}

}  // namespace

namespace {

class SoundEncode : public SoundStretch {
 public:
  SoundEncode(const AVStream* stream, const ContainerFacts& facts, bool globalHeader, Span span,
              PacketSink sink)
      : stream_(stream),
        span_(span),
        trims_(facts.trimsSound),
        type_(facts.endings.first()),
        decoder_(stream),
        encoder_(OpenSoundEncoder(stream->codecpar, facts, globalHeader)),
        fifo_(av_audio_fifo_alloc(encoder_->sample_fmt, encoder_->ch_layout.nb_channels, 4096)),
        sink_(std::move(sink)) {
    if (!fifo_) throw std::bad_alloc();
    // Where nothing trims the encoder's first samples, they are heard: as many of the source's
    // are left out, so what follows plays at its time, and as many more taken at the end.
    if (!trims_)
      unheard_ = encoder_->initial_padding + (encoder_->codec_id == AV_CODEC_ID_MP3 ? kLameDelay : 0);
    end_ = span.end + double(unheard_) / encoder_->sample_rate;
  }
  ~SoundEncode() override {
    swr_free(&resampler_);
    av_audio_fifo_free(fifo_);
  }

  void take(AVPacket* packet) override {
    if (finished) return;
    if (packet->pts != AV_NOPTS_VALUE && Seconds(packet->pts, stream_->time_base) >= end_) {
      finish();
      return;
    }
    decoder_.send(packet, [this](AVFrame* frame) { resample(frame); });
    encodeWhole(false);
  }

  void finish() override {
    if (finished) return;
    finished = true;
    decoder_.drain([this](AVFrame* frame) { resample(frame); });
    if (resampler_) push(nullptr, 0);
    encodeWhole(true);
    avcodec_send_frame(encoder_.get(), nullptr);
    receive();
  }

  const AVCodecContext* encoder() const override { return encoder_.get(); }
  QString description() const override {
    return QString("sound as %1 (a .%2 file does not hold the source's %3)")
        .arg(avcodec_get_name(encoder_->codec_id), type_, avcodec_get_name(stream_->codecpar->codec_id));
  }

 private:
  // LAME's own delay, which MP3 decoders play (the encoder names only the decoder's part).
  static constexpr int kLameDelay = 576;

  // The frame's samples within the stretch, at the encoder's rate, format and channels.
  void resample(AVFrame* frame) {
    const int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) return;
    const double first = Seconds(pts, stream_->time_base);
    const int rate = frame->sample_rate;
    const int from = std::clamp(int(std::ceil((span_.start - first) * rate - 1e-6)), 0, frame->nb_samples);
    const int to = std::clamp(int(std::ceil((end_ - first) * rate - 1e-6)), 0, frame->nb_samples);
    if (to <= from) return;
    if (!resampler_) {
      if (swr_alloc_set_opts2(&resampler_, &encoder_->ch_layout, encoder_->sample_fmt, encoder_->sample_rate,
                              &frame->ch_layout, AVSampleFormat(frame->format), rate, 0, nullptr) < 0 ||
          swr_init(resampler_) < 0)
        throw CutError("The sound cannot be converted for the output type's encoder.");
    }
    const uint8_t* planes[AV_NUM_DATA_POINTERS] = {};
    const bool planar = av_sample_fmt_is_planar(AVSampleFormat(frame->format));
    const int bytes = av_get_bytes_per_sample(AVSampleFormat(frame->format));
    const int channels = frame->ch_layout.nb_channels;
    for (int plane = 0; plane < (planar ? channels : 1) && plane < AV_NUM_DATA_POINTERS; ++plane)
      planes[plane] = frame->extended_data[plane] + ptrdiff_t(from) * bytes * (planar ? 1 : channels);
    push(planes, to - from);
  }

  void push(const uint8_t** planes, int samples) {
    const int room = swr_get_out_samples(resampler_, samples);
    uint8_t** converted = nullptr;
    if (av_samples_alloc_array_and_samples(&converted, nullptr, encoder_->ch_layout.nb_channels,
                                           std::max(room, 1), encoder_->sample_fmt, 0) < 0)
      throw std::bad_alloc();
    const int made = swr_convert(resampler_, converted, room, planes, samples);
    int start = 0;
    if (made > 0 && unheard_ > 0) start = std::min(made, unheard_), unheard_ -= start;
    if (made > start) {
      uint8_t* kept[AV_NUM_DATA_POINTERS] = {};
      const bool planar = av_sample_fmt_is_planar(encoder_->sample_fmt);
      const int bytes = av_get_bytes_per_sample(encoder_->sample_fmt),
                channels = encoder_->ch_layout.nb_channels;
      for (int plane = 0; plane < (planar ? channels : 1); ++plane)
        kept[plane] = converted[plane] + ptrdiff_t(start) * bytes * (planar ? 1 : channels);
      av_audio_fifo_write(fifo_, reinterpret_cast<void**>(kept), made - start);
    }
    av_freep(&converted[0]);
    av_freep(&converted);
  }

  // Frames of the encoder's size from the queue; at the end the rest, padded where it must be whole.
  void encodeWhole(bool last) {
    const int size = encoder_->frame_size > 0 ? encoder_->frame_size : 1024;
    while (av_audio_fifo_size(fifo_) >= size || (last && av_audio_fifo_size(fifo_) > 0)) {
      const int samples = std::min(size, av_audio_fifo_size(fifo_));
      const bool padded = samples < size &&
                          !(encoder_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) &&
                          !(encoder_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
      FrameHandle frame = NewFrame();
      frame->nb_samples = padded ? size : samples;
      frame->format = encoder_->sample_fmt;
      frame->sample_rate = encoder_->sample_rate;
      if (av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout) < 0 ||
          av_frame_get_buffer(frame.get(), 0) < 0)
        throw std::bad_alloc();
      if (padded)
        av_samples_set_silence(frame->extended_data, 0, size, encoder_->ch_layout.nb_channels,
                               encoder_->sample_fmt);
      av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->extended_data), samples);
      frame->pts = encoded_;
      encoded_ += frame->nb_samples;
      if (const int error = avcodec_send_frame(encoder_.get(), frame.get()); error < 0)
        throw CutError(QString("The sound encoder failed: %1.").arg(AvErrorText(error)));
      receive();
    }
  }

  void receive() {
    PacketHandle packet = NewPacket();
    while (avcodec_receive_packet(encoder_.get(), packet.get()) >= 0) {
      // Where nothing trims, the encoder's first samples start the file (see unheard_).
      if (!trims_) {
        packet->pts += encoder_->initial_padding;
        packet->dts += encoder_->initial_padding;
      }
      sink_(packet.get(), encoder_->time_base);
      av_packet_unref(packet.get());
    }
  }

  const AVStream* stream_;
  const Span span_;
  const bool trims_;
  const QString type_;
  Decoder decoder_;
  CodecHandle encoder_;
  AVAudioFifo* fifo_ = nullptr;
  SwrContext* resampler_ = nullptr;
  PacketSink sink_;
  int unheard_ = 0;
  double end_ = 0;  // seconds of the source's clock where the sound taken ends
  int64_t encoded_ = 0;
};

}  // namespace

std::unique_ptr<SoundStretch> MakeSoundStretch(const AVStream* stream, const ContainerFacts& facts,
                                               bool globalHeader, SoundStretch::Span span,
                                               SoundStretch::PacketSink sink) {
  const AVCodecParameters* parameters = stream->codecpar;
  if (HoldsAudio(facts, avcodec_get_name(parameters->codec_id), parameters->sample_rate))
    return std::make_unique<SoundCopy>(stream, facts, span, std::move(sink));
  return std::make_unique<SoundEncode>(stream, facts, globalHeader, span, std::move(sink));
}

}  // namespace vintrel::cut
