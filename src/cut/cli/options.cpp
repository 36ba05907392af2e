#include "cut/cli/options.h"

#include <QFile>

#include "cut/media/containers.h"
#include "cut/media/tracks.h"
#include "cut/time_text.h"
#include "version.h"

namespace vintrel::cut {

QString UsageText() {
  return "Usage: vintrel-cut [--overwrite] [--reencode] [--progress=machine] [--] INPUT START END OUTPUT\n"
         "       vintrel-cut --plan INPUT START END [OUTPUT]\n"
         "       vintrel-cut [options] (--keep LIST | --remove LIST | --segments FILE) [--each] "
         "[--chapters]\n"
         "                   [--] INPUT OUTPUT\n"
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
         "  --keep LIST          keep these stretches, joined in this order: START-END[=NAME],...\n"
         "                       (10-20,40:00-41:30=Credits; a backslash escapes , = and \\ in names)\n"
         "  --remove LIST        keep everything but these stretches\n"
         "  --segments FILE      the stretches to keep from a CSV file (start,end,name a line,\n"
         "                       a header optional) or Vintrel's JSON segment list\n"
         "  --each               a file per stretch instead of one: OUTPUT is a pattern that may\n"
         "                       hold {video} {n} {name} {start} {end}; without braces each file\n"
         "                       is OUTPUT's name with -N-NAME-START-END before its type\n"
         "  --chapters           a chapter at the start of each stretch, named after it\n"
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
         "Output types: " +
         WritableTypesText() +
         ".\n"
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

// Reads a list of stretches from a file: CSV, or the JSON document the window writes.
std::optional<SegmentList> ReadSegmentFile(const QString& path, SegmentMode& mode, QString& problem) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    problem = QString("The segment list %1 cannot be read.").arg(path);
    return std::nullopt;
  }
  const QString text = QString::fromUtf8(file.readAll());
  std::optional<SegmentList> list;
  if (text.trimmed().startsWith('{')) {
    if (const std::optional<SegmentDocument> document = ParseSegmentDocumentJson(text, problem)) {
      mode = document->mode;
      list = document->segments;
    }
  } else {
    list = ParseSegmentListCsv(text, problem);
  }
  if (!list) problem = QString("%1: %2").arg(path, problem);
  return list;
}

// Adds the stretches of --keep, --remove or --segments to the request.
void AddSegments(const QString& option, const QString& value, CommandLineOptions& options) {
  SegmentMode mode = option == "--remove" ? SegmentMode::kRemove : SegmentMode::kKeep;
  const std::optional<SegmentList> list = option == "--segments"
                                              ? ReadSegmentFile(value, mode, options.problem)
                                              : ParseSegmentListArgument(value, options.problem);
  if (!list) return;
  if (!options.cut.segments.empty() && mode != options.cut.segmentMode) {
    options.problem = "Stretches are either kept or removed: give --keep or --remove, not both.";
    return;
  }
  options.cut.segmentMode = mode;
  options.cut.segments.insert(options.cut.segments.end(), list->begin(), list->end());
}

const QStringList kSegmentOptions = {"--keep", "--remove", "--segments"};
// Options with a value, given as "--tracks=v:0,a:1" or as "--tracks v:0,a:1".
const QStringList kValueOptions = kSegmentOptions + QStringList{"--tracks", "--drop", "--default-sound"};

