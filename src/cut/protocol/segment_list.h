// Several stretches of one video in one save: the list's rules, the stretches a list keeps or
// throws away, and the list as text (the command line's form, CSV, a JSON document). Shared by
// the window and vintrel-cut, so a list reads the same in both.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace vintrel::cut {

struct Segment {
  double start = 0, end = 0;  // seconds from the video's start as the player shows them
  QString name;               // the user's, may be empty
  bool operator==(const Segment&) const = default;
};
using SegmentList = std::vector<Segment>;

// Whether a list names the stretches to keep or those to throw away.
enum class SegmentMode { kKeep, kRemove };

// "0:01:02.500": how lists show and write times (seconds to the millisecond, never rounded up
// past a frame's own time).
QString SegmentTimeText(double seconds);

// Why `segment` cannot stand at `index` of `list` (the list's other rows as they are; an index
// past the end for a new row), in words; empty when it can. It must run forwards, stay within
// `videoEnd` (when known, > 0) and overlap no other row; touching rows do not overlap.
QString SegmentProblem(const SegmentList& list, size_t index, const Segment& segment, double videoEnd);
// The first row's problem in a whole list, or empty; an empty list is none.
QString SegmentListProblem(const SegmentList& list, double videoEnd);

// The stretches a save cuts, in the order they are joined: the rows themselves to keep, or
// for kRemove what lies between them (and before the first and after the last) in the
// video's order, named "Part N". Stretches shorter than a millisecond are left out.
SegmentList StretchesToCut(const SegmentList& list, SegmentMode mode, double videoEnd);

// The command line's form: "10-20,40:00-41:30=Credits"; a name after "=", its commas, equals
// signs and backslashes escaped with a backslash.
QString SegmentListArgument(const SegmentList& list);
// nullopt with `problem` set when the text is no such list.
std::optional<SegmentList> ParseSegmentListArgument(const QString& text, QString& problem);

// CSV: "start,end,name" a line, times as seconds or H:MM:SS.mmm, a header line optional, the
// name quoted as CSV quotes where it needs it.
QString SegmentListCsv(const SegmentList& list);
std::optional<SegmentList> ParseSegmentListCsv(const QString& text, QString& problem);

// A list saved with the video it belongs to.
struct SegmentDocument {
  QString video;  // the video's path
  SegmentMode mode = SegmentMode::kKeep;
  SegmentList segments;
};
QString SegmentDocumentJson(const SegmentDocument& document);
std::optional<SegmentDocument> ParseSegmentDocumentJson(const QString& text, QString& problem);

// The file of one segment when each is saved on its own. `pattern` may hold {video} (the input's
// name without its type), {n} (the segment's number), {name}, {start} and {end}; one without
// braces gets "-{n}-{name}-{start}-{end}" before its type ending. Characters a file name cannot
// hold are replaced.
QString SegmentFileName(const QString& pattern, const QString& input, int number, const Segment& segment);

}  // namespace vintrel::cut
