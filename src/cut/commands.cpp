#include "cut/commands.h"

#include <QDir>
#include <cmath>

#include "cut/time_text.h"

namespace vintrel::cut {

namespace {

const QStringList kMp4Family = {"mp4", "m4v", "mov"};
const QStringList kMp4Audio = {"aac", "mp3", "ac3", "eac3", "alac"};
const QStringList kTextSubtitles = {"mov_text", "subrip", "ass", "ssa", "webvtt", "text"};

// Quiet but for errors, which the engine reads; progress as key=value lines on stdout.
QStringList EncoderPrefix() {
  return {"-nostdin", "-hide_banner", "-v", "error", "-nostats", "-progress", "pipe:1", "-y"};
}

QStringList ProbePrefix() { return {"-v", "error", "-of", "json"}; }

QString IntervalStart(const MediaInfo& media, double time) {
  return SecondsArgument(media.startTime + std::max(0.0, time));
}

double QuarterFrame(const MediaInfo& media) { return 0.25 / media.video()->frameRate.value(); }

bool Known(const QString& value) { return !value.isEmpty() && value != "unknown" && value != "reserved"; }

QString X264Profile(const QString& probed) {
  const QString profile = probed.toLower();
  if (profile.contains("baseline")) return "baseline";
  if (profile == "high 10" || profile == "high 10 intra") return "high10";
  if (profile.startsWith("high 4:2:2")) return "high422";
  if (profile.startsWith("high 4:4:4")) return "high444";
  if (profile == "main" || profile == "high") return profile;
  return {};
}

// Subtitle codec for the output type, or empty when the type cannot hold the track.
QString SubtitleCodec(const QString& codec, const QString& inputType, const QString& outputType) {
  if (inputType == outputType) return "copy";
  if (!kTextSubtitles.contains(codec)) return {};
  if (kMp4Family.contains(outputType)) return codec == "mov_text" ? "copy" : "mov_text";
  if (outputType == "mkv") return codec == "mov_text" ? "srt" : "copy";
  return {};
}

QString AudioCodec(const QString& codec, const QString& inputType, const QString& outputType) {
  if (inputType == outputType || outputType == "mkv") return "copy";
  return kMp4Audio.contains(codec) ? "copy" : "aac";
}

// Audio and subtitle tracks of input `inputNumber`, as maps and per-track codecs.
QStringList OtherTrackOptions(const MediaInfo& media, const CutRequest& request, int inputNumber,
                              bool reEncodeAudio) {
  const QString in = LowerExtension(request.input), out = LowerExtension(request.output);
  QStringList options;
  int audio = 0, subtitle = 0;
  const bool manyAudio = kMp4Family.contains(out) || out == "mkv";
  for (const StreamInfo& stream : media.streams) {
    const QString map = QString("%1:%2").arg(inputNumber).arg(stream.index);
    if (stream.type == "audio" && (manyAudio || audio == 0)) {
      const QString codec = reEncodeAudio ? QString() : AudioCodec(stream.codec, in, out);
      options << "-map" << map;
      if (!codec.isEmpty()) options << QString("-c:a:%1").arg(audio) << codec;
      if (codec == "aac") options << QString("-b:a:%1").arg(audio) << "192k";
      ++audio;
    } else if (stream.type == "subtitle") {
      const QString codec = SubtitleCodec(stream.codec, in, out);
      if (codec.isEmpty()) continue;
      options << "-map" << map << QString("-c:s:%1").arg(subtitle++) << codec;
    }
  }
  return options;
}

}  // namespace

QString FileArgument(const QString& path) {
  return "file:" + (QDir::isAbsolutePath(path) ? path : QDir::currentPath() + "/" + path);
}

QStringList StreamPacketProbeArguments(const QString& input, double from, double to, bool withMedia) {
  QStringList args = ProbePrefix();
  if (withMedia)
    args << "-show_format"
         << "-show_streams";
  return args << "-show_entries"
              << "packet=stream_index,pts_time,dts_time,flags,pos,size"
              << "-read_intervals"
              << SecondsArgument(std::max(0.0, from)) + "%" + SecondsArgument(std::max(0.0, to))
              << FileArgument(input);
}

QStringList PacketProbeArguments(const QString& input, const MediaInfo& media, double from, double to) {
  return ProbePrefix() << "-select_streams" << QString("%1").arg(media.video()->index) << "-show_entries"
                       << "packet=pts_time,dts_time,flags"
                       << "-read_intervals" << IntervalStart(media, from) + "%" + IntervalStart(media, to)
                       << FileArgument(input);
}

QStringList PacketDataArguments(const QString& input, const MediaInfo& media, const QList<double>& at,
                                bool after) {
  QStringList intervals;
  for (const double time : at)
    intervals << IntervalStart(media, time + (after ? 1 : -1) * QuarterFrame(media)) + "%+#1";
  return ProbePrefix() << "-select_streams" << QString("%1").arg(media.video()->index) << "-show_packets"
                       << "-show_data"
                       << "-show_entries"
                       << "packet=pts_time,flags,data"
                       << "-read_intervals" << intervals.join(',') << FileArgument(input);
}

QString VcdTarget(double framesPerSecond) {
  auto near = [&](double rate) { return std::abs(framesPerSecond - rate) < 0.01; };
  if (near(30000.0 / 1001) || near(30)) return "ntsc-vcd";
  if (near(24000.0 / 1001) || near(24)) return "film-vcd";
  return "pal-vcd";
}

QStringList ReEncodeCodecOptions(const MediaInfo& media, const CutRequest& request) {
  const QString in = LowerExtension(request.input), out = LowerExtension(request.output);
  // The VCD target forces a constant rate, which pads the cut with repeated frames unless the
  // frames' own (already constant) times are kept.
  if (in == "dat") return {"-target", VcdTarget(media.video()->frameRate.value()), "-fps_mode", "vfr"};
  QStringList options;
  if (kMp4Family.contains(out) || out == "mkv" || out == "ts" || out == "m2ts") {
    // x264 and x265 ignore -q:v; their constant-quality scale is -crf.
    if (media.video()->codec == "hevc")
      options << "-c:v"
              << "libx265"
              << "-crf"
              << "18"
              << "-x265-params"
              << "log-level=error";
    else
      options << "-c:v"
              << "libx264"
              << "-crf"
              << "16";
    options << "-c:a"
            << "aac"
            << "-b:a"
            << "192k";
    if (out == "m4v")
      options << "-f"
              << "mp4";
    return options;
  }
  // The other types take the encoder's quantiser-driven codecs: 2 is near their best.
  options << "-q:v"
          << "2";
  if (out == "wmv" || in == "wmv")
    options << "-c:a"
            << "wmav2";
  if (out == "flv")
    options << "-ar"
            << "44100";  // FLV's MP3 allows only 44.1/22.05/11.025 kHz
  if (out == "divx")
    options << "-f"
            << "avi";
  if (out == "vob")
    options << "-f"
            << "vob";
  return options;
}

QStringList InputSeek(double seconds) {
  // Even a seek to 0 makes MPEG-1/2 decoders misplace their first frames; do not seek at all.
  if (seconds <= 0) return {};
  return {"-ss", SecondsArgument(seconds)};
}

SplitSeek SplitSeekTo(const MediaInfo& media, double time) {
  const QString codec = media.video()->codec;
  if (codec != "mpeg1video" && codec != "mpeg2video") return {std::max(0.0, time), 0};
  const double before = std::max(0.0, time - 5);
  return {before, std::max(0.0, time) - before};
}

QStringList ReEncodeArguments(const MediaInfo& media, const CutRequest& request, const CutPlan& plan,
                              const QString& temporaryOutput) {
  const bool constant = media.constantFrameRate();
  // A quarter frame before the first frame, so rounding of the time never drops it. The
  // length is set by -t alone: in this ffmpeg, -frames:v ends the audio with the video, early.
  const double from = constant ? plan.layout.headStart - QuarterFrame(media) : request.start;
  const double until = constant
                           ? FrameTime(media, FirstFrameAtOrAfter(media, request.end)) - QuarterFrame(media)
                           : request.end;
  const SplitSeek seek = SplitSeekTo(media, from);
  QStringList args = EncoderPrefix();
  args << InputSeek(seek.before) << "-i" << FileArgument(request.input);
  if (seek.after > 0) {
    // Output -ss would drop one frame too many here; trim by the decoded times instead.
    const QString start = SecondsArgument(seek.after);
    args << "-filter:v" << QString("trim=start=%1,setpts=PTS-STARTPTS").arg(start) << "-filter:a"
         << QString("atrim=start=%1,asetpts=PTS-STARTPTS").arg(start);
  }
  args << "-t" << SecondsArgument(until - std::max(0.0, from)) << "-map"
       << QString("0:%1").arg(media.video()->index);
  const QString out = LowerExtension(request.output);
  const bool keepsSubtitles = kMp4Family.contains(out) || out == "mkv";
  if (keepsSubtitles) {
    args << OtherTrackOptions(media, request, 0, true);
  } else if (media.count("audio") > 0) {
    args << "-map"
         << "0:a:0";
  }
  args << ReEncodeCodecOptions(media, request);
  args << "-map_metadata"
       << "0" << FileArgument(temporaryOutput);
  return args;
}

QStringList SmartEncodeArguments(const MediaInfo& media, const QString& input, const EncodeRange& range,
                                 const QString& output, const SampleOutputs* sample) {
  const StreamInfo& video = *media.video();
  const double quarter = QuarterFrame(media);
  // The head (the only part with a sample) starts between key frames by definition.
  const bool atKeyFrame = range.atKeyFrame && !sample;
  QStringList args = EncoderPrefix();
  if (range.threads > 0) args << "-threads" << QString::number(range.threads);
  if (atKeyFrame) {
    // Seeking a hair after the key frame lands on it, where seeking to its exact time could
    // land a whole GOP earlier by rounding. Its frames are then taken as decoded, less any
    // before it (should a demuxer seek further back), judged by their own times.
    args << "-ss" << SecondsArgument(range.from + quarter) << "-noaccurate_seek";
  } else {
    // A quarter frame early, so rounding never drops the first frame; decoding starts at the
    // key frame before it and the frames in between are dropped.
    args << "-ss" << SecondsArgument(std::max(0.0, range.from - quarter));
  }
  // The copied packets keep the source's orientation flag, so these frames must not be turned.
  args << "-noautorotate";
  if (sample) args << "-t" << SecondsArgument(sample->seconds);
  args << "-i" << FileArgument(input);
  if (atKeyFrame)
    args << "-filter:v" << QString("trim=start=%1,setpts=PTS-STARTPTS").arg(SecondsArgument(-2 * quarter));
  if (sample)
    args << "-filter_complex"
         << QString("[0:%1]split=3[encoded][a][b];[a]trim=end_frame=1[first];"
                    "[b]trim=start=%2,trim=end_frame=%3[hashed]")
                .arg(video.index)
                .arg(SecondsArgument(sample->hashAfter))
                .arg(sample->hashFrames)
         << "-map"
         << "[encoded]";
  else
    args << "-map" << QString("0:%1").arg(video.index);
  args << "-an"
       << "-sn"
       << "-dn"
       << "-frames:v" << QString::number(range.frames);
  if (range.threads > 0) args << "-threads" << QString::number(range.threads);
  if (video.codec == "hevc") {
    args << "-c:v"
         << "libx265"
         << "-crf"
         << "16"
         << "-preset"
         << "ultrafast"
         << "-x265-params"
         << "log-level=error";
  } else {
    // A second or two of frames, where the time goes into the encoder's start and its
    // analysis: the fastest preset at this CRF spends more bits instead, and comes out
    // closer to the source (58 dB on a 720p test clip against 51 with the default preset)
    // in half the processor time.
    args << "-c:v"
         << "libx264"
         << "-crf"
         << "16"
         << "-preset"
         << "ultrafast";
    if (const QString profile = X264Profile(video.profile); !profile.isEmpty())
      args << "-profile:v" << profile;
    if (video.level > 0) args << "-level:v" << QString::number(video.level / 10.0, 'f', 1);
  }
  if (!video.pixelFormat.isEmpty()) args << "-pix_fmt" << video.pixelFormat;
  if (Known(video.colorRange)) args << "-color_range" << video.colorRange;
  if (Known(video.colorSpace)) args << "-colorspace" << video.colorSpace;
  if (Known(video.colorTransfer)) args << "-color_trc" << video.colorTransfer;
  if (Known(video.colorPrimaries)) args << "-color_primaries" << video.colorPrimaries;
  if (range.mp4TimeScale > 0)
    args << "-video_track_timescale" << QString::number(range.mp4TimeScale) << "-movflags"
         << "+frag_keyframe+empty_moov+default_base_moof"
         << "-f"
         << "mp4" << output;
  else
    args << "-f"
         << "mpegts" << output;
  if (sample) args << SampleOutputArguments(*sample);
  return args;
}

QStringList SampleOutputArguments(const SampleOutputs& sample) {
  return {"-map", "[first]", "-frames:v", "1", "-c:v", "rawvideo", "-f", "nut", FileArgument(sample.firstFrameFile),
          "-map", "[hashed]", "-f", "framemd5", FileArgument(sample.hashFile)};
}

QStringList SmartCopyArguments(const MediaInfo& media, const QString& input, double from, int frames,
                               const QString& output) {
  const StreamInfo& video = *media.video();
  // Seeking a quarter frame early lands on the GOP before; -copypriorss 0 drops its packets,
  // so the copy starts at the key frame itself.
  QStringList args = EncoderPrefix();
  args << "-ss" << SecondsArgument(std::max(0.0, from - QuarterFrame(media))) << "-i" << FileArgument(input)
       << "-map" << QString("0:%1").arg(video.index) << "-c"
       << "copy"
       << "-copypriorss"
       << "0"
       << "-frames:v" << QString::number(frames);
  if (video.codec == "h264") {
    // The join turns H.264 from MP4 into Annex B itself, with the copy's own parameter sets
    // in front of its key frames, so the encoded parts' SPS/PPS cannot be mistaken for the
    // copied ones. MP4 is muxed and read at memory speed, where MPEG-TS costs several times
    // that for a long copy; fragmented, it streams through a pipe. The 90 kHz clock is the
    // encoded parts' MPEG-TS one, which the join's timestamps share.
    args << "-video_track_timescale"
         << "90000"
         << "-movflags"
         << "+frag_keyframe+empty_moov+default_base_moof"
         << "-f"
         << "mp4";
  } else {
    // The join converts only H.264: HEVC goes into Annex B here, in MPEG-TS.
    args << "-bsf:v"
         << "hevc_mp4toannexb"
         << "-f"
         << "mpegts";
  }
  return args << output;
}

QString ConcatList(const QList<ConcatPart>& parts) {
  QString list = "ffconcat version 1.0\n";
  for (const ConcatPart& part : parts) {
    QString name = part.fileName.startsWith("pipe:") ? part.fileName : FileArgument(part.fileName);
    name.replace("'", "'\\''");
    list += QString("file '%1'\nduration %2\n").arg(name, SecondsArgument(part.duration));
    if (part.inpoint >= 0) list += "inpoint " + SecondsArgument(part.inpoint) + "\n";
    if (part.outpoint >= 0) list += "outpoint " + SecondsArgument(part.outpoint) + "\n";
  }
  return list;
}

QStringList SmartJoinArguments(const MediaInfo& media, const CutRequest& request, const QString& concatList,
                               const QString& temporaryOutput) {
  QStringList args = EncoderPrefix();
  // auto_convert (the default, said here because the copy relies on it) puts H.264 read
  // from MP4 into Annex B.
  // The parts come through pipes (see ConcatList).
  args << "-protocol_whitelist"
       << "file,pipe"
       << "-f"
       << "concat"
       << "-safe"
       << "0"
       << "-auto_convert"
       << "1"
       << "-i" << FileArgument(concatList);
  // The audio is cut once over the whole stretch, so it has no join to stutter at.
  args << "-ss" << SecondsArgument(request.start) << "-t" << SecondsArgument(request.end - request.start)
       << "-i" << FileArgument(request.input) << "-map"
       << "0:v:0"
       << "-c:v"
       << "copy";
  // The seek lands on the video's key frame before the start; without this the audio from
  // there would be kept too, hidden behind an edit list that not every player honours.
  args << "-copypriorss"
       << "0";
  args << OtherTrackOptions(media, request, 1, false) << "-map_metadata"
       << "1";
  if (const QString language = media.video()->language; !language.isEmpty())
    args << "-metadata:s:v:0"
         << "language=" + language;
  if (LowerExtension(request.output) == "m4v")
    args << "-f"
         << "mp4";  // else the raw MPEG-4 muxer
  args << FileArgument(temporaryOutput);
  return args;
}

}  // namespace vintrel::cut
