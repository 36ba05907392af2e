// The libmpv player against what the window relies on, on generated clips, without
// screen or sound output: calls return at once and the outcome arrives as signals.
#include "player/mpv_player.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <functional>
#include <memory>

#include "media.h"

namespace {

using vintrel::MpvPlayer;

QString g_clip;  // 4 s, 25 frames per second, with sound
// 2 s at 30000/1001 without sound: its frame times fall between whole seconds, and its
// last frame starts 33 ms before its end.
QString g_short;

// Handles events until the condition holds. The bound only keeps a broken player from
// hanging the test.
bool PollUntil(const std::function<bool()>& done, int boundMs = 15000) {
  for (int waited = 0; waited < boundMs; waited += 10) {
    if (done()) return true;
    QTest::qWait(10);
  }
  return done();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
  f.write(bytes);
}

class MpvPlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const QString dir = testmedia::TempDir();
    g_clip = testmedia::MakeClip(dir + "/clip.mp4", 4, "320x240", "25",
                                 {"-c:v", "libx264", "-pix_fmt", "yuv420p"});
    g_short = testmedia::MakeClip(dir + "/short clip.mp4", 2, "320x240", "30000/1001",
                                  {"-an", "-c:v", "libx264", "-pix_fmt", "yuv420p"});
  }

  void SetUp() override {
    ASSERT_FALSE(g_clip.isEmpty()) << "ffmpeg could not make the clips";
    ASSERT_FALSE(g_short.isEmpty());
    player = std::make_unique<MpvPlayer>(vintrel::MpvOptions{"null", "null", 0});
    loaded = std::make_unique<QSignalSpy>(player.get(), &vintrel::Player::loaded);
    failed = std::make_unique<QSignalSpy>(player.get(), &vintrel::Player::failed);
    ended = std::make_unique<QSignalSpy>(player.get(), &vintrel::Player::endReached);
  }

  // Opens a file and waits for it to load; the length it reported.
  double Open(const QString& path) {
    const qsizetype before = loaded->count();
    const qsizetype failedBefore = failed->count();
    player->open(path);
    if (!PollUntil([&] { return loaded->count() > before || failed->count() > failedBefore; })) return -1;
    if (loaded->count() == before) return -1;
    return loaded->last().at(0).toDouble();
  }
  double Pos() { return player->position(); }

  std::unique_ptr<MpvPlayer> player;
  std::unique_ptr<QSignalSpy> loaded, failed, ended;
};

TEST_F(MpvPlayerTest, OpenReturnsAtOnceThenReportsTheLengthAndPlays) {
  player->open(g_clip);
  // Nothing is known before the GUI thread has handled libmpv's events.
  EXPECT_FALSE(player->isLoaded());
  EXPECT_EQ(loaded->count(), 0);
  EXPECT_EQ(Pos(), 0.0);
  ASSERT_TRUE(PollUntil([&] { return !loaded->isEmpty(); }));
  EXPECT_NEAR(loaded->first().at(0).toDouble(), 4.0, 0.05);
  EXPECT_TRUE(player->isLoaded());
  EXPECT_FALSE(player->isPaused());
  EXPECT_NEAR(player->duration(), 4.0, 0.05);
  const double start = Pos();
  EXPECT_GE(start, 0.0);
  EXPECT_LT(start, 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > start + 0.5; }));
  EXPECT_TRUE(failed->isEmpty());
}

TEST_F(MpvPlayerTest, PauseHaltsThePositionAndResumeRunsOnFromIt) {
  ASSERT_GT(Open(g_clip), 0);
  ASSERT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
  QSignalSpy pausedChanged(player.get(), &vintrel::Player::pausedChanged);
  player->setPaused(true);
  EXPECT_TRUE(player->isPaused());
  ASSERT_FALSE(pausedChanged.isEmpty());
  EXPECT_TRUE(pausedChanged.last().at(0).toBool());
  // The clock may still move until libmpv has taken the pause; then it stands.
  QTest::qWait(200);
  const double halted = Pos();
  QTest::qWait(300);
  EXPECT_EQ(Pos(), halted);
  EXPECT_TRUE(player->isPaused());

  player->setPaused(false);
  EXPECT_FALSE(player->isPaused());
  EXPECT_FALSE(pausedChanged.last().at(0).toBool());
  EXPECT_TRUE(PollUntil([&] { return Pos() > halted + 0.3; }));
  EXPECT_GE(Pos(), halted);
}

