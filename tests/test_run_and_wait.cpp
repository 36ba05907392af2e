// The encoder runner: the order of each poll, the bar, the time limit across midnight, and
// how it reports the end of the process.
#include <gtest/gtest.h>

#include <QFile>
#include <climits>

#include "export/sw.h"
#include "fakes/fakes.h"

namespace {

using namespace vintrel;
using fakes::Rig;

// Clock reads, starts and exit-code queries go into the pump's log beside DoEvents and
// Sleep, and the bar's changes too, so a pass can be read in order.
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
  Rig rig;
  LoggingClock clock;
  LoggingProcesses processes;
  Platform platform;
  std::unique_ptr<Form1> form;
  std::vector<std::string>& log = rig.pump.log;

  RunnerRig()
      : platform{rig.msg,  rig.dialog, clock,
                 rig.pump, processes,  rig.files,
                 rig.url,  rig.app,    rig.platform.makePlayer} {
    clock.log = &log;
    processes.log = &log;
    rig.pump.clock = &clock;
    form = std::make_unique<Form1>(platform);
    QObject::connect(form->pb, &QProgressBar::valueChanged,
                     [this](int v) { log.push_back("bar " + std::to_string(v)); });
  }
  // The clock counts in tenths of a second from `tenths`, one tenth per Sleep, and
  // wraps at midnight.
  void ClockFrom(long tenths) {
    clock.now = static_cast<float>(tenths / 10.0);
    rig.pump.onSleep = [this, tenths](int) {
      clock.now = static_cast<float>(((tenths + rig.pump.sleeps) % 864000) / 10.0);
    };
  }
  sw::Outcome Run(int32_t limit) {
    return sw::RunAndWait(*form, {"\"/opt/x/ffmpeg\" -i \"a\"", "/opt/x/ffmpeg", {"-i", "file:/a"}}, limit);
  }
};

constexpr int kForever = -1;

std::deque<std::optional<int>> Running(int passes, std::optional<int> then) {
  std::deque<std::optional<int>> codes(passes, STILL_ACTIVE);
  codes.push_back(then);
  return codes;
}

TEST(RunAndWait, OnePassInOrderWhenTheProcessHasAlreadyEnded) {
  RunnerRig r;
  const sw::Outcome out = r.Run(0);
  EXPECT_EQ(r.log, (std::vector<std::string>{"Timer", "Start", "ExitCode", "DoEvents", "Timer", "Sleep 100",
                                             "bar 1"}));
  EXPECT_EQ(out.ending, sw::Ending::Exited);
  EXPECT_EQ(out.exitCode, 0);
  ASSERT_EQ(r.processes.started.size(), 1u);
  EXPECT_EQ(r.processes.started[0].program, "/opt/x/ffmpeg");
  EXPECT_EQ(r.processes.started[0].args, (QStringList{"-i", "file:/a"}));
  EXPECT_FALSE(r.processes.started[0].errorLog.isEmpty());
  EXPECT_FALSE(QFile::exists(r.processes.started[0].errorLog)) << "the error log is left behind";
}

TEST(RunAndWait, PollsUntilTheProcessEndsAndReportsItsCode) {
  RunnerRig r;
  r.processes.exitCodes = Running(3, 1);
  const sw::Outcome out = r.Run(0);
  EXPECT_EQ(r.processes.exitCodeQueries, 4);
  EXPECT_EQ(r.rig.pump.sleeps, 4);
  EXPECT_EQ(r.form->pb->value(), 4);
  EXPECT_EQ(out.ending, sw::Ending::Exited);
  EXPECT_EQ(out.exitCode, 1);
  // Every pass: query, events, clock, pause, bar.
  const std::vector<std::string> pass{"ExitCode", "DoEvents", "Timer", "Sleep 100"};
  for (int i = 0; i < 4; ++i) {
    const auto at = r.log.begin() + 2 + i * 5;
    EXPECT_TRUE(std::equal(pass.begin(), pass.end(), at)) << "pass " << i;
    EXPECT_EQ(*(at + 4), "bar " + std::to_string(i + 1));
  }
}

TEST(RunAndWait, BarWrapsFrom100To0InTheSamePass) {
  RunnerRig r;
  r.form->pb->setValue(98);
  r.processes.exitCodes = Running(1, 0);
  r.log.clear();
  r.Run(0);
  EXPECT_EQ(r.log.back(), "bar 0");
  EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "bar 100"), 1);
  EXPECT_EQ(r.form->pb->value(), 0);
  EXPECT_EQ(r.rig.pump.sleeps, 2);
}

