#include "cut/make/output_file.h"

#include <QFileInfo>
#include <cerrno>

#include "cut/cut_error.h"
#include "cut/media/versions.h"

namespace vintrel::cut {

namespace {

QString CodecName(AVCodecID codec) { return QString::fromUtf8(avcodec_get_name(codec)); }

const ContainerFacts& FactsOf(const QString& path) {
  const ContainerFacts* facts = ContainerFor(path);
  if (!facts)
    throw CutError(QString("vintrel-cut cannot write .%1 files.").arg(QFileInfo(path).suffix().toLower()));
  return *facts;
}

// The source's tag where this container names the codec by it too (HEVC's hvc1, which some
// players require, rather than the hev1 a muxer picks); else the container's own choice.
unsigned KeptCodecTag(const AVOutputFormat* format, const AVCodecParameters* in) {
  if (in->codec_tag == 0 || !format->codec_tag) return 0;
  return av_codec_get_id(format->codec_tag, in->codec_tag) == in->codec_id ? in->codec_tag : 0;
}

// A new, empty chapter at the end of the file's list.
AVChapter* AppendChapter(AVFormatContext* context) {
  auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
  if (!chapter || av_dynarray_add_nofree(&context->chapters, reinterpret_cast<int*>(&context->nb_chapters),
                                         chapter) < 0) {
    av_free(chapter);
    throw std::bad_alloc();
  }
  return chapter;
}

}  // namespace

const AVOutputFormat* OutputFormat(const QString& path) {
  const ContainerFacts* facts = ContainerFor(path);
  return facts ? av_guess_format(facts->muxer, nullptr, nullptr) : nullptr;
}

QString StreamObstacle(const Source& source, const AVOutputFormat* format) {
  for (unsigned i = 0; i < source.context()->nb_streams; ++i) {
    const AVStream* stream = source.stream(int(i));
    const AVMediaType type = stream->codecpar->codec_type;
    if (int(i) != source.videoIndex() && type != AVMEDIA_TYPE_AUDIO && type != AVMEDIA_TYPE_SUBTITLE)
      continue;
    if (stream->discard >= AVDISCARD_ALL) continue;  // left out: it goes nowhere
    const AVCodecID codec = stream->codecpar->codec_id;
    if (avformat_query_codec(format, codec, FF_COMPLIANCE_NORMAL) == 1) continue;
    if (type == AVMEDIA_TYPE_SUBTITLE && IsTextSubtitle(codec)) continue;
    const char* kind = type == AVMEDIA_TYPE_AUDIO      ? "sound"
                       : type == AVMEDIA_TYPE_SUBTITLE ? "subtitles"
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
                       const Source* cues, bool upright)
    : path_(path), facts_(FactsOf(path)), source_(source), cues_(cues ? *cues : source) {
  const AVOutputFormat* format = av_guess_format(facts_.muxer, nullptr, nullptr);
  if (!format) throw CutError(QString("This build of the libraries has no %1 muxer.").arg(facts_.muxer));
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, format, nullptr, nullptr) < 0 || !context)
    throw std::bad_alloc();
  context_.reset(context);
  // Sound that starts before the picture (copied from the packet that holds the start mark)
  // moves every stream, where the type keeps times but trims nothing: some muxers leave it
  // otherwise, and the sound plays late.
  if (!facts_.trimsSound && facts_.timesSound)
    context_->avoid_negative_ts = AVFMT_AVOID_NEG_TS_MAKE_NON_NEGATIVE;
  const AVFormatContext* input = source.context();
  av_dict_copy(&context_->metadata, input->metadata, 0);
  outputOf_.assign(input->nb_streams, -1);
  cueOutputOf_.assign(cues_.context()->nb_streams, -1);
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* in = input->streams[i];
    const bool cue = in->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
    if (keepsStream(in, false) && !(cue && cues))
      add(in, start, source.startSeconds(), cue ? cueOutputOf_ : outputOf_, upright);
  }
  if (cues)
    for (const int index : cues->streamsOf(AVMEDIA_TYPE_SUBTITLE))
      if (keepsStream(cues->stream(index), true)) add(cues->stream(index), start, 0, cueOutputOf_, upright);
  if (facts_.chapters) addChapters(input, start, end);
}

