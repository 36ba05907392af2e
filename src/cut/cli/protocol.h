// What vintrel-cut and the window that runs it agree on: the arguments, the exit codes and the
// machine progress lines. Both sides use these definitions and no others.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QStringList>
#include <optional>

#include "cut/protocol/segment_list.h"

namespace vintrel::cut {

enum class CutExit : int { kDone = 0, kFailed = 1, kBadArguments = 2, kCancelled = 3 };

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

// The machine progress lines on stderr.
QString ProgressLine(double fraction);  // "progress 0.4200"; "progress 1" once the file is in place
QString PhaseLine(const QString& phase);
QString ErrorLine(const QString& message);

struct ProgressEvent {
  enum class Kind { Progress, Phase, Error, Other };
  Kind kind = Kind::Other;
  double fraction = 0;
  QString text;
};
ProgressEvent ParseProgressLine(const QString& line);

// Work files are hidden beside the output, named ".vintrel-<pid>-<random>-<part>": the process
// that made them is in the name, so the files of a cut that is gone can be told from a running
// cut's, by the next cut and by the window that ran it.
QString WorkFilePrefix(pid_t pid, quint64 random);  // ".vintrel-<pid>-<random>-"
// The process a work file name says made it; nullopt for other names.
std::optional<pid_t> WorkFileOwner(const QString& fileName);
// Removes the work files in `folder` whose cut no longer runs; returns how many.
int RemoveLeftoverWorkFiles(const QString& folder);
// Removes the work files in `folder` that `pid` made; for a cut known to be gone. Returns how many.
int RemoveWorkFilesOf(const QString& folder, pid_t pid);

}  // namespace vintrel::cut
