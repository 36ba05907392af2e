#include "cut/make/work_files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

#include "cut/cut_error.h"

namespace vintrel::cut {

WorkFiles::WorkFiles(const QString& output) : output_(QFileInfo(output).absoluteFilePath()) {
  folder_ = QFileInfo(output_).absolutePath();
  const quint64 random = QRandomGenerator::system()->generate64();
  prefix_ = folder_ + "/" + WorkFilePrefix(getpid(), random);
  // Writing a file is the one test of a folder that holds for root and read-only mounts alike.
  const QString probe = path("folder-check");
  const int fd = open(probe.toLocal8Bit().constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    paths_.clear();
    throw WriteFailed(FolderProblem(error, folder_));
  }
  close(fd);
  RemoveLeftoverWorkFiles(folder_);
}

WorkFiles::~WorkFiles() { removeAll(); }

QString WorkFiles::path(const QString& part) {
  paths_ << prefix_ + part;
  return paths_.last();
}

void WorkFiles::moveIntoPlace(const QString& made, const std::optional<FileIdentity>& replaces) {
  const QByteArray from = QFile::encodeName(made), to = QFile::encodeName(output_);
  const QString name = QFileInfo(output_).fileName();
  if (!replaces) {
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
      paths_.removeAll(made);
      return;
    }
    if (errno == EEXIST)
      throw OutputTaken(
          QString("A file named %1 appeared while the cut ran; it was left as it is.").arg(name));
    throw WriteFailed(FolderProblem(errno, folder_));
  }
  struct stat old = {};
  if (stat(to.constData(), &old) == 0) {
    // Where we may: root keeps the owner too; anyone keeps the mode and a group they are in.
    if (chown(from.constData(), old.st_uid, old.st_gid) != 0) [[maybe_unused]]
      const int ignored = chown(from.constData(), -1, old.st_gid);
    chmod(from.constData(), old.st_mode & 07777);
  }
  // Swapped in one step, then the file swapped out must be the one agreed to; else it goes back.
  if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) != 0) {
    if (errno != ENOENT) throw WriteFailed(FolderProblem(errno, folder_));
    throw CutError(QString("%1 was removed while the cut ran; nothing was written in its place.").arg(name));
  }
  if (IdentityOf(made) != replaces) {
    renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE);
    throw OutputTaken(QString("%1 was changed while the cut ran; it was left as it is.").arg(name));
  }
  unlink(from.constData());  // the replaced file, now under the work file's name
  paths_.removeAll(made);
}

void WorkFiles::removeAll() {
  for (const QString& file : paths_) unlink(file.toLocal8Bit().constData());
  paths_.clear();
}

}  // namespace vintrel::cut
