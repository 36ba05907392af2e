#include "app/user_settings.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>

namespace vintrel {

namespace {
const char* kGeometryKey = "window/geometry";
const char* kMaximizedKey = "window/maximized";
const char* kOpenFolderKey = "open/folder";
const char* kMarksToFrameKey = "marks/toFrame";

// A video's list is kept under a digest of its path: paths hold characters settings keys do not.
QString segmentListKey(const QString& video) {
  return "segments/" +
         QCryptographicHash::hash(QFileInfo(video).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1)
             .toHex();
}

// The file's size and time of change: a list belongs to the file as it was when it was made.
QString fileStamp(const QString& video) {
  const QFileInfo info(video);
  return QString("%1/%2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
}
}  // namespace

// Named outright rather than after the running program, so that every program built on the
// window (the tests' too) keeps to the one file Vintrel reads.
UserSettings::UserSettings() : store_("Vintrel", "Vintrel") {}

std::optional<QRect> UserSettings::windowGeometry() const {
  const QRect geometry = store_.value(kGeometryKey).toRect();
  if (!geometry.isValid()) return std::nullopt;
  return geometry;
}

bool UserSettings::windowMaximized() const { return store_.value(kMaximizedKey, false).toBool(); }

void UserSettings::rememberWindow(const QRect& normalGeometry, bool maximized) {
  if (normalGeometry.isValid()) store_.setValue(kGeometryKey, normalGeometry);
  store_.setValue(kMaximizedKey, maximized);
}

QString UserSettings::lastOpenFolder() const { return store_.value(kOpenFolderKey).toString(); }

void UserSettings::setLastOpenFolder(const QString& folder) { store_.setValue(kOpenFolderKey, folder); }

bool UserSettings::marksToFrame() const { return store_.value(kMarksToFrameKey, false).toBool(); }

void UserSettings::setMarksToFrame(bool on) { store_.setValue(kMarksToFrameKey, on); }

std::optional<QString> UserSettings::segmentList(const QString& video) const {
  const QString key = segmentListKey(video);
  if (store_.value(key + "/file").toString() != fileStamp(video)) return std::nullopt;
  return store_.value(key + "/list").toString();
}

void UserSettings::rememberSegmentList(const QString& video, const QString& document) {
  const QString key = segmentListKey(video);
  if (document.isEmpty()) {
    store_.remove(key);
    return;
  }
  store_.setValue(key + "/file", fileStamp(video));
  store_.setValue(key + "/list", document);
}

}  // namespace vintrel
