#include "app/user_settings.h"

namespace vintrel {

namespace {
const char* kGeometryKey = "window/geometry";
const char* kMaximizedKey = "window/maximized";
const char* kOpenFolderKey = "open/folder";
const char* kMarksToFrameKey = "marks/toFrame";
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

}  // namespace vintrel
