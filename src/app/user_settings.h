#pragma once
// What Vintrel remembers between runs, in the user's settings (QSettings): where the main
// window stood and how large it was, the folder of the last Open, whether the marks go to
// the frame, and the segment list of each video.
#include <QRect>
#include <QSettings>
#include <QString>
#include <optional>

namespace vintrel {

class UserSettings {
 public:
  UserSettings();

  // The window's size and place when it was neither maximised nor full screen.
  std::optional<QRect> windowGeometry() const;
  bool windowMaximized() const;
  void rememberWindow(const QRect& normalGeometry, bool maximized);

  // Empty until a file was chosen with Open.
  QString lastOpenFolder() const;
  void setLastOpenFolder(const QString& folder);

  bool marksToFrame() const;
  void setMarksToFrame(bool on);

  // The segment list (its JSON document) left with a video, while the file at `video` keeps
  // the size and time of change it had then; nothing for another file or none.
  std::optional<QString> segmentList(const QString& video) const;
  // An empty document forgets the video's list.
  void rememberSegmentList(const QString& video, const QString& document);

 private:
  QSettings store_;
};

}  // namespace vintrel
