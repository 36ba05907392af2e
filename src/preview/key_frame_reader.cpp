#include "preview/key_frame_reader.h"

#include <QPromise>
#include <QtConcurrent>

#include "cut/cut_error.h"

namespace vintrel {

KeyFrameReader::KeyFrameReader(QObject* parent) : QObject(parent) {}

KeyFrameReader::~KeyFrameReader() { stop(); }

void KeyFrameReader::stop() {
  if (stop_) *stop_ = true;
  stop_.reset();
  watcher_.reset();  // its results, should any still come, go nowhere
}

void KeyFrameReader::read(const QString& path) {
  stop();
  keyFrames_.clear();
  emit changed();
  if (path.isEmpty()) return;
  stop_ = std::make_shared<std::atomic<bool>>(false);
  watcher_ = std::make_unique<QFutureWatcher<cut::KeyFrames>>();
  connect(watcher_.get(), &QFutureWatcher<cut::KeyFrames>::resultReadyAt, this, [this](int index) {
    keyFrames_ = watcher_->future().resultAt(index).seconds;
    emit changed();
  });
  watcher_->setFuture(QtConcurrent::run([path, stop = stop_](QPromise<cut::KeyFrames>& promise) {
    try {
      const cut::KeyFrames exact = cut::ReadKeyFrames(
          path, stop.get(), [&](const cut::KeyFrames& draft) { promise.addResult(draft); });
      if (!*stop) promise.addResult(exact);
    } catch (const cut::CutError&) {
      // A file the libraries cannot read has no marks; the player says what is wrong with it.
    }
  }));
}

}  // namespace vintrel
