#pragma once
// The baseline for opening, seeking and memory: libmpv with nothing around it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "timing.h"

struct mpv_handle;

namespace bench {

class BarePlayer {
 public:
  // The program's player options, drawing into the native window `wid`.
  explicit BarePlayer(int64_t wid);
  ~BarePlayer();
  BarePlayer(const BarePlayer&) = delete;
  BarePlayer& operator=(const BarePlayer&) = delete;
  bool ok() const { return mpv_ != nullptr; }
  std::string CurrentVo();

  // What libmpv said since the last command, with the moment it said it.
  struct Marks {
    std::optional<Time> loaded;     // FILE_LOADED, with the length read right after
    std::optional<Time> restarted;  // PLAYBACK_RESTART: the first frame after a load or a seek
    std::optional<Time> ended;      // END_FILE: the file is let go
    double duration = 0;
  };
  const Marks& marks() const { return marks_; }

  // Loads a file in place of the current one, playing. Returns at once.
  void Load(const std::string& path);
  // Ends the current file. Returns at once.
  void Stop();
  // Seeks to an exact second. Returns at once.
  void Seek(double seconds);
  void SetPause(bool paused);
  // Takes libmpv's events until done() holds; false when the time ran out.
  bool WaitUntil(const std::function<bool()>& done, double seconds);

 private:
  void Forget();
  mpv_handle* mpv_ = nullptr;
  Marks marks_;
};

}  // namespace bench
