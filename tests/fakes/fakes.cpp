#include "fakes/fakes.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "private_settings.h"

namespace fakes {

void FakePlayer::open(const QString& path) {
  opened.push_back(path);
  ready = false;
  paused = false;
  pos = 0;
  len = 0;
  pending_ = true;
  pendingFailure_ = std::exchange(failReason_, std::nullopt);
  pendingDuration_ = nextDuration;
  if (autoLoad) finishLoading();
}

bool FakePlayer::finishLoading() {
  if (!pending_) return false;
  pending_ = false;
  if (pendingFailure_) {
    ready = false;
    emit failed(*std::exchange(pendingFailure_, std::nullopt));
    return true;
  }
  // Whatever pause was asked for while it loaded holds.
  ready = true;
  pos = 0;
  len = pendingDuration_;
  emit durationChanged(len);
  emit loaded(len);
  return true;
}

void FakePlayer::close() {
  ++closes;
  ready = false;
  pending_ = false;
}

void FakePlayer::setPaused(bool halted) {
  pauseRequests.push_back(halted);
  if (paused == halted) return;
  paused = halted;
  emit pausedChanged(halted);
}

void FakePlayer::seek(double seconds) {
  seeks.push_back(seconds);
  if (!ready) return;
  pos = std::clamp(seconds, 0.0, len);
  emit positionChanged(pos);
}

void FakePlayer::seekKeyFrame(double seconds) {
  keyFrameSeeks.push_back(seconds);
  if (!ready) return;
  pos = std::clamp(std::floor(seconds / keyFrameInterval) * keyFrameInterval, 0.0, len);
  emit positionChanged(pos);
}

void FakePlayer::stepFrame(bool forward) {
  frameSteps.push_back(forward);
  if (!ready) return;
  setPaused(true);
  // As libmpv: a step past the last frame stays on it and says the end is reached.
  const bool pastEnd = forward && pos + frameTime > len;
  pos = std::clamp(pos + (forward ? frameTime : -frameTime), 0.0, len);
  emit positionChanged(pos);
  if (pastEnd) emit endReached();
}

void FakePlayer::advance(double seconds) {
  if (!running()) return;
  pos += seconds;
  if (pos < len) {
    emit positionChanged(pos);
    return;
  }
  pos = len;
  paused = true;
  emit pausedChanged(true);
  emit positionChanged(len);
  emit endReached();
}

void FakePlayer::advanceBy(double seconds, double step) {
  const long steps = std::lround(seconds / step);
  for (long i = 0; i < steps && running(); ++i) advance(step);
}

void FakeMessages::inform(const QString& text, const QString& detail) {
  shown.push_back({text, detail, false});
  if (onShow) onShow(shown.back());
}

bool FakeMessages::informSaved(const QString& text, const QString& summary, const QString& report) {
  shown.push_back({text, summary, false, report, true});
  if (onShow) onShow(shown.back());
  if (showFolder.empty()) return false;
  const bool chosen = showFolder.front();
  showFolder.pop_front();
  return chosen;
}

bool FakeMessages::askYesNo(const QString& text, const QString& detail) {
  shown.push_back({text, detail, true});
  if (onShow) onShow(shown.back());
  if (answers.empty()) return false;
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

bool FakeMessages::showed(const QString& text) const {
  return std::any_of(shown.begin(), shown.end(), [&](const ShownMessage& m) { return m.text == text; });
}

std::optional<QString> FakeDialogs::chooseFileToOpen(const FileDialogRequest& request) {
  return answer(false, request);
}

std::optional<QString> FakeDialogs::chooseFileToSave(const FileDialogRequest& request) {
  return answer(true, request);
}

std::optional<QString> FakeDialogs::answer(bool save, const FileDialogRequest& request) {
  uses.push_back({save, request});
  if (onShow) onShow(uses.back());
  if (answers.empty()) return std::nullopt;
  const bool cancelled = !answers.front();
  const QString path = answers.front().value_or(QString());
  answers.pop_front();
  if (cancelled) return std::nullopt;
  return path;
}

bool FakeUrlOpener::open(const QString& url) {
  opened.push_back(url);
  return !fail;
}

bool FakeFiles::sameFile(const QString& a, const QString& b) {
  if (!exists(a) || !exists(b)) return false;
  if (a == b) return true;
  return std::any_of(samePairs.begin(), samePairs.end(), [&](const auto& pair) {
    return (pair.first == a && pair.second == b) || (pair.first == b && pair.second == a);
  });
}

bool FakeFiles::folderWritable(const QString& path) {
  return unwritableFolders.count(QFileInfo(path).absolutePath()) == 0 && folderExists(path);
}

bool FakeFiles::folderExists(const QString& path) {
  return missingFolders.count(QFileInfo(path).absolutePath()) == 0;
}

std::optional<cut::FileIdentity> FakeFiles::identity(const QString& path) {
  const auto it = files.find(path);
  if (it == files.end()) return std::nullopt;
  return cut::FileIdentity{1, qHash(path) ^ (qHash(it->second) << 1)};
}

std::optional<QString> FakeFiles::readText(const QString& path) {
  const auto it = files.find(path);
  if (it == files.end()) return std::nullopt;
  return it->second;
}

bool FakeFiles::writeText(const QString& path, const QString& text) {
  if (!folderWritable(path)) return false;
  files[path] = text;
  return true;
}

std::optional<SaveAnswer> FakeDialogs::chooseFileToSaveWithChoice(const FileDialogRequest& request) {
  const std::optional<QString> path = answer(true, request);
  int choice = request.choice;
  if (!choiceAnswers.empty()) {
    choice = choiceAnswers.front();
    choiceAnswers.pop_front();
  }
  if (!path) return std::nullopt;
  return SaveAnswer{*path, choice};
}

void FakeCutJob::start(const CutRequest& cut) {
  request = cut;
  if (onStart) onStart(*this);
}

void FakeCutJob::cancel() { ++cancels; }

std::vector<PaintedMark> PaintedMarks(QWidget& slider) {
  const QImage image = slider.grab().toImage();
  const double ratio = image.devicePixelRatio();
  const QRgb mark = qRgb(0, 128, 0);
  auto isMark = [&](int x, int y) { return (image.pixel(x, y) & 0xffffff) == (mark & 0xffffff); };
  std::vector<PaintedMark> marks;
  const int middle = image.height() / 2;
  for (int x = 0; x < image.width(); ++x) {
    if (!isMark(x, middle)) continue;
    int end = x;
    while (end + 1 < image.width() && isMark(end + 1, middle)) ++end;
    const int centre = (x + end) / 2;
    marks.push_back({static_cast<int>(centre / ratio), static_cast<int>((end - x + 1) / ratio),
                     isMark(centre, 0) && isMark(centre, image.height() - 1)});
    x = end;
  }
  return marks;
}

Rig::Rig(const QString& credits, Settings settings) {
  if (settings == Settings::Fresh) testsettings::ForgetSettings();
  Services services{messages,
                    dialogs,
                    urls,
                    files,
                    [this](QWidget*) -> std::unique_ptr<Player> {
                      auto made = std::make_unique<FakePlayer>();
                      player = made.get();
                      return made;
                    },
                    [this]() -> std::unique_ptr<CutJob> {
                      auto made = std::make_unique<FakeCutJob>();
                      ++jobsMade;
                      job = made.get();
                      made->onStart = [this](FakeCutJob& started) {
                        cutRequests.push_back(*started.request);
                        if (onJobMade) onJobMade(started);
                      };
                      return made;
                    },
                    &notifier};
  window = std::make_unique<MainWindow>(services, credits);
}

Rig::~Rig() {
  window.reset();
  // Jobs the window let go of with deleteLater.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Rig::open(const QString& path, double duration) {
  dialogs.answers.push_back(path);
  player->nextDuration = duration;
  w().openAction->trigger();
}

void Rig::markStart(double position) {
  player->pos = position;
  w().markStartAction->trigger();
}

void Rig::markEnd(double position) {
  player->pos = position;
  w().markEndAction->trigger();
}

void Rig::activate() {
  w().show();
  w().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
}

void Rig::tick() { QMetaObject::invokeMethod(w().positionTimer, "timeout", Qt::DirectConnection); }

void Rig::finishCut(const CutOutcome& outcome) {
  ASSERT_TRUE(job) << "no cut is running";
  QSignalSpy handled(&w().saveFlow(), &SaveFlow::progressChanged);
  job->finish(outcome);
  // The window takes the outcome on its next pass through the event loop.
  ASSERT_TRUE(handled.wait(5000)) << "the outcome was not taken";
}

std::vector<bool> Rig::enabledCommands() {
  MainWindow& m = w();
  return {m.openButton->isEnabled(),      m.playButton->isEnabled(),    m.stopButton->isEnabled(),
          m.markStartButton->isEnabled(), m.markEndButton->isEnabled(), m.playSelectedButton->isEnabled(),
          m.positionSlider->isEnabled(),  m.saveButton->isEnabled(),    m.websiteButton->isEnabled(),
          m.helpButton->isEnabled(),      m.aboutAction->isEnabled()};
}

}  // namespace fakes
