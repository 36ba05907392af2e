#pragma once
// The two things MpvPlayer waits for from libmpv, each as a small state machine with named
// transitions: a file `open` asked for, and a seek's target. Neither sees libmpv, so both
// are tested on their own.
#include <cstdint>
#include <optional>

namespace vintrel {

// The file of the last `open`. libmpv names the playlist entry it made for a loadfile only
// in the command's reply, and that entry's own events (start, loaded, end) may come before
// or after the reply on the one queue: the entry of a FILE_LOADED read before the reply is
// kept until the reply says whether it was ours (an earlier file's late event is not).
class LoadState {
 public:
  enum class Phase { kIdle, kLoading, kLoaded };
  // What an entry's end means for the file `open` asked for.
  enum class Ending { kNotOurs, kRedirected, kFailed, kGone, kOther };

  Phase phase() const { return phase_; }
  bool loading() const { return phase_ == Phase::kLoading; }
  bool loaded() const { return phase_ == Phase::kLoaded; }
  std::uint64_t request() const { return request_; }

  // `open` sent the loadfile with this request id: waiting for its reply and its file.
  void requested(std::uint64_t request);
  // The reply named the entry. True when that entry is already up and waits to be judged.
  bool entryNamed(std::int64_t entry);
  // libmpv started working on this entry.
  void entryStarted(std::int64_t entry);
  // libmpv loaded the entry it works on. True when it is ours and waits to be judged.
  bool fileLoaded();
  // The file passed the player's own checks (sound or pictures, a length).
  void accepted();
  // Given up (failed, timed out) or closed: nothing loaded, nothing awaited.
  void stopped();
  // libmpv ended this entry. A loaded file that ended other than at its end is gone.
  Ending entryEnded(std::int64_t entry, bool redirected, bool failed, bool atEof);

 private:
  bool isAwaitedUp() const { return awaited_ != 0 && current_ == awaited_ && upBeforeReply_ == awaited_; }

  Phase phase_ = Phase::kIdle;
  std::uint64_t request_ = 0;       // the loadfile whose reply names the entry
  std::int64_t awaited_ = 0;        // that entry, once the reply is read
  std::int64_t current_ = 0;        // the entry libmpv works on
  std::int64_t upBeforeReply_ = 0;  // the entry loaded while the reply was still unread
};

// A seek's target stands for the position until the player shows a frame from there and
// plays on, so that reading the position right after a seek gives its target, not the
// time before it. Replies and events share one queue in the order libmpv made them, so a
// playback restart after the seek's reply belongs to this seek, not to an earlier one.
class SeekState {
 public:
  // Sent to libmpv (request 0: it did not take it; the target then holds until dropped).
  void started(double target, std::uint64_t request);
  // libmpv replied to a command: this seek is under way, or refused and forgotten.
  void replied(std::uint64_t request, bool ok);
  // Playback restarted after an acknowledged seek: a frame from the target is up. Paused,
  // the target stays the position until playback resumes; playing, the clock takes over.
  void restarted(bool paused);
  // Playback resumed: once a frame from the target is up, the player's clock tells the time.
  void resumed();
  // Something else now tells the position: a frame step, the end, another file.
  void dropped() { phase_ = Phase::kNone; }

  std::optional<double> target() const;
  // Whether the player's clock must not replace the target yet.
  bool holdsClock(bool paused) const;

 private:
  enum class Phase { kNone, kSent, kAcknowledged, kLanded };
  Phase phase_ = Phase::kNone;
  double target_ = 0;
  std::uint64_t request_ = 0;
};

}  // namespace vintrel
