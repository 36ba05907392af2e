// Save in the window with the real vintrel-cut: the bar follows the cut, Cancel stops it in
// any phase and leaves nothing behind, and closing the window leaves the cut to finish.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "fakes/fakes.h"
#include "media.h"
#include "platform/qt_platform.h"

namespace {

using namespace vintrel;

QString cutProgram() { return qEnvironmentVariable("VINTREL_BUILD_DIR") + "/vintrel-cut"; }

QStringList workFiles(const QString& folder) {
  return QDir(folder).entryList({".vintrel-*"}, QDir::Files | QDir::Hidden);
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
    clip_ = testmedia::MakeClip(clips_->filePath("long.avi"), 30, "640x360", "25", {"-c:v", "mpeg4", "-q:v", "3"});
  }
  static void TearDownTestSuite() { delete clips_; }

  void SetUp() override {
    if (!QFileInfo(cutProgram()).isExecutable()) GTEST_SKIP() << "vintrel-cut is not built";
    ASSERT_FALSE(clip_.isEmpty());
    output_ = folder_.filePath("cut.avi");
    Services services{messages_, dialogs_, urls_, files_,
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
    return QTest::qWaitFor([&] { return window_->progressBar->value() >= atLeast || !window_->session().isSaving(); },
                           60000);
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
  EXPECT_TRUE(titles.filter(QRegularExpression("^Saving \\d+%")).size() > 0) << titles.join(" | ").toStdString();
  ASSERT_EQ(messages_.lastText(), "Done") << messages_.shown.back().detail.toStdString();
  // One plain line read from the engine's report, the report itself behind it.
  EXPECT_TRUE(messages_.shown.back().detail.startsWith("0:28 saved as cut.avi; re-encoded at high quality because "))
      << messages_.shown.back().detail.toStdString();
  EXPECT_TRUE(messages_.shown.back().report.startsWith("Re-encoded: ")) << messages_.shown.back().report.toStdString();
  EXPECT_EQ(window_->progressBar->value(), 0);
  EXPECT_EQ(window_->windowTitle(), "Vintrel");
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
  } phases[] = {{"while probing", 0, 1}, {"while encoding", 20, 1}, {"twice", 30, 2}, {"near the end", 90, 1}};
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
  ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(output_) && workFiles(folder_.path()).isEmpty(); },
                              120000));
  EXPECT_NEAR(testmedia::Probe(output_).duration, 28, 0.1);
}

}  // namespace
