#include "cut/engine.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cut/child_process.h"
#include "cut/cut_error.h"
#include "cut/mp4_index.h"
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

// The whole cut's progress from its steps', each weighted by its share of the work. Steps
// may run at the same time, each reporting from its own thread.
class Progress {
 public:
  explicit Progress(const CutObserver& observer) : observer_(observer) {}
  void plan(QList<double> weights) {
    std::lock_guard lock(mutex_);
    base_ = reported_;
    weights_ = weights;
    done_ = QList<double>(weights.size(), 0.0);
    total_ = 0;
    for (double w : weights) total_ += w;
  }
  void phase(CutPhase phase) {
    std::lock_guard lock(mutex_);
    if (observer_.phase) observer_.phase(phase);
  }
  void finish(int step) { set(step, 1); }
  // What a step's out_time runs up to, `mediaSeconds`, counts as the step done.
  std::function<void(const QByteArray&)> lineReader(int step, double mediaSeconds) {
    return [this, step, mediaSeconds](const QByteArray& line) {
      // out_time_ms is in microseconds too; N/A and negative values come before the first frame.
      if (!line.startsWith("out_time_us=")) return;
      bool ok = false;
      const double micro = line.mid(12).toDouble(&ok);
      if (ok && micro >= 0 && mediaSeconds > 0) set(step, std::min(1.0, micro / 1e6 / mediaSeconds));
    };
  }

 private:
  void set(int step, double fraction) {
    std::lock_guard lock(mutex_);
    if (step < 0 || step >= done_.size()) return;
    done_[step] = std::max(done_[step], fraction);
    double done = 0;
    for (int i = 0; i < weights_.size(); ++i) done += weights_[i] * done_[i];
    // Never 1 before the file is in place.
    const double overall = std::min(0.999, base_ + (1 - base_) * (total_ > 0 ? done / total_ : 0));
    if (overall > reported_ && observer_.progress) observer_.progress(overall);
    reported_ = std::max(reported_, overall);
  }

  const CutObserver& observer_;
  std::mutex mutex_;
  QList<double> weights_, done_;
  double total_ = 0, base_ = 0, reported_ = 0;
};

struct Job {
  const Tools& tools;
  const CutRequest& request;
  MediaInfo media;
  WorkFiles& files;
  Progress& progress;
};

