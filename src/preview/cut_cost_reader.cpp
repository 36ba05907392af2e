#include "preview/cut_cost_reader.h"

#include <QtConcurrent>

#include "cut/cut_error.h"

namespace vintrel {

void CutCostReader::ask(const QString& input, double start, double end, const QString& outputType) {
  const Question question{input, outputType, start, end};
  if (question == asked_) return;
  asked_ = question;
  watcher_.reset();  // an answer to an earlier question goes nowhere
  line_.clear();
  emit changed();
  if (input.isEmpty() || end <= start) return;
  watcher_ = std::make_unique<QFutureWatcher<QString>>();
  connect(watcher_.get(), &QFutureWatcher<QString>::finished, this, [this] {
    line_ = watcher_->result();
    emit changed();
  });
  watcher_->setFuture(QtConcurrent::run([question]() -> QString {
    try {
      // The ends only: counting the copied frames reads the whole stretch.
      const cut::CutPlan plan =
          cut::PlanCut(question.input, question.start, question.end, "x." + question.outputType, false);
      return cut::CostLine(plan);
    } catch (const cut::CutError&) {
      return {};  // Save says what is wrong with the stretch, in its own words
    }
  }));
}

}  // namespace vintrel
