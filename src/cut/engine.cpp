#include "cut/engine.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <algorithm>

#include "cut/child_process.h"
#include "cut/cut_error.h"
#include "cut/mp4_rotation.h"
#include "cut/time_text.h"
#include "cut/verify.h"
#include "cut/work_files.h"

namespace vintrel::cut {

QString PhaseName(CutPhase phase) {
  switch (phase) {
    case CutPhase::kProbing:
      return "probing";
    case CutPhase::kEncoding:
      return "encoding";
    case CutPhase::kCopying:
      return "copying";
    case CutPhase::kJoining:
      return "joining";
    case CutPhase::kVerifying:
      return "verifying";
  }
  return {};
}

Tools FindTools(const QString& programFolder) {
  Tools tools;
  for (const QString name : {"ffmpeg", "ffprobe"}) {
    QString found = programFolder + "/" + name;
    if (!QFileInfo(found).isExecutable()) found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
      throw CutError(QString("%1 was not found beside this program (%2) nor on the search path (PATH).")
                         .arg(name, programFolder));
    (name == QString("ffmpeg") ? tools.ffmpeg : tools.ffprobe) = found;
  }
  return tools;
}

QString OutputProblem(const QString& input, const QString& output, bool overwrite) {
  struct stat inputStatus = {}, outputStatus = {};
  if (stat(input.toLocal8Bit().constData(), &inputStatus) != 0)
    return QString("The file %1 does not exist.").arg(input);
  if (!S_ISREG(inputStatus.st_mode)) return QString("%1 is not a file.").arg(input);
  if (stat(output.toLocal8Bit().constData(), &outputStatus) != 0) return {};
  if (outputStatus.st_dev == inputStatus.st_dev && outputStatus.st_ino == inputStatus.st_ino)
    return "The output is the input file itself; choose another name.";
  if (S_ISDIR(outputStatus.st_mode)) return QString("%1 is a folder.").arg(output);
  if (!overwrite) return QString("%1 already exists (--overwrite replaces it).").arg(output);
  return {};
}

namespace {

// The whole cut's progress from its steps', each weighted by its share of the work.
class Progress {
 public:
  explicit Progress(const CutObserver& observer) : observer_(observer) {}
  void plan(QList<double> weights) {
    base_ = reported_;
    weights_ = weights;
    total_ = 0;
    for (double w : weights) total_ += w;
    step_ = -1;
  }
  // Starts the next step; `mediaSeconds` is what its out_time runs up to.
  void next(CutPhase phase, double mediaSeconds) {
    ++step_;
    media_ = mediaSeconds;
    if (observer_.phase) observer_.phase(phase);
    report(0);
  }
  void onLine(const QByteArray& line) {
    // out_time_ms is in microseconds too; N/A and negative values come before the first frame.
    if (!line.startsWith("out_time_us=")) return;
    bool ok = false;
    const double micro = line.mid(12).toDouble(&ok);
    if (ok && micro >= 0 && media_ > 0) report(std::min(1.0, micro / 1e6 / media_));
  }
  void report(double withinStep) {
    double done = 0;
    for (int i = 0; i < step_ && i < weights_.size(); ++i) done += weights_[i];
    if (step_ >= 0 && step_ < weights_.size()) done += weights_[step_] * withinStep;
    // Never 1 before the file is in place.
    const double overall = std::min(0.999, base_ + (1 - base_) * (total_ > 0 ? done / total_ : 0));
    if (overall > reported_ && observer_.progress) observer_.progress(overall);
    reported_ = std::max(reported_, overall);
  }
  std::function<void(const QByteArray&)> lineReader() {
    return [this](const QByteArray& line) { onLine(line); };
  }

