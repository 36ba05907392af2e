// vintrel-cut's command line: options, the four positional arguments, the usage text.
#pragma once

#include <QString>
#include <QStringList>

namespace vintrel::cut {

struct CommandLineOptions {
  bool help = false;
  bool overwrite = false;
  bool reEncode = false;
  bool machineProgress = false;
  QString input, output;
  double start = 0, end = 0;
  QString problem;  // set when the arguments are unusable
};

// vintrel-cut [--overwrite] [--reencode] [--progress=machine] [--] INPUT START END OUTPUT
CommandLineOptions ParseCommandLine(const QStringList& arguments);
QString UsageText();

}  // namespace vintrel::cut
