#pragma once
// Decodes one picture of a video near a time and scales it small: the work FramePictures does
// on a pool thread, one question at a time.
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <mutex>

namespace vintrel {

class PictureGrabber {
 public:
  explicit PictureGrabber(QString path);
  ~PictureGrabber();
  // The key frame's picture at or before `seconds` (from the player's 0), scaled to fit
  // `size` with the video's shape; a null image where none can be decoded.
  QImage pictureAt(double seconds, QSize size);

 private:
  struct Open;
  QString path_;
  std::unique_ptr<Open> open_;  // the file and its decoder, opened on the first question
  std::mutex busy_;
};

}  // namespace vintrel
