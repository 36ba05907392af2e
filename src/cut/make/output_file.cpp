#include "cut/make/output_file.h"

#include <QFileInfo>
#include <cerrno>

#include "cut/cut_error.h"
#include "cut/media/versions.h"

namespace vintrel::cut {

namespace {

bool Keeps(const AVStream* stream, int videoIndex) {
  if (stream->discard >= AVDISCARD_ALL) return false;  // a track the user left out
  const AVMediaType type = stream->codecpar->codec_type;
  return stream->index == videoIndex || type == AVMEDIA_TYPE_AUDIO || type == AVMEDIA_TYPE_SUBTITLE;
}

QString CodecName(AVCodecID codec) { return QString::fromUtf8(avcodec_get_name(codec)); }

}  // namespace

const AVOutputFormat* SmartCutFormat(const QString& path) {
  const QString type = QFileInfo(path).suffix().toLower();
  if (type == "mp4" || type == "m4v") return av_guess_format("mp4", nullptr, nullptr);
  if (type == "mov") return av_guess_format("mov", nullptr, nullptr);
  if (type == "mkv") return av_guess_format("matroska", nullptr, nullptr);
  return nullptr;
}

QString StreamObstacle(const Source& source, const AVOutputFormat* format) {
  for (unsigned i = 0; i < source.context()->nb_streams; ++i) {
    const AVStream* stream = source.stream(int(i));
    if (!Keeps(stream, source.videoIndex())) continue;
    const AVCodecID codec = stream->codecpar->codec_id;
    if (avformat_query_codec(format, codec, FF_COMPLIANCE_NORMAL) == 1) continue;
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE && IsTextSubtitle(codec)) continue;
    const char* kind = stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO      ? "sound"
                       : stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE ? "subtitles"
                                                                               : "video";
    return QString("a .%1 file cannot hold the source's %2 (%3) as it is")
        .arg(QString(format->extensions).section(',', 0, 0), kind, CodecName(codec));
  }
  return {};
}

bool IsTextSubtitle(AVCodecID codec) {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec);
  return descriptor && (descriptor->props & AV_CODEC_PROP_TEXT_SUB);
}

OutputFile::OutputFile(const QString& path, const Source& source, double start, double end,
                       const Source* cues)
    : path_(path), source_(source), cues_(cues ? *cues : source) {
  const AVOutputFormat* format = SmartCutFormat(path);
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, format, nullptr, nullptr) < 0 || !context)
    throw std::bad_alloc();
  context_.reset(context);
  const AVFormatContext* input = source.context();
  av_dict_copy(&context_->metadata, input->metadata, 0);
  outputOf_.assign(input->nb_streams, -1);
  cueOutputOf_.assign(cues_.context()->nb_streams, -1);
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* in = input->streams[i];
    const bool cue = in->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
    if (Keeps(in, source.videoIndex()) && !(cue && cues))
      add(in, start, source.startSeconds(), cue ? cueOutputOf_ : outputOf_);
  }
  if (cues)
    for (const int index : cues->streamsOf(AVMEDIA_TYPE_SUBTITLE))
      if (cues->stream(index)->discard < AVDISCARD_ALL) add(cues->stream(index), start, 0, cueOutputOf_);
  for (unsigned i = 0; i < input->nb_chapters; ++i) {
    const AVChapter* chapter = input->chapters[i];
    const double from = Seconds(chapter->start, chapter->time_base),
                 to = Seconds(chapter->end, chapter->time_base);
    if (to <= start || from >= end) continue;
    AVChapter* kept = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (!kept ||
        av_dynarray_add_nofree(&context_->chapters, reinterpret_cast<int*>(&context_->nb_chapters), kept) < 0)
      throw std::bad_alloc();
    kept->id = chapter->id;
    kept->time_base = chapter->time_base;
    kept->start = Ticks(std::max(from, start) - start, chapter->time_base);
    kept->end = Ticks(std::min(to, end) - start, chapter->time_base);
    av_dict_copy(&kept->metadata, chapter->metadata, 0);
  }
}