 private:
  const CutObserver& observer_;
  QList<double> weights_;
  double total_ = 0, base_ = 0, reported_ = 0, media_ = 0;
  int step_ = -1;
};

struct Job {
  const Tools& tools;
  const CutRequest& request;
  MediaInfo media;
  WorkFiles& files;
  Progress& progress;
};

void RunEncoder(Job& job, const QStringList& arguments) {
  const ChildResult result = RunChild(job.tools.ffmpeg, arguments, job.progress.lineReader());
  const QString errors = QString::fromUtf8(result.errors);
  // The encoder exits 0 when only the closing of its file failed (a disk that filled up
  // while it wrote the index): the file is unusable all the same.
  const bool closingFailed = errors.contains("Error closing file") || errors.contains("Error writing trailer");
  if (result.exitCode != 0 || closingFailed) throw CutError(PlainFailure(errors, job.files.folder()));
}

QByteArray RunProbe(Job& job, const QStringList& arguments) {
  const ChildResult result = RunChild(job.tools.ffprobe, arguments);
  if (result.exitCode != 0) {
    const QString detail = QString::fromUtf8(result.errors).trimmed().section('\n', -1);
    throw CutError(QString("The input cannot be read as a video: %1").arg(detail));
  }
  return result.output;
}

// The first candidate whose packet really starts a clean GOP, by its NAL unit types.
std::optional<double> FirstCleanEntry(Job& job, const QList<double>& candidates) {
  const int tries = 4;  // each reads one packet; an encoder that never makes one is not worth more
  for (int i = 0; i < candidates.size() && i < tries; ++i) {
    for (const bool after : {true, false}) {
      const QJsonArray packets =
          QJsonDocument::fromJson(
              RunProbe(job, PacketDataArguments(job.request.input, job.media, candidates[i], after)))
              .object()
              .value("packets")
              .toArray();
      if (packets.isEmpty()) continue;
      const QJsonObject packet = packets[0].toObject();
      const double pts = packet.value("pts_time").toString().toDouble() - job.media.startTime;
      if (FrameIndex(job.media, pts) != FrameIndex(job.media, candidates[i])) continue;  // the seek missed it
      if (IsCleanEntryAccessUnit(job.media.video()->codec, ParseHexDump(packet.value("data").toString())))
        return candidates[i];
      break;
    }
  }
  return std::nullopt;
}

CutPlan MakePlan(Job& job) {
  const CutRequest& request = job.request;
  if (const QString obstacle = SmartCutObstacle(job.media, request); !obstacle.isEmpty())
    return PlanReEncode(job.media, request, obstacle);
  // Key frames are looked for near the marks only: a probe must not read the whole file.
  const double searched = 30;
  const QList<Packet> startWindow =
      ParsePackets(RunProbe(job, PacketProbeArguments(request.input, job.media, request.start - 1,
                                                      std::min(request.end, request.start + searched) + 1)),
                   job.media.startTime);
  if (!FrameTimesRegular(job.media, startWindow))
    return PlanReEncode(job.media, request, "the frame rate varies");
  const std::optional<double> startEntry =
      FirstCleanEntry(job, EntryCandidates(job.media, startWindow, request.start, request.end));
  const QList<Packet> endWindow = ParsePackets(
      RunProbe(job, PacketProbeArguments(request.input, job.media,
                                         std::max(request.start, request.end - searched), request.end + 2)),
      job.media.startTime);
  QList<double> endCandidates =
      EntryCandidates(job.media, endWindow, startEntry.value_or(request.end), request.end);
  std::reverse(endCandidates.begin(), endCandidates.end());
  return PlanSmartCut(job.media, request, startEntry, endWindow, FirstCleanEntry(job, endCandidates));
}

QString MakeReEncode(Job& job, const CutPlan& plan) {
  const double stretch = job.request.end - job.request.start;
  job.progress.plan({stretch, stretch * 0.15});
  const QString made = job.files.path("cut." + LowerExtension(job.request.output));
  job.progress.next(CutPhase::kEncoding, stretch);
  RunEncoder(job, ReEncodeArguments(job.media, job.request, plan, made));
  return made;
}

QString MakeSmartCut(Job& job, const CutPlan& plan) {
  const SmartCutLayout& layout = plan.layout;
  const double frame = 1 / plan.frameRate;
  const double head = layout.headFrames * frame, copy = layout.copyFrames * frame,
               tail = layout.tailFrames * frame;
  const double stretch = head + copy + tail;
  // Encoding a second costs about as much as copying fifty.
  job.progress.plan({head, copy * 0.02, tail, stretch * 0.02, stretch * 0.05 + 0.5});
  QList<ConcatPart> parts;
  const QString headFile = job.files.path("head.ts"), copyFile = job.files.path("copy.ts");
  const QString tailFile = job.files.path("tail.ts"), listFile = job.files.path("parts.ffconcat");
  job.progress.next(CutPhase::kEncoding, head);
  if (layout.headFrames > 0) {
    RunEncoder(job, SmartEncodeArguments(job.media, job.request.input, layout.headStart, layout.headFrames,
                                         headFile));
    parts << ConcatPart{QFileInfo(headFile).fileName(), head};
  }
  job.progress.next(CutPhase::kCopying, copy);
  RunEncoder(job,
             SmartCopyArguments(job.media, job.request.input, layout.copyStart, layout.copyFrames, copyFile));
  parts << ConcatPart{QFileInfo(copyFile).fileName(), copy};
  job.progress.next(CutPhase::kEncoding, tail);
  if (layout.tailFrames > 0) {
    RunEncoder(job, SmartEncodeArguments(job.media, job.request.input, layout.tailStart, layout.tailFrames,
                                         tailFile));
    parts << ConcatPart{QFileInfo(tailFile).fileName(), tail};
  }
  QFile list(listFile);
  if (!list.open(QIODevice::WriteOnly) || list.write(ConcatList(parts).toUtf8()) < 0 || !list.flush())
    throw CutError(QString("The folder %1 cannot be written.").arg(job.files.folder()));
  list.close();
  const QString made = job.files.path("cut." + LowerExtension(job.request.output));
  job.progress.next(CutPhase::kJoining, stretch);
  RunEncoder(job, SmartJoinArguments(job.media, job.request, listFile, made));
  if (const int rotation = job.media.video()->rotation; rotation != 0 && !SetMp4VideoRotation(made, rotation))
    throw CutError("The video's rotation could not be kept.");
  return made;
}

QStringList Verify(Job& job, const CutPlan& plan, const QString& made) {
  job.progress.next(CutPhase::kVerifying, 0);
  return VerifyCut(job.tools, job.media, job.request, plan, made);
}

QString Describe(const CutPlan& plan, const QString& fallback) {
  if (plan.method == CutMethod::kSmartCut) {
    const SmartCutLayout& layout = plan.layout;
    return QString("Smart cut: %1 frames re-encoded, %2 copied.")
        .arg(layout.headFrames + layout.tailFrames)
        .arg(layout.copyFrames);
  }
  if (!fallback.isEmpty()) return QString("Re-encoded: the smart cut failed its check (%1).").arg(fallback);
  return QString("Re-encoded: %1.").arg(plan.reason);
}

}  // namespace

CutReport RunCut(const Tools& tools, const CutRequest& request, const CutObserver& observer) {
  ThrowIfCancelled();
  WorkFiles files(request.output);
  Progress progress(observer);
  if (observer.phase) observer.phase(CutPhase::kProbing);
  Job job{tools, request, {}, files, progress};
  job.media = ParseMediaInfo(RunProbe(job, MediaProbeArguments(request.input)));
  if (const QString problem = StretchProblem(job.media, request); !problem.isEmpty()) throw CutError(problem);

  CutPlan plan = MakePlan(job);
  QString made, fallback;
  QStringList checks;
  if (plan.method == CutMethod::kSmartCut) {
    try {
      made = MakeSmartCut(job, plan);
      checks = Verify(job, plan, made);
    } catch (const VerificationFailed& failure) {
      fallback = QString::fromStdString(failure.what());
    } catch (const CutError& failure) {
      fallback = failure.message();
    }
    if (!fallback.isEmpty()) {
      files.removeAll();  // the parts of the failed attempt would only take disk space
      plan = PlanReEncode(job.media, request, "the smart cut failed its check");
    }
  }
  if (plan.method == CutMethod::kReEncode) {
    made = MakeReEncode(job, plan);
    try {
      checks = Verify(job, plan, made);
    } catch (const VerificationFailed& failure) {
      throw CutError(QString("The cut file failed its check: %1.").arg(failure.what()));
    }
  }
  ThrowIfCancelled();  // a signal during the last check still means "leave nothing"
  files.moveIntoPlace(made);
  if (observer.progress) observer.progress(1);

  CutReport report;
  report.method = plan.method;
  report.text = Describe(plan, fallback) + "\n" +
                QString("Length: %1 (%2 frames at %3 fps)\n")
                    .arg(ClockText(request.end - request.start))
                    .arg(plan.expectedFrames)
                    .arg(plan.frameRate, 0, 'g', 6) +
                "Checked: " + checks.join("; ") + "\n";
  return report;
}

}  // namespace vintrel::cut
