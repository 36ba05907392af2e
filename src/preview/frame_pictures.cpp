#include "preview/frame_pictures.h"

#include <QtConcurrent>
#include <algorithm>
#include <cmath>

#include "preview/picture_grabber.h"

namespace vintrel {

FramePictures::FramePictures(QObject* parent) : QObject(parent) { cache_.setMaxCost(kCacheBytes); }

FramePictures::~FramePictures() = default;

void FramePictures::setFile(const QString& path) {
  path_ = path;
  keyFrames_.clear();
  cache_.clear();
  waiting_.reset();
  watcher_.reset();  // a picture of the last file, still being decoded, goes nowhere
  grabber_ = path.isEmpty() ? nullptr : std::make_shared<PictureGrabber>(path);
}

void FramePictures::setKeyFrames(std::vector<double> seconds) {
  keyFrames_ = std::move(seconds);
  cache_.clear();  // kept under other keys until now
}

qint64 FramePictures::keyOf(double seconds) const {
  const auto after = std::upper_bound(keyFrames_.begin(), keyFrames_.end(), seconds + 0.002);
  const double key = after == keyFrames_.begin() ? std::floor(seconds) : *std::prev(after);
  return std::llround(key * 1000);
}

void FramePictures::ask(double seconds) {
  if (!grabber_) return;
  if (const QImage* kept = cache_.object(keyOf(seconds))) {
    emit ready(seconds, *kept);
    return;
  }
  waiting_ = seconds;
  if (!watcher_) startNext();
}

void FramePictures::startNext() {
  if (!waiting_ || !grabber_) return;
  decoding_ = *waiting_;
  waiting_.reset();
  // A time past the last key frame's takes that one's picture: seek there, not to the time.
  const double at = keyFrames_.empty() ? decoding_ : keyOf(decoding_) / 1000.0;
  watcher_ = std::make_unique<QFutureWatcher<QImage>>();
  connect(watcher_.get(), &QFutureWatcher<QImage>::finished, this, &FramePictures::onDecoded);
  watcher_->setFuture(
      QtConcurrent::run([grabber = grabber_, at] { return grabber->pictureAt(at, FramePictures::kSize); }));
}

void FramePictures::onDecoded() {
  const QImage picture = watcher_->result();
  watcher_.reset();
  if (!picture.isNull()) {
    cache_.insert(keyOf(decoding_), new QImage(picture), picture.sizeInBytes());
    if (!waiting_) emit ready(decoding_, picture);
  }
  startNext();
}

}  // namespace vintrel
