#include "cut/media/source.h"

#include <algorithm>

#include "cut/cut_error.h"
#include "cut/media/decoder.h"
#include "cut/media/nal.h"
#include "cut/media/sequence_parameters.h"

namespace vintrel::cut {

namespace {

// The first stream a player would show as the video: cover art does not count.
int FindVideoStream(AVFormatContext* context) {
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVStream* stream = context->streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
      return int(i);
  }
  return -1;
}

}  // namespace

Source::Source(const QString& path) : path_(path) {
  InstallLibraryLog();
  AVFormatContext* opened = nullptr;
  const QByteArray name = "file:" + path.toLocal8Bit();
  if (const int error = avformat_open_input(&opened, name.constData(), nullptr, nullptr); error < 0)
    throw CutError(QString("The input cannot be read as a video: %1.").arg(AvErrorText(error)));
  context_.reset(opened);
  if (const int error = avformat_find_stream_info(opened, nullptr); error < 0)
    throw CutError(QString("The input cannot be read as a video: %1.").arg(AvErrorText(error)));
  videoIndex_ = FindVideoStream(opened);
  if (videoIndex_ < 0) throw CutError("The input cannot be read as a video: it holds no video.");
  const AVCodecParameters* video = this->video()->codecpar;
  if (video->width <= 0 || video->height <= 0)
    throw CutError("The input cannot be read as a video: its picture size is unknown.");
  const QByteArray extradata(reinterpret_cast<const char*>(video->extradata), video->extradata_size);
  nalLengthSize_ = NalLengthSize(video->codec_id, extradata);
  const std::optional<int> declared =
      DeclaredReorderDepth(video->codec_id, ParameterSets(video->codec_id, extradata));
  reorderDepth_ = std::max(video->video_delay, declared.value_or(0));
}

std::vector<int> Source::streamsOf(AVMediaType type) const {
  std::vector<int> streams;
  for (unsigned i = 0; i < context_->nb_streams; ++i)
    if (context_->streams[i]->codecpar->codec_type == type) streams.push_back(int(i));
  return streams;
}

int Source::firstAudio() const {
  // A sound track the user left out is never read: the next one stands in for it.
  for (const int index : streamsOf(AVMEDIA_TYPE_AUDIO))
    if (stream(index)->discard < AVDISCARD_ALL) return index;
  return -1;
}

double Source::startSeconds() const {
  return context_->start_time == AV_NOPTS_VALUE ? 0 : context_->start_time / double(AV_TIME_BASE);
}

double Source::endSeconds(const AVStream* stream) const {
  if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0)
    return context_->duration == AV_NOPTS_VALUE ? 0 : context_->duration / double(AV_TIME_BASE);
  const int64_t first = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  return Seconds(first + stream->duration, stream->time_base) - startSeconds();
}

int64_t Source::ticksAt(double playerSeconds, AVRational timeBase) const {
  return Ticks(playerSeconds + startSeconds(), timeBase);
}

void Source::seekVideo(int64_t videoTicks) {
  // Seeking to the very start is the file's first packet, whatever its key frames.
  const int64_t first = video()->start_time == AV_NOPTS_VALUE ? 0 : video()->start_time;
  if (videoTicks <= first) {
    // MP4 and MOV refuse a seek by bytes, and Matroska takes one but reads on from where it
    // was: those go to their earliest time. Others (MPEG) go to their first byte.
    const AVInputFormat* format = context()->iformat;
    const int64_t start = context()->start_time;
    const bool byTime = (format->flags & AVFMT_NO_BYTE_SEEK) || QString(format->name).contains("matroska");
    if (byTime && start != AV_NOPTS_VALUE &&
        avformat_seek_file(context(), -1, INT64_MIN, start, start, 0) >= 0)
      return;
    if (byTime || av_seek_frame(context(), -1, INT64_MIN, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE) < 0)
      av_seek_frame(context(), videoIndex_, first, AVSEEK_FLAG_BACKWARD);
    return;
  }
  if (av_seek_frame(context(), videoIndex_, videoTicks, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(context(), videoIndex_, first, AVSEEK_FLAG_BACKWARD);
}

bool Source::read(AVPacket* packet) {
  while (true) {
    const int result = av_read_frame(context(), packet);
    if (result != AVERROR(EAGAIN)) return result >= 0;
  }
}

VideoPacket Source::describe(const AVPacket& packet) const {
  VideoPacket described;
  // MPEG streams time only some packets; without reordering a packet shows at its decoding time.
  described.pts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  described.duration = packet.duration;
  described.key = packet.flags & AV_PKT_FLAG_KEY;
  const AVCodecID codec = video()->codecpar->codec_id;
  if (described.key && (codec == AV_CODEC_ID_H264 || codec == AV_CODEC_ID_HEVC)) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(packet.data), packet.size);
    described.cleanEntry = IsCleanEntry(codec, bytes, nalLengthSize_);
  }
  return described;
}

std::vector<VideoPacket> Source::readVideo(
    int64_t from, const std::function<bool(const std::vector<VideoPacket>&)>& enough) {
  // From the very start, a fresh reader reads on without a seek: some demuxers (MPEG, AVI,
  // Matroska) seek to their start by guesses.
  if (from != kFromStart) seekVideo(from);
  std::vector<VideoPacket> packets;
  PacketHandle packet = NewPacket();
  bool keyReached = false;
  while (read(packet.get())) {
    const bool timed = packet->pts != AV_NOPTS_VALUE || packet->dts != AV_NOPTS_VALUE;
    const bool usable = packet->stream_index == videoIndex_ && timed && packet->size > 0;
    if (usable) {
      // Whatever a demuxer's seek gives before the first key frame cannot be decoded from here.
      keyReached = keyReached || (packet->flags & AV_PKT_FLAG_KEY);
      if (keyReached) packets.push_back(describe(*packet));
    }
    av_packet_unref(packet.get());
    if (usable && keyReached && enough(packets)) break;
  }
  return packets;
}

}  // namespace vintrel::cut
