#pragma once
// One cut running in the background. The cut itself is done by the `vintrel-cut` program,
// started detached so that it finishes its file even when the window is closed first.
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <cstdint>
#include <memory>
#include <sys/types.h>

namespace vintrel {

struct CutRequest {
  QString input;
  QString output;
  double start = 0;  // seconds from the input's start; marks to the frame carry fractions
  double end = 0;
  bool replaceExisting = false;  // the user agreed to replace a file at the output name
};

struct CutOutcome {
  enum class Result { Saved, Failed, Cancelled };
  Result result = Result::Failed;
  QString report;  // how the file was made and what was checked, when saved
  QString reason;  // why not, when it failed
};

class CutJob : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  // Starts the cut; `finished` follows exactly once, possibly before this returns.
  virtual void start(const CutRequest& request) = 0;
  // Asks the cut to stop; `finished` then reports Cancelled, or what it had become.
  virtual void cancel() = 0;

 signals:
  // The share of the cut done, 0 to 1; 1 only once the file is written and checked.
  void progress(double fraction);
  void finished(const vintrel::CutOutcome& outcome);
};

// The arguments `vintrel-cut` is started with for a request (the protocol in cut/cli/protocol.h).
QStringList cutArguments(const CutRequest& request);
// Runs `vintrel-cut` as a process of its own session.
class ProcessCutJob : public CutJob {
  Q_OBJECT
 public:
  // program: the path of vintrel-cut.
  explicit ProcessCutJob(QString program, QObject* parent = nullptr);
  ~ProcessCutJob() override;
  void start(const CutRequest& request) override;
  void cancel() override;

 private:
  void readErrorOutput();
  void readReport();
  void onExited();
  void finish(const CutOutcome& outcome);

  QString program_;
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
  QString lastLines_;
  bool cancelled_ = false;
  bool done_ = false;
};

// Where vintrel-cut is: beside the program, else on PATH; empty when nowhere.
QString findCutProgram(const QString& programFolder);

}  // namespace vintrel