TEST(RunAndWait, TimeLimits) {
  const struct {
    const char* name;
    long startTenths;
    int32_t limit;
    int runningPasses;  // passes that read STILL_ACTIVE before the process ends
    int sleeps;         // pauses made before the runner returns
    sw::Ending ending;
  } rows[] = {
      // The deadline is the whole second 1010; the wait ends on the first read above it.
      {"1000.4 + 10", 10004, 10, kForever, 97, sw::Ending::TimeLimit},
      // Halves go to the even second: 1000.5 starts at 1000, 1001.5 at 1002.
      {"1000.5 + 10", 10005, 10, kForever, 96, sw::Ending::TimeLimit},
      {"1001.5 + 10", 10015, 10, kForever, 106, sw::Ending::TimeLimit},
      // 23:59:40 + 60 s: deadline 40 on the next day; before midnight the clock is above
      // it but not below the start, so the wait goes on until 00:00:40.1.
      {"86380 + 60 across midnight", 863800, 60, kForever, 601, sw::Ending::TimeLimit},
      {"86380 + 60, process ends first", 863800, 60, 300, 301, sw::Ending::Exited},
      // A sum of exactly 86400 is the next day's second 0.
      {"86390 + 10 lands on midnight", 863900, 10, kForever, 101, sw::Ending::TimeLimit},
      // A negative limit: no deadline, and the first clock read above 0 ends the wait
      // before any pause.
      {"negative limit", 10000, -5, kForever, 0, sw::Ending::TimeLimit},
      {"no limit", 863990, 0, 500, 501, sw::Ending::Exited},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    RunnerRig r;
    r.ClockFrom(row.startTenths);
    r.processes.exitCodes = row.runningPasses == kForever ? std::deque<std::optional<int>>{STILL_ACTIVE}
                                                          : Running(row.runningPasses, 0);
    const sw::Outcome out = r.Run(row.limit);
    EXPECT_EQ(r.rig.pump.sleeps, row.sleeps);
    EXPECT_EQ(r.rig.pump.doEvents, row.sleeps + (row.ending == sw::Ending::TimeLimit ? 1 : 0));
    EXPECT_EQ(out.ending, row.ending);
  }
}

TEST(RunAndWait, OverflowingLimitEndsBeforeAnythingStarts) {
  RunnerRig r;
  r.ClockFrom(10000);
  const sw::Outcome out = r.Run(INT32_MAX);
  EXPECT_EQ(out.ending, sw::Ending::NotStarted);
  EXPECT_TRUE(r.processes.started.empty());
  EXPECT_EQ(r.rig.pump.doEvents, 0);
}

TEST(RunAndWait, ExitCode259CountsAsRunningAndAFailedQueryKeepsTheLastCode) {
  RunnerRig r;
  // Running, the query fails (still running as far as known), running, ended.
  r.processes.exitCodes = {STILL_ACTIVE, std::nullopt, STILL_ACTIVE, 0};
  const sw::Outcome out = r.Run(0);
  EXPECT_EQ(r.rig.pump.sleeps, 4);
  EXPECT_EQ(out.ending, sw::Ending::Exited);
  EXPECT_EQ(out.exitCode, 0);
}

TEST(RunAndWait, QueryThatFailsAtOnceGivesOnePassAndAnUnknownEnd) {
  RunnerRig r;
  r.processes.exitCodes = {std::nullopt};
  const sw::Outcome out = r.Run(0);
  EXPECT_EQ(r.rig.pump.sleeps, 1);
  EXPECT_EQ(r.form->pb->value(), 1);
  EXPECT_EQ(out.ending, sw::Ending::Unknown);
}

TEST(RunAndWait, StartThatFailsEndsAtOnceWithoutABarStep) {
  RunnerRig r;
  r.form->pb->setValue(40);
  r.processes.failStart = true;
  const sw::Outcome out = r.Run(0);
  EXPECT_EQ(out.ending, sw::Ending::NotStarted);
  EXPECT_TRUE(out.error.contains("/opt/x/ffmpeg")) << out.error.toStdString();
  EXPECT_EQ(r.rig.pump.doEvents, 0);
  EXPECT_EQ(r.rig.pump.sleeps, 0);
  EXPECT_EQ(r.form->pb->value(), 40);
}

TEST(RunAndWait, ErrorDuringTheWaitEndsItAtOnce) {
  RunnerRig r;
  r.processes.exitCodes = Running(10, 0);
  r.rig.pump.queued.push_back([] {});
  r.rig.pump.queued.push_back([] { throw VbError(kErrPathNotFound, "nested handler failed"); });
  const sw::Outcome out = r.Run(0);
  EXPECT_EQ(out.ending, sw::Ending::Interrupted);
  EXPECT_EQ(out.error, "nested handler failed");
  EXPECT_EQ(r.rig.pump.sleeps, 1);
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
  EXPECT_EQ(out.exitCode, 1);
  // The banner, the descriptions of the files and the progress say nothing about the failure.
  EXPECT_EQ(out.errorTail,
            "[mpeg4 @ 0x1] second warning\n[avi @ 0x2] error writing\nout.avi: No space left on device\n"
            "Conversion failed!");
  EXPECT_FALSE(QFile::exists(r.processes.started[0].errorLog));
  EXPECT_EQ(sw::ErrorLines("a\r\n\r\nb", 5), "a\nb");
  EXPECT_EQ(sw::ErrorLines("", 5), "");
}

}  // namespace
