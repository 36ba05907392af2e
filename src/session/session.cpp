#include "session/session.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace vintrel {

namespace {
QString numberText(int64_t value) { return value >= 0 ? QString(" %1").arg(value) : QString::number(value); }
}  // namespace

QString formatTime(int64_t seconds) {
  const int64_t hours = seconds / 3600;
  const int64_t minutes = (seconds - hours * 3600) / 60;
  const int64_t rest = seconds - hours * 3600 - minutes * 60;
  return numberText(hours) + " :" + numberText(minutes) + " :" + numberText(rest);
}

QString formatTimeToHundredths(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
  // Counted in hundredths, so that 59.996 shows as a whole minute, not as second 60.
  const auto hundredths = static_cast<int64_t>(std::llround(seconds * 100));
  const int64_t whole = hundredths / 100;
  const int64_t hours = whole / 3600;
  const int64_t minutes = (whole - hours * 3600) / 60;
  const int64_t rest = whole - hours * 3600 - minutes * 60;
  return numberText(hours) + " :" + numberText(minutes) + " :" +
         QString(" %1.%2").arg(rest).arg(hundredths % 100, 2, 10, QChar('0'));
}

int64_t roundToSecond(double seconds) {
  if (!std::isfinite(seconds)) return 0;
  // nearbyint honours the rounding mode, which is to-nearest-even unless someone changed it.
  const int previous = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(seconds);
  std::fesetround(previous);
  return static_cast<int64_t>(rounded);
}

void Session::setFile(const QString& path) {
  file_ = path;
  markStart_ = 0;
  markEnd_ = 0;
  playback_ = Playback::Stopped;
  playingSelection_ = false;
  keptTracks_.clear();
  defaultSound_.clear();
  segments_.setVideoEnd(0);
  segments_.restore({}, cut::SegmentMode::kKeep);
  emit changed();
}

void Session::setTracks(const QStringList& kept, const QString& defaultSound) {
  keptTracks_ = kept;
  defaultSound_ = defaultSound;
  emit changed();
}

void Session::setMarkStart(double seconds) {
  markStart_ = seconds;
  emit changed();
}

void Session::setMarkEnd(double seconds) {
  markEnd_ = seconds;
  emit changed();
}

void Session::setMarksToFrame(bool on) {
  if (marksToFrame_ == on) return;
  marksToFrame_ = on;
  emit changed();
}

double Session::markAt(double position) const {
  return marksToFrame_ ? std::max(0.0, position) : static_cast<double>(roundToSecond(position));
}

QString Session::timeText(double seconds) const {
  return marksToFrame_ ? formatTimeToHundredths(seconds) : formatTime(roundToSecond(seconds));
}

void Session::setPlayback(Playback playback) {
  if (playback_ == playback) return;
  playback_ = playback;
  if (playback != Playback::Playing) playingSelection_ = false;
  emit changed();
}

void Session::setSaving(bool saving) {
  if (saving_ == saving) return;
  saving_ = saving;
  emit changed();
}

void Session::setPlayingSelection(bool on) {
  if (playingSelection_ == on) return;
  playingSelection_ = on;
  emit changed();
}

std::optional<Stretch> Session::stretchToSave() const {
  if (!selectionValid()) return std::nullopt;
  if (marksToFrame_) return Stretch{markStart_, markEnd_, true};
  Stretch stretch{std::max(markStart_, 1.0), markEnd_, false};
  // A stretch from 0 to 1 would shrink to nothing once its start moves to 1.
  if (stretch.start >= stretch.end) return std::nullopt;
  return stretch;
}

}  // namespace vintrel
