// Save: writes the marked stretch of the open video to a new file through the encoder.
#include "app/form1.h"
#include "export/command_line.h"
#include "export/sw.h"

namespace vintrel {

namespace {

const char kInvalidSelection[] = "Start time cannot be >= End time. Invalid Selection";
const char kInUse[] = "The selected file is in use and cannot be overwritten.";
const char kOverwrite[] = "Do you want to overwrite the existing file?";
const char kNotSaved[] = "The file was not saved.";

// The seven buttons that touch the player, the selection or the dialog, then the slider,
// in the order they are locked and unlocked. Website and Help stay live.
void SetControlsEnabled(Form1& f, bool enabled) {
  QWidget* const controls[] = {f.Command1, f.Command2, f.Command4, f.Command5,
                               f.Command6, f.Command7, f.Command9, f.H};
  for (QWidget* control : controls) control->setEnabled(enabled);
}

void RestoreSteps(Form1& f) {
  f.setWindowTitle("Vintrel");
  f.pb->setValue(0);
  SetControlsEnabled(f, true);
  f.Cdlg.FileName = "";
}

// An exit code of 0 is no proof of a file (a start past the end of the input exits 0
// with an empty one): the result must hold a stream and have a length. Empty when it does,
// else what is wrong with it.
QString CheckResult(IFiles& files, IProcesses& processes, const QString& output) {
  const ToolLocation ffprobe = LocateTool(files, "ffprobe");
  if (!ffprobe.found) {
    return QString("The program that checks the result, ffprobe, was not found. It was looked for in %1.")
        .arg(ffprobe.lookedIn);
  }
  const ProgramRun run = processes.Run(ffprobe.program,
                                       {"-v", "error", "-show_entries", "format=nb_streams,duration", "-of",
                                        "default=noprint_wrappers=1", FileArgument(output)},
                                       30000);
  if (!run.started)
    return QString("The program that checks the result, %1, could not be started.").arg(ffprobe.program);
  if (!run.finished || run.exitCode != 0) {
    const QString why = sw::ErrorLines(run.err, 3);
    return "The result cannot be read as a video." + (why.isEmpty() ? QString() : "\n\n" + why);
  }
  int streams = 0;
  double duration = 0;
  for (const QString& line : QString::fromUtf8(run.out).split('\n')) {
    const QString key = line.section('=', 0, 0).trimmed();
    const QString value = line.section('=', 1).trimmed();
    if (key == "nb_streams") streams = value.toInt();
    if (key == "duration") duration = value.toDouble();  // "N/A" counts as 0
  }
  if (streams < 1) return "The result holds no video or sound.";
  if (!(duration > 0)) return "The result is empty. Does the start lie past the end of the video?";
  return {};
}

// Why the encoder's run gave no file; empty when it did.
QString Verdict(Form1& f, const ToolLocation& encoder, const sw::Outcome& run, const QString& output) {
  if (!encoder.found) {
    return QString("The encoder ffmpeg was not found. It was looked for in %1.").arg(encoder.lookedIn);
  }
  switch (run.ending) {
    case sw::Ending::NotStarted:
      return QString("The encoder %1 could not be started: %2").arg(encoder.program, run.error);
    case sw::Ending::Exited:
      if (run.exitCode != 0) {
        return QString("The encoder stopped with exit code %1.").arg(run.exitCode) +
               (run.errorTail.isEmpty() ? QString() : "\n\n" + run.errorTail);
      }
      return CheckResult(f.sys.files, f.sys.processes, output);
    case sw::Ending::Unknown:
    case sw::Ending::TimeLimit:
    case sw::Ending::Interrupted:
      break;
  }
  return "The encoder's end could not be followed." + (run.error.isEmpty() ? QString() : " " + run.error);
}

void EncodeSteps(Form1& f) {
  const QString extension = f.CurrentFile.right(3);
  const QString input = f.CurrentFile;
  const QString output = f.Cdlg.FileName;
  const QString vcdTarget =
      IsVcdExtension(extension) ? VcdTarget(ProbeFrameRate(f.sys.files, f.sys.processes, input)) : QString();
  const ToolLocation encoder = LocateTool(f.sys.files, "ffmpeg");
  const EncoderJob job{encoder.folder, f.SelStart, static_cast<int32_t>(int64_t{f.SelEnd} - f.SelStart),
                       input,          output,     CodecOptions(extension, vcdTarget)};
  const ArgumentList args = Arguments(job);

  // Only a file that this run made may be removed when it fails, never one that was
  // there before (one the probe could not open, or one whose delete failed).
  const bool existedBefore = f.sys.files.Exists(output);
  sw::Outcome run;
  if (encoder.found) run = sw::RunAndWait(f, {CommandLine(job), args.program, args.args}, 0);
  const QString problem = Verdict(f, encoder, run, output);

  f.pb->setValue(0);
  f.setWindowTitle("Vintrel");
  if (problem.isEmpty()) {
    f.sys.msg.MsgBox("Done", vbInformation);
  } else {
    if (!existedBefore && f.sys.files.Exists(output)) {
      try {
        f.sys.files.Kill(output);
      } catch (const std::exception&) {
      }
    }
    f.sys.msg.MsgBox(QString(kNotSaved) + "\n\n" + problem, vbInformation);
  }
  SetControlsEnabled(f, true);
}

}  // namespace

void Form1::Command7_Click() {
  if (!(SelStart < SelEnd)) {
    sys.msg.MsgBox(kInvalidSelection, vbInformation);
    return;
  }
  if (SelStart == 0) SelStart = 1;
  if (SelEnd == 0) {
    sys.msg.MsgBox(kInvalidSelection, vbInformation);
    return;
  }
  if (CurrentFile == "") return;

  SetControlsEnabled(*this, false);
  try {
    mp_mypause();
    Command1->setText("Play");
    H->setValue(0);
    setWindowTitle("Saving");
  } catch (const std::exception&) {
    // Ending here with the controls locked would leave the window unusable for good.
    SetControlsEnabled(*this, true);
    setWindowTitle("Vintrel");
    return;
  }

  try {
    const QString extension = CurrentFile.right(3);
    Cdlg.Filter = extension.toUpper() + " Files|*." + extension + "|All Files(*.*)|*.*";
    Cdlg.FilterIndex = 1;
    Cdlg.DialogTitle = "Save";
    Cdlg.ShowSave();
    // The same file under another spelling (a link, a relative form, another letter case
    // on a case-blind file system) is the input too: replacing it would destroy it.
    if (Cdlg.FileName == CurrentFile || sys.files.SameFile(Cdlg.FileName, CurrentFile)) {
      sys.msg.MsgBox(kInUse, vbInformation);
      RestoreSteps(*this);
      return;
    }
  } catch (const std::exception&) {
    RestoreSteps(*this);
    return;
  }

  // A probe that fails counts as a missing file; a delete that fails goes on to the
  // encoder all the same, which then refuses to replace the file.
  try {
    sys.files.ProbeOpen(Cdlg.FileName);
    if (sys.msg.MsgBox(kOverwrite, vbQuestion | vbYesNo) != vbYes) {
      RestoreSteps(*this);
      return;
    }
    sys.files.Kill(Cdlg.FileName);
    sys.pump.Sleep(100);
  } catch (const std::exception&) {
  }

  EncodeSteps(*this);
}

}  // namespace vintrel
