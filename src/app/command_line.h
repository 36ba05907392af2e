#pragma once
// What `vintrel` is asked on its command line: the file to open (a path, or the file: URI a
// file manager passes), or its help or version.
#include <QString>
#include <QStringList>

#include "version.h"

namespace vintrel {

struct StartRequest {
  enum class Action { Run, Help, Version, BadArguments };
  Action action = Action::Run;
  QString file;     // to open at once, absolute; empty for none
  QString problem;  // what is wrong, for BadArguments
};

// `arguments` without the program's own name, and without the toolkit's options.
StartRequest parseStartArguments(const QStringList& arguments);
QString usageText();

}  // namespace vintrel
