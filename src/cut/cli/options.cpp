#include "cut/cli/options.h"

#include "cut/media/tracks.h"
#include "cut/time_text.h"
#include "version.h"

namespace vintrel::cut {

QString UsageText() {
  return "Usage: vintrel-cut [--overwrite] [--reencode] [--progress=machine] [--] INPUT START END OUTPUT\n"
         "       vintrel-cut --plan INPUT START END [OUTPUT]\n"
         "\n"
         "Cuts the stretch START..END of the video INPUT into OUTPUT, exactly and, where the output\n"
         "type holds the input's H.264/HEVC video as it is, without re-encoding more than the frames\n"
         "before the first key frame (a smart cut). Every file is checked before it is put in place;\n"
         "an existing OUTPUT is replaced only by a checked file.\n"
         "\n"
         "Times are seconds (12.5), M:SS(.ms) or H:MM:SS(.ms), counted from the start of the video.\n"
         "\n"
         "  --overwrite          replace OUTPUT if it exists (only the file that was there when\n"
         "                       the cut started, or with --replace=DEVICE:INODE that file)\n"
         "  --reencode           re-encode the whole stretch even where a smart cut is possible\n"
         "  --progress=machine   progress on stderr as lines for a program: 'progress 0.4200',\n"
         "                       'phase <probing|encoding|copying|verifying>', 'progress 1'\n"
         "                       once the file is in place, or a last line 'error <message>'\n"
         "  --plan               make nothing: print what the cut would do as one line of JSON,\n"
         "                       {\"method\":\"smart\"|\"re-encode\",\"head\":N,\"copy\":N,\"tail\":N,\n"
         "                       \"entry\":SECONDS,\"why\":TEXT}: frames re-encoded before the first\n"
         "                       key frame (all of them for a re-encode), copied, re-encoded at the\n"
         "                       end; OUTPUT only names the type (the input's when left out)\n"
         "  --tracks=LIST        keep only these tracks, as v:0,a:1,s:0 (kind: v video, a sound,\n"
         "                       s subtitles; the number among that kind's tracks); the video is\n"
         "                       always kept. Without it every track the output type holds is kept\n"
         "  --drop=LIST          leave out these tracks (a:1,s:0)\n"
         "  --default-sound=a:N  the sound track players choose first\n"
         "  --                   the arguments after it are not options (for names starting with -)\n"
         "  -h, --help           this text\n"
         "\n"
         "The report goes to stdout. Exit status: 0 a checked file is in place, 1 the cut failed,\n"
         "2 bad arguments, 3 cancelled by a signal (nothing is left behind).\n"
         "A whole re-encode runs ffmpeg from this program's folder, else from PATH.\n"
         "\n"
         "vintrel-cut " +
         QString(kVersion) + ", part of Vintrel.\n";
}

namespace {

void ApplyTrackOption(const QString& argument, CommandLineOptions& options) {
  const QString value = argument.section('=', 1);
  const std::optional<QStringList> tracks = ParseTrackList(value);
  if (!tracks || tracks->isEmpty()) {
    options.problem = QString("%1 does not name tracks as v:0,a:1,s:0.").arg(argument);
  } else if (argument.startsWith("--tracks=")) {
    options.cut.tracks = *tracks;
  } else if (argument.startsWith("--drop=")) {
    options.cut.dropTracks = *tracks;
  } else if (tracks->size() == 1 && tracks->first().startsWith("a:")) {
    options.cut.defaultSound = tracks->first();
  } else {
    options.problem = QString("%1 does not name one sound track as a:N.").arg(argument);
  }
}

// Applies an option of ours; false where the argument is no option (a single leading dash: a
// file name, since no time is negative).
bool ApplyOption(const QString& argument, CommandLineOptions& options) {
  if (argument == "--help" || argument == "-h") {
    options.help = true;
  } else if (argument == "--overwrite") {
    options.cut.overwrite = true;
  } else if (argument.startsWith("--replace=")) {
    options.cut.replaces = ParseIdentity(argument.mid(10));
    if (!options.cut.replaces)
      options.problem = QString("%1 does not name a file as DEVICE:INODE.").arg(argument);
  } else if (argument.startsWith("--tracks=") || argument.startsWith("--drop=") ||
             argument.startsWith("--default-sound=")) {
    ApplyTrackOption(argument, options);
  } else if (argument == "--plan") {
    options.plan = true;
  } else if (argument == "--reencode") {
    options.cut.reEncode = true;
  } else if (argument == "--progress=machine") {
    options.cut.machineProgress = true;
  } else if (argument.startsWith("--")) {
    options.problem = QString("Unknown option %1.").arg(argument);
  } else {
    return false;
  }
  return true;
}

}  // namespace

CommandLineOptions ParseCommandLine(const QStringList& arguments) {
  CommandLineOptions options;
  QStringList positional;
  bool optionsEnded = false;
  for (int i = 0; i < arguments.size(); ++i) {
    QString argument = arguments[i];
    // "--tracks v:0,a:1" as well as "--tracks=v:0,a:1".
    const bool takesValue = argument == "--tracks" || argument == "--drop" || argument == "--default-sound";
    if (!optionsEnded && takesValue && i + 1 < arguments.size()) argument += "=" + arguments[++i];
    if (!optionsEnded && argument == "--")
      optionsEnded = true;
    else if (optionsEnded || !argument.startsWith("-") || argument == "-" || !ApplyOption(argument, options))
      positional << argument;
    if (!options.problem.isEmpty()) return options;
  }
  if (options.help) return options;
  if (options.plan && positional.size() == 3) positional << positional[0];
  if (positional.size() != 4)
    options.problem = QString("Expected INPUT START END OUTPUT, got %1 argument(s).").arg(positional.size());
  else if (positional[0].isEmpty() || positional[3].isEmpty())
    options.problem = QString("The %1 file name is empty.").arg(positional[0].isEmpty() ? "input" : "output");
  if (!options.problem.isEmpty()) return options;
  options.cut.input = positional[0];
  options.cut.output = positional[3];
  const std::optional<double> start = ParseTimeText(positional[1]), end = ParseTimeText(positional[2]);
  if (!start || !end) {
    options.problem = QString("%1 is not a time.").arg(!start ? positional[1] : positional[2]);
    return options;
  }
  options.cut.start = *start;
  options.cut.end = *end;
  if (*end <= *start) options.problem = "The end must come after the start.";
  return options;
}

}  // namespace vintrel::cut