void OutputFile::add(const AVStream* in, double start, double sourceStart, std::vector<int>& outputOf) {
  AVStream* out = avformat_new_stream(context_.get(), nullptr);
  if (!out) throw std::bad_alloc();
  avcodec_parameters_copy(out->codecpar, in->codecpar);
  out->codecpar->codec_tag = 0;  // each container names codecs its own way
  // The samples an encoder put before the sound are at its very start only: a cut from later
  // on has none to skip, and a muxer would shift the sound by them.
  if (start > sourceStart + 1e-6) out->codecpar->initial_padding = 0;
  out->time_base = in->time_base;
  out->disposition = in->disposition;
  out->avg_frame_rate = in->avg_frame_rate;
  out->r_frame_rate = in->r_frame_rate;
  out->sample_aspect_ratio = in->sample_aspect_ratio;
  av_dict_copy(&out->metadata, in->metadata, 0);
  size_t size = 0;
  if (const uint8_t* matrix = StreamSideData(in, AV_PKT_DATA_DISPLAYMATRIX, &size);
      matrix && !StreamSideData(out, AV_PKT_DATA_DISPLAYMATRIX) &&
      !AddStreamSideData(out, AV_PKT_DATA_DISPLAYMATRIX, matrix, size))
    throw std::bad_alloc();
  outputOf[in->index] = out->index;
}

void OutputFile::ContextCloser::operator()(AVFormatContext* context) const {
  if (context->pb) avio_closep(&context->pb);
  avformat_free_context(context);
}

OutputFile::~OutputFile() {
  if (started_) av_write_trailer(context_.get());
}

void OutputFile::setCueCodec(int sourceIndex, const AVCodecContext* encoder) {
  AVStream* stream = context_->streams[cueOutputOf_.at(sourceIndex)];
  avcodec_parameters_from_context(stream->codecpar, encoder);
  stream->time_base = encoder->time_base;
}

void OutputFile::start() {
  const QByteArray name = "file:" + path_.toLocal8Bit();
  check(avio_open(&context_->pb, name.constData(), AVIO_FLAG_WRITE));
  check(avformat_write_header(context_.get(), nullptr));
  started_ = true;
}

void OutputFile::write(int sourceIndex, AVPacket* packet) {
  send(outputOf_, sourceIndex, source_.stream(sourceIndex)->time_base, packet);
}

void OutputFile::writeCue(int sourceIndex, AVPacket* packet) {
  send(cueOutputOf_, sourceIndex, cues_.stream(sourceIndex)->time_base, packet);
}

void OutputFile::send(const std::vector<int>& outputOf, int index, AVRational timeBase, AVPacket* packet) {
  if (index < 0 || index >= int(outputOf.size()) || outputOf[index] < 0) return;
  packet->stream_index = outputOf[index];
  av_packet_rescale_ts(packet, timeBase, context_->streams[packet->stream_index]->time_base);
  packet->pos = -1;
  check(av_interleaved_write_frame(context_.get(), packet));
}

void OutputFile::finish() {
  started_ = false;
  check(av_write_trailer(context_.get()));
  check(avio_closep(&context_->pb));
}

void OutputFile::check(int result) const {
  if (result >= 0) return;
  const int error = AVUNERROR(result);
  const QString folder = QFileInfo(path_).absolutePath();
  if (error == ENOSPC || error == EDQUOT || error == EROFS || error == EACCES || error == EPERM)
    throw WriteFailed(FolderProblem(error, folder));
  if (error == EIO) throw WriteFailed(QString("The file cannot be written: %1.").arg(AvErrorText(result)));
  if (error == ENOENT && !QFileInfo(folder).isDir()) throw WriteFailed(FolderProblem(error, folder));
  throw CutError(QString("the %1 muxer refused it: %2").arg(context_->oformat->name, AvErrorText(result)));
}

}  // namespace vintrel::cut
