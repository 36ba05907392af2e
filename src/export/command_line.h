#pragma once
// The encoder's command line: built as one text (what the user would type, and what the
// tests read) and, from the same pieces, as the argument list that is actually started.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace vintrel {

class IFiles;
class IProcesses;

// Where a program of the encoder's family (ffmpeg, ffprobe) was found: the application
// folder first, then PATH.
struct ToolLocation {
  bool found = false;
  QString folder;    // the folder as the command line shows it (the application folder as reported)
  QString program;   // folder + "/" + name
  QString lookedIn;  // where it was looked for, for a message when it was not found
};
ToolLocation LocateTool(IFiles& files, const QString& name);

// "file:" and an absolute path: the encoder then takes the argument for a file whatever it
// looks like (a leading "-" is no option, "x:y" no protocol).
QString FileArgument(const QString& path);

// The video frame rate of the input's first video stream, as ffprobe reports it; nothing
// when ffprobe is missing or cannot read the file.
std::optional<double> ProbeFrameRate(IFiles& files, IProcesses& processes, const QString& input);
// "30000/1001" or "25" as a number; nothing for anything else (and for "0/0").
std::optional<double> ParseFrameRate(const QString& text);
// The VCD norm that matches a frame rate: ntsc for 29.97 and 30, film for 23.976 and 24,
// pal for 25 and for anything else or an unknown rate.
QString VcdTarget(std::optional<double> framesPerSecond);

// Whether the input extension (the path's last three characters, exact case) asks for a
// VCD encode.
bool IsVcdExtension(const QString& inputExtension);
// The codec options for an input extension; vcdTarget is used only for a VCD input.
QStringList CodecOptions(const QString& inputExtension, const QString& vcdTarget = "pal-vcd");

struct EncoderJob {
  QString encoderFolder;  // taken as it is: a trailing "/" gives "//" before the name
  int32_t start = 0;      // seconds
  int32_t length = 0;     // seconds
  QString input;
  QString output;
  QStringList options;
};

// The command line as text: the program in quotes, -ss and -t with their number text
// (two blanks before a number of 0 or more), the input and output in quotes.
QString CommandLine(const EncoderJob& job);

struct ArgumentList {
  QString program;
  QStringList args;
};
// The same pieces as an argument list for starting without a shell.
ArgumentList Arguments(const EncoderJob& job);

}  // namespace vintrel