bool OutputFile::keepsStream(const AVStream* stream, bool cues) const {
  if (stream->discard >= AVDISCARD_ALL) return false;  // a track the user left out
  switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      return !cues && stream->index == source_.videoIndex();
    case AVMEDIA_TYPE_AUDIO:
      return !cues && (facts_.manyAudioTracks || stream->index == source_.firstAudio());
    case AVMEDIA_TYPE_SUBTITLE:
      return !facts_.subtitleCodec.isEmpty() &&
             (IsTextSubtitle(stream->codecpar->codec_id) ||
              avformat_query_codec(context_->oformat, stream->codecpar->codec_id, FF_COMPLIANCE_NORMAL) == 1);
    default:
      return false;
  }
}

void OutputFile::addChapters(const AVFormatContext* input, double start, double end) {
  for (unsigned i = 0; i < input->nb_chapters; ++i) {
    const AVChapter* chapter = input->chapters[i];
    const double from = Seconds(chapter->start, chapter->time_base),
                 to = Seconds(chapter->end, chapter->time_base);
    if (to <= start || from >= end) continue;
    AVChapter* kept = AppendChapter(context_.get());
    kept->id = chapter->id;
    kept->time_base = chapter->time_base;
    kept->start = Ticks(std::max(from, start) - start, chapter->time_base);
    kept->end = Ticks(std::min(to, end) - start, chapter->time_base);
    av_dict_copy(&kept->metadata, chapter->metadata, 0);
  }
}

void OutputFile::add(const AVStream* in, double start, double sourceStart, std::vector<int>& outputOf,
                     bool upright) {
  AVStream* out = avformat_new_stream(context_.get(), nullptr);
  if (!out) throw std::bad_alloc();
  avcodec_parameters_copy(out->codecpar, in->codecpar);
  out->codecpar->codec_tag = KeptCodecTag(context_->oformat, in->codecpar);
  // The samples an encoder put before the sound are at its very start only: a cut from later
  // on has none to skip, and a muxer would shift the sound by them.
  if (start > sourceStart + 1e-6) out->codecpar->initial_padding = 0;
  // A block size read from an AVI's header is no size of AC-3's or MP3's packets: a muxer that
  // took it would time the sound by it.
  const AVCodecID codec = in->codecpar->codec_id;
  if (codec == AV_CODEC_ID_AC3 ||
      (codec == AV_CODEC_ID_MP3 && (in->codecpar->block_align == 1 || in->codecpar->block_align == 576 ||
                                    in->codecpar->block_align == 1152)))
    out->codecpar->block_align = 0;
  out->time_base = in->time_base;
  out->disposition = in->disposition;
  out->avg_frame_rate = in->avg_frame_rate;
  out->r_frame_rate = in->r_frame_rate;
  out->sample_aspect_ratio = in->sample_aspect_ratio;
  av_dict_copy(&out->metadata, in->metadata, 0);
  if (!upright) {
    // The display matrix, HDR's mastering display and light levels, a Dolby Vision record...
    CopyStreamSideData(in, out);
    // MP4's muxer writes a Dolby Vision record only when told that a box outside the standard
    // is wanted.
    if (StreamSideData(out, AV_PKT_DATA_DOVI_CONF))
      context_->strict_std_compliance = FF_COMPLIANCE_UNOFFICIAL;
  } else {
    // Re-encoded frames stand upright and carry no Dolby Vision layer: the HDR levels stay.
    for (const AVPacketSideDataType type :
         {AV_PKT_DATA_MASTERING_DISPLAY_METADATA, AV_PKT_DATA_CONTENT_LIGHT_LEVEL}) {
      size_t size = 0;
      if (const uint8_t* data = StreamSideData(in, type, &size);
          data && !AddStreamSideData(out, type, data, size))
        throw std::bad_alloc();
    }
  }
  outputOf[in->index] = out->index;
}

