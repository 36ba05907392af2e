#include "platform/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <QFile>
#include <cstring>
#include <vector>

extern char** environ;

namespace vintrel {

namespace {

// NUL-terminated copies of strings, and the pointer list a program's start takes.
class CStrings {
 public:
  explicit CStrings(const QStringList& strings) {
    for (const QString& string : strings) bytes_.push_back(QFile::encodeName(string));
    for (QByteArray& string : bytes_) pointers_.push_back(string.data());
    pointers_.push_back(nullptr);
  }
  char** get() { return pointers_.data(); }

 private:
  std::vector<QByteArray> bytes_;
  std::vector<char*> pointers_;
};

void route(posix_spawn_file_actions_t* actions, int from, int to) {
  if (from >= 0) {
    posix_spawn_file_actions_adddup2(actions, from, to);
  } else {
    posix_spawn_file_actions_addopen(actions, to, "/dev/null", O_WRONLY, 0);
  }
}

}  // namespace

std::optional<pid_t> spawnProgram(const QString& program, const QStringList& arguments,
                                  const SpawnOptions& options, QString* problem) {
  CStrings argv(QStringList{program} + arguments);
  std::optional<CStrings> environment;
  if (options.environment) environment.emplace(*options.environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  route(&actions, options.output, 1);
  route(&actions, options.errors, 2);
  // Nothing of ours (the X connection, the player, sockets) leaks into it.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (options.ownSession) {
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, argv.get()[0], &actions, &attributes, argv.get(),
                                 environment ? environment->get() : environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    if (problem) *problem = QString::fromLocal8Bit(strerror(error));
    return std::nullopt;
  }
  return pid;
}

}  // namespace vintrel
