#include "save/save_flow.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "cut/media/containers.h"
#include "save/saved_summary.h"

namespace vintrel {

namespace {
// How often the bar and the time left are refreshed between the cut's own reports.
constexpr int kTickMs = 250;
}  // namespace

namespace {
// "0_03", "12_40", "1_02_03": a time that reads well in a file name; to the hundredth
// ("0_03.48") for marks to the frame.
QString nameTime(double seconds, bool hundredths) {
  const auto counted = static_cast<int64_t>(std::llround(std::max(0.0, seconds) * (hundredths ? 100 : 1)));
  const int64_t whole = hundredths ? counted / 100 : counted;
  const int64_t hours = whole / 3600, minutes = whole / 60 % 60, rest = whole % 60;
  QString text =
      hours > 0 ? QString("%1_%2_%3").arg(hours).arg(minutes, 2, 10, QChar('0')).arg(rest, 2, 10, QChar('0'))
                : QString("%1_%2").arg(minutes).arg(rest, 2, 10, QChar('0'));
  if (hundredths) text += QString(".%1").arg(counted % 100, 2, 10, QChar('0'));
  return text;
}
}  // namespace

namespace {
// The longest file name Linux file systems take, in bytes.
constexpr qsizetype kLongestName = 255;

qsizetype nameBytes(const QString& name) { return QFile::encodeName(name).size(); }
}  // namespace

QString offeredType(const QString& input) {
  const QString suffix = QFileInfo(input).suffix();
  return suffix.isEmpty() ? QString(kDefaultOutputType) : suffix;
}

QString outputTypeProblem(const QString& output) {
  const QString type = QFileInfo(output).suffix();
  if (cut::ContainerOfType(type)) return {};
  const QString known = cut::WritableTypesText();
  const QString what =
      type.isEmpty() ? QString("%1 has no ending that names its type.").arg(QFileInfo(output).fileName())
                     : QString("Vintrel cannot write .%1 files.").arg(type);
  return QString("%1 It writes %2 files; a .mkv file holds nearly any video.").arg(what, known);
}

QString suggestOutputName(const QString& input, const Stretch& stretch, Files& files) {
  const QFileInfo info(input);
  const QString suffix = "." + offeredType(input);
  const QString marks =
      QString("-cut-%1-%2")
          .arg(nameTime(stretch.start, stretch.toTheFrame), nameTime(stretch.end, stretch.toTheFrame));
  // Room for the marks, a number that makes the name free, and the type; the input's own
  // part gives way, a character at a time so that no character is cut in half.
  const qsizetype room = kLongestName - nameBytes(marks + "-9999" + suffix);
  QString base = info.completeBaseName();
  while (!base.isEmpty() && nameBytes(base) > room) {
    base.chop(1);
    if (!base.isEmpty() && base.back().isHighSurrogate()) base.chop(1);
  }
  const QString stem = info.absolutePath() + "/" + base + marks;
  QString name = stem + suffix;
  for (int n = 2; files.exists(name) && n < 10000; ++n)
    name = QString("%1-%2%3").arg(stem).arg(n).arg(suffix);
  return name;
}

QString suggestSegmentsName(const QString& input, Files& files) {
  const QFileInfo info(input);
  const QString stem = info.absolutePath() + "/" + info.completeBaseName() + "-segments";
  const QString suffix = "." + offeredType(input);
  QString name = stem + suffix;
  for (int n = 2; files.exists(name) && n < 10000; ++n)
    name = QString("%1-%2%3").arg(stem).arg(n).arg(suffix);
  return name;
}

QString plainReason(const QString& reason, const QString& output, bool folderGone) {
  static const QRegularExpression workFile(R"(\.vintrel-\d+-[0-9a-z]+-)");
  if (!reason.contains(workFile)) return reason;
  const QFileInfo info(output);
  if (folderGone) return QString("The folder %1 no longer exists.").arg(info.absolutePath());
  // "…: file:/f/.vintrel-1-x-cut.mp4: Invalid data…" reads "…: Invalid data…"; a work file
  // named anywhere else becomes the file it was to be.
  const QString path = QString(R"((?:file:)?(?:%1/)?\.vintrel-\d+-[0-9a-z]+-[^\s:/]*)")
                           .arg(QRegularExpression::escape(info.absolutePath()));
  QString plain = reason;
  plain.remove(QRegularExpression(path + ": "));
  plain.replace(QRegularExpression(path), info.fileName());
  return plain;
}

SaveFlow::SaveFlow(Session& session, Messages& messages, FileDialogs& dialogs, Files& files, UrlOpener& urls,
                   JobFactory makeJob, QObject* parent)
    : QObject(parent),
      session_(session),
      messages_(messages),
      dialogs_(dialogs),
      files_(files),
      urls_(urls),
      makeJob_(std::move(makeJob)) {
  ticker_.setInterval(kTickMs);
  connect(&ticker_, &QTimer::timeout, this, [this] {
    progress_.tick(clock_.elapsed() / 1000.0);
    emit progressChanged();
  });
}

SaveFlow::~SaveFlow() {
  // A running cut is left to finish its file: nobody waits for its report any more.
  if (job_) job_->disconnect(this);
}

QString SaveFlow::title() const { return session_.isSaving() ? progress_.title() : QString("Vintrel"); }

std::optional<SaveFlow::Refusal> SaveFlow::refuseOutput(const QString& input, const QString& output) const {
  // The same file under another spelling (a link, a relative form, a bind mount) is the
  // input too: replacing it would destroy the video being cut.
  if (output == input || files_.sameFile(output, input)) return Refusal{kFileInUse, {}};
  // Refused before anything runs: the cut would fail only at its end, after the whole work.
  if (const QString problem = outputTypeProblem(output); !problem.isEmpty())
    return Refusal{kNotSaved, problem};
  if (files_.folderWritable(output)) return std::nullopt;
  const QString folder = QFileInfo(output).absolutePath();
  return Refusal{kNotSaved, files_.folderExists(output)
                                ? QString("The folder %1 cannot be written.").arg(folder)
                                : QString("The folder %1 does not exist.").arg(folder)};
}

void SaveFlow::save() {
  if (session_.isSaving()) return;
  const SegmentListModel& list = session_.segments();
  const bool segments = !list.isEmpty();
  if (segments && cut::StretchesToCut(list.segments(), list.mode(), list.videoEnd()).empty()) {
    messages_.inform(kNothingLeft);
    return;
  }
  const std::optional<Stretch> stretch = segments ? Stretch{} : session_.stretchToSave();
  if (!stretch) {
    messages_.inform(kInvalidSelection);
    return;
  }
  if (!session_.hasFile()) return;

  session_.setSaving(true);
  progress_.start(0);
  clock_.restart();
  emit preparing();
  emit progressChanged();

  const QString input = session_.file();
  if (segments)
    chooseSegmentsOutput(input, suggestSegmentsName(input, files_));
  else
    chooseOutput(input, *stretch, suggestOutputName(input, *stretch, files_));
}

QStringList SaveFlow::segmentOutputs(const QString& input, const QString& chosen, bool each) const {
  if (!each) return {chosen};
  const SegmentListModel& list = session_.segments();
  const cut::SegmentList stretches = cut::StretchesToCut(list.segments(), list.mode(), list.videoEnd());
  QStringList outputs;
  for (size_t i = 0; i < stretches.size(); ++i)
    outputs << cut::SegmentFileName(chosen, input, int(i) + 1, stretches[i]);
  return outputs;
}

bool SaveFlow::agreeToOutputs(const QString& input, const QStringList& outputs) {
  QString existing;
  for (const QString& output : outputs) {
    if (const std::optional<Refusal> refused = refuseOutput(input, output)) {
      messages_.inform(refused->text, refused->detail);
      return false;
    }
    if (existing.isEmpty() && files_.exists(output)) existing = output;
  }
  return existing.isEmpty() || messages_.askYesNo(kOverwriteQuestion, overwriteDetail(existing));
}

void SaveFlow::chooseSegmentsOutput(const QString& input, QString name) {
  FileDialogRequest request = saveDialogRequest(input);
  request.choices = {kOneFile, kFilePerSegment};
  for (;;) {
    request.fileName = name;
    const std::optional<SaveAnswer> answer = dialogs_.chooseFileToSaveWithChoice(request);
    if (!answer) {
      endSaving();
      return;
    }
    name = answer->path;
    request.choice = answer->choice;
    const bool each = answer->choice == 1;
    const QStringList outputs = segmentOutputs(input, answer->path, each);
    bool replacing = false;
    for (const QString& output : outputs) replacing = replacing || files_.exists(output);
    if (!agreeToOutputs(input, outputs)) continue;
    // One file is replaced only as it is now; a file per segment by its name.
    const std::optional<cut::FileIdentity> agreed =
        replacing && !each ? files_.identity(answer->path) : std::nullopt;
    const SegmentListModel& list = session_.segments();
    CutRequest cut{.input = input, .output = answer->path, .overwrite = replacing, .replaces = agreed};
    cut.segments = list.segments();
    cut.segmentMode = list.mode();
    cut.eachSegment = each;
    cut.chapters = !each && kChapterTypes.contains(QFileInfo(answer->path).suffix().toLower());
    start(cut);
    return;
  }
}

FileDialogRequest SaveFlow::saveDialogRequest(const QString& input) const {
  const QString type = offeredType(input);
  FileDialogRequest request;
  request.title = "Save";
  request.filter = type.toUpper() + " Files|*." + type + "|All Files(*.*)|*.*";
  request.filterIndex = 1;
  return request;
}

QString SaveFlow::summaryOf(const CutOutcome& outcome) const {
  if (request_.eachSegment)
    return QString("%1 files saved, one per segment.").arg(outcome.report.section(' ', 0, 0));
  return savedSummary(outcome.report, QFileInfo(request_.output).fileName(), request_.end - request_.start);
}

QString overwriteDetail(const QString& output) {
  const QFileInfo info(output);
  return QString("%1 already exists in %2.").arg(info.fileName(), info.absolutePath());
}

void SaveFlow::chooseOutput(const QString& input, const Stretch& stretch, QString name) {
  FileDialogRequest request = saveDialogRequest(input);
  for (;;) {
    request.fileName = name;
    const std::optional<QString> output = dialogs_.chooseFileToSave(request);
    if (!output) {
      endSaving();
      return;
    }
    name = *output;
    if (const std::optional<Refusal> refused = refuseOutput(input, *output)) {
      messages_.inform(refused->text, refused->detail);
      continue;
    }
    const bool replacing = files_.exists(*output);
    if (replacing && !messages_.askYesNo(kOverwriteQuestion, overwriteDetail(*output))) continue;
    // The file as it is now, when the user agreed: only it is replaced. Gone already, there
    // is nothing to replace.
    const std::optional<cut::FileIdentity> agreed = replacing ? files_.identity(*output) : std::nullopt;
    start({.input = input,
           .output = *output,
           .start = stretch.start,
           .end = stretch.end,
           .overwrite = agreed.has_value(),
           .replaces = agreed,
           .tracks = session_.keptTracks(),
           .defaultSound = session_.defaultSound()});
    return;
  }
}

void SaveFlow::start(const CutRequest& request) {
  request_ = request;
  job_ = makeJob_();
  connect(job_.get(), &CutJob::progress, this, [this](double fraction) {
    progress_.report(fraction, clock_.elapsed() / 1000.0);
    emit progressChanged();
  });
  // Queued: a job that ends inside start() still reports after it has returned.
  connect(job_.get(), &CutJob::finished, this, &SaveFlow::onFinished, Qt::QueuedConnection);
  ticker_.start();
  job_->start(request);
}

void SaveFlow::cancel() {
  if (job_) job_->cancel();
}

void SaveFlow::continueUnattended(Notifier& notifier) {
  notifier_ = &notifier;
  if (!job_) emit finishedUnattended();
}

void SaveFlow::notifyOutcome(const CutOutcome& outcome) {
  const QFileInfo output(request_.output);
  switch (outcome.result) {
    case CutOutcome::Result::Saved:
      notifier_->notify(QString("%1: %2").arg(kSaved, output.fileName()),
                        summaryOf(outcome) + QString("\nIn %1").arg(output.absolutePath()));
      break;
    case CutOutcome::Result::Cancelled:
      notifier_->notify(kNotSaved, kSaveCancelled);
      break;
    case CutOutcome::Result::Failed:
      notifier_->notify(QString("%1 (%2)").arg(kNotSaved, output.fileName()),
                        plainReason(outcome.reason, request_.output, !files_.folderExists(request_.output)));
      break;
  }
}

void SaveFlow::onFinished(const CutOutcome& outcome) {
  ticker_.stop();
  if (notifier_) {
    // Nobody is left to answer a box: the desktop is told, and nothing is asked.
    job_.release()->deleteLater();
    endSaving();
    notifyOutcome(outcome);
    emit finishedUnattended();
    return;
  }
  if (outcome.result == CutOutcome::Result::Failed && outcome.outputTaken) {
    askAgain();
    return;
  }
  if (outcome.result == CutOutcome::Result::Saved) {
    progress_.complete();
    emit progressChanged();
  }
  // The window unlocks before the message, so a closed box finds it usable.
  job_.release()->deleteLater();
  endSaving();
  switch (outcome.result) {
    case CutOutcome::Result::Saved:
      tellSaved(outcome);
      break;
    case CutOutcome::Result::Cancelled:
      messages_.inform(kSaveCancelled);
      break;
    case CutOutcome::Result::Failed:
      messages_.inform(kNotSaved,
                       plainReason(outcome.reason, request_.output, !files_.folderExists(request_.output)));
      break;
  }
}

void SaveFlow::askAgain() {
  job_.release()->deleteLater();
  // Still locked while the question is open, as when it was first asked. No goes back to
  // the Save dialog for another name.
  if (!messages_.askYesNo(kOverwriteQuestion, overwriteDetail(request_.output))) {
    if (!request_.segments.empty())
      chooseSegmentsOutput(request_.input, request_.output);
    else
      chooseOutput(request_.input, {.start = request_.start, .end = request_.end}, request_.output);
    return;
  }
  CutRequest again = request_;
  // A file per segment is agreed to by name: its pattern names no one file.
  again.replaces = again.eachSegment ? std::nullopt : files_.identity(again.output);
  again.overwrite = again.eachSegment || again.replaces.has_value();
  progress_.start(0);
  clock_.restart();
  emit progressChanged();
  start(again);
}

void SaveFlow::tellSaved(const CutOutcome& outcome) {
  const QFileInfo output(request_.output);
  const QString summary = summaryOf(outcome);
  if (!messages_.informSaved(kSaved, summary, outcome.report)) return;
  const QString folder = output.absolutePath();
  // Nothing else depends on it: without a file manager the user is only told where the file is.
  if (!urls_.open(QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded)))
    messages_.inform(kNoFileManager, QString("The file is in %1").arg(folder));
}

void SaveFlow::endSaving() {
  ticker_.stop();
  progress_.start(0);
  session_.setSaving(false);
  emit progressChanged();
}

}  // namespace vintrel
