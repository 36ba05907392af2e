// Starting another program from an argument list (never a shell): every start of a program
// that Vintrel, its tests and its benchmarks make goes through here.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QStringList>
#include <optional>

namespace vintrel {

struct SpawnOptions {
  // Its standard output and error: our descriptors, dup'ed, or -1 for /dev/null. Its input is
  // always /dev/null, and no other descriptor of ours reaches it.
  int output = -1;
  int errors = -1;
  bool ownSession = false;                                // outlives us, away from our terminal's signals
  std::optional<QStringList> environment = std::nullopt;  // "NAME=value" entries; ours when none
};

// The started program's process id; nullopt when it could not start (`problem` says why).
std::optional<pid_t> spawnProgram(const QString& program, const QStringList& arguments,
                                  const SpawnOptions& options = {}, QString* problem = nullptr);

}  // namespace vintrel
