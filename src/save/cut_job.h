#pragma once
// One cut running in the background. The cut itself is done by the `vintrel-cut` program,
// started detached so that it finishes its file even when the window is closed first.
#include <signal.h>
#include <sys/types.h>

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>

#include "cut/protocol/cut_request.h"

namespace vintrel {

// A cut as the window asks for it, in the protocol's own terms: `overwrite` where the user
// agreed to replace the file at the output name, and `replaces` that file as it was then (only
// it is replaced, never one put there since). Its progress always comes as machine lines.
using CutRequest = cut::CutArguments;

struct CutOutcome {
  enum class Result { Saved, Failed, Cancelled };
  Result result = Result::Failed;
  QString report;  // how the file was made and what was checked, when saved
  QString reason;  // why not, when it failed
  // It failed only because the output name no longer held what the user agreed to (a file
  // appeared there, or the one to replace was swapped) while the cut ran; the user may be asked again.
  bool outputTaken = false;
};

class CutJob : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  // Starts the cut; `finished` follows exactly once, possibly before this returns.
  virtual void start(const CutRequest& request) = 0;
  // Asks the cut to stop; `finished` then reports Cancelled, or what it had become. A cut that
  // does not stop by itself within a few seconds is made to.
  virtual void cancel() = 0;

 signals:
  // The share of the cut done, 0 to 1; 1 only once the file is written and checked.
  void progress(double fraction);
  void finished(const vintrel::CutOutcome& outcome);
};

// The arguments `vintrel-cut` is started with for a request (the protocol in cut/protocol/cut_request.h).
QStringList cutArguments(const CutRequest& request);
// Runs `vintrel-cut` as a process of its own session. When it ends other than with its file
// written (cancelled, failed, killed, crashed), its work files in the output's folder go too.
class ProcessCutJob : public CutJob {
  Q_OBJECT
 public:
  // How long a cancelled cut has to stop by itself before it is killed.
  static constexpr int kCancelGraceMs = 3000;

  // program: the path of vintrel-cut.
  explicit ProcessCutJob(QString program, QObject* parent = nullptr);
  ~ProcessCutJob() override;
  void start(const CutRequest& request) override;
  void cancel() override;

 private:
  void readErrorOutput();
  void readReport();
  void onExited();
  void kill();
  void finish(const CutOutcome& outcome);
  // Why it failed, in words for the user, from how it ended.
  QString failureReason(const siginfo_t& ending) const;

  QString program_;
  QString outputFolder_;
  QString output_;
  std::optional<cut::FileIdentity> outputAtStart_;
  QTimer killTimer_;
  pid_t pid_ = -1;
  int exitFd_ = -1;
  int reportFd_ = -1;
  int progressFd_ = -1;
  std::unique_ptr<QSocketNotifier> exitNotifier_;
  std::unique_ptr<QSocketNotifier> reportNotifier_;
  std::unique_ptr<QSocketNotifier> progressNotifier_;
  QByteArray report_;
  QByteArray progressPending_;
  QString lastError_;
  bool watchingExit_ = false;  // its pidfd tells when it ends; else the end of its output does
  bool cancelled_ = false;
  bool done_ = false;
};

// Where vintrel-cut is: beside the program, else on PATH; empty when nowhere.
QString findCutProgram(const QString& programFolder);

}  // namespace vintrel
