#pragma once
// The real program in this process: its main window built as main() builds it, with the
// real file dialogs, message boxes, libmpv player and vintrel-cut jobs, and time stamps
// taken where their work starts and ends.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "app/main_window.h"
#include "save/cut_job.h"
#include "timing.h"

namespace bench {

class ProgramRig : public QObject {
 public:
  ProgramRig();
  ~ProgramRig() override;
  vintrel::MainWindow& window() { return *window_; }

  Time dialogShown{};          // the last Open or Save dialog came on screen
  Time dialogHidden{};         // ... went off screen
  Time dialogReturned{};       // ... and gave its answer back to the program
  std::optional<Time> loaded;  // the player's last `loaded`

  // One cut as the save flow ran it.
  struct Cut {
    Time made{};  // the job was made, just before it starts vintrel-cut
    std::optional<Time> firstProgress;
    std::optional<Time> finished;  // the job saw vintrel-cut end and read its report
    vintrel::CutOutcome outcome;
  };
  std::vector<Cut> cuts;

  // Message boxes as they came on screen.
  struct Shown {
    QString text;
    Time when{};
  };
  std::vector<Shown> boxes;
  std::optional<Time> BoxShown(const QString& text) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;  // the window holds references into it
  std::unique_ptr<vintrel::MainWindow> window_;
};

// The build folder (thanks.txt and the program in it) and the program itself.
QString BuildFolder();
QString ProgramPath();
// vintrel-cut in the build folder; empty while it has not been built there.
QString CutProgram();

}  // namespace bench
