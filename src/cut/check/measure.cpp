#include "cut/check/measure.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/pixdesc.h>
}

#include <cmath>
#include <limits>
#include <vector>

#include "cut/cut_error.h"
#include "cut/media/decoder.h"
#include "cut/media/versions.h"

namespace vintrel::cut {

namespace {

// The video's frame count from an MP4/MOV index (what it shows, after its edit list).
std::optional<int> IndexedFrames(const AVFormatContext* context, AVStream* video) {
  if (!QString(context->iformat->name).contains("mp4")) return std::nullopt;
  int frames = 0;
  const int entries = avformat_index_get_entries_count(video);
  for (int i = 0; i < entries; ++i)
    if (!(avformat_index_get_entry(video, i)->flags & AVINDEX_DISCARD_FRAME)) ++frames;
  return frames;
}

// Every packet's times, but where the index already counts the video, the video's data is skipped.
void ReadTimes(AVFormatContext* context, int video, int audio, Found& found) {
  const std::optional<int> indexed = IndexedFrames(context, context->streams[video]);
  if (indexed) context->streams[video]->discard = AVDISCARD_ALL;
  for (unsigned i = 0; i < context->nb_streams; ++i)
    if (int(i) != video && int(i) != audio) context->streams[i]->discard = AVDISCARD_ALL;
  int frames = 0;
  double audioEnd = -std::numeric_limits<double>::max();
  PacketHandle packet = NewPacket();
  while (av_read_frame(context, packet.get()) >= 0) {
    const AVStream* stream = context->streams[packet->stream_index];
    if (packet->stream_index == video && !(packet->flags & AV_PKT_FLAG_DISCARD)) ++frames;
    if (packet->stream_index == audio && packet->pts != AV_NOPTS_VALUE) {
      if (!found.audioFirst) found.audioFirst = HeardFrom(packet.get(), stream);
      audioEnd = std::max(audioEnd, Seconds(packet->pts + packet->duration, stream->time_base));
    }
    av_packet_unref(packet.get());
  }
  found.frames = indexed.value_or(frames);
  if (found.audioFirst) found.audioLength = audioEnd - *found.audioFirst;
  for (unsigned i = 0; i < context->nb_streams; ++i) context->streams[i]->discard = AVDISCARD_DEFAULT;
}

// Decodes the video from the key frame at `from` (kFromStart: from where the reader stands),
// giving frames in display order to `take` until it has seen enough; returns the decoder's errors.
int DecodeVideo(Source& source, int64_t from, const std::function<bool(AVFrame*)>& take) {
  Decoder decoder(source.video());
  bool reached = from == Source::kFromStart, enough = false;
  auto sink = [&](AVFrame* frame) { enough = enough || take(frame); };
  PacketHandle packet = NewPacket();
  while (!enough && source.read(packet.get())) {
    if (packet->stream_index == source.videoIndex()) {
      reached = reached || (packet->pts == from && (packet->flags & AV_PKT_FLAG_KEY));
      if (reached) decoder.send(packet.get(), sink);
    }
    av_packet_unref(packet.get());
  }
  if (!enough) decoder.drain(sink);
  return decoder.errors();
}

}  // namespace

QByteArray FrameHash(const AVFrame* frame) {
  // Equal pictures give equal hashes; a word at a time, since only sameness is asked of it.
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
  int lineBytes[4] = {};
  if (!descriptor || av_image_fill_linesizes(lineBytes, AVPixelFormat(frame->format), frame->width) < 0)
    return {};
  uint64_t hash = 0xcbf29ce484222325;
  auto mix = [&](uint64_t word) { hash = (hash ^ word) * 0x100000001b3 + (hash >> 29); };
  for (int plane = 0; plane < 4 && frame->data[plane]; ++plane) {
    const bool chroma = plane == 1 || plane == 2;
    const int rows = chroma ? AV_CEIL_RSHIFT(frame->height, descriptor->log2_chroma_h) : frame->height;
    for (int row = 0; row < rows; ++row) {
      const uint8_t* line = frame->data[plane] + ptrdiff_t(row) * frame->linesize[plane];
      int i = 0;
      for (; i + 8 <= lineBytes[plane]; i += 8) mix(AV_RN64(line + i));
      for (; i < lineBytes[plane]; ++i) mix(line[i]);
    }
  }
  return QByteArray(reinterpret_cast<const char*>(&hash), sizeof hash);
}

namespace {

// One component's squared differences, summed over its samples, and how many samples it has.
struct ComponentError {
  double squares = 0;
  double samples = 0;
  double peak = 0;  // the largest value a sample of this component can take
};

ComponentError SquaredError(const AVFrame* a, const AVFrame* b, const AVPixFmtDescriptor* descriptor,
                            int component) {
  // Samples are read at their own depth (10 and 12 bits in two bytes each), by component, so
  // that planar, semi-planar and packed layouts alike compare values, not bytes.
  const bool chroma = (component == 1 || component == 2) && !(descriptor->flags & AV_PIX_FMT_FLAG_RGB);
  const int width = chroma ? AV_CEIL_RSHIFT(a->width, descriptor->log2_chroma_w) : a->width;
  const int height = chroma ? AV_CEIL_RSHIFT(a->height, descriptor->log2_chroma_h) : a->height;
  std::vector<uint32_t> x(static_cast<size_t>(width)), y(static_cast<size_t>(width));
  ComponentError error;
  for (int row = 0; row < height; ++row) {
    av_read_image_line2(x.data(), const_cast<const uint8_t**>(a->data), a->linesize, descriptor, 0, row,
                        component, width, 0, 4);
    av_read_image_line2(y.data(), const_cast<const uint8_t**>(b->data), b->linesize, descriptor, 0, row,
                        component, width, 0, 4);
    for (int i = 0; i < width; ++i) {
      const double difference = double(x[i]) - double(y[i]);
      error.squares += difference * difference;
    }
  }
  error.samples = double(width) * height;
  error.peak = double((1 << descriptor->comp[component].depth) - 1);
  return error;
}

double Decibels(double peak, double meanSquare) {
  return meanSquare <= 0 ? kIdenticalPsnr : 10 * std::log10(peak * peak / meanSquare);
}

}  // namespace

std::optional<Psnr> PicturePsnr(const AVFrame* a, const AVFrame* b) {
  if (!a || !b || a->width != b->width || a->height != b->height || a->format != b->format)
    return std::nullopt;
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(AVPixelFormat(a->format));
  if (!descriptor ||
      (descriptor->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM)))
    return std::nullopt;
  // As ffmpeg's psnr filter weighs them: every component's mean square error by its share of
  // the samples, against the peak weighed alike.
  double squares = 0, samples = 0, peaks = 0;
  Psnr psnr;
  for (int component = 0; component < descriptor->nb_components; ++component) {
    const ComponentError error = SquaredError(a, b, descriptor, component);
    if (component == 0) psnr.luma = Decibels(error.peak, error.squares / error.samples);
    squares += error.squares;
    samples += error.samples;
    peaks += error.peak * error.samples;
  }
  psnr.average = Decibels(peaks / samples, squares / samples);
  return psnr;
}

