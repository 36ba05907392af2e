// The only benchmark file that talks to libmpv itself: it is the baseline the program's
// player is measured against, so it must be libmpv with nothing of the program around it.
#include "bare_mpv.h"

#include <mpv/client.h>

#include <clocale>
#include <string>

namespace bench {

namespace {
// The options the program's player sets, so both do the same work.
const char* const kOptions[][2] = {
    {"keep-open", "always"},
    {"hr-seek", "yes"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"input-cursor", "no"},
    {"osc", "no"},
    {"terminal", "no"},
    {"idle", "yes"},
    {"gpu-sw", "no"},
    {"audio-client-name", "Vintrel"},
    {"vo", "gpu,x11"},
    {"ao", "null"},
};
}  // namespace

BarePlayer::BarePlayer(int64_t wid) {
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) return;
  for (const auto& option : kOptions) mpv_set_option_string(mpv_, option[0], option[1]);
  mpv_set_option(mpv_, "wid", MPV_FORMAT_INT64, &wid);
  if (mpv_initialize(mpv_) < 0) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    return;
  }
  mpv_request_log_messages(mpv_, "error");
}

BarePlayer::~BarePlayer() {
  if (mpv_) mpv_terminate_destroy(mpv_);
}

std::string BarePlayer::CurrentVo() {
  char* vo = mpv_get_property_string(mpv_, "current-vo");
  std::string name = vo ? vo : "";
  mpv_free(vo);
  return name;
}

void BarePlayer::Forget() {
  // Events of the last command that came after its wait had ended (the restart after the
  // frame was already seen) must not be taken for the next command's.
  while (mpv_wait_event(mpv_, 0)->event_id != MPV_EVENT_NONE) {
  }
  marks_ = {};
}

void BarePlayer::Load(const std::string& path) {
  Forget();
  SetPause(false);
  const char* args[] = {"loadfile", path.c_str(), "replace", nullptr};
  mpv_command_async(mpv_, 0, args);
}

void BarePlayer::Stop() {
  Forget();
  const char* args[] = {"stop", nullptr};
  mpv_command_async(mpv_, 0, args);
}

void BarePlayer::Seek(double seconds) {
  Forget();
  const std::string target = std::to_string(seconds);
  const char* args[] = {"seek", target.c_str(), "absolute+exact", nullptr};
  mpv_command_async(mpv_, 0, args);
}

void BarePlayer::SetPause(bool paused) {
  int flag = paused ? 1 : 0;
  mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
}

bool BarePlayer::WaitUntil(const std::function<bool()>& done, double seconds) {
  const Time deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (!done()) {
    if (Clock::now() > deadline) return false;
    // A short timeout: the frame is seen by the pixel watch, not announced by libmpv.
    const mpv_event* event = mpv_wait_event(mpv_, 0.001);
    if (event->event_id == MPV_EVENT_FILE_LOADED) {
      mpv_get_property(mpv_, "duration", MPV_FORMAT_DOUBLE, &marks_.duration);
      marks_.loaded = Clock::now();
    } else if (event->event_id == MPV_EVENT_PLAYBACK_RESTART && !marks_.restarted) {
      marks_.restarted = Clock::now();
    } else if (event->event_id == MPV_EVENT_END_FILE) {
      marks_.ended = Clock::now();
    }
  }
  return true;
}

}  // namespace bench
