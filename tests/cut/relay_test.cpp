// Pipes from one run to another through the cut's own process: nothing lost, nothing
// reordered, and no wait without end when either side goes away. The same for a program
// started ahead of its work, waiting on pipes of ours.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>
#include <thread>

#include "cut/child_process.h"

using namespace vintrel::cut;

namespace {

QByteArray Pattern(int size) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 4093) & 0xff);
  return bytes;
}

// Writes all of `bytes` (blocking), and says whether the reader took them all.
bool WriteAll(int fd, const QByteArray& bytes) {
  for (qsizetype done = 0; done < bytes.size();) {
    const ssize_t wrote = write(fd, bytes.constData() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += wrote;
  }
  return true;
}

QByteArray ReadAll(int fd) {
  QByteArray bytes;
  char buffer[65536];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

TEST(Relay, PassesEverythingInOrderWhetherTheReaderKeepsUpOrNot) {
  // A hold smaller than the data: the writer has to wait for the reader part of the time.
  for (const size_t hold : {size_t(64) << 10, size_t(16) << 20}) {
    ChildPipe in = MakeChildPipe(), out = MakeChildPipe();
    const QByteArray sent = Pattern(6 << 20);
    std::thread writer([&, fd = std::move(in.write)]() mutable {
      EXPECT_TRUE(WriteAll(fd.get(), sent));
      fd.reset();  // the end of the data
    });
    std::thread relay([&] { RelayBuffered(std::move(in.read), std::move(out.write), hold); });
    // The reader starts late, so that the relay holds what comes meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const QByteArray received = ReadAll(out.read.get());
    writer.join();
    relay.join();
    EXPECT_EQ(received.size(), sent.size()) << "hold " << hold;
    EXPECT_TRUE(received == sent) << "hold " << hold;
  }
}

TEST(Relay, EndsWhenTheReaderGoesAndTheWriterIsToldSo) {
  ChildPipe in = MakeChildPipe(), out = MakeChildPipe();
  out.read.reset();  // the reader has gone before anything came
  std::thread relay([&] { RelayBuffered(std::move(in.read), std::move(out.write), size_t(1) << 20); });
  // The writer (a child in real use) gets a broken pipe rather than waiting for ever.
  sigset_t pipeSignal, before;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
  const bool tookAll = WriteAll(in.write.get(), Pattern(8 << 20));
  const int error = errno;
  const timespec now = {0, 0};
  while (sigtimedwait(&pipeSignal, nullptr, &now) > 0) {
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  relay.join();
  EXPECT_FALSE(tookAll);
  EXPECT_EQ(error, EPIPE);
}

TEST(StartedChild, ReadsWhatItIsGivenAndEndsAtOnceWhenDropped) {
  // What it waits for comes through its gates, in order ("pipe:3", "pipe:4").
  StartedChild echo("/bin/sh", {"-c", "cat <&3; printf /; cat <&4"}, 2);
  const ChildResult result = echo.finish({"concat list", "filter graph"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "concat list/filter graph");

  // Dropped unused (a cut that turned out not to need it), it sees its gates close empty
  // and ends, so dropping it returns (else this test would hang here).
  { StartedChild unused("/bin/sh", {"-c", "cat <&3 >/dev/null; exit 7"}, 1); }

  // One that ended before it was let in: writing to its closed gate neither kills us with
  // SIGPIPE nor hides how it ended.
  StartedChild gone("/bin/sh", {"-c", "exec 3<&-; exit 3"}, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(gone.finish({"too late"}).exitCode, 3);
}

}  // namespace
