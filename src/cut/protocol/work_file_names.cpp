#include "cut/protocol/work_file_names.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>

namespace vintrel::cut {

QString WorkFilePrefix(pid_t pid, quint64 random) {
  return QString(".vintrel-%1-%2-").arg(pid).arg(random, 0, 36);
}

std::optional<pid_t> WorkFileOwner(const QString& fileName) {
  static const QRegularExpression pattern(R"(^\.vintrel-(\d+)-[0-9a-z]+-)");
  const QRegularExpressionMatch match = pattern.match(fileName);
  if (!match.hasMatch()) return std::nullopt;
  bool ok = false;
  const long pid = match.captured(1).toLong(&ok);
  if (!ok || pid <= 0) return std::nullopt;
  return pid_t(pid);
}

namespace {
template <typename Pick>
int RemoveWorkFiles(const QString& folder, Pick pick) {
  int removed = 0;
  const QDir dir(folder);
  for (const QString& name : dir.entryList({".vintrel-*"}, QDir::Files | QDir::Hidden | QDir::System)) {
    const std::optional<pid_t> owner = WorkFileOwner(name);
    if (!owner || !pick(*owner)) continue;
    if (unlink(QFile::encodeName(dir.filePath(name)).constData()) == 0) ++removed;
  }
  return removed;
}
}  // namespace

int RemoveLeftoverWorkFiles(const QString& folder) {
  // Only a process that is certainly gone: one we may not signal may still be cutting.
  return RemoveWorkFiles(folder, [](pid_t owner) { return kill(owner, 0) != 0 && errno == ESRCH; });
}

int RemoveWorkFilesOf(const QString& folder, pid_t pid) {
  return RemoveWorkFiles(folder, [pid](pid_t owner) { return owner == pid; });
}

}  // namespace vintrel::cut
