#pragma once
// Small pictures of the open video for the pointer over the slider: the key frame's at or
// before a time, decoded and scaled in the background, a few megabytes of them kept. Neither
// the window nor the player ever waits for one.
#include <QCache>
#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QSize>
#include <memory>
#include <optional>
#include <vector>

namespace vintrel {

class PictureGrabber;

class FramePictures : public QObject {
  Q_OBJECT
 public:
  static constexpr QSize kSize{160, 90};          // at most; the video's shape is kept
  static constexpr qint64 kCacheBytes = 4 << 20;  // the pictures kept

  explicit FramePictures(QObject* parent = nullptr);
  ~FramePictures() override;

  // Another file (none for an empty path): the pictures kept so far go.
  void setFile(const QString& path);
  // The key frames, once known: a time between two shares the picture of the one before.
  void setKeyFrames(std::vector<double> seconds);
  // Asks for the picture at `seconds`; `ready` follows, at once where it is kept. While one is
  // decoded only the latest question waits: the pointer has moved on from the others.
  void ask(double seconds);
  qint64 keptBytes() const { return cache_.totalCost(); }

 signals:
  void ready(double seconds, const QImage& picture);

 private:
  // The cache's key: the key frame (in milliseconds) whose picture stands for `seconds`.
  qint64 keyOf(double seconds) const;
  void startNext();
  void onDecoded();

  QString path_;
  std::vector<double> keyFrames_;
  QCache<qint64, QImage> cache_;
  std::shared_ptr<PictureGrabber> grabber_;
  std::unique_ptr<QFutureWatcher<QImage>> watcher_;
  double decoding_ = 0;
  std::optional<double> waiting_;
};

}  // namespace vintrel
