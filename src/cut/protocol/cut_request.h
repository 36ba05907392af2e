// A cut as the window asks vintrel-cut for it: the stretch or stretches, the options, the file
// the user agreed to replace, and the command line that carries them. Both sides build and read
// the request with these definitions and no others.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "cut/protocol/segment_list.h"

namespace vintrel::cut {

// A file as the user saw it when agreeing to replace it: only that file is replaced.
struct FileIdentity {
  unsigned long long device = 0, inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const QString& path);
QString IdentityText(const FileIdentity& identity);  // "DEVICE:INODE", for --replace=
std::optional<FileIdentity> ParseIdentity(const QString& text);

struct CutArguments {
  QString input, output;
  double start = 0, end = 0;  // seconds from the video's start as the player shows them
  bool reEncode = false;      // the whole stretch, even where a smart cut is possible
  bool overwrite = false;     // replace the file at the output name: the one `replaces` names, or
                              // else the one there when the cut started
  std::optional<FileIdentity> replaces = std::nullopt;
  bool machineProgress = false;
  // The tracks kept ("v:0", "a:1", "s:0"; empty: every one the output type holds), those
  // dropped, and the sound track to play by default (empty: as in the source).
  QStringList tracks = {}, dropTracks = {};
  QString defaultSound = {};
  // Several stretches in one save, in the order they are joined; empty: start..end alone.
  SegmentList segments = {};
  SegmentMode segmentMode = SegmentMode::kKeep;
  bool eachSegment = false;  // a file per stretch, named by SegmentFileName from `output`
  bool chapters = false;     // a chapter at each join, named after its segment
};
// The command line for a cut, after the program's own name.
QStringList CutCommandLine(const CutArguments& arguments);
// Seconds as the command line takes them: whole seconds as integers, else up to milliseconds,
// rounded down (a time rounded up past a frame's own would skip that frame).
QString TimeArgument(double seconds);

}  // namespace vintrel::cut
