#include "player/mpv_player.h"

#include <mpv/client.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstring>
#include <vector>

#include "platform/vb_error.h"

namespace vintrel {

namespace {

// Every libmpv option, property and command name the player uses.
constexpr const char* kOptVo = "vo";
constexpr const char* kOptAo = "ao";
constexpr const char* kOptWid = "wid";
constexpr const char* kPropPause = "pause";
constexpr const char* kPropDuration = "duration";
constexpr const char* kPropTimePos = "time-pos";
constexpr const char* kPropEofReached = "eof-reached";
constexpr const char* kPropTrackList = "track-list";
constexpr const char* kCmdLoadFile = "loadfile";
constexpr const char* kCmdSeek = "seek";
constexpr const char* kCmdStop = "stop";
constexpr const char* kLoadReplace = "replace";
constexpr const char* kSeekExact = "absolute+exact";
constexpr const char* kReplyEntryId = "playlist_entry_id";
constexpr const char* kLogLevel = "error";

struct FixedOption {
  const char* name;
  const char* value;
  bool required;  // false: a libmpv built without it behaves as asked anyway
};

constexpr FixedOption kFixedOptions[] = {
    // At the end the last frame stays up and the position stays at the end (mpv pauses there).
    {"keep-open", "always", true},
    // Seeks land on the asked time, not on the keyframe before it.
    {"hr-seek", "yes", true},
    // Keyboard and mouse belong to the main window, not to the video.
    {"input-default-bindings", "no", true},
    {"input-vo-keyboard", "no", true},
    {"input-cursor", "no", true},
    {"osc", "no", false},
    {"terminal", "no", true},
    // The player stays alive with nothing loaded, between Stop and the next Play.
    {"idle", "yes", true},
    // Without a GPU (Xvfb, virtual machines) the gpu output refuses Mesa's software renderer.
    {"gpu-sw", "yes", false},
    {"audio-client-name", "Vintrel", false},
};

// A file that neither answers nor fails within this time counts as unplayable.
constexpr double kLoadSeconds = 10.0;
// Commands and unloading are quick; this only bounds a libmpv that hangs.
constexpr double kCommandSeconds = 5.0;
// libmpv delivers its log lines a moment after the event that they explain.
constexpr double kLogGraceSeconds = 0.05;

QString ErrorText(int mpvError) { return QString::fromUtf8(mpv_error_string(mpvError)); }

}  // namespace

MpvPlayer::MpvPlayer(const MpvOptions& options, QObject* parent) : QObject(parent) {
  // libmpv reads and writes numbers itself and refuses to start unless LC_NUMERIC is "C";
  // QApplication may have set it from the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) throw VbError(kErrPlayerFailed, "The player could not be created (libmpv)");
  try {
    auto set = [this](const char* name, const QByteArray& value, bool required) {
      const int err = mpv_set_option_string(mpv_, name, value.constData());
      if (err < 0 && required) Fail(QString("The player refused the option %1=%2").arg(name, value), err);
    };
    for (const FixedOption& o : kFixedOptions) set(o.name, o.value, o.required);
    set(kOptVo, options.vo.toUtf8(), true);
    if (!options.ao.isEmpty()) set(kOptAo, options.ao.toUtf8(), true);
    if (options.wid != 0) {
      int64_t wid = options.wid;
      const int err = mpv_set_option(mpv_, kOptWid, MPV_FORMAT_INT64, &wid);
      if (err < 0) Fail("The player refused the video window", err);
    }
    const int err = mpv_initialize(mpv_);
    if (err < 0) Fail("The player could not start", err);
    // Error lines name the reason a file does not play ("No such file or directory").
    mpv_request_log_messages(mpv_, kLogLevel);
    mpv_set_wakeup_callback(mpv_, &MpvPlayer::OnWakeup, this);
  } catch (...) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    throw;
  }
}

MpvPlayer::~MpvPlayer() {
  // No wakeup may reach this object once it starts going away; libmpv takes the
  // callback's lock here, so none is running when this returns.
  mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  mpv_terminate_destroy(mpv_);
}

// --- events ---------------------------------------------------------------------------

void MpvPlayer::OnWakeup(void* self) {
  // Runs on one of libmpv's threads, where the libmpv API must not be called:
  // only hop to the GUI thread, once per batch of events.
  auto* player = static_cast<MpvPlayer*>(self);
  if (!player->drainPosted_.exchange(true)) {
    QMetaObject::invokeMethod(
        player, [player] { player->DrainEvents(); }, Qt::QueuedConnection);
  }
}

void MpvPlayer::DrainEvents() {
  // Cleared first: a wakeup arriving while this runs posts another drain rather than being lost.
  drainPosted_ = false;
  for (;;) {
    const mpv_event* event = mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    HandleEvent(*event);
  }
}

bool MpvPlayer::WaitUntil(const std::function<bool()>& done, double seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    const mpv_event* event = mpv_wait_event(mpv_, left);
    if (event->event_id != MPV_EVENT_NONE) HandleEvent(*event);
  }
  return true;
}