void OutputFile::setChapters(const std::vector<Chapter>& chapters) {
  for (unsigned i = 0; i < context_->nb_chapters; ++i) {
    av_dict_free(&context_->chapters[i]->metadata);
    av_freep(&context_->chapters[i]);
  }
  av_freep(&context_->chapters);
  context_->nb_chapters = 0;
  const AVRational milliseconds{1, 1000};
  for (const Chapter& chapter : chapters) {
    AVChapter* made = AppendChapter(context_.get());
    made->id = context_->nb_chapters;
    made->time_base = milliseconds;
    made->start = Ticks(chapter.start, milliseconds);
    made->end = Ticks(chapter.end, milliseconds);
    if (!chapter.title.isEmpty())
      av_dict_set(&made->metadata, "title", chapter.title.toUtf8().constData(), 0);
  }
}

void OutputFile::ContextCloser::operator()(AVFormatContext* context) const {
  if (context->pb) avio_closep(&context->pb);
  avformat_free_context(context);
}

OutputFile::~OutputFile() {
  if (started_) av_write_trailer(context_.get());
}

void OutputFile::takeCodec(AVStream* stream, const AVCodecContext* encoder) {
  if (avcodec_parameters_from_context(stream->codecpar, encoder) < 0) throw std::bad_alloc();
  stream->codecpar->codec_tag = 0;
  stream->time_base = encoder->time_base;
  stream->sample_aspect_ratio = encoder->sample_aspect_ratio;
  if (encoder->framerate.num > 0) stream->avg_frame_rate = stream->r_frame_rate = encoder->framerate;
}

void OutputFile::setCueCodec(int sourceIndex, const AVCodecContext* encoder) {
  takeCodec(context_->streams[cueOutputOf_.at(sourceIndex)], encoder);
}

bool OutputFile::keeps(int sourceIndex) const {
  return sourceIndex >= 0 && sourceIndex < int(outputOf_.size()) && outputOf_[sourceIndex] >= 0;
}

bool OutputFile::keepsCue(int sourceIndex) const {
  return sourceIndex >= 0 && sourceIndex < int(cueOutputOf_.size()) && cueOutputOf_[sourceIndex] >= 0;
}

bool OutputFile::setCodec(int sourceIndex, const AVCodecContext* encoder) {
  if (!keeps(sourceIndex)) return false;
  AVStream* stream = context_->streams[outputOf_[sourceIndex]];
  takeCodec(stream, encoder);
  const QByteArray tag = facts_.videoTag.toLatin1();
  if (encoder->codec_type == AVMEDIA_TYPE_VIDEO && tag.size() == 4)
    stream->codecpar->codec_tag = MKTAG(tag[0], tag[1], tag[2], tag[3]);
  return true;
}

void OutputFile::start() {
  const QByteArray name = "file:" + path_.toLocal8Bit();
  check(avio_open(&context_->pb, name.constData(), AVIO_FLAG_WRITE));
  AVDictionary* options = nullptr;
  av_dict_parse_string(&options, facts_.muxerOptions, "=", ":", 0);
  const int written = avformat_write_header(context_.get(), &options);
  av_dict_free(&options);
  check(written);
  started_ = true;
}

void OutputFile::write(int sourceIndex, AVPacket* packet) {
  send(outputOf_, sourceIndex, source_.stream(sourceIndex)->time_base, packet);
}

void OutputFile::write(int sourceIndex, AVPacket* packet, AVRational timeBase) {
  send(outputOf_, sourceIndex, timeBase, packet);
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
