// The encoder runner: the order of each poll, the bar, the time limit across midnight, and
// how it reports the end of the process.
#include <gtest/gtest.h>

#include <QFile>
#include <climits>

#include "export/sw.h"
#include "fakes/fakes.h"

namespace {

using namespace vintrel;

// Clock reads, the start and exit-code queries go into the pump's log beside DoEvents and
// Sleep, and so do the bar's changes, so a pass can be read in order.
struct LoggingClock : fakes::FakeClock {
  std::vector<std::string>* log = nullptr;
  float Timer() override {
    log->push_back("Timer");
    return FakeClock::Timer();
  }
};
struct LoggingProcesses : fakes::FakeProcesses {
  std::vector<std::string>* log = nullptr;
  long Start(const QString& program, const QStringList& args, const QString& errorLog) override {
    log->push_back("Start");
    return FakeProcesses::Start(program, args, errorLog);
  }
  std::optional<int> ExitCode(long pid) override {
    log->push_back("ExitCode");
    return FakeProcesses::ExitCode(pid);
  }
};

struct RunnerRig {
  fakes::Rig rig;
  LoggingClock clock;
  LoggingProcesses processes;
  Platform platform{
      rig.msg, rig.dialog, clock, rig.pump, processes, rig.files, rig.url, rig.app, rig.platform.makePlayer};
  std::unique_ptr<Form1> form;
  std::vector<std::string>& log = rig.pump.log;
  fakes::FakePump& pump = rig.pump;

  RunnerRig() {
    clock.log = processes.log = &log;
    pump.clock = &clock;
    form = std::make_unique<Form1>(platform);
    QObject::connect(form->pb, &QProgressBar::valueChanged,
                     [this](int v) { log.push_back("bar " + std::to_string(v)); });
  }
  // The clock counts tenths of a second from `tenths`, one per Sleep, and wraps at midnight.
  void ClockFrom(long tenths) {
    clock.now = static_cast<float>(tenths / 10.0);
    pump.onSleep = [this, tenths](int) {
      clock.now = static_cast<float>(((tenths + pump.sleeps) % 864000) / 10.0);
    };
  }
  sw::Outcome Run(int32_t limit) {
    return sw::RunAndWait(*form, {"\"/opt/x/ffmpeg\" -i \"a\"", "/opt/x/ffmpeg", {"-i", "file:/a"}}, limit);
  }
};

constexpr int kForever = -1;
// Exit codes that read "running" for so many passes, then `then`.
std::deque<std::optional<int>> Running(int passes, std::optional<int> then = 0) {
  if (passes == kForever) return {STILL_ACTIVE};
  std::deque<std::optional<int>> codes(passes, STILL_ACTIVE);
  codes.push_back(then);
  return codes;
}

TEST(RunAndWait, EachPassQueriesHandlesEventsReadsTheClockPausesAndStepsTheBar) {
  RunnerRig r;
  r.processes.exitCodes = Running(1);
  const sw::Outcome out = r.Run(0);
  const std::vector<std::string> pass{"ExitCode", "DoEvents", "Timer", "Sleep 100"};
  std::vector<std::string> expected{"Timer", "Start"};
  for (const char* bar : {"bar 1", "bar 2"}) {
    expected.insert(expected.end(), pass.begin(), pass.end());
    expected.push_back(bar);
  }
  EXPECT_EQ(r.log, expected);
  EXPECT_EQ(out.ending, sw::Ending::Exited);
  EXPECT_EQ(r.processes.started.at(0).program, "/opt/x/ffmpeg");
  EXPECT_EQ(r.processes.started.at(0).args, (QStringList{"-i", "file:/a"}));
  EXPECT_FALSE(QFile::exists(r.processes.started.at(0).errorLog)) << "the error log is left behind";
}

TEST(RunAndWait, EndsWhenTheExitCodeIsNo259) {
  const struct {
    const char* name;
    std::deque<std::optional<int>> codes;
    int passes;
    sw::Ending ending;
    int exitCode;
  } rows[] = {
      {"ended before the first poll", {0}, 1, sw::Ending::Exited, 0},
      {"runs three passes, then fails", Running(3, 1), 4, sw::Ending::Exited, 1},
      // A failed query keeps the last code read: still running.
      {"a query fails while it runs",
       {STILL_ACTIVE, std::nullopt, STILL_ACTIVE, 0},
       4,
       sw::Ending::Exited,
       0},
      // The first query fails: the code stays 0, one pass, and the end is unknown.
      {"no query succeeds", {std::nullopt}, 1, sw::Ending::Unknown, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RunnerRig r;
    r.processes.exitCodes = row.codes;
    const sw::Outcome out = r.Run(0);
    EXPECT_EQ(r.pump.sleeps, row.passes);
    EXPECT_EQ(r.form->pb->value(), row.passes);
    EXPECT_EQ(out.ending, row.ending);
    EXPECT_EQ(out.exitCode, row.exitCode);
  }
}

TEST(RunAndWait, BarWrapsFrom100To0InTheSamePass) {
  RunnerRig r;
  r.form->pb->setValue(98);
  r.processes.exitCodes = Running(1);
  r.log.clear();
  r.Run(0);
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "bar 100"), 1);
  EXPECT_EQ(r.log.back(), "bar 0");
}

