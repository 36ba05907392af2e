#include "player/mpv_states.h"

namespace vintrel {

void LoadState::requested(std::uint64_t request) {
  phase_ = Phase::kLoading;
  request_ = request;
  awaited_ = 0;
  upBeforeReply_ = 0;
}

bool LoadState::entryNamed(std::int64_t entry) {
  awaited_ = entry;
  return loading() && isAwaitedUp();
}

void LoadState::entryStarted(std::int64_t entry) { current_ = entry; }

bool LoadState::fileLoaded() {
  if (!loading()) return false;
  if (awaited_ == 0) {
    // The reply naming the entry has not been read yet; it follows on this queue.
    upBeforeReply_ = current_;
    return false;
  }
  return current_ == awaited_;
}

void LoadState::accepted() {
  phase_ = Phase::kLoaded;
  upBeforeReply_ = 0;
}

void LoadState::stopped() {
  phase_ = Phase::kIdle;
  upBeforeReply_ = 0;
}

LoadState::Ending LoadState::entryEnded(std::int64_t entry, bool redirected, bool failed, bool atEof) {
  if (awaited_ == 0 || entry != awaited_) return Ending::kNotOurs;
  if (loading()) {
    // mpv would go on with the entries of a list or the files of a folder.
    if (redirected) return Ending::kRedirected;
    if (failed) return Ending::kFailed;
    return Ending::kOther;
  }
  if (loaded() && !atEof) {
    phase_ = Phase::kIdle;
    return Ending::kGone;
  }
  return Ending::kOther;
}

void SeekState::started(double target, std::uint64_t request) {
  phase_ = Phase::kSent;
  target_ = target;
  request_ = request;
}

void SeekState::replied(std::uint64_t request, bool ok) {
  if (phase_ != Phase::kSent || request == 0 || request != request_) return;
  phase_ = ok ? Phase::kAcknowledged : Phase::kNone;
}

void SeekState::restarted(bool paused) {
  if (phase_ != Phase::kAcknowledged && phase_ != Phase::kLanded) return;
  phase_ = paused ? Phase::kLanded : Phase::kNone;
}

void SeekState::resumed() {
  if (phase_ == Phase::kLanded) phase_ = Phase::kNone;
}

std::optional<double> SeekState::target() const {
  if (phase_ == Phase::kNone) return std::nullopt;
  return target_;
}

bool SeekState::holdsClock(bool paused) const {
  // While halted after a seek the frame shown may carry a stamp a little past the target.
  return phase_ == Phase::kSent || (phase_ != Phase::kNone && paused);
}

}  // namespace vintrel
