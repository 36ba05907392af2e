// Work files are hidden beside the output, named ".vintrel-<pid>-<random>-<part>": the process
// that made them is in the name, so the files of a cut that is gone can be told from a running
// cut's, by the next cut and by the window that ran it.
#pragma once

#include <sys/types.h>

#include <QString>
#include <optional>

namespace vintrel::cut {

QString WorkFilePrefix(pid_t pid, quint64 random);  // ".vintrel-<pid>-<random>-"
// The process a work file name says made it; nullopt for other names.
std::optional<pid_t> WorkFileOwner(const QString& fileName);
// Removes the work files in `folder` whose cut no longer runs; returns how many.
int RemoveLeftoverWorkFiles(const QString& folder);
// Removes the work files in `folder` that `pid` made; for a cut known to be gone. Returns how many.
int RemoveWorkFilesOf(const QString& folder, pid_t pid);

}  // namespace vintrel::cut
