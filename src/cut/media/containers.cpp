#include "cut/media/containers.h"

#include <QFileInfo>

namespace vintrel::cut {

namespace {

const QStringList kMp4Video = {"h264", "hevc", "mpeg4"};

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

const ContainerFacts kContainers[] = {
    {.endings = {"mp4", "m4v"},
     .muxer = "mp4",
     .videoCodecs = kMp4Video,
     .audioCodecs = {"aac", "mp3", "ac3", "eac3", "alac", "opus"},
     .subtitleCodec = "mov_text",
     .videoEncoders = {"libx264", "libx265"},
     .audioEncoder = "aac",
     .manyAudioTracks = true,
     .trimsSound = true,
     .chapters = true,
     .displayMatrix = true,
     .smartCut = true},
    {.endings = {"mov"},
     .muxer = "mov",
     .videoCodecs = kMp4Video,
     .audioCodecs = {"aac", "mp3", "ac3", "eac3", "alac", "pcm_s16le", "pcm_s16be", "pcm_s24le"},
     .subtitleCodec = "mov_text",
     .videoEncoders = {"libx264", "libx265"},
     .audioEncoder = "aac",
     .manyAudioTracks = true,
     .trimsSound = true,
     .chapters = true,
     .displayMatrix = true,
     .smartCut = true},
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
    {.endings = {"mpg"},
     .muxer = "mpeg",
     .videoCodecs = {"mpeg1video"},
     .audioCodecs = {"mp2", "mp3", "ac3"},
     .videoEncoders = {"mpeg1video"},
     .audioEncoder = "mp2",
     .timing = FrameTiming::kStandardRates},
    {.endings = {"flv"},
     .muxer = "flv",
     .videoCodecs = {"h264"},
     .audioCodecs = {"aac", "mp3"},
     .mp3Rates = {44100, 22050, 11025},
     .videoEncoders = {"libx264"},
     .audioEncoder = "aac"},
    {.endings = {"vob"},
     .muxer = "vob",
     .videoCodecs = {"mpeg2video"},
     .audioCodecs = {"mp2", "ac3", "dts"},
     .videoEncoders = {"mpeg2video"},
     .audioEncoder = "mp2",
     .timing = FrameTiming::kStandardRates},
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
