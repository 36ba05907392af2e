#include "cut/media/containers.h"

#include <QFileInfo>

namespace vintrel::cut {

namespace {

const QStringList kMp4Video = {"h264", "hevc", "mpeg4"};
const QStringList kMpegAudio = {"mp2", "mp3", "ac3"};

// The encoders' qualities are set in make/video_encoder.cpp; the sound's codecs here are those
// the type's players are known to take.
const ContainerFacts kContainers[] = {
    {{"mp4", "m4v"}, "mp4", kMp4Video, {"aac", "mp3", "ac3", "eac3", "alac", "opus"}, {}, "mov_text",
     {"libx264", "libx265"}, "aac", {}, true, true, true, true, true, FrameTiming::kOwnTimes, false},
    {{"mov"}, "mov", kMp4Video, {"aac", "mp3", "ac3", "eac3", "alac", "pcm_s16le", "pcm_s16be", "pcm_s24le"},
     {}, "mov_text", {"libx264", "libx265"}, "aac", {}, true, true, true, true, true, FrameTiming::kOwnTimes,
     false},
    {{"mkv"}, "matroska", {"h264", "hevc", "mpeg4", "vp8", "vp9", "av1"},
     {"aac", "mp3", "mp2", "ac3", "eac3", "dts", "truehd", "opus", "vorbis", "flac", "alac", "pcm_s16le",
      "pcm_s24le", "pcm_f32le"},
     {}, "subrip", {"libx264", "libx265"}, "aac", {}, true, false, true, false, true, FrameTiming::kOwnTimes,
     false},
    {{"avi"}, "avi", {"mpeg4"}, {"mp3", "mp2", "ac3", "dts", "pcm_s16le"}, {}, {}, {"mpeg4"}, "libmp3lame",
     "XVID", false, false, false, false, false, FrameTiming::kSourceRateSlots, false},
    {{"divx"}, "avi", {"mpeg4"}, {"mp3", "mp2", "ac3", "dts", "pcm_s16le"}, {}, {}, {"mpeg4"}, "libmp3lame",
     "DX50", false, false, false, false, false, FrameTiming::kSourceRateSlots, false},
    {{"wmv"}, "asf", {"wmv2"}, {"wmav2", "wmav1", "mp3"}, {}, {}, {"wmv2"}, "wmav2", {}, false, false, false,
     false, false, FrameTiming::kOwnTimes, false},
    {{"mpg"}, "mpeg", {"mpeg1video"}, kMpegAudio, {}, {}, {"mpeg1video"}, "mp2", {}, false, false,
     false, false, false, FrameTiming::kStandardRates, false},
    {{"vob"}, "vob", {"mpeg2video"}, {"mp2", "ac3", "dts"}, {}, {}, {"mpeg2video"}, "mp2", {}, false, false,
     false, false, false, FrameTiming::kStandardRates, false},
    {{"flv"}, "flv", {"h264"}, {"aac", "mp3"}, {44100, 22050, 11025}, {}, {"libx264"}, "aac", {}, false, false,
     false, false, false, FrameTiming::kOwnTimes, false},
    // A Video CD's sound is MP2 at 44.1 kHz and 224 kbit/s: always encoded to be sure of it.
    {{"dat"}, "vcd", {"mpeg1video"}, {}, {}, {}, {"mpeg1video"}, "mp2", {}, false, false, false, false, false,
     FrameTiming::kStandardRates, true, "packetsize=2324:muxrate=1411200:preload=440000"},
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