TEST_F(MpvPlayerTest, SeekReadsTheTargetAtOnceRunningOrHalted) {
  ASSERT_GT(Open(g_short), 0);
  player->seek(1);  // straight after loading, as Play Selected does: running goes on from there
  EXPECT_EQ(Pos(), 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > 1.2; }));

  player->setPaused(true);
  // Whole seconds are not frame times here: the frame shown is 1.001, the position stays 1.
  player->seek(1);
  EXPECT_EQ(Pos(), 1.0);
  QTest::qWait(300);
  EXPECT_EQ(Pos(), 1.0);
  player->seek(0.5);
  EXPECT_EQ(Pos(), 0.5);

  player->setPaused(false);  // resumes from the moved position
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.7; }));
  EXPECT_LT(Pos(), 1.9);
}

TEST_F(MpvPlayerTest, PlayingToTheEndReportsItAndHoldsTheLength) {
  const double length = Open(g_short);
  EXPECT_NEAR(length, 2.0, 0.05);
  ASSERT_TRUE(PollUntil([&] { return !ended->isEmpty(); }));
  EXPECT_EQ(Pos(), player->duration());
  QTest::qWait(300);
  EXPECT_EQ(Pos(), player->duration());
  EXPECT_EQ(ended->count(), 1);
  EXPECT_TRUE(player->isLoaded());

  // At the end the player is halted; a seek there keeps it so.
  player->seek(0);
  EXPECT_EQ(Pos(), 0.0);
  QTest::qWait(300);
  EXPECT_EQ(Pos(), 0.0);
  player->setPaused(false);
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
  EXPECT_LT(Pos(), length);

  // The second time through reports the end again.
  ASSERT_TRUE(PollUntil([&] { return ended->count() == 2; }));
  EXPECT_EQ(Pos(), player->duration());
}

// A frame step halts and moves exactly one frame's time, forward or back, and the
// position tells the time of the frame stepped to.
TEST_F(MpvPlayerTest, AFrameStepMovesOneFramesTime) {
  const struct {
    QString clip;
    double frame;  // seconds
  } clips[] = {{g_clip, 1.0 / 25}, {g_short, 1001.0 / 30000}};
  for (const auto& c : clips) {
    SCOPED_TRACE(c.clip.toStdString());
    ASSERT_GT(Open(c.clip), 0);
    ASSERT_TRUE(PollUntil([&] { return Pos() > 0.2; }));
    QSignalSpy moved(player.get(), &vintrel::Player::positionChanged);
    auto step = [&](bool forward) {
      moved.clear();
      player->stepFrame(forward);
      // The step is done once the position has stood still a while.
      double last = -1;
      return PollUntil([&] {
        if (moved.isEmpty()) return false;
        QTest::qWait(150);
        const bool still = Pos() == last;
        last = Pos();
        return still;
      });
    };
    player->setPaused(true);
    player->seek(1);
    QTest::qWait(300);
    ASSERT_TRUE(step(true));
    EXPECT_TRUE(player->isPaused());
    const double first = Pos();
    // On a frame's own time, just after the second sought.
    EXPECT_NEAR(first / c.frame, std::round(first / c.frame), 0.01) << first;
    EXPECT_GT(first, 1.0 - 1e-6);
    EXPECT_LT(first, 1.0 + 2 * c.frame);
    for (const bool forward : {true, true, false, false, false}) {
      const double before = Pos();
      ASSERT_TRUE(step(forward)) << (forward ? "forward" : "back");
      EXPECT_NEAR(Pos() - before, forward ? c.frame : -c.frame, 0.001) << (forward ? "forward" : "back");
      EXPECT_TRUE(player->isPaused());
    }
    EXPECT_NEAR(Pos(), first - c.frame, 0.001);
    // It stays halted there.
    QTest::qWait(300);
    EXPECT_NEAR(Pos(), first - c.frame, 0.001);
  }
}

struct Unplayable {
  const char* what;
  std::function<QString()> make;  // the path, made on the spot
  const char* reasonHas;          // a part of the reason the user is shown
};

void PrintTo(const Unplayable& u, std::ostream* os) { *os << u.what; }

class MpvPlayerUnplayableTest : public MpvPlayerTest, public ::testing::WithParamInterface<Unplayable> {};

TEST_P(MpvPlayerUnplayableTest, FailsWithAReasonAndLoadsNothing) {
  const QString path = GetParam().make();
  ASSERT_FALSE(path.isEmpty());
  player->open(path);
  ASSERT_TRUE(PollUntil([&] { return !failed->isEmpty() || !loaded->isEmpty(); }));
  ASSERT_EQ(failed->count(), 1) << "it loaded";
  const QString reason = failed->first().at(0).toString();
  EXPECT_TRUE(reason.contains(GetParam().reasonHas, Qt::CaseInsensitive)) << reason.toStdString();
  EXPECT_FALSE(player->isLoaded());
  EXPECT_EQ(Pos(), 0.0);
  EXPECT_EQ(player->duration(), 0.0);
  // A list or a folder is not played on in the background either.
  QTest::qWait(500);
  EXPECT_TRUE(loaded->isEmpty());
  EXPECT_EQ(failed->count(), 1);
  EXPECT_FALSE(player->isLoaded());
  player->seek(1);  // nothing to move
  EXPECT_EQ(Pos(), 0.0);

  // The player is still usable.
  EXPECT_NEAR(Open(g_clip), 4.0, 0.05);
  EXPECT_TRUE(player->isLoaded());
}