void RunEncoder(Job& job, const QStringList& arguments, const std::function<void(const QByteArray&)>& onLine,
                std::vector<OwnedFd> passed = {}, int nicer = 0) {
  const ChildResult result = RunChild(job.tools.ffmpeg, arguments, onLine, std::move(passed), nicer);
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

// The bytes of key frames read so far, by frame index: one probe run reads the likeliest
// entry points of both marks, and only a miss costs a run of its own.
using PacketBytes = QHash<long long, QByteArray>;

void ReadPacketData(Job& job, const QStringList& arguments, PacketBytes& bytes) {
  for (const QJsonValue& value : QJsonDocument::fromJson(RunProbe(job, arguments)).object().value("packets").toArray()) {
    const QJsonObject packet = value.toObject();
    if (!packet.contains("pts_time")) continue;
    // Whichever seek brought it, a packet with the frame's time is that frame's.
    const double pts = packet.value("pts_time").toString().toDouble() - job.media.startTime;
    bytes.insert(FrameIndex(job.media, pts), ParseHexDump(packet.value("data").toString()));
  }
}

// The first candidate whose packet really starts a clean GOP, by its NAL unit types.
std::optional<double> FirstCleanEntry(Job& job, const QList<double>& candidates, PacketBytes& bytes) {
  const int tries = 4;  // each reads one packet; an encoder that never makes one is not worth more
  for (int i = 0; i < candidates.size() && i < tries; ++i) {
    const long long index = FrameIndex(job.media, candidates[i]);
    for (const bool after : {true, false}) {
      if (bytes.contains(index)) break;
      ReadPacketData(job, PacketDataArguments(job.request.input, job.media, {candidates[i]}, after), bytes);
    }
    if (!bytes.contains(index)) continue;  // the seeks missed it
    if (IsCleanEntryAccessUnit(job.media.video()->codec, bytes.value(index))) return candidates[i];
  }
  return std::nullopt;
}

// Key frames are looked for near the marks only: a probe must not read the whole file.
struct Windows {
  double startFrom = 0, startTo = 0, endFrom = 0, endTo = 0;
  bool read = false;  // the packets below are the video's within these bounds
  QList<Packet> start, end;
  QList<Packet> endEvery;  // every stream's packets of the end's window, in the order read
  bool meet() const { return endFrom <= startTo; }  // then one window serves both marks
};

Windows WindowsFor(const CutRequest& request) {
  const double searched = 30;
  Windows windows;
  windows.startFrom = request.start - 1;
  windows.startTo = std::min(request.end, request.start + searched) + 1;
  windows.endFrom = std::max(request.start, request.end - searched);
  windows.endTo = request.end + 2;
  return windows;
}

// The media probe with the packets around the marks in the same run, and the far window's
// beside it: times count from the container's start, taken to be 0 (as in nearly every MP4,
// MOV and MKV file) until the probe tells; otherwise the windows are read again.
Windows ProbeInput(Job& job) {
  const CutRequest& request = job.request;
  Windows windows = WindowsFor(request);
  QByteArray first, far;
  if (windows.meet()) {
    first = RunProbe(job, StreamPacketProbeArguments(request.input, windows.startFrom, windows.endTo, true));
  } else {
    RunConcurrently(
        {[&] {
           first = RunProbe(job,
                            StreamPacketProbeArguments(request.input, windows.startFrom, windows.startTo, true));
         },
         [&] {
           far = RunProbe(job, StreamPacketProbeArguments(request.input, windows.endFrom, windows.endTo, false));
         }});
  }
  job.media = ParseMediaInfo(first);
  if (std::abs(job.media.startTime) > 1e-6) return windows;
  const int video = job.media.video()->index;
  windows.start = ParsePackets(first, 0, video);
  windows.end = windows.meet() ? windows.start : ParsePackets(far, 0, video);
  windows.endEvery = ParsePackets(windows.meet() ? first : far, 0);
  windows.read = true;
  return windows;
}

// The key frames' bytes straight from the file where the listing's positions hold them
// (MP4 and MOV samples), which spares a probe run.
void ReadEntryBytes(Job& job, const QList<Packet>& window, const QList<double>& candidates, PacketBytes& bytes) {
  QFile file(job.request.input);
  if (!file.open(QIODevice::ReadOnly)) return;
  for (const double candidate : candidates.mid(0, 4)) {
    const long long index = FrameIndex(job.media, candidate);
    for (const Packet& packet : window) {
      if (!packet.key || FrameIndex(job.media, packet.pts) != index) continue;
      if (packet.position >= 0 && packet.size > 0 && file.seek(packet.position)) {
        const QByteArray data = file.read(packet.size);
        if (data.size() == packet.size && IsWholeLengthPrefixedAccessUnit(data)) bytes.insert(index, data);
      }
      break;
    }
  }
}

CutPlan MakePlan(Job& job, Windows windows) {
  const CutRequest& request = job.request;
  if (const QString obstacle = SmartCutObstacle(job.media, request); !obstacle.isEmpty())
    return PlanReEncode(job.media, request, obstacle);
  if (!windows.read) {
    // The container starts elsewhere than 0: the packets are read again at the right times.
    if (windows.meet()) {
      windows.start = windows.end = ParsePackets(
          RunProbe(job, PacketProbeArguments(request.input, job.media, windows.startFrom, windows.endTo)),
          job.media.startTime);
    } else {
      RunConcurrently(
          {[&] {
             windows.start = ParsePackets(
                 RunProbe(job, PacketProbeArguments(request.input, job.media, windows.startFrom, windows.startTo)),
                 job.media.startTime);
           },
           [&] {
             windows.end = ParsePackets(
                 RunProbe(job, PacketProbeArguments(request.input, job.media, windows.endFrom, windows.endTo)),
                 job.media.startTime);
           }});
    }
  }
  const QList<Packet>& startWindow = windows.start;
  const QList<Packet>& endWindow = windows.end;
  if (!FrameTimesRegular(job.media, startWindow))
    return PlanReEncode(job.media, request, "the frame rate varies");
  const QList<double> startCandidates = EntryCandidates(job.media, startWindow, request.start, request.end);
  auto endCandidatesFrom = [&](double from) {
    QList<double> candidates = EntryCandidates(job.media, endWindow, from, request.end);
    std::reverse(candidates.begin(), candidates.end());
    return candidates;
  };
  PacketBytes bytes;
  ReadEntryBytes(job, startWindow, startCandidates, bytes);
  ReadEntryBytes(job, endWindow, endCandidatesFrom(startCandidates.value(0, request.end)), bytes);
  // The likeliest entries not read yet: the first key frame after the start and the last
  // before the end, in one probe run.
  QList<double> likely;
  if (!startCandidates.isEmpty()) likely << startCandidates.first();
  if (const QList<double> ends = endCandidatesFrom(startCandidates.value(0, request.end)); !ends.isEmpty())
    likely << ends.first();
  likely.removeIf([&](double time) { return bytes.contains(FrameIndex(job.media, time)); });
  if (!likely.isEmpty()) ReadPacketData(job, PacketDataArguments(request.input, job.media, likely, true), bytes);
  const std::optional<double> startEntry = FirstCleanEntry(job, startCandidates, bytes);
  const std::optional<double> endEntry =
      FirstCleanEntry(job, endCandidatesFrom(startEntry.value_or(request.end)), bytes);
  return PlanSmartCut(job.media, request, startEntry, endWindow, endEntry);
}

QString MakeReEncode(Job& job, const CutPlan& plan) {
  const double stretch = job.request.end - job.request.start;
  job.progress.plan({stretch, stretch * 0.15});
  const QString made = job.files.path("cut." + LowerExtension(job.request.output));
  job.progress.phase(CutPhase::kEncoding);
  RunEncoder(job, ReEncodeArguments(job.media, job.request, plan, made), job.progress.lineReader(0, stretch));
  job.progress.finish(0);
  return made;
}

QString MakeSmartCut(Job& job, const CutPlan& plan, const Windows& windows, SourceSample& sample) {
  const SmartCutLayout& layout = plan.layout;
  const double frame = 1 / plan.frameRate;
  const double head = layout.headFrames * frame, copy = layout.copyFrames * frame,
               tail = layout.tailFrames * frame;
  const double stretch = head + copy + tail;
  // Encoding a second costs about as much as copying fifty.
  job.progress.plan({head, copy * 0.02, tail, stretch * 0.02, stretch * 0.05 + 0.5});
  const QString listFile = job.files.path("parts.ffconcat");
  const QString made = job.files.path("cut." + LowerExtension(job.request.output));
  const SampleOutputs sampleOutputs =
      SourceSampleOutputs(plan, job.files.path("first.nut"), job.files.path("source.md5"));

  // Every run at once, the parts going to the join through pipes as they are made (the copied
  // packets, where DirectCopyBounds allows, straight from the source): the copied bytes are
  // read and written once, and the join's own start and its reading of the head overlap the
  // encoders. The join reads the parts in order. A copy run, where there is one, waits for it
  // (letting it run ahead would only take processor time from the head's encoder); the
  // tail's few megabytes are held here until the join gets to them, so that its encoder
  // runs beside the others.
  const size_t kTailHeld = size_t(256) << 20;
  // The join waits for the head, then streams the copy, and gets to the tail last: the tail's
  // encoder takes the processors only where the others leave them.
  const int kTailNicer = 10;
  QList<ConcatPart> parts;
  std::vector<OwnedFd> joinInputs;
  auto addPart = [&](OwnedFd readEnd, double duration) {
    parts << ConcatPart{QString("pipe:%1").arg(3 + joinInputs.size()), duration};
    joinInputs.push_back(std::move(readEnd));
  };
  const std::optional<DirectCopy> direct =
      windows.read ? DirectCopyBounds(job.media, plan, windows.start, windows.endEvery) : std::nullopt;
  const long long partTimeScale = direct ? direct->timeScale : 0;
  ChildPipe headPipe, copyPipe, tailPipe, tailRelay;
  if (layout.headFrames > 0) {
    headPipe = MakeChildPipe();
    addPart(std::move(headPipe.read), head);
  }
  if (direct) {
    parts << ConcatPart{job.request.input, copy, direct->inpoint, direct->outpoint};
  } else {
    copyPipe = MakeChildPipe();
    addPart(std::move(copyPipe.read), copy);
  }
  if (layout.tailFrames > 0) {
    tailPipe = MakeChildPipe();
    tailRelay = MakeChildPipe();
    addPart(std::move(tailRelay.read), tail);
  }
  QFile list(listFile);
  if (!list.open(QIODevice::WriteOnly) || list.write(ConcatList(parts).toUtf8()) < 0 || !list.flush())
    throw CutError(QString("The folder %1 cannot be written.").arg(job.files.folder()));
  list.close();

  // An encoder writing into `pipe` as "pipe:3". Each step takes its pipe ends before anything
  // else, so that whatever happens to it, they close with it and the run at the other end
  // sees the end of the data or a broken pipe instead of waiting for ever.
  auto into = [](OwnedFd& pipe) {
    std::vector<OwnedFd> passed;
    passed.push_back(std::move(pipe));
    return passed;
  };
  // The join first: when it fails, the runs feeding it fail after it, and its reason is the one told.
  std::vector<std::function<void()>> steps;
  steps.push_back([&] {
    std::vector<OwnedFd> inputs = std::move(joinInputs);
    RunEncoder(job, SmartJoinArguments(job.media, job.request, listFile, made),
               job.progress.lineReader(3, stretch), std::move(inputs));
  });
  const int encoders = (layout.headFrames > 0) + (layout.tailFrames > 0);
  const int threads =
      std::max(1, static_cast<int>(std::thread::hardware_concurrency()) / std::max(1, encoders));
  if (layout.headFrames > 0) {
    steps.push_back([&] {
      std::vector<OwnedFd> output = into(headPipe.write);
      RunEncoder(job,
                 SmartEncodeArguments(job.media, job.request.input,
                                      {layout.headStart, layout.headFrames, false, threads, partTimeScale},
                                      "pipe:3", &sampleOutputs),
                 job.progress.lineReader(0, head), std::move(output));
    });
  }
  if (!direct) {
    steps.push_back([&] {
      std::vector<OwnedFd> output = into(copyPipe.write);
      RunEncoder(
          job,
          SmartCopyArguments(job.media, job.request.input, layout.copyStart, layout.copyFrames, "pipe:3"),
          job.progress.lineReader(1, copy), std::move(output));
    });
  }
  if (layout.tailFrames > 0) {
    steps.push_back([&] {
      std::vector<OwnedFd> output = into(tailPipe.write);
      RunEncoder(
          job,
          SmartEncodeArguments(job.media, job.request.input,
                               {layout.tailStart, layout.tailFrames, true, threads, partTimeScale}, "pipe:3"),
          job.progress.lineReader(2, tail), std::move(output), kTailNicer);
    });
    steps.push_back([&] { RelayBuffered(std::move(tailPipe.read), std::move(tailRelay.write), kTailHeld); });
  }
  // The source's side of the check needs only the plan: the head's encode keeps it from the
  // frames it decodes anyway, or, without a head, a run of its own beside the parts.
  if (layout.headFrames == 0)
    steps.push_back([&] { sample = SampleSource(job.tools, job.request, plan, sampleOutputs); });
  job.progress.phase(layout.headFrames + layout.tailFrames > 0 ? CutPhase::kEncoding : CutPhase::kCopying);
  RunConcurrently(steps);
  if (layout.headFrames > 0) sample = ReadSourceSample(sampleOutputs);
  for (const int step : {0, 1, 2, 3}) job.progress.finish(step);
  if (const int rotation = job.media.video()->rotation; rotation != 0 && !SetMp4VideoRotation(made, rotation))
    throw CutError("The video's rotation could not be kept.");
  return made;
}

QStringList Verify(Job& job, const CutPlan& plan, const QString& made, const SourceSample& sample = {},
                   EarlyChecks* early = nullptr) {
  job.progress.phase(CutPhase::kVerifying);
  return VerifyCut(
      job.tools, job.media, job.request, plan, made, sample,
      [&](const QString& part) { return job.files.path(part); }, early);
}

// The smart cut's checks, started now where one may come: see EarlyChecks. The made file's
// name goes to them in a concat list, which cannot hold a line break.
std::unique_ptr<EarlyChecks> StartChecksEarly(Job& job) {
  const CutRequest& request = job.request;
  const QString made = job.files.path("cut." + LowerExtension(request.output));
  if (!SmartCutPossible(request) || made.contains('\n') || made.contains('\r')) return nullptr;
  return std::make_unique<EarlyChecks>(job.tools, made, job.files.path("first.nut"),
                                       job.files.path("hashes.md5"), !LengthsFromIndex(request.output));
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
  std::unique_ptr<EarlyChecks> early = StartChecksEarly(job);
  const Windows windows = ProbeInput(job);
  if (const QString problem = StretchProblem(job.media, request); !problem.isEmpty()) throw CutError(problem);

  CutPlan plan = MakePlan(job, windows);
  QString made, fallback;
  QStringList checks;
  if (plan.method == CutMethod::kSmartCut) {
    try {
      SourceSample sample;
      made = MakeSmartCut(job, plan, windows, sample);
      checks = Verify(job, plan, made, sample, early.get());
    } catch (const VerificationFailed& failure) {
      fallback = QString::fromStdString(failure.what());
    } catch (const CutError& failure) {
      fallback = failure.message();
    }
    early.reset();
    if (!fallback.isEmpty()) {
      files.removeAll();  // the parts of the failed attempt would only take disk space
      plan = PlanReEncode(job.media, request, "the smart cut failed its check");
    }
  }
  if (plan.method == CutMethod::kReEncode) {
    early.reset();
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
