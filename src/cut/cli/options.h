// vintrel-cut's command line: options, the positional arguments, the usage text.
#pragma once

#include <QString>
#include <QStringList>

#include "cut/protocol/cut_request.h"

namespace vintrel::cut {

struct CommandLineOptions {
  bool help = false;
  // Only plan the cut and print the plan (JSON); the output, when given, names its type.
  bool plan = false;
  CutArguments cut;
  QString problem;  // set when the arguments are unusable
};

// vintrel-cut [--overwrite [--replace=DEVICE:INODE]] [--reencode] [--progress=machine] [--]
//             INPUT START END OUTPUT
// vintrel-cut --plan INPUT START END [OUTPUT]
// or, for several stretches, (--keep LIST | --remove LIST | --segments FILE) [--each] [--chapters]
//             [--] INPUT OUTPUT
CommandLineOptions ParseCommandLine(const QStringList& arguments);
QString UsageText();

}  // namespace vintrel::cut
