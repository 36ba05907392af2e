#pragma once
// What the window is working on: the open file, the two marks, its segment list and whether it plays.
// Every rule about marks and the stretch to cut lives here, so the widgets only show
// this state and never hold any of their own.
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "segments/segment_model.h"

namespace vintrel {

// Seconds as the labels show them: " 1 : 2 : 3" (hours, minutes, seconds, each with a
// blank before a number of 0 or more).
QString formatTime(int64_t seconds);
// The same to the hundredth, as the labels show marks to the frame: " 0 : 0 : 3.48".
QString formatTimeToHundredths(double seconds);
// The text a label shows once it has been reset ("0 : 0 : 0", without the leading blank).
inline const char* kZeroTime = "0 : 0 : 0";

// Rounds to the nearest whole second, a value exactly halfway going to the even neighbour
// (2.5 is 2, 3.5 is 4), as positions become marks.
int64_t roundToSecond(double seconds);

// The stretch a Save cuts, in seconds: whole ones, or the frames' own times when the marks
// go to the frame.
struct Stretch {
  double start = 0;
  double end = 0;
  bool toTheFrame = false;
  double length() const { return end - start; }
};

class Session : public QObject {
  Q_OBJECT
 public:
  enum class Playback { Stopped, Playing, Paused };

  bool hasFile() const { return !file_.isEmpty(); }
  const QString& file() const { return file_; }
  double markStart() const { return markStart_; }
  double markEnd() const { return markEnd_; }
  // Marks take the time of the frame on screen rather than the whole second.
  bool marksToFrame() const { return marksToFrame_; }
  Playback playback() const { return playback_; }
  // The stretches to save together; an empty list saves the marks' stretch alone.
  SegmentListModel& segments() { return segments_; }
  const SegmentListModel& segments() const { return segments_; }
  bool isPlaying() const { return playback_ == Playback::Playing; }
  bool isSaving() const { return saving_; }
  // Play Selected is running: it ends when the position reaches the end mark.
  bool isPlayingSelection() const { return playingSelection_; }

  // A new file: the marks go back to 0, the list is emptied and nothing plays yet. An empty
  // path closes it.
  void setFile(const QString& path);
  void setMarkStart(double seconds);
  void setMarkEnd(double seconds);
  void setMarksToFrame(bool on);
  // The mark a player position becomes: its whole second, or the position itself when
  // marks go to the frame.
  double markAt(double position) const;
  // A time as the labels show it: whole seconds, or hundredths when marks go to the frame.
  QString timeText(double seconds) const;
  void setPlayback(Playback playback);
  void setSaving(bool saving);
  void setPlayingSelection(bool on);
  // The tracks a save keeps ("v:0", "a:1", "s:0"; empty: every one the output type holds) and
  // the sound track played first (empty: as in the file). A new file starts with every track.
  void setTracks(const QStringList& kept, const QString& defaultSound);
  const QStringList& keptTracks() const { return keptTracks_; }
  const QString& defaultSound() const { return defaultSound_; }

  // The end mark lies after the start mark.
  bool selectionValid() const { return markStart_ < markEnd_; }
  // The length the selection label shows: 0 unless the marks make a stretch.
  double selectionLength() const { return selectionValid() ? markEnd_ - markStart_ : 0; }
  // What Save cuts: the marks; whole-second marks never from second 0 (such a cut starts at
  // second 1 at the earliest). Nothing when the marks make no stretch.
  std::optional<Stretch> stretchToSave() const;

 signals:
  // Anything above changed; the window redraws what shows it.
  void changed();

 private:
  QString file_;
  double markStart_ = 0;
  double markEnd_ = 0;
  bool marksToFrame_ = false;
  Playback playback_ = Playback::Stopped;
  bool saving_ = false;
  bool playingSelection_ = false;
  QStringList keptTracks_;
  QString defaultSound_;
  SegmentListModel segments_;
};

}  // namespace vintrel
