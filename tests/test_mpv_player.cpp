// The libmpv player against the contract the commands rely on, on generated clips,
// without screen or sound output.
#include <gtest/gtest.h>

#include <QFile>
#include <QTest>
#include <functional>
#include <memory>

#include "media.h"
#include "platform/vb_error.h"
#include "player/mpv_player.h"

namespace {

using vintrel::MpvPlayer;
using vintrel::VbError;

QString g_clip;  // 4 s, 25 frames per second
// 2 s at 30000/1001 without sound: its frame times fall between whole seconds, and its
// last frame starts 33 ms before its end.
QString g_short;
QString g_text;
QString g_missing;

// Waits for a condition while the GUI thread handles events, as the program's waits do.
// The bound only keeps a broken player from hanging the test.
bool PollUntil(const std::function<bool()>& done, int boundMs = 15000) {
  for (int waited = 0; waited < boundMs; waited += 10) {
    if (done()) return true;
    QTest::qWait(10);
  }
  return done();
}

class MpvPlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const QString dir = testmedia::TempDir();
    g_clip = testmedia::MakeClip(dir + "/clip.mp4", 4, "320x240", "25",
                                 {"-c:v", "libx264", "-pix_fmt", "yuv420p"});
    g_short = testmedia::MakeClip(dir + "/short clip.mp4", 2, "320x240", "30000/1001",
                                  {"-an", "-c:v", "libx264", "-pix_fmt", "yuv420p"});
    g_text = dir + "/notes.txt";
    QFile text(g_text);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a video\nat all\n");
    g_missing = dir + "/no such folder/clip.mp4";
  }

  void SetUp() override {
    ASSERT_FALSE(g_clip.isEmpty());
    ASSERT_FALSE(g_short.isEmpty());
    player = std::make_unique<MpvPlayer>(vintrel::MpvOptions{"null", "null", 0});
  }

  void Play(const QString& path) {
    player->SetFileName(path);
    player->Play();
  }
  double Pos() { return player->CurrentPosition(); }

  std::unique_ptr<MpvPlayer> player;
};

TEST_F(MpvPlayerTest, PlayReturnsWithTheLengthAndThePositionRuns) {
  Play(g_clip);
  EXPECT_NEAR(player->Duration(), 4.0, 0.05);
  const double start = Pos();
  EXPECT_GE(start, 0.0);
  EXPECT_LT(start, 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > start + 0.5; }));
}

TEST_F(MpvPlayerTest, PauseTogglesBetweenHaltedAndRunning) {
  Play(g_clip);
  ASSERT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
  player->Pause();
  const double halted = Pos();
  QTest::qWait(300);
  EXPECT_EQ(Pos(), halted);
  player->Pause();
  EXPECT_TRUE(PollUntil([&] { return Pos() > halted + 0.3; }));
}

TEST_F(MpvPlayerTest, SeekReadsTheTargetAtOnceRunningOrHalted) {
  Play(g_short);
  player->Seek(1);  // straight after loading, as Play Selected does: running goes on from there
  EXPECT_EQ(Pos(), 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > 1.2; }));

  player->Pause();
  // Whole seconds are not frame times here: the frame shown is 1.001, the position stays 1.
  player->Seek(1);
  EXPECT_EQ(Pos(), 1.0);
  QTest::qWait(300);
  EXPECT_EQ(Pos(), 1.0);
  player->Seek(0.5);
  EXPECT_EQ(Pos(), 0.5);

  player->Pause();  // resumes from the moved position
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.7; }));
  EXPECT_LT(Pos(), 1.9);
}

TEST_F(MpvPlayerTest, PlayingToTheEndReadsTheLengthThenRewindsAndReplays) {
  Play(g_short);
  const double length = player->Duration();
  EXPECT_NEAR(length, 2.0, 0.05);
  ASSERT_TRUE(PollUntil([&] { return Pos() == length; }));
  QTest::qWait(300);
  EXPECT_EQ(Pos(), length);

  player->Seek(0);  // at the end the player is halted; a seek there keeps it so
  EXPECT_EQ(Pos(), 0.0);
  QTest::qWait(300);
  EXPECT_EQ(Pos(), 0.0);
  player->Pause();
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
  EXPECT_LT(Pos(), length);

  // Play again once the end has been reached: a fresh start that runs, not halted.
  ASSERT_TRUE(PollUntil([&] { return Pos() == length; }));
  player->Play();
  EXPECT_LT(Pos(), 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.3 && Pos() < length; }));
}

TEST_F(MpvPlayerTest, FilesThatDoNotPlayRaiseAndLeaveThePlayerUsable) {
  for (const QString& path : {g_text, g_missing}) {
    SCOPED_TRACE(path.toStdString());
    player->SetFileName(path);
    try {
      player->Play();
      ADD_FAILURE() << "Play did not raise";
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), vintrel::kErrPlayerFailed);
      EXPECT_NE(QString::fromStdString(e.what()).indexOf(path), -1) << e.what();
    }
    EXPECT_THROW(player->Duration(), VbError);
    EXPECT_THROW(Pos(), VbError);
  }
  Play(g_clip);
  EXPECT_NEAR(player->Duration(), 4.0, 0.05);
}

TEST_F(MpvPlayerTest, StopReleasesTheFileAndPlayLoadsAgain) {
  EXPECT_THROW(player->Duration(), VbError);  // nothing loaded yet
  EXPECT_THROW(player->Seek(1), VbError);

  Play(g_clip);
  Play(g_short);  // a second Play replaces the file
  EXPECT_NEAR(player->Duration(), 2.0, 0.05);
  player->Stop();
  EXPECT_THROW(player->Duration(), VbError);
  EXPECT_THROW(Pos(), VbError);

  Play(g_clip);
  EXPECT_NEAR(player->Duration(), 4.0, 0.05);
  EXPECT_LT(Pos(), 1.0);
  EXPECT_TRUE(PollUntil([&] { return Pos() > 0.3; }));
}

}  // namespace
