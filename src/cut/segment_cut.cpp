#include "cut/segment_cut.h"

#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "cut/check/joined_check.h"
#include "cut/check/tracks_check.h"
#include "cut/cut_error.h"
#include "cut/cut_plan.h"
#include "cut/make/join_pieces.h"
#include "cut/make/one_pass_join.h"
#include "cut/make/work_files.h"
#include "cut/media/source.h"
#include "cut/media/tracks.h"
#include "cut/plan/cut_choice.h"
#include "cut/time_text.h"

namespace vintrel::cut {

QString SegmentTitle(int number, const Segment& segment) {
  const QString span = QString("%1 to %2").arg(SegmentTimeText(segment.start), SegmentTimeText(segment.end));
  return segment.name.isEmpty() ? QString("Segment %1 (%2)").arg(number).arg(span)
                                : QString("Segment %1 (%2, %3)").arg(number).arg(segment.name, span);
}

namespace {

// The chapter a joined file gives a segment: its name, else its number.
QString ChapterTitle(size_t index, const Segment& segment) {
  return segment.name.isEmpty() ? QString("Segment %1").arg(index + 1) : segment.name;
}

// The stretches a request cuts, checked against the video.
SegmentList CheckedStretches(const CutArguments& request, double videoEnd) {
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

QString JoinedReport(const QString& how, size_t count, bool chapters, double length, int frames,
                     const QStringList& checked, const QString& segmentReports) {
  return QString("Joined %1 segments %2%3.\nLength: %4 (%5 frames)\nChecked: %6\n%7")
      .arg(count)
      .arg(how, chapters ? ", a chapter at each" : "", ClockText(length))
      .arg(frames)
      .arg(checked.join("; "), segmentReports);
}

// Every stretch planned as a single smart cut is; none where one of them cannot be (`why` says why).
std::optional<std::vector<PlannedStretch>> PlanSmartCuts(Source& source, const CutArguments& request,
                                                         const SegmentList& stretches, double videoEnd,
                                                         QString& why) {
  why = SmartCutObstacleOf(source, request.output, request.reEncode);
  if (!why.isEmpty()) return std::nullopt;
  std::vector<PlannedStretch> planned;
  for (size_t i = 0; i < stretches.size(); ++i) {
    const Stretch stretch = StretchOf(source, stretches[i].start, StretchEnd(stretches[i].end, videoEnd));
    const SmartCutDecision decision = PlanFromPackets(source, stretch);
    if (!decision.layout) {
      why = QString("segment %1 cannot be a smart cut: %2").arg(i + 1).arg(decision.reason);
      return std::nullopt;
    }
    planned.push_back({stretch, *decision.layout});
  }
  return planned;
}

// Every stretch a smart cut, all written in one pass through one muxer on one clock and the
// joined file checked once; none where a stretch cannot be cut so or the file fails its check
// (the work file is gone again then; `why` says why).
std::optional<CutReport> TryOnePass(const CutArguments& request, const SegmentList& stretches,
                                    double videoEnd, const CutObserver& observer, WorkFiles& files,
                                    const std::optional<FileIdentity>& replaces, QString& why) {
  Source source(request.input);
  ApplyTrackChoice(source, {request.tracks, request.dropTracks, request.defaultSound});
  const std::optional<std::vector<PlannedStretch>> planned =
      PlanSmartCuts(source, request, stretches, videoEnd, why);
  if (!planned) return std::nullopt;
  std::optional<QStringList> titles;
  if (request.chapters) {
    titles.emplace();
    for (size_t i = 0; i < stretches.size(); ++i) *titles << ChapterTitle(i, stretches[i]);
  }
  const QString made = files.path("joined." + LowerExtension(request.output));
  JoinedInOnePass written;
  QStringList checked;
  try {
    if (observer.phase) observer.phase(CutPhase::kEncoding);
    written = WriteJoined(source, *planned, made, titles, [&](double share) {
      if (observer.progress) observer.progress(0.85 * share);
    });
    if (observer.phase) observer.phase(CutPhase::kVerifying);
    checked = CheckJoinedInOnePass(source, request.output, made, *planned, written);
    if (const QString tracks = TracksProblem(source, made, request.output, request.defaultSound);
        !tracks.isEmpty())
      throw VerificationFailed(tracks);
  } catch (const WriteFailed&) {
    throw;
  } catch (const CutError& failure) {
    why = QString("the one pass failed (%1)").arg(failure.message());
    files.removeAll();  // the failed attempt's file would only take disk space
    return std::nullopt;
  }
  checked << "the tracks chosen";
  ThrowIfCancelled();
  files.moveIntoPlace(made, request.overwrite ? replaces : std::nullopt);
  if (observer.progress) observer.progress(1);
  QString segmentReports;
  double length = 0;
  for (size_t i = 0; i < stretches.size(); ++i) {
    const SmartCutMade& stretch = written.stretches[i];
    segmentReports += SegmentTitle(int(i) + 1, stretches[i]) + "\n" +
                      Indented(QString("Smart cut: %1 frames re-encoded, %2 copied.")
                                   .arg(stretch.reEncoded)
                                   .arg(stretch.copied)) +
                      "\n";
    length += StretchEnd(stretches[i].end, videoEnd) - stretches[i].start;
  }
  return CutReport{CutMethod::kSmartCut,
                   JoinedReport("in one pass through one muxer", stretches.size(), request.chapters, length,
                                written.joined.frames, checked, segmentReports)};
}

// Each stretch cut and checked on its own into a work file, then the pieces joined through one
// muxer on one clock and the joined file checked against them: where one pass cannot hold (a
// stretch re-encoded whole).
CutReport RunJoined(const CutArguments& request, const SegmentList& stretches, double videoEnd,
                    const CutObserver& observer) {
  std::optional<FileIdentity> replaces = request.replaces;
  if (request.overwrite && !replaces) replaces = IdentityOf(request.output);
  WorkFiles files(request.output);
  QString whyNotOnePass;
  if (std::optional<CutReport> onePass =
          TryOnePass(request, stretches, videoEnd, observer, files, replaces, whyNotOnePass))
    return *onePass;
  const QString type = LowerExtension(request.output);
  std::vector<JoinPiece> pieces;
  QString segmentReports;
  Source source(request.input);
  const double count = double(stretches.size());
  for (size_t i = 0; i < stretches.size(); ++i) {
    CutArguments single = request;
    single.segments.clear();
    single.eachSegment = single.chapters = single.overwrite = false;
    single.replaces.reset();
    single.start = stretches[i].start;
    single.end = stretches[i].end;
    single.output = files.path(QString("segment%1.%2").arg(i + 1).arg(type));
    CutObserver part{[&](double share) {
                       if (observer.progress && share < 1)
                         observer.progress(0.85 * (double(i) + share) / count);
                     },
                     observer.phase};
    const CutReport made = RunCut(single, part);
    pieces.push_back({single.output, std::min(stretches[i].end, videoEnd) - stretches[i].start,
                      FirstFrameAfter(source, stretches[i].start), ChapterTitle(i, stretches[i])});
    segmentReports += SegmentTitle(int(i) + 1, stretches[i]) + "\n" + Indented(made.text) + "\n";
  }
  if (observer.phase) observer.phase(CutPhase::kCopying);
  const QString joinedFile = files.path("joined." + type);
  const Joined joined = JoinPieces(pieces, joinedFile, request.chapters, [&](double share) {
    if (observer.progress) observer.progress(0.85 + 0.1 * share);
  });
  if (observer.phase) observer.phase(CutPhase::kVerifying);
  const QStringList checked = CheckJoined(pieces, joinedFile, joined);
  ThrowIfCancelled();
  files.moveIntoPlace(joinedFile, request.overwrite ? replaces : std::nullopt);
  if (observer.progress) observer.progress(1);
  double length = 0;
  for (const JoinPiece& piece : pieces) length += piece.length;
  return {CutMethod::kSmartCut,
          JoinedReport(QString("from cuts of their own, as %1").arg(whyNotOnePass), pieces.size(),
                       request.chapters, length, joined.frames, checked, segmentReports)};
}

}  // namespace

CutReport RunSegmentCut(const CutArguments& request, const CutObserver& observer) {
  ThrowIfCancelled();
  if (observer.phase) observer.phase(CutPhase::kProbing);
  const double videoEnd = Source(request.input).videoEndSeconds();
  const SegmentList stretches = CheckedStretches(request, videoEnd);
  if (request.eachSegment) return RunEach(request, stretches, observer);
  return RunJoined(request, stretches, videoEnd, observer);
}

}  // namespace vintrel::cut