void MpvPlayer::HandleEvent(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY: {
      if (event.reply_userdata != lastRequest_) break;
      reply_ = Reply{event.reply_userdata, event.error, 0};
      const auto* result = static_cast<const mpv_event_command*>(event.data);
      if (result && result->result.format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list* map = result->result.u.list;
        for (int i = 0; i < map->num; ++i) {
          if (std::strcmp(map->keys[i], kReplyEntryId) == 0 && map->values[i].format == MPV_FORMAT_INT64) {
            reply_.entryId = map->values[i].u.int64;
          }
        }
      }
      // Replies and events share one queue in the order libmpv made them, so a
      // PLAYBACK_RESTART after this reply belongs to this seek (or a later one),
      // never to an earlier seek or to the start of the file.
      if (event.reply_userdata == seekRequest_ && event.error >= 0) seekAcknowledged_ = true;
      break;
    }
    case MPV_EVENT_START_FILE: {
      const auto* start = static_cast<const mpv_event_start_file*>(event.data);
      currentEntry_ = start->playlist_entry_id;
      loaded_ = false;
      break;
    }
    case MPV_EVENT_FILE_LOADED:
      if (currentEntry_ != 0) loaded_ = true;
      break;
    case MPV_EVENT_END_FILE: {
      const auto* end = static_cast<const mpv_event_end_file*>(event.data);
      if (end->playlist_entry_id == currentEntry_) {
        currentEntry_ = 0;
        loaded_ = false;
        seekTarget_.reset();
      }
      if (end->playlist_entry_id == awaitedEntry_) {
        awaitedEnded_ = true;
        awaitedEndReason_ = end->reason;
        awaitedEndError_ = end->error;
      }
      break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
      if (seekTarget_ && seekAcknowledged_) {
        seekLanded_ = true;
        // While halted the player stands where it was sent; the frame shown there may
        // carry a time stamp a little past it. Running playback reads its own clock.
        if (!FlagProperty(kPropPause)) seekTarget_.reset();
      }
      break;
    case MPV_EVENT_LOG_MESSAGE: {
      const auto* log = static_cast<const mpv_event_log_message*>(event.data);
      if (loadLog_.isEmpty() && log->log_level <= MPV_LOG_LEVEL_ERROR) {
        loadLog_ = QString::fromUtf8(log->text).trimmed();
      }
      break;
    }
    case MPV_EVENT_SHUTDOWN:
      currentEntry_ = 0;
      loaded_ = false;
      seekTarget_.reset();
      break;
    default:
      break;
  }
}

// --- helpers --------------------------------------------------------------------------

MpvPlayer::Reply MpvPlayer::Command(std::initializer_list<const char*> args, const char* what) {
  std::vector<const char*> argv(args);
  argv.push_back(nullptr);
  const uint64_t id = ++lastRequest_;
  const int err = mpv_command_async(mpv_, id, argv.data());
  if (err < 0) Fail(what, err);
  if (!WaitUntil([&] { return reply_.id == id; }, kCommandSeconds)) {
    throw VbError(kErrPlayerFailed, QString("%1: the player did not answer").arg(what).toStdString());
  }
  if (reply_.error < 0) Fail(what, reply_.error);
  return reply_;
}

bool MpvPlayer::FlagProperty(const char* name) {
  int flag = 0;
  return mpv_get_property(mpv_, name, MPV_FORMAT_FLAG, &flag) >= 0 && flag != 0;
}

void MpvPlayer::SetFlagProperty(const char* name, bool value) {
  int flag = value ? 1 : 0;
  const int err = mpv_set_property(mpv_, name, MPV_FORMAT_FLAG, &flag);
  if (err < 0) Fail(QString("Setting %1").arg(name), err);
}

bool MpvPlayer::HasAudioOrVideo() {
  mpv_node tracks;
  if (mpv_get_property(mpv_, kPropTrackList, MPV_FORMAT_NODE, &tracks) < 0) return false;
  bool found = false;
  if (tracks.format == MPV_FORMAT_NODE_ARRAY) {
    for (int i = 0; i < tracks.u.list->num && !found; ++i) {
      const mpv_node& track = tracks.u.list->values[i];
      if (track.format != MPV_FORMAT_NODE_MAP) continue;
      for (int k = 0; k < track.u.list->num; ++k) {
        const mpv_node& v = track.u.list->values[k];
        if (std::strcmp(track.u.list->keys[k], "type") == 0 && v.format == MPV_FORMAT_STRING &&
            (std::strcmp(v.u.string, "video") == 0 || std::strcmp(v.u.string, "audio") == 0)) {
          found = true;
        }
      }
    }
  }
  mpv_free_node_contents(&tracks);
  return found;
}

void MpvPlayer::Unload() {
  seekTarget_.reset();
  Command({kCmdStop}, "Stop");
  // The stop command only asks; the file is released when its END_FILE comes.
  WaitUntil([this] { return currentEntry_ == 0; }, kCommandSeconds);
  loaded_ = false;
}

void MpvPlayer::Fail(const QString& what, int mpvError) const {
  throw VbError(kErrPlayerFailed, QString("%1: %2").arg(what, ErrorText(mpvError)).toStdString());
}

