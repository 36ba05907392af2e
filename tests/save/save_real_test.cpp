// Save in the window with the real vintrel-cut: the bar follows the cut, Cancel stops it in
// any phase and leaves nothing behind, and closing the window leaves the cut to finish.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "cut/protocol/work_file_names.h"
#include "fakes/fakes.h"
#include "media.h"
#include "platform/qt_platform.h"

namespace {

using namespace vintrel;

QString cutProgram() { return qEnvironmentVariable("VINTREL_BUILD_DIR") + "/vintrel-cut"; }

QStringList workFiles(const QString& folder) {
  return QDir(folder).entryList({".vintrel-*"}, QDir::Files | QDir::Hidden);
}

// The running cut, by the name of its work files.
pid_t runningCut(const QString& folder) {
  for (const QString& name : workFiles(folder))
    if (const std::optional<pid_t> owner = cut::WorkFileOwner(name)) return *owner;
  return -1;
}

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A clip that every Save re-encodes (MPEG-4 Part 2 in AVI), long enough to watch.
class SaveReal : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    clips_ = new QTemporaryDir;
    clip_ = testmedia::MakeClip(clips_->filePath("long.avi"), 30, "640x360", "25",
                                {"-c:v", "mpeg4", "-q:v", "3"});
  }
  static void TearDownTestSuite() { delete clips_; }

  void SetUp() override {
    if (!QFileInfo(cutProgram()).isExecutable()) GTEST_SKIP() << "vintrel-cut is not built";
    ASSERT_FALSE(clip_.isEmpty());
    output_ = folder_.filePath("cut.avi");
    Services services{
        messages_,
        dialogs_,
        urls_,
        files_,
        [](QWidget*) -> std::unique_ptr<Player> { return std::make_unique<fakes::FakePlayer>(); },
        [] { return std::make_unique<ProcessCutJob>(cutProgram()); }};
    window_ = std::make_unique<MainWindow>(services, "credits");
    auto& player = static_cast<fakes::FakePlayer&>(window_->player());
    player.nextDuration = 30;
    window_->openFile(clip_);
    player.pos = 1;
    window_->markStartAction->trigger();
    player.pos = 29;
    window_->markEndAction->trigger();
  }
  void TearDown() override {
    window_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // Starts a save into `output_`, answering Yes when it asks to replace a file.
  void startSave() {
    dialogs_.answers.push_back(output_);
    messages_.answers.push_back(true);
    window_->saveAction->trigger();
    ASSERT_TRUE(window_->session().isSaving());
  }
  // Waits until the save has ended; false when it did not within the time.
  bool waitForEnd(int timeoutMs = 120000) {
    return QTest::qWaitFor([this] { return !window_->session().isSaving(); }, timeoutMs);
  }
  bool waitForBar(int atLeast) {
    return QTest::qWaitFor(
        [&] { return window_->progressBar->value() >= atLeast || !window_->session().isSaving(); }, 60000);
  }

  static inline QTemporaryDir* clips_ = nullptr;
  static inline QString clip_;
  QTemporaryDir folder_;
  QString output_;
  fakes::FakeMessages messages_;
  fakes::FakeDialogs dialogs_;
  fakes::FakeUrlOpener urls_;
  RealFiles files_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(SaveReal, TheBarRisesWithTheCutAndReaches100OnlyWithTheFile) {
  startSave();
  std::vector<int> values;
  QStringList titles;
  while (window_->session().isSaving()) {
    values.push_back(window_->progressBar->value());
    titles << window_->windowTitle();
    if (values.back() == 100) {
      EXPECT_TRUE(QFileInfo::exists(output_)) << "100 before the file is there";
    }
    QTest::qWait(40);
  }
  ASSERT_FALSE(values.empty());
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << "the bar went back";
  const auto between = std::count_if(values.begin(), values.end(), [](int v) { return v > 5 && v < 95; });
  EXPECT_GE(between, 3) << "the bar jumped instead of rising";
  EXPECT_TRUE(titles.filter(QRegularExpression("^Saving \\d+%")).size() > 0)
      << titles.join(" | ").toStdString();
  ASSERT_EQ(messages_.lastText(), "Done") << messages_.shown.back().detail.toStdString();
  // One plain line read from the engine's report, the report itself behind it.
  EXPECT_TRUE(
      messages_.shown.back().detail.startsWith("0:28 saved as cut.avi; re-encoded at high quality because "))
      << messages_.shown.back().detail.toStdString();
  EXPECT_TRUE(messages_.shown.back().report.startsWith("Re-encoded: "))
      << messages_.shown.back().report.toStdString();
  EXPECT_EQ(window_->progressBar->value(), 0);
  EXPECT_EQ(window_->windowTitle(), "long.avi - Vintrel");
  const testmedia::ProbeResult probe = testmedia::Probe(output_);
  EXPECT_NEAR(probe.duration, 28, 0.1);
  EXPECT_TRUE(workFiles(folder_.path()).isEmpty());
}

TEST_F(SaveReal, CancelInEveryPhaseLeavesNothingAndKeepsTheOldFile) {
  const QByteArray old = "an older cut, to be kept";
  struct Phase {
    const char* name;
    int barAtLeast;  // cancel once the bar shows this much; 0: at once
    int cancels;
  } phases[] = {
      {"while probing", 0, 1}, {"while encoding", 20, 1}, {"twice", 30, 2}, {"near the end", 90, 1}};
  for (const Phase& phase : phases) {
    SCOPED_TRACE(phase.name);
    {
      QFile file(output_);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(old);
    }
    messages_.shown.clear();
    startSave();
    if (phase.barAtLeast > 0) {
      ASSERT_TRUE(waitForBar(phase.barAtLeast));
    }
    for (int i = 0; i < phase.cancels; ++i) window_->saveAction->trigger();  // the button reads Cancel
    ASSERT_TRUE(waitForEnd());
    const QString said = messages_.lastText();
    if (said == "Done") {
      // Cancelled just as it finished: the new file is complete and checked.
      EXPECT_STREQ(phase.name, "near the end");
      EXPECT_NEAR(testmedia::Probe(output_).duration, 28, 0.1);
    } else {
      EXPECT_EQ(said, "Saving was cancelled. Nothing was written.");
      EXPECT_EQ(contents(output_), old);
    }
    EXPECT_EQ(std::count_if(messages_.shown.begin(), messages_.shown.end(),
                            [](const fakes::ShownMessage& m) { return !m.question; }),
              1)
        << "one message for the save";
    EXPECT_TRUE(workFiles(folder_.path()).isEmpty()) << workFiles(folder_.path()).join(", ").toStdString();
    EXPECT_EQ(window_->saveButton->text(), "Save");
    EXPECT_TRUE(window_->openButton->isEnabled());
  }
}

TEST_F(SaveReal, ClosingTheWindowLeavesTheCutToFinishItsFile) {
  startSave();
  ASSERT_TRUE(waitForBar(10));
  window_.reset();  // the window is gone; the cut runs on by itself
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return QFileInfo::exists(output_) && workFiles(folder_.path()).isEmpty(); }, 120000));
  EXPECT_NEAR(testmedia::Probe(output_).duration, 28, 0.1);
}

