// Open, Play/Pause, Stop, the slider, the marks and Play Selected: what the window's
// playback commands do to the session and the player.
#include <QFileInfo>
#include <algorithm>

#include "app/main_window.h"

namespace vintrel {

namespace {
int wholeSeconds(double seconds) { return static_cast<int>(roundToSecond(seconds)); }
}  // namespace

void MainWindow::connectPlayer() {
  connect(player_.get(), &Player::loaded, this, &MainWindow::onLoaded);
  connect(player_.get(), &Player::failed, this, &MainWindow::onFailed);
  connect(player_.get(), &Player::positionChanged, this, &MainWindow::onPositionChanged);
  connect(player_.get(), &Player::endReached, this, &MainWindow::onEndReached);
}

void MainWindow::followPosition(bool on) {
  if (!on) {
    positionTimer->stop();
  } else if (!positionTimer->isActive()) {
    // Switched on without restarting: the once-a-second rhythm goes on as it was.
    positionTimer->start();
  }
}

void MainWindow::play() {
  awaitingFrame_ = false;
  steppedFrame_ = false;
  // A video that has played to its end starts again from the beginning.
  if (player_->position() >= player_->duration()) player_->seek(0);
  player_->setPaused(false);
  session_.setPlayback(Session::Playback::Playing);
  positionSlider->setMaximum(wholeSeconds(player_->duration()));
  followPosition(true);
}

void MainWindow::pause() {
  followPosition(false);
  if (!session_.hasFile()) return;
  player_->setPaused(true);
  if (session_.isPlaying()) session_.setPlayback(Session::Playback::Paused);
}

void MainWindow::rewind() {
  awaitingFrame_ = false;
  steppedFrame_ = false;
  followPosition(false);
  player_->setPaused(true);
  player_->seek(0);
  positionSlider->setValue(0);
  // The label follows every seek: a stale one would contradict what Mark End then takes.
  positionLabel->setText(kZeroTime);
  session_.setPlayback(Session::Playback::Stopped);
}

void MainWindow::onOpenTriggered() {
  // Halted while the dialog is up; a cancelled dialog leaves the picture and the position as
  // they were, and a video that played plays on.
  const bool wasPlaying = session_.isPlaying();
  pause();
  FileDialogRequest request;
  request.title = "Open";
  request.filter = kOpenFilter;
  request.filterIndex = 1;
  request.folder = settings_.lastOpenFolder();
  const std::optional<QString> path = services_.dialogs.chooseFileToOpen(request);
  if (!path) {
    if (wasPlaying && session_.hasFile()) play();
    return;
  }
  if (session_.hasFile()) rewind();
  settings_.setLastOpenFolder(QFileInfo(*path).absolutePath());
  openFile(*path);
}

void MainWindow::openFile(const QString& path) {
  if (session_.isSaving()) return;
  followPosition(false);
  positionSlider->setValue(0);
  for (QLabel* label : {positionLabel, startLabel, endLabel, lengthLabel, durationLabel})
    label->setText(kZeroTime);
  session_.setFile(path);
  session_.setPlayback(Session::Playback::Playing);
  player_->open(path);
  keyFrameReader->read(path);
  framePictures->setFile(path);
}

void MainWindow::onLoaded(double duration) {
  positionSlider->setMaximum(wholeSeconds(duration));
  restoreSegments();
  durationLabel->setText(session_.timeText(duration));
  showSession();  // the ticks stand on the new scale
  if (session_.isPlaying()) followPosition(true);
}

void MainWindow::onFailed(const QString& reason) {
  followPosition(false);
  positionSlider->setValue(0);
  session_.setFile({});
  keyFrameReader->read({});
  framePictures->setFile({});
  services_.messages.inform(kCannotPlay, reason);
}

void MainWindow::onPlayPauseTriggered() {
  if (!session_.hasFile() || !player_->isLoaded()) return;
  if (session_.isPlaying()) {
    pause();
  } else {
    play();
  }
}

void MainWindow::onStopTriggered() {
  if (!session_.hasFile()) return;
  rewind();
}

void MainWindow::onPositionTick() {
  // Until the file has loaded there is no length to compare with.
  if (!session_.hasFile() || !player_->isLoaded()) return;
  const int second = wholeSeconds(player_->position());
  positionSlider->setValue(second);
  positionLabel->setText(formatTime(positionSlider->value()));
  // A length of 10.3 s is not over at second 10, but one of 10 s is.
  if (player_->duration() <= positionSlider->value()) onEndReached();
}

void MainWindow::onPositionChanged(double seconds) {
  // A seek while halted (a key, a mark, a dragged thumb's picture): the thumb goes with it,
  // unless the user holds it.
  if (!session_.isPlaying() && !positionSlider->isSliderDown() && !awaitingFrame_)
    positionSlider->setValue(wholeSeconds(seconds));
  if (awaitingFrame_ && !session_.isPlaying()) {
    // The frame stepped to is up: the slider and the label show where it stands.
    awaitingFrame_ = false;
    positionSlider->setValue(wholeSeconds(seconds));
    positionLabel->setText(session_.timeText(seconds));
    return;
  }
  if (!session_.isPlayingSelection() || seconds < session_.markEnd()) return;
  // The preview has reached its end mark.
  pause();
  positionLabel->setText(formatTime(positionSlider->value()));
}

void MainWindow::onEndReached() {
  if (!session_.hasFile()) return;
  if (steppedFrame_) {
    // Stepped onto (or past) the last frame: it stays on screen, and the place with it.
    awaitingFrame_ = false;
    positionSlider->setValue(positionSlider->maximum());
    positionLabel->setText(session_.timeText(player_->duration()));
    return;
  }
  // The player halts on the last frame; the window goes back to the start, ready to play again.
  rewind();
}

void MainWindow::onSliderPressed() {
  // No tick may move the thumb while the user holds it.
  followPosition(false);
}

void MainWindow::onSliderReleased() {
  seekToSlider();
  if (session_.isPlaying()) followPosition(true);
}

void MainWindow::onSliderMoved(int second) {
  if (!player_->isLoaded()) return;
  awaitingFrame_ = false;
  steppedFrame_ = false;
  player_->seekKeyFrame(second);
  positionLabel->setText(formatTime(second));
}

void MainWindow::seekToSlider() {
  if (!player_->isLoaded()) return;
  awaitingFrame_ = false;
  steppedFrame_ = false;
  player_->seek(positionSlider->value());
  positionLabel->setText(formatTime(positionSlider->value()));
}

void MainWindow::stepBy(int seconds) {
  if (!session_.hasFile() || !player_->isLoaded()) return;
  awaitingFrame_ = false;
  steppedFrame_ = false;
  const int second =
      std::clamp(positionSlider->value() + seconds, positionSlider->minimum(), positionSlider->maximum());
  positionSlider->setValue(second);
  player_->seek(second);
  positionLabel->setText(formatTime(second));
}

void MainWindow::stepFrame(bool forward) {
  if (!session_.hasFile() || !player_->isLoaded()) return;
  pause();
  awaitingFrame_ = true;
  keyFrameTarget_.reset();
  steppedFrame_ = true;
  player_->stepFrame(forward);
}

void MainWindow::stepToKeyFrame(bool forward) {
  if (!session_.hasFile() || !player_->isLoaded()) return;
  // Pressed again before the player got there: on from where it is going.
  const double from = awaitingFrame_ && keyFrameTarget_ ? *keyFrameTarget_ : player_->position();
  const std::vector<double>& keys = keyFrameReader->keyFrames();
  const std::optional<double> target =
      forward ? cut::KeyFrameAfter(keys, from) : cut::KeyFrameBefore(keys, from);
  if (!target) return;
  pause();
  awaitingFrame_ = true;
  keyFrameTarget_ = target;
  player_->seek(*target);
  positionSlider->setValue(wholeSeconds(*target));
  positionLabel->setText(session_.timeText(*target));
}

void MainWindow::onMarkStartTriggered() {
  if (!session_.hasFile()) return;
  session_.setMarkStart(session_.markAt(player_->position()));
  startLabel->setText(session_.timeText(session_.markStart()));
  showSelectionLength();
}

void MainWindow::onMarkEndTriggered() {
  if (!session_.hasFile()) return;
  session_.setMarkEnd(session_.markAt(player_->position()));
  endLabel->setText(session_.timeText(session_.markEnd()));
  showSelectionLength();
}

void MainWindow::showSelectionLength() {
  lengthLabel->setText(session_.selectionValid() ? session_.timeText(session_.selectionLength()) : kZeroTime);
}

void MainWindow::onPlaySelectedTriggered() {
  // The marks are judged before the file: with nothing open the user still learns why nothing plays.
  if (!session_.selectionValid()) {
    services_.messages.inform(kInvalidSelection);
    return;
  }
  if (!session_.hasFile() || !player_->isLoaded()) return;
  play();
  player_->seek(session_.markStart());
  positionSlider->setValue(wholeSeconds(session_.markStart()));
  positionLabel->setText(session_.timeText(session_.markStart()));
  session_.setPlayingSelection(true);
}

}  // namespace vintrel
