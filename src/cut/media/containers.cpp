#include "cut/media/containers.h"

#include <QFileInfo>
#include <utility>

namespace vintrel::cut {

namespace {

// The encoders' qualities are set in make/video_encoder.cpp; the sound's codecs here are those
// the type's players are known to take.
// AVI and DivX differ in the FourCC their players look for.
ContainerFacts Avi(const char* ending, const char* videoTag) {
  return {.endings = {ending},
          .muxer = "avi",
          .videoCodecs = {"mpeg4"},
          .audioCodecs = {"mp3", "mp2", "ac3", "dts", "pcm_s16le"},
          .videoEncoders = {"mpeg4"},
          .audioEncoder = "libmp3lame",
          .videoTag = videoTag,
          .timesSound = false,
          .timing = FrameTiming::kSourceRateSlots};
}

// MP4 and QuickTime: the smart cut's types, which trim sound to the sample with an edit list.
ContainerFacts IsoMedia(QStringList endings, const char* muxer, QStringList audio) {
  return {.endings = std::move(endings),
          .muxer = muxer,
          .videoCodecs = {"h264", "hevc", "mpeg4"},
          .audioCodecs = std::move(audio),
          .subtitleCodec = "mov_text",
          .videoEncoders = {"libx264", "libx265"},
          .audioEncoder = "aac",
          .manyAudioTracks = true,
          .trimsSound = true,
          .chapters = true,
          .displayMatrix = true,
          .smartCut = true};
}

// MPEG program streams: one MPEG video codec, the standard frame rates, MP2 sound made where
// the source's cannot be copied.
ContainerFacts MpegProgram(const char* ending, const char* muxer, const char* video, QStringList audio) {
  return {.endings = {ending},
          .muxer = muxer,
          .videoCodecs = {video},
          .audioCodecs = std::move(audio),
          .videoEncoders = {video},
          .audioEncoder = "mp2",
          .timing = FrameTiming::kStandardRates};
}

const ContainerFacts kContainers[] = {
    IsoMedia({"mp4", "m4v"}, "mp4", {"aac", "mp3", "ac3", "eac3", "alac", "opus"}),
    IsoMedia({"mov"}, "mov", {"aac", "mp3", "ac3", "eac3", "alac", "pcm_s16le", "pcm_s16be", "pcm_s24le"}),
    {.endings = {"mkv"},
     .muxer = "matroska",
     .videoCodecs = {"h264", "hevc", "mpeg4", "vp8", "vp9", "av1"},
     .audioCodecs = {"aac", "mp3", "mp2", "ac3", "eac3", "dts", "truehd", "opus", "vorbis", "flac", "alac",
                     "pcm_s16le", "pcm_s24le", "pcm_f32le"},
     .subtitleCodec = "subrip",
     .videoEncoders = {"libx264", "libx265"},
     .audioEncoder = "aac",
     .manyAudioTracks = true,
     .chapters = true,
     .smartCut = true},
    Avi("avi", "XVID"),
    Avi("divx", "DX50"),
    {.endings = {"wmv"},
     .muxer = "asf",
     .videoCodecs = {"wmv2"},
     .audioCodecs = {"wmav2", "wmav1", "mp3"},
     .videoEncoders = {"wmv2"},
     .audioEncoder = "wmav2"},
    MpegProgram("mpg", "mpeg", "mpeg1video", {"mp2", "mp3", "ac3"}),
    {.endings = {"flv"},
     .muxer = "flv",
     .videoCodecs = {"h264"},
     .audioCodecs = {"aac", "mp3"},
     .mp3Rates = {44100, 22050, 11025},
     .videoEncoders = {"libx264"},
     .audioEncoder = "aac"},
    MpegProgram("vob", "vob", "mpeg2video", {"mp2", "ac3", "dts"}),
    // A Video CD's sound is MP2 at 44.1 kHz and 224 kbit/s: always encoded to be sure of it.
    {.endings = {"dat"},
     .muxer = "vcd",
     .videoCodecs = {"mpeg1video"},
     .videoEncoders = {"mpeg1video"},
     .audioEncoder = "mp2",
     .timing = FrameTiming::kStandardRates,
     .videoCd = true,
     .muxerOptions = "packetsize=2324:muxrate=1411200:preload=440000"},
};

}  // namespace

const ContainerFacts* ContainerFor(const QString& path) { return ContainerOfType(QFileInfo(path).suffix()); }

const ContainerFacts* ContainerOfType(const QString& type) {
  const QString ending = type.toLower();
  for (const ContainerFacts& facts : kContainers)
    if (facts.endings.contains(ending)) return &facts;
  return nullptr;
}

QStringList WritableTypes() {
  QStringList types;
  for (const ContainerFacts& facts : kContainers) types << facts.endings;
  return types;
}

QString WritableTypesText() {
  const QStringList types = WritableTypes();
  return "." + types.mid(0, types.size() - 1).join(", .") + " and ." + types.last();
}

bool HoldsAudio(const ContainerFacts& facts, const QString& codec, int sampleRate) {
  if (!facts.audioCodecs.contains(codec)) return false;
  return codec != "mp3" || facts.mp3Rates.isEmpty() || facts.mp3Rates.contains(sampleRate);
}

}  // namespace vintrel::cut
