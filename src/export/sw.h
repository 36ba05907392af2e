#pragma once
// Runs the encoder to its end while the window stays alive and the progress bar moves.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace vintrel {
class Form1;
}

namespace vintrel::sw {

// A program to start: its command line as text, and the argument list that is started.
struct Command {
  QString text;
  QString program;
  QStringList args;
};

enum class Ending {
  NotStarted,   // it could not be started, or the time limit could not be computed
  Exited,       // it was seen to end; exitCode holds its code
  Unknown,      // its state could not be read, so whether it ended is not known
  TimeLimit,    // the time limit passed while it still ran
  Interrupted,  // an error cut the wait short; it may still run
};

struct Outcome {
  Ending ending = Ending::NotStarted;
  int exitCode = 0;
  QString error;      // why it did not start, or what cut the wait short
  QString errorTail;  // the last lines it wrote to its error output
};

// Starts the command and polls it every 100 ms until it has ended, or until timeLimit
// seconds have passed (0: no limit; a wait across midnight is handled). Pending window
// events are handled on every pass, so other handlers may run meanwhile. Form1's bar `pb`
// steps once a pass, from 100 back to 0.
Outcome RunAndWait(Form1& form, const Command& command, int32_t timeLimit);

// The last `count` lines of the encoder's error output that say something: its banner,
// its descriptions of the files (indented) and its progress lines are left out.
QString ErrorLines(const QByteArray& text, int count);

}  // namespace vintrel::sw
