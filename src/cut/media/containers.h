// What each output type holds and how it is written: the one table every decision about an
// output type reads (the window's Save dialog, the smart cut's plan and writer, the whole
// re-encode, the check). No libraries' headers, so the window can read it too.
#pragma once

#include <QString>
#include <QStringList>

namespace vintrel::cut {

// Where a type puts the frames of a re-encode.
enum class FrameTiming {
  kOwnTimes,         // every frame keeps its time: a variable rate stays variable
  kSourceRateSlots,  // slots of the source's rate (AVI): a frame the source lacks leaves its slot empty
  kStandardRates,    // slots of the nearest MPEG-1/2 rate, the only ones their streams hold
};

struct ContainerFacts {
  QStringList endings{};   // of file names, the usual one first
  const char* muxer = "";  // libavformat's name
  // Codecs it holds as they are (libavcodec's names): the sound is copied where it is one of these.
  QStringList videoCodecs{}, audioCodecs{};
  QList<int> mp3Rates{};    // the only sample rates its MP3 may have; any where empty
  QString subtitleCodec{};  // what text cues are converted to; empty where it holds none
  // Encoders of a re-encode: the one for the source's codec where listed, else the first.
  QStringList videoEncoders{};
  QString audioEncoder{};
  QString videoTag{};            // the FourCC written for the video; empty for the muxer's own
  bool manyAudioTracks = false;  // else the first sound stream only
  bool trimsSound = false;  // an edit list trims the sound to the sample (else it starts on a packet's edge)
  bool timesSound = true;   // sound packets keep their times (AVI's play one after another from 0)
  bool chapters = false;
  bool displayMatrix = false;  // keeps a video's rotation as a flag
  bool smartCut = false;       // takes the H.264/HEVC a smart cut copies, with the times it writes
  FrameTiming timing = FrameTiming::kOwnTimes;
  bool videoCd = false;  // MPEG-1 at 352x288 (25 fps) or 352x240 (29.97, 23.976 fps), MP2 at 44.1 kHz
  const char* muxerOptions = "";  // key=value:key=value, as a player of the type needs them
};

// The facts of the type a file name's ending names; nullptr for a type not written here.
const ContainerFacts* ContainerFor(const QString& path);
const ContainerFacts* ContainerOfType(const QString& ending);
// Every ending written here, in the table's order.
QStringList WritableTypes();
// ".mp4, .m4v, ... and .dat": what a refusal tells the user.
QString WritableTypesText();
// Whether the type holds a codec (libavcodec's name) as it is.
bool HoldsAudio(const ContainerFacts& facts, const QString& codec, int sampleRate);

}  // namespace vintrel::cut
