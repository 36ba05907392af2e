#pragma once
// The open video's key frames, read in the background: the window never waits for them.
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>

#include "cut/media/key_frames.h"

namespace vintrel {

class KeyFrameReader : public QObject {
  Q_OBJECT
 public:
  explicit KeyFrameReader(QObject* parent = nullptr);
  // A reading still running is told to stop; its results are not waited for.
  ~KeyFrameReader() override;

  // Forgets the key frames known and starts reading those of `path` (none for an empty path).
  void read(const QString& path);
  // Seconds from the player's 0, ascending; empty until read (or where none could be).
  const std::vector<double>& keyFrames() const { return keyFrames_; }

 signals:
  // keyFrames() changed: a first draft, the exact times, or none.
  void changed();

 private:
  void stop();

  std::vector<double> keyFrames_;
  std::shared_ptr<std::atomic<bool>> stop_;
  std::unique_ptr<QFutureWatcher<cut::KeyFrames>> watcher_;
};

}  // namespace vintrel