int StreamRotation(const AVStream* stream) {
  const uint8_t* matrix = StreamSideData(stream, AV_PKT_DATA_DISPLAYMATRIX);
  if (!matrix) return 0;
  const double degrees = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  return std::isnan(degrees) ? 0 : int(std::lround(degrees));
}

double HeardFrom(const AVPacket* packet, const AVStream* stream) {
  double first = Seconds(packet->pts, stream->time_base);
  size_t size = 0;
  if (const uint8_t* skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
      skip && size >= 4)
    first += AV_RL32(skip) / double(stream->codecpar->sample_rate);
  return first;
}

int TallyPicture(const AVFrame* frame, int index, int headFrames, const SourceSample& sample, Found& found) {
  if (index == 0)
    if (const std::optional<Psnr> psnr = PicturePsnr(frame, sample.first.get()))
      found.firstFramePsnr = psnr->average;
  const int copiedIndex = index - headFrames;
  if (copiedIndex >= 0 && copiedIndex < int(sample.copied.size()) &&
      FrameHash(frame) == sample.copied[size_t(copiedIndex)])
    ++found.copiedMatching;
  return copiedIndex;
}

int DecodeVideoFrom(Source& file, int64_t from, const std::function<bool(AVFrame*)>& take) {
  file.seekVideo(from);
  return DecodeVideo(file, Source::kFromStart, take);
}

SourceSample SampleSource(const QString& path, int64_t start, std::optional<int64_t> copyFrom,
                          int copiedFrames, SampleReading reading) {
  // A reader of its own: whatever the maker decoded or kept, the reference is read anew.
  Source source(path);
  if (reading == SampleReading::kSeek) source.seekVideo(start);
  SourceSample sample;
  DecodeVideo(source, Source::kFromStart, [&](AVFrame* frame) {
    const int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE || pts < start) return false;
    if (!sample.first) sample.first.reset(av_frame_clone(frame));
    if (copyFrom && pts >= *copyFrom && int(sample.copied.size()) < copiedFrames)
      sample.copied.push_back(FrameHash(frame));
    return !copyFrom || int(sample.copied.size()) >= copiedFrames;
  });
  return sample;
}

Found MeasureMade(const QString& made, const SourceSample& source, const DecodePlan& plan) {
  Found found;
  std::unique_ptr<Source> opened;
  try {
    opened = std::make_unique<Source>(made);
  } catch (const CutError& error) {
    found.unreadable = error.message().section(": ", 1);
    return found;
  }
  found.rotation = StreamRotation(opened->video());
  ReadTimes(opened->context(), opened->videoIndex(), opened->firstAudio(), found);
  // From the very start again: a fresh reader is the one sure way back for every demuxer.
  opened = std::make_unique<Source>(made);
  const AVRational timeBase = opened->video()->time_base;
  int index = 0;
  bool timed = false;
  const int compared = int(source.copied.size());
  found.decodeErrors = DecodeVideo(*opened, Source::kFromStart, [&](AVFrame* frame) {
    // A decoder may give a first frame no time (MPEG's): the first that has one places the picture.
    const int64_t pts =
        frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : frame->pts;
    if (!timed && pts != AV_NOPTS_VALUE) {
      found.videoFirst = Seconds(pts, timeBase) - index * Seconds(FrameDuration(frame), timeBase);
      timed = true;
    }
    const int copiedIndex = TallyPicture(frame, index, plan.headFrames, source, found);
    ++index;
    return !plan.wholeFile && copiedIndex + 1 >= compared;
  });
  found.decodedWhere = plan.wholeFile ? "the whole file" : "around every join";
  if (!plan.wholeFile && plan.endFrom) {
    opened->seekVideo(Ticks(*plan.endFrom, timeBase));
    found.decodeErrors += DecodeVideo(*opened, Source::kFromStart, [](AVFrame*) { return false; });
  }
  return found;
}

}  // namespace vintrel::cut