// Stopped from outside (SIGSTOP), the cut reports nothing: the bar stands, the title says it
// waits, and Cancel still ends it (it is killed when it cannot answer), leaving nothing.
TEST_F(SaveReal, AStoppedCutWaitsVisiblyAndCancelEndsIt) {
  const QByteArray old = "an older cut, to be kept";
  {
    QFile file(output_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(old);
  }
  startSave();
  ASSERT_TRUE(waitForBar(10));
  const pid_t cut = runningCut(folder_.path());
  ASSERT_GT(cut, 0) << "no work files";
  ASSERT_EQ(::kill(cut, SIGSTOP), 0);
  const int bar = window_->progressBar->value();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return window_->windowTitle() == "Saving - waiting for the encoder"; }, 30000))
      << window_->windowTitle().toStdString();
  EXPECT_LE(window_->progressBar->value(), bar + 1) << "the bar moved while nothing ran";
  window_->cancelAction->trigger();
  ASSERT_TRUE(waitForEnd(30000)) << "a stopped cut cannot be cancelled";
  EXPECT_EQ(messages_.lastText(), "Saving was cancelled. Nothing was written.");
  EXPECT_EQ(contents(output_), old);
  EXPECT_TRUE(workFiles(folder_.path()).isEmpty()) << workFiles(folder_.path()).join(", ").toStdString();
  EXPECT_NE(::kill(cut, 0), 0) << "the stopped cut lives on";
}

// Killed from outside mid-encode: said in words, its partial files gone, and the next save works.
TEST_F(SaveReal, AKilledCutIsToldInWordsAndTheNextSaveWorks) {
  startSave();
  ASSERT_TRUE(waitForBar(20));
  const pid_t cut = runningCut(folder_.path());
  ASSERT_GT(cut, 0) << "no work files";
  ASSERT_EQ(::kill(cut, SIGKILL), 0);
  ASSERT_TRUE(waitForEnd(30000));
  ASSERT_FALSE(messages_.shown.empty());
  EXPECT_EQ(messages_.shown.back().text, "The file was not saved.");
  EXPECT_EQ(messages_.shown.back().detail,
            "The cutting program stopped unexpectedly (signal 9). Nothing was written.");
  EXPECT_TRUE(workFiles(folder_.path()).isEmpty()) << workFiles(folder_.path()).join(", ").toStdString();
  EXPECT_FALSE(QFileInfo::exists(output_));

  messages_.shown.clear();
  startSave();
  ASSERT_TRUE(waitForEnd());
  ASSERT_EQ(messages_.lastText(), "Done") << messages_.shown.back().detail.toStdString();
  EXPECT_NEAR(testmedia::Probe(output_).duration, 28, 0.1);
  EXPECT_TRUE(workFiles(folder_.path()).isEmpty());
}

// A 10.6 s clip: the window shows its end as second 11 and Mark End takes 11 there; Save cuts
// to the end of the video rather than refusing an end past its last frame.
TEST_F(SaveReal, AnEndMarkPastTheLastFrameCutsToTheEnd) {
  const QString clip = testmedia::MakeClip(folder_.filePath("short.mp4"), 10.6, "320x240", "25",
                                           {"-c:v", "libx264", "-g", "25", "-c:a", "aac"});
  ASSERT_FALSE(clip.isEmpty());
  auto& player = static_cast<fakes::FakePlayer&>(window_->player());
  player.nextDuration = 10.6;
  window_->openFile(clip);
  player.pos = 2;
  window_->markStartAction->trigger();
  player.pos = 10.6;
  window_->markEndAction->trigger();
  ASSERT_EQ(window_->session().markEnd(), 11);
  EXPECT_EQ(window_->endLabel->text(), " 0 : 0 : 11");
  output_ = folder_.filePath("end.mp4");
  startSave();
  ASSERT_TRUE(waitForEnd());
  ASSERT_EQ(messages_.lastText(), "Done") << messages_.shown.back().detail.toStdString();
  EXPECT_NEAR(testmedia::Probe(output_).duration, 8.6, 0.1);
}

}  // namespace
