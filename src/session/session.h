#pragma once
// What the window is working on: the open file, the two marks and whether it plays.
// Every rule about marks and the stretch to cut lives here, so the widgets only show
// this state and never hold any of their own.
#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

namespace vintrel {

// Seconds as the labels show them: " 1 : 2 : 3" (hours, minutes, seconds, each with a
// blank before a number of 0 or more).
QString formatTime(int64_t seconds);
// The text a label shows once it has been reset ("0 : 0 : 0", without the leading blank).
inline const char* kZeroTime = "0 : 0 : 0";

// Rounds to the nearest whole second, a value exactly halfway going to the even neighbour
// (2.5 is 2, 3.5 is 4), as positions become marks.
int64_t roundToSecond(double seconds);

// The stretch a Save cuts, in whole seconds.
struct Stretch {
  int64_t start = 0;
  int64_t end = 0;
  int64_t length() const { return end - start; }
};

class Session : public QObject {
  Q_OBJECT
 public:
  enum class Playback { Stopped, Playing, Paused };

  bool hasFile() const { return !file_.isEmpty(); }
  const QString& file() const { return file_; }
  int64_t markStart() const { return markStart_; }
  int64_t markEnd() const { return markEnd_; }
  Playback playback() const { return playback_; }
  bool isPlaying() const { return playback_ == Playback::Playing; }
  bool isSaving() const { return saving_; }
  // Play Selected is running: it ends when the position reaches the end mark.
  bool isPlayingSelection() const { return playingSelection_; }

  // A new file: the marks go back to 0 and nothing plays yet. An empty path closes it.
  void setFile(const QString& path);
  void setMarkStart(int64_t second);
  void setMarkEnd(int64_t second);
  void setPlayback(Playback playback);
  void setSaving(bool saving);
  void setPlayingSelection(bool on);

  // The marks span at least one second.
  bool selectionValid() const { return markStart_ < markEnd_; }
  // The length the selection label shows: 0 unless the marks make a stretch.
  int64_t selectionLength() const { return selectionValid() ? markEnd_ - markStart_ : 0; }
  // What Save cuts: the marks, but never from second 0 (a cut starts at second 1 at the
  // earliest); nothing when the marks make no stretch.
  std::optional<Stretch> stretchToSave() const;

 signals:
  // Anything above changed; the window redraws what shows it.
  void changed();

 private:
  QString file_;
  int64_t markStart_ = 0;
  int64_t markEnd_ = 0;
  Playback playback_ = Playback::Stopped;
  bool saving_ = false;
  bool playingSelection_ = false;
};

}  // namespace vintrel
