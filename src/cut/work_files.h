#pragma once

#include <QString>
#include <QStringList>

namespace vintrel::cut {

// Hidden temporary files beside the output (".vintrel-<random>-<part>"), so the final
// rename stays on one file system. All of them are removed when this goes, except the one
// already renamed into place.
class WorkFiles {
 public:
  // Throws CutError when the folder cannot be written; nothing is left behind then.
  explicit WorkFiles(const QString& output);
  ~WorkFiles();
  WorkFiles(const WorkFiles&) = delete;
  WorkFiles& operator=(const WorkFiles&) = delete;

  // A new name in the output's folder ending in `part`; the file is removed with the rest.
  QString path(const QString& part);
  QString folder() const { return folder_; }
  // Replaces the output with `made` (rename(2)); throws CutError on failure.
  void moveIntoPlace(const QString& made);
  void removeAll();

 private:
  QString folder_;
  QString output_;
  QString prefix_;
  QStringList paths_;
};

}  // namespace vintrel::cut
