// Hidden work files beside the output, and the final move of the made file into place.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QStringList>
#include <optional>

#include "cut/protocol/cut_request.h"
#include "cut/protocol/work_file_names.h"

namespace vintrel::cut {

// Work files are named as WorkFilePrefix() says, in the output's folder, so the final rename
// stays on one file system and the leftovers of a cut that died (its process gone) can be told
// from a running cut's (WorkFileOwner(), RemoveLeftoverWorkFiles() in cut/protocol/work_file_names.h). All of
// them are removed when this goes, except the one moved into place.
class WorkFiles {
 public:
  // Throws WriteFailed when the folder cannot be written; nothing is left behind then.
  explicit WorkFiles(const QString& output);
  ~WorkFiles();
  WorkFiles(const WorkFiles&) = delete;
  WorkFiles& operator=(const WorkFiles&) = delete;

  // A new name in the output's folder ending in `part`; the file is removed with the rest.
  QString path(const QString& part);
  // Moves `made` to the output name. Without `replaces`, never over a file that is there by
  // then; with it, only over that file, whose mode, owner and group carry over. Throws OutputTaken
  // when the name holds another file by then, else CutError.
  void moveIntoPlace(const QString& made, const std::optional<FileIdentity>& replaces);
  void removeAll();

 private:
  QString folder_;
  QString output_;
  QString prefix_;
  QStringList paths_;
};

}  // namespace vintrel::cut
