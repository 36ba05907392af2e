#pragma once
// The outside world the window talks to, behind small interfaces: the program gets the
// real ones (qt_platform.h), tests get fakes.
#include <QString>
#include <QStringList>
#include <optional>

#include "cut/protocol/cut_request.h"

namespace vintrel {

// What an Open or Save dialog shows when it opens.
struct FileDialogRequest {
  QString title;        // empty: the toolkit's own
  QString filter;       // "description|patterns|description|patterns", patterns separated by ";"
  int filterIndex = 1;  // 1-based entry of the filter preselected
  QString fileName;     // the name (or path) the dialog opens with
  QString folder;       // the folder it shows first; empty: the toolkit's choice
  QStringList choices;  // a Save dialog's choice under the name (one file or one per segment)
  int choice = 0;       // the one preselected
};

// A Save dialog's answer where it offered choices.
struct SaveAnswer {
  QString path;
  int choice = 0;
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Modal; the chosen path, or nothing when the user cancels.
  virtual std::optional<QString> chooseFileToOpen(const FileDialogRequest& request) = 0;
  virtual std::optional<QString> chooseFileToSave(const FileDialogRequest& request) = 0;
  // A Save dialog that also offers the request's choices.
  virtual std::optional<SaveAnswer> chooseFileToSaveWithChoice(const FileDialogRequest& request) = 0;
};

class Messages {
 public:
  virtual ~Messages() = default;
  // A modal box titled "Vintrel" with an OK button; the detail, when given, sits under the text.
  virtual void inform(const QString& text, const QString& detail = {}) = 0;
  // The modal box that tells a save is done: the text, one plain line under it, the full
  // report behind "Show Details...", and a "Show in Folder" button beside OK. True when the
  // user chose "Show in Folder".
  virtual bool informSaved(const QString& text, const QString& summary, const QString& report) = 0;
  // A modal Yes/No question, the detail (when given) under it; true for Yes.
  virtual bool askYesNo(const QString& text, const QString& detail = {}) = 0;
};

class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  // Opens the address in the user's browser without waiting; false when nothing could.
  virtual bool open(const QString& url) = 0;
};

// The desktop's notifications, for news that has no window left to show it in.
class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows a notification; false when nobody took it (no notification service).
  virtual bool notify(const QString& summary, const QString& body) = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  // The folder that holds the program file, without a trailing separator.
  virtual QString programFolder() = 0;
  // Whether anything (even a dangling link) is at the path.
  virtual bool exists(const QString& path) = 0;
  // Whether two paths reach the same file (device and inode), however they are spelt.
  virtual bool sameFile(const QString& a, const QString& b) = 0;
  // Whether a new file can be made in the folder that holds the path.
  virtual bool folderWritable(const QString& path) = 0;
  // Whether the folder that holds the path is there.
  virtual bool folderExists(const QString& path) = 0;
  // Which file is at the path (device and inode); nothing when none is.
  virtual std::optional<cut::FileIdentity> identity(const QString& path) = 0;
  // The whole file as text; nothing when it cannot be read.
  virtual std::optional<QString> readText(const QString& path) = 0;
  // Writes the text (UTF-8) as the whole file; false when it cannot be written.
  virtual bool writeText(const QString& path, const QString& text) = 0;
};

}  // namespace vintrel
