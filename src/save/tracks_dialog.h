#pragma once
// The Tracks dialog: the open video's streams (kind, codec, language, channels, title, default
// flag), a tick for each to keep, and the sound track played first.
#include <QDialog>
#include <QStringList>
#include <vector>

#include "cut/media/tracks.h"

class QTableWidget;
class QButtonGroup;

namespace vintrel {

class TracksDialog : public QDialog {
  Q_OBJECT
 public:
  // `kept`: the tracks ticked (empty: all); `defaultSound`: the sound played first (empty: the
  // file's own default).
  TracksDialog(const std::vector<cut::Track>& tracks, const QStringList& kept, const QString& defaultSound,
               QWidget* owner);

  // What the user chose: empty where every track stays ticked, so the save keeps what the
  // output type holds.
  QStringList keptTracks() const;
  QString defaultSound() const;  // empty where it is the file's own default

  QTableWidget* table;
  QButtonGroup* defaults;  // one button a sound track: the one played first

 private:
  std::vector<cut::Track> tracks_;
  QString fileDefault_;
};

}  // namespace vintrel
