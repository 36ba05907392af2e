#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace vintrel::cut {

struct Rational {
  long long numerator = 0;
  long long denominator = 1;
  double value() const { return denominator ? double(numerator) / double(denominator) : 0; }
  bool valid() const { return numerator > 0 && denominator > 0; }
};
std::optional<Rational> ParseRational(const QString& text);

struct StreamInfo {
  int index = 0;
  QString type;  // "video", "audio", "subtitle", "data", "attachment"
  QString codec;
  QString profile;
  int level = 0;
  QString pixelFormat;
  int width = 0;
  int height = 0;
  Rational frameRate;         // r_frame_rate: the stream's base rate
  Rational averageFrameRate;  // avg_frame_rate: differs from the base rate when the rate varies
  Rational timeBase;          // the unit of its timestamps
  double startTime = 0;       // seconds, as the container says
  double duration = 0;        // seconds, 0 when unknown
  long long frames = 0;       // nb_frames: the container's own count, 0 when it keeps none
  QString language;
  int rotation = 0;  // degrees as ffprobe reports the display matrix (counter-clockwise)
  QString colorRange, colorSpace, colorTransfer, colorPrimaries;
  int sampleRate = 0;
  bool attachedPicture = false;
};

struct MediaInfo {
  QString formatName;
  double startTime = 0;  // the container's start time, which ffmpeg's -ss counts from
  double duration = 0;
  QList<StreamInfo> streams;

  const StreamInfo* video() const;  // the first real video stream (not cover art)
  int count(const QString& type) const;
  bool constantFrameRate() const;
};

// ffprobe -of json -show_format -show_streams; throws CutError when it holds no video.
MediaInfo ParseMediaInfo(const QByteArray& json);

// One packet as ffprobe lists it, times relative to the container's start time.
struct Packet {
  double pts = 0;
  double dts = 0;
  bool key = false;
  qint64 position = -1;  // byte offset in the file as the demuxer gives it; -1 when unknown
  int size = 0;
  int stream = -1;  // its stream's index
};
// `stream`: keep only that stream's packets, for listings of every stream (-1: all).
QList<Packet> ParsePackets(const QByteArray& json, double containerStart, int stream = -1);

// The bytes of ffprobe's -show_data hex dump.
QByteArray ParseHexDump(const QString& dump);

// Whether an access unit (length-prefixed as in MP4/MKV, or Annex B) starts a clean GOP:
// an IDR picture for H.264; IDR or CRA for HEVC (leading pictures are checked apart, by
// timestamps, since a CRA is clean only without them).
bool IsCleanEntryAccessUnit(const QString& codec, const QByteArray& accessUnit);

// Whether bytes are one whole access unit of NAL units behind 4-byte lengths, ending exactly
// at its end: bytes read from the file at a packet's position are taken as its data only
// then (Matroska's positions point at the block header, for instance).
bool IsWholeLengthPrefixedAccessUnit(const QByteArray& bytes);

}  // namespace vintrel::cut