void MpvPlayer::FailNothingLoaded(const char* member) const {
  throw VbError(kErrPlayerFailed, QString("%1: no media file is loaded").arg(member).toStdString());
}

// --- the player's members -------------------------------------------------------------

void MpvPlayer::SetFileName(const QString& path) { fileName_ = path; }

void MpvPlayer::Play() {
  const QString what = QString("Cannot play \"%1\"").arg(fileName_);
  if (fileName_.isEmpty()) throw VbError(kErrPlayerFailed, "Play: no media file was given");
  seekTarget_.reset();
  loadLog_.clear();
  awaitedEntry_ = 0;
  awaitedEnded_ = false;

  // An absolute path is never taken for a URL or a protocol ("a:b.mp4").
  const QByteArray path = QFile::encodeName(QFileInfo(fileName_).absoluteFilePath());
  awaitedEntry_ = Command({kCmdLoadFile, path.constData(), kLoadReplace}, qPrintable(what)).entryId;
  // Only now: until loadfile has been carried out, a file standing at its end would
  // pause itself again (keep-open) and the new one would start halted.
  SetFlagProperty(kPropPause, false);

  const bool answered = WaitUntil(
      [this] { return (loaded_ && currentEntry_ == awaitedEntry_) || awaitedEnded_; }, kLoadSeconds);
  if (!answered) {
    Unload();
    throw VbError(kErrPlayerFailed, QString("%1: the player did not load it within %2 seconds")
                                        .arg(what)
                                        .arg(kLoadSeconds)
                                        .toStdString());
  }
  if (awaitedEnded_) {
    if (awaitedEndReason_ == MPV_END_FILE_REASON_REDIRECT) {
      // mpv would go on with the entries of the list (or the files of the folder);
      // the program cuts one media file.
      Unload();
      throw VbError(kErrPlayerFailed,
                    QString("%1: it is a playlist or a folder, not a media file").arg(what).toStdString());
    }
    WaitUntil([this] { return !loadLog_.isEmpty(); }, kLogGraceSeconds);
    QString reason = ErrorText(awaitedEndError_ < 0 ? awaitedEndError_ : MPV_ERROR_LOADING_FAILED);
    if (!loadLog_.isEmpty()) reason += QString(" (%1)").arg(loadLog_);
    throw VbError(kErrPlayerFailed, QString("%1: %2").arg(what, reason).toStdString());
  }
  // libmpv also "plays" what the program cannot use: a file without pictures or sound,
  // or a still picture, which has no length.
  QString unusable;
  double duration = 0;
  if (!HasAudioOrVideo()) {
    unusable = "it has neither video nor sound";
  } else if (mpv_get_property(mpv_, kPropDuration, MPV_FORMAT_DOUBLE, &duration) < 0 || !(duration > 0)) {
    unusable = "it has no length (a still picture?)";
  }
  if (!unusable.isEmpty()) {
    Unload();
    throw VbError(kErrPlayerFailed, QString("%1: %2").arg(what, unusable).toStdString());
  }
}

void MpvPlayer::Pause() {
  const bool halted = FlagProperty(kPropPause);
  SetFlagProperty(kPropPause, !halted);
  // Resuming after a seek that has landed: from here on the player's clock runs.
  if (halted && seekLanded_) seekTarget_.reset();
}

void MpvPlayer::Stop() { Unload(); }

double MpvPlayer::Duration() {
  DrainEvents();
  if (!loaded_) FailNothingLoaded("Duration");
  double duration = 0;
  const int err = mpv_get_property(mpv_, kPropDuration, MPV_FORMAT_DOUBLE, &duration);
  if (err < 0) Fail("Duration", err);
  return duration;
}

double MpvPlayer::CurrentPosition() {
  // Callers may poll without returning to the event loop; the state must be current.
  DrainEvents();
  if (!loaded_) FailNothingLoaded("CurrentPosition");
  const bool atEnd = FlagProperty(kPropEofReached);
  if (seekTarget_ && !(seekLanded_ && atEnd)) return *seekTarget_;
  const double duration = Duration();
  // The last frame's time stamp may fall short of the length, the audio clock may run past it.
  if (atEnd) return duration;
  double position = 0;
  // Between loading and the first decoded frame there is no clock yet: that is the start.
  if (mpv_get_property(mpv_, kPropTimePos, MPV_FORMAT_DOUBLE, &position) < 0) return 0;
  return std::clamp(position, 0.0, duration);
}

void MpvPlayer::Seek(double seconds) {
  DrainEvents();
  if (!loaded_) FailNothingLoaded("Seek");
  const QByteArray target = QByteArray::number(seconds, 'g', 17);
  seekTarget_ = seconds;
  seekLanded_ = false;
  seekAcknowledged_ = false;
  seekRequest_ = lastRequest_ + 1;
  try {
    Command({kCmdSeek, target.constData(), kSeekExact}, "Seek");
  } catch (...) {
    seekTarget_.reset();
    throw;
  }
}

}  // namespace vintrel
