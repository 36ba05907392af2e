#pragma once
// What a save of the marked stretch will cost, planned in the background by the engine's own
// plan whenever the marks change: one short line for under the marks.
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <memory>

#include "cut/cut_plan.h"

namespace vintrel {

class CutCostReader : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // Plans a cut of start..end of `input` into a file of the input's type; the line goes
  // empty until then. Asking for what was last asked does nothing; an empty input clears it.
  void ask(const QString& input, double start, double end, const QString& outputType);
  const QString& line() const { return line_; }

 signals:
  void changed();

 private:
  struct Question {
    QString input, outputType;
    double start = 0, end = 0;
    bool operator==(const Question&) const = default;
  };
  Question asked_;
  QString line_;
  std::unique_ptr<QFutureWatcher<QString>> watcher_;
};

}  // namespace vintrel