INSTANTIATE_TEST_SUITE_P(
    Files, MpvPlayerUnplayableTest,
    ::testing::Values(Unplayable{"missing", [] { return testmedia::TempDir() + "/no such folder/clip.mp4"; },
                                 "No such file"},
                      Unplayable{"text named like a video",
                                 [] {
                                   const QString p = testmedia::TempDir() + "/notes.mp4";
                                   WriteFile(p, "not a video\nat all\n");
                                   return p;
                                 },
                                 "format"},
                      Unplayable{"still picture",
                                 [] {
                                   const QString p = testmedia::TempDir() + "/still.png";
                                   return testmedia::Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240",
                                                             "-frames:v", "1", p})
                                              ? p
                                              : QString();
                                 },
                                 "still picture"},
                      Unplayable{"playlist",
                                 [] {
                                   const QString p = testmedia::TempDir() + "/list.m3u";
                                   WriteFile(p, "#EXTM3U\n" + QFile::encodeName(g_clip) + "\n" +
                                                    QFile::encodeName(g_short) + "\n");
                                   return p;
                                 },
                                 "playlist or a folder"},
                      Unplayable{"folder",
                                 [] {
                                   const QString p = testmedia::TempDir() + "/a folder";
                                   QDir().mkpath(p);
                                   QFile::copy(g_short, p + "/inside.mp4");
                                   return p;
                                 },
                                 "playlist or a folder"}),
    [](const auto& info) {
      QString name = info.param.what;
      return name.replace(' ', '_').toStdString();
    });

TEST_F(MpvPlayerTest, ASecondFileReplacesTheFirstWhileItPlays) {
  ASSERT_NEAR(Open(g_clip), 4.0, 0.05);
  ASSERT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
  EXPECT_NEAR(Open(g_short), 2.0, 0.05);
  EXPECT_NEAR(player->duration(), 2.0, 0.05);
  EXPECT_LT(Pos(), 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
  EXPECT_TRUE(failed->isEmpty());
}

TEST_F(MpvPlayerTest, OpeningAgainBeforeTheFirstLoadedReportsOnlyTheLast) {
  player->open(g_clip);
  player->open(g_short);
  ASSERT_TRUE(PollUntil([&] { return !loaded->isEmpty(); }));
  QTest::qWait(300);
  ASSERT_EQ(loaded->count(), 1);
  EXPECT_NEAR(loaded->first().at(0).toDouble(), 2.0, 0.05);
  EXPECT_NEAR(player->duration(), 2.0, 0.05);
  EXPECT_TRUE(failed->isEmpty());
}

TEST_F(MpvPlayerTest, CloseLetsGoOfTheFileAndOpenLoadsAgain) {
  player->seek(1);  // nothing loaded yet: ignored
  EXPECT_EQ(Pos(), 0.0);
  EXPECT_FALSE(player->isLoaded());

  ASSERT_GT(Open(g_short), 0);
  player->close();
  EXPECT_FALSE(player->isLoaded());
  EXPECT_EQ(Pos(), 0.0);
  QTest::qWait(300);
  EXPECT_FALSE(player->isLoaded());

  EXPECT_NEAR(Open(g_clip), 4.0, 0.05);
  EXPECT_LT(Pos(), 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
  EXPECT_TRUE(failed->isEmpty());
}

}  // namespace

// Some graphics drivers, probed where there is no GPU, close descriptor 0 without having opened
// it. Had the next video landed on 0, the next such close would take it from under the player.
TEST_F(MpvPlayerTest, AStrayCloseOfDescriptorZeroTakesNothingThePlayerNeeds) {
  ASSERT_GT(Open(g_clip), 0);
  ::close(0);
  ASSERT_NEAR(Open(g_short), 2.0, 0.05);
  struct stat zero = {}, null = {};
  ASSERT_EQ(::fstat(0, &zero), 0);
  ASSERT_EQ(::stat("/dev/null", &null), 0);
  EXPECT_TRUE(S_ISCHR(zero.st_mode) && zero.st_rdev == null.st_rdev) << "descriptor 0 is not /dev/null";
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
}
