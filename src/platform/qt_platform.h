#pragma once
// The real outside world for the program.
#include <QStringList>

#include "platform/platform.h"

namespace vintrel {

// "All Video Files|*.dat;*.mp4|All Files(*.*)|*.*" in Qt's form:
// {"All Video Files (*.dat *.DAT *.mp4 *.MP4)", "All Files(*.*) (*)"}. Patterns match
// either letter case, as users of such a filter expect, and "*.*" means every file.
QStringList qtNameFilters(const QString& filter);

class QtFileDialogs : public FileDialogs {
 public:
  std::optional<QString> chooseFileToOpen(const FileDialogRequest& request) override;
  std::optional<QString> chooseFileToSave(const FileDialogRequest& request) override;
  std::optional<SaveAnswer> chooseFileToSaveWithChoice(const FileDialogRequest& request) override;
};

class QtMessages : public Messages {
 public:
  void inform(const QString& text, const QString& detail = {}) override;
  bool informSaved(const QString& text, const QString& summary, const QString& report) override;
  bool askYesNo(const QString& text, const QString& detail = {}) override;
};

// freedesktop.org notifications over the session's D-Bus.
class DBusNotifier : public Notifier {
 public:
  bool notify(const QString& summary, const QString& body) override;
};

class DesktopUrlOpener : public UrlOpener {
 public:
  bool open(const QString& url) override;
};

class RealFiles : public Files {
 public:
  QString programFolder() override;
  bool exists(const QString& path) override;
  bool sameFile(const QString& a, const QString& b) override;
  bool folderWritable(const QString& path) override;
  bool folderExists(const QString& path) override;
  std::optional<cut::FileIdentity> identity(const QString& path) override;
  std::optional<QString> readText(const QString& path) override;
  bool writeText(const QString& path, const QString& text) override;
};

}  // namespace vintrel
