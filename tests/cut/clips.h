#pragma once

// Clips made with ffmpeg's lavfi sources for the engine tests, and measurements of made
// files that go around the engine's own checks (frame numbers rather than seeks).
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace cuttest {

struct ProgramRun {
  int exitCode = -1;
  QString out, err;
};
ProgramRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs = 120000);

// ffmpeg with testsrc2 (moving, so neighbouring frames differ) and `audioTracks` sine tones.
// `extraInputs` (e.g. "-i", "subs.srt") come after those and are mapped by `outputOptions`.
void MakeClip(const QString& path, double seconds, const QStringList& outputOptions, int audioTracks = 1,
              const QString& videoSource = "testsrc2=size=160x120:rate=25",
              const QStringList& extraInputs = {});

// ffmpeg's arguments for a copy of `input` whose first video stream's display matrix turns it
// `degrees` (as ffprobe reports it). ffmpeg 7 no longer turns the old rotate tag into one and
// takes -display_rotation on the input instead; the version is read from the program.
QStringList RotatedCopyArguments(const QString& input, const QString& output, int degrees);

// Times of the decoded frames from the file's start, as a player shows them; NaN for a frame
// that has none.
QList<double> FrameTimes(const QString& file);
// The index of the frame a player shows at `seconds`; the frame count past the end.
int FrameIndexAt(const QList<double>& times, double seconds);
QStringList FrameHashes(const QString& file);  // every decoded frame, in order
QStringList SourceFrameHashes(const QString& file, int firstFrame, int frames);
// PSNR of the first frame of `made` against frames first..first+count-1 of `source`, scaled alike.
QList<double> FirstFramePsnrs(const QString& made, const QString& source, int first, int count);
// Every decoded frame of the first video stream, none dropped or repeated, in the order a
// player shows them, with the times it shows them at from the file's start: its hash, and a
// 32x18 grey thumbnail to tell a re-encoded frame's source frame from its neighbours.
struct TimedFrame {
  double time = 0;
  QString hash;
  QByteArray thumbnail;
};
QList<TimedFrame> FramesByTime(const QString& file);
// Mean difference of two thumbnails' samples (0..255).
double ThumbnailDistance(const QByteArray& a, const QByteArray& b);
// A stream's packets as stored: time from the file's start, key flag, hash of the data.
struct StoredPacket {
  double time = 0;
  bool key = false;
  QString hash;
  bool discarded = false;  // before an edit list's start: never shown
};
QList<StoredPacket> StoredPackets(const QString& file, const QString& stream);
// A file from a Debian package, fetched with apt-get into a cache folder once (gunzipped where
// it ends in .gz); empty with `problem` set where it cannot be had here.
QString DebianFile(const QString& package, const QString& pathInPackage, QString& problem);
double AudioLength(const QString& file);
int StreamCount(const QString& file, const QString& type);
QStringList StreamValues(const QString& file, const QString& entry, const QString& streams = "");
QString Probe(const QString& file, const QString& entries, const QString& streams = "");
// What the decoders report; a test muxer's complaints about timestamps are not the file's fault.
QString DecodeErrors(const QString& file);
QStringList HiddenWorkFiles(const QString& folder);
QString CutProgram();  // the vintrel-cut the build made

// A clip to judge sync by: the first frame of every whole second is white, and the audio is
// silent but for a 20 ms beep that starts with that frame. Every option is ffmpeg's.
struct SyncClip {
  QString rate = "30";       // frames a second, as ffmpeg reads it ("24000/1001")
  bool darkPicture = false;  // black with the frame number on it, rather than testsrc2's colours
  double seconds = 12;
  QStringList options;  // codecs and container options; the maps are added
  QString videoFilter;  // applied after the flashes are drawn: select, settb/setpts (VFR, drops)
  int sampleRate = 48000;
  bool audioFirst = false;  // the audio becomes stream 0
  double audioDelay = 0;    // the audio starts this much after the video (an edit list in MP4)
  QString subtitles;        // SRT text for a subtitle track, empty for none
  // What the ffmpeg program cannot write (HDR's mastering display and light levels):
  // mkvmerge's options for the video track, on a Matroska copy then copied into the clip's
  // type with `remux` (e.g. -tag:v hvc1).
  QStringList mkvmergeVideo, remux;
};
void MakeSyncClip(const QString& path, const SyncClip& clip);

// The flashes and beeps as a player shows them: times from the file's start.
struct SyncMarks {
  QList<double> flashes;    // start times of white frames
  QList<double> beeps;      // first samples of beeps, to the sample
  double audioSeconds = 0;  // how much audio decodes
  double firstAudio = 0;    // where the decoded audio starts
};
SyncMarks MeasureSync(const QString& file);
// Beep minus flash for every flash with a beep near it, keyed by the whole second of the source
// it stands for: `shift` is what to add to the file's times to get the source's (the cut's start).
QMap<int, double> AvOffsets(const SyncMarks& marks, double shift);

struct Cue {
  double start = 0, end = 0;
  QString text;
};
QList<Cue> Cues(const QString& file);  // the first subtitle track's, as a player shows them
QList<Cue> ParseSrt(const QString& text);

// How a demuxer other than ffmpeg's reads a file, so that a file only one library accepts fails.
struct OtherReading {
  QString problem;  // empty when the file was read
  double duration = -1;
  int video = 0, audio = 0, subtitles = 0;
};
OtherReading ReadWithGStreamer(const QString& file);
OtherReading ReadWithMkvmerge(const QString& file);  // Matroska only

}  // namespace cuttest
