#include "cut/segment_cut.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "cut/cut_error.h"
#include "cut/media/source.h"

namespace vintrel::cut {

QString SegmentTitle(int number, const Segment& segment) {
  const QString span = QString("%1 to %2").arg(SegmentTimeText(segment.start), SegmentTimeText(segment.end));
  return segment.name.isEmpty() ? QString("Segment %1 (%2)").arg(number).arg(span)
                                : QString("Segment %1 (%2, %3)").arg(number).arg(segment.name, span);
}

namespace {

// The stretches a request cuts, checked against the video.
SegmentList CheckedStretches(const CutArguments& request) {
  const double videoEnd = Source(request.input).videoEndSeconds();
  if (const QString problem = SegmentListProblem(request.segments, videoEnd); !problem.isEmpty())
    throw CutError(problem);
  const SegmentList stretches = StretchesToCut(request.segments, request.segmentMode, videoEnd);
  if (stretches.empty()) throw CutError("The segments remove the whole video; nothing is left to save.");
  return stretches;
}

// The files of a run of one file per stretch: every name checked before the first cut, and
// those made removed again when a later one fails.
class EachFiles {
 public:
  EachFiles(const CutArguments& request, const SegmentList& stretches) {
    for (size_t i = 0; i < stretches.size(); ++i) {
      const QString name = SegmentFileName(request.output, request.input, int(i) + 1, stretches[i]);
      if (names_.contains(name))
        throw CutError(QString("Two segments would be saved as %1; the name needs {n}.").arg(name));
      QString problem = OutputProblem(request.input, name, request.overwrite);
      if (problem.isEmpty()) problem = OutputTypeProblem(name);
      if (!problem.isEmpty()) throw CutError(SegmentTitle(int(i) + 1, stretches[i]) + ": " + problem);
      names_ << name;
    }
  }
  ~EachFiles() {
    if (!kept_)
      for (const QString& made : made_) unlink(QFile::encodeName(made).constData());
  }
  const QString& name(size_t i) const { return names_[qsizetype(i)]; }
  void made(size_t i) { made_ << names_[qsizetype(i)]; }
  void keep() { kept_ = true; }

 private:
  QStringList names_, made_;
  bool kept_ = false;
};

QString Indented(const QString& text) {
  QStringList lines = text.trimmed().split('\n');
  for (QString& line : lines) line.prepend("  ");
  return lines.join('\n');
}

CutReport RunEach(const CutArguments& request, const SegmentList& stretches, const CutObserver& observer) {
  EachFiles files(request, stretches);
  CutReport report{CutMethod::kSmartCut, {}};
  const double count = double(stretches.size());
  for (size_t i = 0; i < stretches.size(); ++i) {
    CutArguments single = request;
    single.segments.clear();
    single.eachSegment = single.chapters = false;
    single.start = stretches[i].start;
    single.end = stretches[i].end;
    single.output = files.name(i);
    // Only the file the user agreed to replace is named by identity; a list's files by name.
    single.replaces.reset();
    CutObserver part{[&](double share) {
                       if (observer.progress && share < 1) observer.progress((double(i) + share) / count);
                     },
                     observer.phase};
    const CutReport made = RunCut(single, part);
    files.made(i);
    if (made.method == CutMethod::kReEncode) report.method = CutMethod::kReEncode;
    report.text += QString("%1: %2\n%3\n")
                       .arg(SegmentTitle(int(i) + 1, stretches[i]), QFileInfo(single.output).fileName(),
                            Indented(made.text));
  }
  files.keep();
  if (observer.progress) observer.progress(1);
  report.text.prepend(QString("%1 files, one per segment.\n").arg(stretches.size()));
  return report;
}

}  // namespace

CutReport RunSegmentCut(const CutArguments& request, const CutObserver& observer) {
  ThrowIfCancelled();
  if (observer.phase) observer.phase(CutPhase::kProbing);
  const SegmentList stretches = CheckedStretches(request);
  if (request.eachSegment) return RunEach(request, stretches, observer);
  throw CutError("Joining segments into one file is not available yet; --each saves one file per segment.");
}

}  // namespace vintrel::cut
