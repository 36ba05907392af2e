#include "cut/work_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>

#include "cut/cut_error.h"

namespace vintrel::cut {

namespace {

QString FolderProblem(int error, const QString& folder) {
  if (error == ENOSPC) return "There is no space left on the disk.";
  if (error == ENOENT || error == ENOTDIR) return QString("The folder %1 does not exist.").arg(folder);
  return QString("The folder %1 cannot be written.").arg(folder);
}

}  // namespace

WorkFiles::WorkFiles(const QString& output) : output_(QFileInfo(output).absoluteFilePath()) {
  folder_ = QFileInfo(output_).absolutePath();
  const quint64 random = QRandomGenerator::system()->generate64();
  prefix_ = folder_ + "/.vintrel-" + QString::number(random, 36) + "-";
  // Writing a file is the one test of a folder that holds for root and read-only mounts alike.
  const QString probe = path("folder-check");
  const int fd = open(probe.toLocal8Bit().constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    paths_.clear();
    throw CutError(FolderProblem(error, folder_));
  }
  close(fd);
}

WorkFiles::~WorkFiles() { removeAll(); }

QString WorkFiles::path(const QString& part) {
  paths_ << prefix_ + part;
  return paths_.last();
}

void WorkFiles::moveIntoPlace(const QString& made) {
  if (rename(made.toLocal8Bit().constData(), output_.toLocal8Bit().constData()) != 0)
    throw CutError(FolderProblem(errno, folder_));
  paths_.removeAll(made);
}

void WorkFiles::removeAll() {
  for (const QString& file : paths_) unlink(file.toLocal8Bit().constData());
  paths_.clear();
}

}  // namespace vintrel::cut