TEST(RunAndWait, TimeLimits) {
  const struct {
    const char* name;
    long startTenths;
    int32_t limit;
    int runningPasses;
    int sleeps;  // pauses made before the runner returns
    sw::Ending ending;
  } rows[] = {
      // The deadline is the whole second 1010; the wait ends on the first read above it.
      {"1000.4 + 10", 10004, 10, kForever, 97, sw::Ending::TimeLimit},
      // Halves go to the even second: 1000.5 starts at 1000, 1001.5 at 1002.
      {"1000.5 + 10", 10005, 10, kForever, 96, sw::Ending::TimeLimit},
      {"1001.5 + 10", 10015, 10, kForever, 106, sw::Ending::TimeLimit},
      // 23:59:40 + 60 s: deadline 40 on the next day; before midnight the clock is above
      // it but not below the start, so the wait goes on until the read of 00:00:40.1.
      {"86380 + 60 across midnight", 863800, 60, kForever, 601, sw::Ending::TimeLimit},
      {"86380 + 60, process ends first", 863800, 60, 300, 301, sw::Ending::Exited},
      {"86390 + 10 lands on midnight", 863900, 10, kForever, 101, sw::Ending::TimeLimit},
      // No deadline, and the first read above 0 ends the wait before any pause.
      {"negative limit", 10000, -5, kForever, 0, sw::Ending::TimeLimit},
      {"no limit", 863990, 0, 500, 501, sw::Ending::Exited},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RunnerRig r;
    r.ClockFrom(row.startTenths);
    r.processes.exitCodes = Running(row.runningPasses);
    EXPECT_EQ(r.Run(row.limit).ending, row.ending);
    EXPECT_EQ(r.pump.sleeps, row.sleeps);
    EXPECT_EQ(r.pump.doEvents, row.sleeps + (row.ending == sw::Ending::TimeLimit ? 1 : 0));
  }
}

TEST(RunAndWait, NothingStartedMeansNoPassAndNoBarStep) {
  for (bool overflow : {false, true}) {
    RunnerRig r;
    r.form->pb->setValue(40);
    r.processes.failStart = !overflow;
    const sw::Outcome out = r.Run(overflow ? INT32_MAX : 0);
    EXPECT_EQ(out.ending, sw::Ending::NotStarted);
    EXPECT_FALSE(out.error.isEmpty());
    EXPECT_EQ(r.pump.doEvents, 0);
    EXPECT_EQ(r.form->pb->value(), 40);
    EXPECT_TRUE(r.processes.started.empty());
  }
}

TEST(RunAndWait, ErrorDuringTheWaitEndsItAtOnce) {
  RunnerRig r;
  r.processes.exitCodes = Running(10);
  r.pump.queued = {[] {}, [] { throw VbError(kErrPathNotFound, "nested handler failed"); }};
  const sw::Outcome out = r.Run(0);
  EXPECT_EQ(out.ending, sw::Ending::Interrupted);
  EXPECT_EQ(out.error, "nested handler failed");
  EXPECT_EQ(r.pump.sleeps, 1);
}

TEST(RunAndWait, ReportsTheLinesOfTheErrorOutputThatSaySomething) {
  RunnerRig r;
  r.processes.exitCodes = Running(2, 1);
  r.processes.onStart = [](const fakes::StartedProcess& p) {
    QFile log(p.errorLog);
    ASSERT_TRUE(log.open(QIODevice::Append));
    log.write(
        "ffmpeg version x\n  configuration: y\nInput #0, avi, from 'a':\n  Duration: 00:00:16.00\n"
        "Stream mapping:\n  Stream #0:0 -> #0:0\nPress [q] to stop, [?] for help\nOutput #0, avi, to 'b':\n"
        "  Stream #0:0\n[mpeg4 @ 0x1] first warning\n[mpeg4 @ 0x1] second warning\nframe=  10 size=1kB\r"
        "frame=  20 size=2kB\r[avi @ 0x2] error writing\nout.avi: No space left on device\n\nConversion "
        "failed!\n");
  };
  const sw::Outcome out = r.Run(0);
  // The banner, the descriptions of the files and the progress say nothing about the failure.
  EXPECT_EQ(out.errorTail,
            "[mpeg4 @ 0x1] second warning\n[avi @ 0x2] error writing\nout.avi: No space left on device\n"
            "Conversion failed!");
  EXPECT_EQ(sw::ErrorLines("a\r\n\r\nb", 5), "a\nb");
}

}  // namespace
