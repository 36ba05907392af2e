#pragma once
// The benchmarks. Each measures the program and its limit or baseline side by side, and
// gives back its rows of the table with the figures behind them.
#include <QString>
#include <QStringList>

#include "bench.h"

namespace xtest {
class XServer;
}

namespace bench {

class ProgramRig;

// The built program started as a user starts it: until its window is mapped and painted.
Report StartUp(const xtest::XServer& x, const QString& program);
// The built program's memory: the window alone, while a 720p clip plays, and over repeated
// opens through its Open dialog against libmpv alone doing the same opens.
Report Memory(const xtest::XServer& x, const QString& program, const QStringList& clips);
// Opening the first file in a fresh window against a fresh libmpv handle.
Report FirstOpen(const xtest::XServer& x, const QStringList& clips);
// Opening another file while one plays, and seeking, in the program against libmpv alone.
Report OpenAndSeek(ProgramRig& rig, const xtest::XServer& x, const QStringList& clips);
// How long posted events wait while Play Selected runs.
Report PlaySelectedWait(ProgramRig& rig, const QStringList& clips);
// Save of a 30 s cut against vintrel-cut from the command line and the encoder run bare,
// and how long posted events wait meanwhile.
Report Export(ProgramRig& rig, const QString& mediaFolder, const QString& workFolder);

// Key frames of a 2-hour 1080p MP4 and MKV on the slider after the open, beside ffprobe
// listing them; posted-event waits while they load and while the pointer rests on the slider.
Report KeyFramesOnOpen(ProgramRig& rig, const QString& mediaFolder);

// Formatting shared by the benchmarks.
QString MsText(double ms);
QString MiBText(double mib);
QString Signed(double ms);  // "+27 ms", "-3 ms"
QString Verdict(bool ok);

}  // namespace bench
