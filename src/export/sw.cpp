#include "export/sw.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <memory>
#include <optional>

#include "app/form1.h"

namespace vintrel::sw {

namespace {

// An empty log made afresh under an unguessable name, for the program's error output.
// Without one the output is dropped.
QString NewErrorLog() {
  QTemporaryFile file(QDir::tempPath() + "/vintrel-encoder-XXXXXX.log");
  file.setAutoRemove(false);
  return file.open() ? file.fileName() : QString();
}

// Opens the log the encoder writes to and takes its name away at once: the open file
// lives on for the encoder and for us, and nothing is left behind, not even when this
// program ends while the encoder still runs.
std::unique_ptr<QFile> KeepOpenAndUnlink(const QString& log) {
  if (log.isEmpty()) return nullptr;
  auto file = std::make_unique<QFile>(log);
  if (!file->open(QIODevice::ReadOnly)) file.reset();
  QFile::remove(log);
  return file;
}

// The end of the log: the message that quotes it is its only reader.
QString LogTail(QFile* file) {
  if (!file) return {};
  constexpr qint64 kTailBytes = 16384;
  const qint64 size = file->size();
  file->seek(size > kTailBytes ? size - kTailBytes : 0);
  return ErrorLines(file->readAll(), 4);
}

}  // namespace

QString ErrorLines(const QByteArray& text, int count) {
  static const QRegularExpression chatter(
      R"(^(\s|frame=|size=|ffmpeg version|Input #|Output #|Stream mapping:|Press \[q\]))");
  QStringList lines;
  // Progress lines end in a carriage return alone.
  for (const QString& line : QString::fromUtf8(text).split(QRegularExpression("[\r\n]"))) {
    if (!line.trimmed().isEmpty() && !chatter.match(line).hasMatch()) lines << line.trimmed();
  }
  return lines.mid(std::max<qsizetype>(0, lines.size() - count)).join('\n');
}

Outcome RunAndWait(Form1& form, const Command& command, int32_t timeLimit) {
  Outcome outcome;
  QString log;
  std::unique_ptr<QFile> logFile;
  // Whether an exit code was ever read, and the last one read (0 before the first read,
  // STILL_ACTIVE while it runs).
  bool everRead = false;
  int exitCode = 0;
  try {
    const int32_t start = static_cast<int32_t>(RoundToLong(form.sys.clock.Timer()));
    const Command copy = command;
    int32_t deadline = 0;
    bool wrapped = false;
    if (timeLimit > 0) {
      const int64_t sum = int64_t{start} + timeLimit;
      if (sum > INT32_MAX) throw VbError(kErrOverflow, "Overflow");
      if (sum > 86399) {
        deadline = start - 86400 + timeLimit;
        wrapped = true;
      } else {
        deadline = static_cast<int32_t>(sum);
      }
    }
    log = NewErrorLog();
    long pid = 0;
    try {
      pid = form.sys.processes.Start(copy.program, copy.args, log);
    } catch (...) {
      QFile::remove(log);
      throw;
    }
    logFile = KeepOpenAndUnlink(log);
    outcome.ending = Ending::Unknown;
    for (;;) {
      if (const std::optional<int> code = form.sys.processes.ExitCode(pid)) {
        exitCode = *code;
        everRead = true;
      }
      form.sys.pump.DoEvents();
      if (form.sys.clock.Timer() > deadline && timeLimit != 0) {
        // Past a deadline on the next day only counts once midnight has passed.
        if (!wrapped || form.sys.clock.Timer() < start) {
          outcome.ending = Ending::TimeLimit;
          break;
        }
      }
      form.sys.pump.Sleep(100);
      form.pb->setValue(form.pb->value() + 1);
      if (form.pb->value() == 100) form.pb->setValue(0);
      if (exitCode != STILL_ACTIVE) break;
    }
  } catch (const std::exception& error) {
    outcome.error = QString::fromUtf8(error.what());
    if (outcome.ending != Ending::NotStarted) outcome.ending = Ending::Interrupted;
  }
  if (outcome.ending != Ending::NotStarted && everRead && exitCode != STILL_ACTIVE) {
    outcome.ending = Ending::Exited;
    outcome.exitCode = exitCode;
  }
  outcome.errorTail = LogTail(logFile.get());
  return outcome;
}

}  // namespace vintrel::sw
