// vintrel-cut: the cut engine on the command line, for people and for the window, which
// starts it detached and reads its machine progress lines.
#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

#include "cut/cli/options.h"
#include "cut/cut_error.h"
#include "cut/cut_plan.h"
#include "cut/engine.h"
#include "cut/protocol/cut_exit.h"
#include "cut/protocol/progress_lines.h"
#include "cut/segment_cut.h"
#include "cut/time_text.h"

using namespace vintrel::cut;

namespace {

// How much lower than the window a cut started by it runs.
constexpr int kBackgroundNiceness = 15;

int Exit(CutExit code) { return static_cast<int>(code); }

void Print(FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  // Our reader may have gone away (SIGPIPE is ignored); the cut goes on regardless.
  fwrite(bytes.constData(), 1, bytes.size(), stream);
  fflush(stream);
}

class Reporter {
 public:
  explicit Reporter(bool machine) : machine_(machine) { clock_.start(); }
  CutObserver observer() {
    return {[this](double fraction) { progress(fraction); },
            [this](CutPhase phase) {
              if (machine_) Print(stderr, PhaseLine(PhaseName(phase)) + "\n");
            }};
  }
  void failure(const QString& message) {
    endLine();
    Print(stderr, (machine_ ? ErrorLine(message) : message) + "\n");
  }
  void endLine() {
    if (!machine_ && drewLine_) Print(stderr, "\n");
    drewLine_ = false;
  }

 private:
  void progress(double fraction) {
    if (machine_) {
      Print(stderr, ProgressLine(fraction) + "\n");
      return;
    }
    const double elapsed = clock_.elapsed() / 1000.0;
    QString line = QString("\r%1%").arg(int(fraction * 100), 3);
    if (fraction > 0.02 && fraction < 1)
      line += " " + ClockText(elapsed / fraction - elapsed) + " left   ";
    else
      line += "            ";
    Print(stderr, line);
    drewLine_ = true;
  }
  bool machine_;
  bool drewLine_ = false;
  QElapsedTimer clock_;
};

int PrintPlan(const CutArguments& cut, Reporter& reporter) {
  try {
    Print(stdout, PlanJson(PlanCut(cut.input, cut.start, cut.end, cut.output)) + "\n");
    return Exit(CutExit::kDone);
  } catch (const CutError& error) {
    reporter.failure(error.message());
    return Exit(CutExit::kFailed);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const CommandLineOptions options = ParseCommandLine(arguments);
  if (options.help) {
    Print(stdout, UsageText());
    return Exit(CutExit::kDone);
  }
  Reporter reporter(options.cut.machineProgress);
  if (!options.problem.isEmpty()) {
    reporter.failure(options.problem);
    Print(stderr, UsageText().section('\n', 0, 0) + "\n");
    return Exit(CutExit::kBadArguments);
  }
  if (options.plan) return PrintPlan(options.cut, reporter);
  InstallCancelHandlers();
  // Run for the window (it reads the machine progress): the cut and its encoders give way
  // to the window, which must keep answering on a machine with few processors.
  if (options.cut.machineProgress) setpriority(PRIO_PROCESS, 0, kBackgroundNiceness);
  try {
    const CutArguments& cut = options.cut;
    // With one file per segment each name is checked once the list is known.
    QString problem = cut.eachSegment ? QString() : OutputProblem(cut.input, cut.output, cut.overwrite);
    if (problem.isEmpty() && !cut.eachSegment) problem = OutputTypeProblem(cut.output);
    if (!problem.isEmpty()) throw CutError(problem);
    const CutReport report =
        cut.segments.empty() ? RunCut(cut, reporter.observer()) : RunSegmentCut(cut, reporter.observer());
    reporter.endLine();
    Print(stdout, report.text);
    return Exit(CutExit::kDone);
  } catch (const CutCancelled&) {
    reporter.failure("Cancelled; nothing was written.");
    return Exit(CutExit::kCancelled);
  } catch (const OutputTaken& taken) {
    reporter.failure(taken.message());
    return Exit(CutExit::kOutputTaken);
  } catch (const CutError& error) {
    reporter.failure(error.message());
    return Exit(CutExit::kFailed);
  } catch (const std::exception& error) {
    reporter.failure(QString("The cut failed: %1").arg(error.what()));
    return Exit(CutExit::kFailed);
  }
}