// Applies an option of ours; false where the argument is no option (a single leading dash: a
// file name, since no time is negative). `next` is the argument after it, for options that
// take a value; `usedNext` tells whether it was taken.
bool ApplyOption(const QString& argument, const QString* next, bool& usedNext, CommandLineOptions& options) {
  const QString name = argument.section('=', 0, 0);
  if (kValueOptions.contains(name)) {
    const bool hasValue = argument.contains('=');
    if (!hasValue && !next) {
      options.problem = QString("%1 needs a value.").arg(name);
      return true;
    }
    usedNext = !hasValue;
    const QString value = hasValue ? argument.section('=', 1) : *next;
    if (kSegmentOptions.contains(name))
      AddSegments(name, value, options);
    else
      ApplyTrackOption(name + "=" + value, options);
  } else if (argument == "--help" || argument == "-h") {
    options.help = true;
  } else if (argument == "--overwrite") {
    options.cut.overwrite = true;
  } else if (argument.startsWith("--replace=")) {
    options.cut.replaces = ParseIdentity(argument.mid(10));
    if (!options.cut.replaces)
      options.problem = QString("%1 does not name a file as DEVICE:INODE.").arg(argument);
  } else if (argument == "--plan") {
    options.plan = true;
  } else if (argument == "--reencode") {
    options.cut.reEncode = true;
  } else if (argument == "--progress=machine") {
    options.cut.machineProgress = true;
  } else if (argument == "--each") {
    options.cut.eachSegment = true;
  } else if (argument == "--chapters") {
    options.cut.chapters = true;
  } else if (argument.startsWith("--")) {
    options.problem = QString("Unknown option %1.").arg(argument);
  } else {
    return false;
  }
  return true;
}

// INPUT OUTPUT with a list of stretches.
void TakeSegmentPositionals(const QStringList& positional, CommandLineOptions& options) {
  if (positional.size() != 2) {
    options.problem =
        QString("Expected INPUT OUTPUT with a list of stretches, got %1 argument(s).").arg(positional.size());
    return;
  }
  options.cut.input = positional[0];
  options.cut.output = positional[1];
  if (const QString problem = SegmentListProblem(options.cut.segments, 0); !problem.isEmpty())
    options.problem = problem;
}

void TakeStretchPositionals(const QStringList& positional, CommandLineOptions& options) {
  if (options.cut.eachSegment || options.cut.chapters) {
    options.problem = "--each and --chapters go with a list of stretches (--keep, --remove or --segments).";
    return;
  }
  if (positional.size() != 4) {
    options.problem = QString("Expected INPUT START END OUTPUT, got %1 argument(s).").arg(positional.size());
    return;
  }
  options.cut.input = positional[0];
  options.cut.output = positional[3];
  const std::optional<double> start = ParseTimeText(positional[1]), end = ParseTimeText(positional[2]);
  if (!start || !end) {
    options.problem = QString("%1 is not a time.").arg(!start ? positional[1] : positional[2]);
    return;
  }
  options.cut.start = *start;
  options.cut.end = *end;
  if (*end <= *start) options.problem = "The end must come after the start.";
}

}  // namespace

CommandLineOptions ParseCommandLine(const QStringList& arguments) {
  CommandLineOptions options;
  QStringList positional;
  bool optionsEnded = false;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    bool usedNext = false;
    const QString* next = i + 1 < arguments.size() ? &arguments[i + 1] : nullptr;
    if (!optionsEnded && argument == "--")
      optionsEnded = true;
    else if (optionsEnded || !argument.startsWith("-") || argument == "-" ||
             !ApplyOption(argument, next, usedNext, options))
      positional << argument;
    if (usedNext) ++i;
    if (!options.problem.isEmpty()) return options;
  }
  if (options.help) return options;
  const bool segments = !options.cut.segments.empty();
  if (options.plan && segments) {
    options.problem = "--plan shows a single stretch (INPUT START END), not a list of stretches.";
    return options;
  }
  if (options.plan && positional.size() == 3) positional << positional[0];
  if (segments)
    TakeSegmentPositionals(positional, options);
  else
    TakeStretchPositionals(positional, options);
  if (options.problem.isEmpty() && (options.cut.input.isEmpty() || options.cut.output.isEmpty()))
    options.problem =
        QString("The %1 file name is empty.").arg(options.cut.input.isEmpty() ? "input" : "output");
  return options;
}

}  // namespace vintrel::cut
