#pragma once
// The real program in this process: its window, controls, dialogs, player and encoder
// runs, as main() builds them, with time stamps taken where its work starts and ends.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/form1.h"
#include "platform/real_platform.h"
#include "timing.h"

namespace bench {

// The real process starts and waits, noting when each happens.
class StampedProcesses : public vintrel::IProcesses {
 public:
  struct Started {
    QString program;
    QStringList args;
    Time called{};  // Start was asked
    long pid = 0;
    std::atomic<Clock::rep> ended{0};  // the process ended (seen from a thread of its own)
    std::atomic<double> cpu{-1};       // the processor time it used, in seconds
    std::optional<Time> noticed;       // the program read its exit code
    std::optional<Time> Ended() const {
      const Clock::rep e = ended;
      return e ? std::optional<Time>(Time(Clock::duration(e))) : std::nullopt;
    }
  };
  struct Helper {
    QString program;
    Time from{}, to{};
  };
  ~StampedProcesses() override;
  long Start(const QString& program, const QStringList& args, const QString& errorLog) override;
  std::optional<int> ExitCode(long pid) override;
  vintrel::ProgramRun Run(const QString& program, const QStringList& args, int timeoutMs) override;

  std::vector<std::shared_ptr<Started>> started;
  std::vector<Helper> helpers;
  void Clear();

 private:
  vintrel::PosixProcesses real_;
  std::vector<std::thread> watchers_;
};

// The time each call into the player took, in the order made.
struct PlayerCall {
  const char* member;
  Time from{}, to{};
};

class ProgramRig : public QObject {
 public:
  ProgramRig();
  ~ProgramRig() override;
  vintrel::Form1& form() { return *form_; }
  StampedProcesses processes;
  std::vector<PlayerCall> playerCalls;
  Time dialogShown{};     // the last Open or Save dialog came on screen
  Time dialogHidden{};    // ... went off screen
  Time dialogReturned{};  // ... and gave its answer back to the program
  // The total time spent in one member of the player since `from`.
  double PlayerMs(const char* member, Time from) const;

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
  std::unique_ptr<Parts> parts_;
  std::unique_ptr<vintrel::Platform> platform_;  // the window holds references into it
  std::unique_ptr<vintrel::Form1> form_;
};

// A user's answer to the Open or Save dialog: the path typed in, then Enter. `chosen`
// gets the moment Enter is pressed: the time the program's work starts from.
std::function<void(QWidget*)> ChoosePath(const QString& path, Time* chosen);

// The build folder (thanks.txt beside the program) and the program itself.
QString BuildFolder();
QString ProgramPath();

}  // namespace bench
