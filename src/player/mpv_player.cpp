#include "player/mpv_player.h"

#include <fcntl.h>
#include <mpv/client.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaObject>
#include <QWidget>
#include <algorithm>
#include <clocale>
#include <cstring>
#include <vector>

#include "platform/standard_descriptors.h"

namespace vintrel {

namespace {

struct FixedOption {
  const char* name;
  const char* value;
  bool required;  // false: a libmpv built without it behaves as asked anyway
};

constexpr FixedOption kFixedOptions[] = {
    // At the end the last frame stays up and the position stays at the end (mpv pauses there).
    {"keep-open", "always", true},
    // Seeks land on the asked time, not on the key frame before it.
    {"hr-seek", "yes", true},
    // Keyboard and mouse belong to the main window, not to the video.
    {"input-default-bindings", "no", true},
    {"input-vo-keyboard", "no", true},
    {"input-cursor", "no", true},
    {"osc", "no", false},
    {"terminal", "no", true},
    // The player stays alive with nothing loaded.
    {"idle", "yes", true},
    // Without a GPU driver (software OpenGL: llvmpipe; remote X; Xvfb) libmpv's gpu output
    // leaves the picture black in some starts, and so does the SDL output that libmpv's own
    // list tries next: the software renderer is refused, and the embedded player's list
    // (makeEmbeddedPlayer) goes on to x11; with no GPU device at all it starts there.
    {"gpu-sw", "no", false},
    // OpenGL only: Vulkan's device probe closes descriptor 0 with Mesa's software driver where
    // there is no GPU. That number then goes to the next file opened, often the video itself,
    // and the next probe closes it: a second video played nothing. The contexts stay probed,
    // so the software renderer is still refused (naming one context would take it as asked).
    {"gpu-api", "opengl", false},
    {"audio-client-name", "Vintrel", false},
};

// A file that neither plays nor fails within this time counts as unplayable.
constexpr int kLoadTimeoutMs = 10000;

enum ObservedProperty : uint64_t { kTimePos = 1, kDuration, kPause, kEofReached };

QString errorText(int mpvError) { return QString::fromUtf8(mpv_error_string(mpvError)); }

}  // namespace

MpvPlayer::MpvPlayer(const MpvOptions& options, QObject* parent) : Player(parent) {
  keepStandardDescriptorsOpen();
  // libmpv reads and writes numbers itself and refuses to start unless LC_NUMERIC is "C";
  // QApplication may have set it from the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  mpv_ = mpv_create();
  if (!mpv_) throw PlayerStartError("libmpv could not be created");
  auto refuse = [this](const QString& what, int err) {
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
    throw PlayerStartError(QString("%1: %2").arg(what, errorText(err)).toStdString());
  };
  auto set = [&](const char* name, const QByteArray& value, bool required) {
    const int err = mpv_set_option_string(mpv_, name, value.constData());
    if (err < 0 && required) refuse(QString("The player refused the option %1=%2").arg(name, value), err);
  };
  for (const FixedOption& o : kFixedOptions) set(o.name, o.value, o.required);
  set("vo", options.vo.toUtf8(), true);
  if (!options.ao.isEmpty()) set("ao", options.ao.toUtf8(), true);
  if (options.wid != 0) {
    int64_t wid = options.wid;
    const int err = mpv_set_option(mpv_, "wid", MPV_FORMAT_INT64, &wid);
    if (err < 0) refuse("The player refused the video window", err);
  }
  if (const int err = mpv_initialize(mpv_); err < 0) refuse("The player could not start", err);
  // Error lines name the reason a file does not play ("No such file or directory").
  mpv_request_log_messages(mpv_, "error");
  mpv_observe_property(mpv_, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mpv_, kDuration, "duration", MPV_FORMAT_DOUBLE);
  mpv_observe_property(mpv_, kPause, "pause", MPV_FORMAT_FLAG);
  mpv_observe_property(mpv_, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
  mpv_set_wakeup_callback(mpv_, &MpvPlayer::onWakeup, this);

  loadTimeout_.setSingleShot(true);
  loadTimeout_.setInterval(kLoadTimeoutMs);
  connect(&loadTimeout_, &QTimer::timeout, this, [this] {
    if (load_.loading())
      fail(QString("the player did not load it within %1 seconds").arg(kLoadTimeoutMs / 1000));
  });
}

MpvPlayer::~MpvPlayer() {
  // No wakeup may reach this object once it starts going away; libmpv takes the
  // callback's lock here, so none is running when this returns.
  mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
  mpv_terminate_destroy(mpv_);
}

void MpvPlayer::onWakeup(void* self) {
  // Runs on one of libmpv's threads, where the libmpv API must not be called: only hop
  // to the GUI thread, once per batch of events.
  auto* player = static_cast<MpvPlayer*>(self);
  if (!player->drainPosted_.exchange(true)) {
    QMetaObject::invokeMethod(player, &MpvPlayer::drainEvents, Qt::QueuedConnection);
  }
}

void MpvPlayer::drainEvents() {
  // Cleared first: a wakeup arriving while this runs posts another drain rather than being lost.
  drainPosted_ = false;
  for (;;) {
    const mpv_event* event = mpv_wait_event(mpv_, 0);
    if (event->event_id == MPV_EVENT_NONE) break;
    handleEvent(*event);
  }
  if (loadFailure_) {
    QString reason = *loadFailure_;
    loadFailure_.reset();
    if (!loadLog_.isEmpty()) reason += QString(" (%1)").arg(loadLog_);
    fail(reason);
  }
}

uint64_t MpvPlayer::command(std::initializer_list<const char*> args) {
  std::vector<const char*> argv(args);
  argv.push_back(nullptr);
  const uint64_t id = ++lastRequest_;
  const int err = mpv_command_async(mpv_, id, argv.data());
  return err < 0 ? 0 : id;
}

void MpvPlayer::open(const QString& path) {
  // An earlier video output's driver probe may have closed descriptor 0: not the video's.
  keepStandardDescriptorsOpen();
  path_ = path;
  judgeRequest_ = 0;  // an answer about the file before is not about this one
  loadLog_.clear();
  loadFailure_.reset();
  seek_.dropped();
  atEnd_ = false;
  timePos_ = 0;
  duration_ = 0;
  // An absolute path is never taken for a URL or a protocol ("a:b.mp4").
  const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
  // Replacing the file keeps the video output: no stop in between.
  const uint64_t request = command({"loadfile", file.constData(), "replace"});
  load_.requested(request);
  if (request == 0) {
    fail("the player did not accept the file");
    return;
  }
  setPaused(false);
  loadTimeout_.start();
}

void MpvPlayer::close() {
  load_.stopped();
  judgeRequest_ = 0;
  loadTimeout_.stop();
  seek_.dropped();
  command({"stop"});
}

void MpvPlayer::setPaused(bool paused) {
  int flag = paused ? 1 : 0;
  mpv_set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &flag);
  if (paused_ != paused) {
    paused_ = paused;
    emit pausedChanged(paused);
  }
  if (!paused) {
    // Resuming from the end would only halt again at once (keep-open).
    atEnd_ = false;
    // From here on the player's clock runs, once it shows a frame from the target.
    seek_.resumed();
  }
}

void MpvPlayer::seek(double seconds) { seekTo(seconds, "absolute+exact"); }

void MpvPlayer::seekKeyFrame(double seconds) { seekTo(seconds, "absolute+keyframes"); }

void MpvPlayer::seekTo(double seconds, const char* flags) {
  if (!load_.loaded()) return;
  const QByteArray target = QByteArray::number(seconds, 'g', 17);
  const double shown = std::clamp(seconds, 0.0, duration_);
  atEnd_ = false;
  seek_.started(shown, command({"seek", target.constData(), flags}));
  emit positionChanged(shown);
}

void MpvPlayer::stepFrame(bool forward) {
  if (!load_.loaded()) return;
  // libmpv halts by itself after a step; the flag says so at once.
  if (!paused_) {
    paused_ = true;
    emit pausedChanged(true);
  }
  // The frame stepped to tells the time from here on, not a target of an earlier seek.
  seek_.dropped();
  atEnd_ = false;
  command({forward ? "frame-step" : "frame-back-step"});
}

double MpvPlayer::position() const {
  if (!load_.loaded()) return 0;
  if (const auto target = seek_.target()) return *target;
  if (atEnd_) return duration_;
  return std::clamp(timePos_, 0.0, duration_);
}

void MpvPlayer::fail(const QString& reason) {
  const bool wasLoading = load_.loading();
  load_.stopped();
  loadTimeout_.stop();
  command({"stop"});
  if (wasLoading) emit failed(reason);
}

namespace {

bool hasAudioOrVideo(const mpv_node& tracks) {
  if (tracks.format != MPV_FORMAT_NODE_ARRAY) return false;
  for (int i = 0; i < tracks.u.list->num; ++i) {
    const mpv_node& track = tracks.u.list->values[i];
    if (track.format != MPV_FORMAT_NODE_MAP) continue;
    for (int k = 0; k < track.u.list->num; ++k) {
      const mpv_node& v = track.u.list->values[k];
      if (std::strcmp(track.u.list->keys[k], "type") == 0 && v.format == MPV_FORMAT_STRING &&
          (std::strcmp(v.u.string, "video") == 0 || std::strcmp(v.u.string, "audio") == 0))
        return true;
    }
  }
  return false;
}

}  // namespace

void MpvPlayer::askForJudgement() {
  judgeRequest_ = ++lastRequest_;
  judgedStreams_.reset();
  judgedLength_.reset();
  // Answered in this order, each in a reply event (handlePropertyReply).
  if (mpv_get_property_async(mpv_, judgeRequest_, "track-list", MPV_FORMAT_NODE) < 0 ||
      mpv_get_property_async(mpv_, judgeRequest_, "duration", MPV_FORMAT_DOUBLE) < 0) {
    judgeRequest_ = 0;
    fail("the player did not say what the file holds");
  }
}

void MpvPlayer::handlePropertyReply(const mpv_event& event) {
  if (judgeRequest_ == 0 || event.reply_userdata != judgeRequest_ || !load_.loading()) return;
  const auto* property = static_cast<const mpv_event_property*>(event.data);
  const bool ok = event.error >= 0 && property != nullptr;
  if (ok && std::strcmp(property->name, "track-list") == 0) {
    judgedStreams_ =
        property->format == MPV_FORMAT_NODE && hasAudioOrVideo(*static_cast<mpv_node*>(property->data));
  } else if (ok && std::strcmp(property->name, "duration") == 0 && property->format == MPV_FORMAT_DOUBLE) {
    judgedLength_ = *static_cast<double*>(property->data);
  } else if (property != nullptr && std::strcmp(property->name, "track-list") == 0) {
    judgedStreams_ = false;
  } else {
    judgedLength_ = 0;  // a still picture has no duration at all
  }
  if (!judgedStreams_ || !judgedLength_) return;
  judgeRequest_ = 0;
  judgeLoadedFile(*judgedStreams_, *judgedLength_);
}

void MpvPlayer::judgeLoadedFile(bool hasStreams, double length) {
  // libmpv also "plays" what a cutter cannot use: a file without pictures or sound, or a
  // still picture, which has no length.
  if (!hasStreams) {
    fail("it has neither video nor sound");
  } else if (!(length > 0)) {
    fail("it has no length (a still picture?)");
  } else {
    load_.accepted();
    loadTimeout_.stop();
    duration_ = length;
    emit durationChanged(length);
    emit loaded(length);
  }
}

void MpvPlayer::handleEvent(const mpv_event& event) {
  switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY:
      handleCommandReply(event);
      break;
    case MPV_EVENT_START_FILE:
      load_.entryStarted(static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id);
      break;
    case MPV_EVENT_FILE_LOADED:
      if (load_.fileLoaded()) askForJudgement();
      break;
    case MPV_EVENT_GET_PROPERTY_REPLY:
      handlePropertyReply(event);
      break;
    case MPV_EVENT_END_FILE:
      handleEndFile(event);
      break;
    case MPV_EVENT_PLAYBACK_RESTART:
      seek_.restarted(paused_);
      break;
    case MPV_EVENT_PROPERTY_CHANGE:
      handlePropertyChange(event);
      break;
    case MPV_EVENT_LOG_MESSAGE:
      handleLogMessage(event);
      break;
    default:
      break;
  }
}

void MpvPlayer::handleCommandReply(const mpv_event& event) {
  if (event.reply_userdata != 0 && event.reply_userdata == load_.request()) {
    if (event.error < 0) {
      fail(errorText(event.error));
      return;
    }
    int64_t entry = 0;
    const auto* result = static_cast<const mpv_event_command*>(event.data);
    if (result && result->result.format == MPV_FORMAT_NODE_MAP) {
      const mpv_node_list* map = result->result.u.list;
      for (int i = 0; i < map->num; ++i) {
        if (std::strcmp(map->keys[i], "playlist_entry_id") == 0 && map->values[i].format == MPV_FORMAT_INT64)
          entry = map->values[i].u.int64;
      }
    }
    // The entry may already have loaded before its reply was read.
    if (load_.entryNamed(entry)) askForJudgement();
  }
  seek_.replied(event.reply_userdata, event.error >= 0);
}

void MpvPlayer::handleEndFile(const mpv_event& event) {
  const auto* end = static_cast<const mpv_event_end_file*>(event.data);
  const bool failed = end->reason == MPV_END_FILE_REASON_ERROR || end->error < 0;
  switch (load_.entryEnded(end->playlist_entry_id, end->reason == MPV_END_FILE_REASON_REDIRECT, failed,
                           end->reason == MPV_END_FILE_REASON_EOF)) {
    case LoadState::Ending::kRedirected:
      fail("it is a playlist or a folder, not a media file");
      break;
    case LoadState::Ending::kFailed:
      // Told once the queue is drained, with the log line naming the cause.
      loadFailure_ = errorText(end->error < 0 ? end->error : MPV_ERROR_LOADING_FAILED);
      break;
    default:
      break;
  }
}

void MpvPlayer::handleLogMessage(const mpv_event& event) {
  const auto* log = static_cast<const mpv_event_log_message*>(event.data);
  if (load_.loading() && loadLog_.isEmpty() && log->log_level <= MPV_LOG_LEVEL_ERROR)
    loadLog_ = QString::fromUtf8(log->text).trimmed();
}

void MpvPlayer::handlePropertyChange(const mpv_event& event) {
  const auto* property = static_cast<const mpv_event_property*>(event.data);
  const bool has = property->format != MPV_FORMAT_NONE && property->data;
  switch (event.reply_userdata) {
    case kTimePos:
      if (!has || !load_.loaded()) break;
      timePos_ = *static_cast<double*>(property->data);
      if (!seek_.holdsClock(paused_)) emit positionChanged(position());
      break;
    case kDuration:
      if (has && load_.loaded()) {
        duration_ = *static_cast<double*>(property->data);
        emit durationChanged(duration_);
      }
      break;
    case kPause:
      if (has) {
        const bool paused = *static_cast<int*>(property->data) != 0;
        if (paused != paused_) {
          paused_ = paused;
          if (!paused) seek_.resumed();
          emit pausedChanged(paused);
        }
      }
      break;
    case kEofReached:
      if (has && load_.loaded() && *static_cast<int*>(property->data) != 0 && !atEnd_) {
        atEnd_ = true;
        seek_.dropped();
        emit positionChanged(duration_);
        emit endReached();
      }
      break;
    default:
      break;
  }
}

namespace {

// A GPU the kernel drives shows as a render node. Without one the gpu output could only use the
// software renderer, which it refuses (gpu-sw above), after probing every context it knows: one of
// them (DRM, libmpv 0.40) closes descriptor 0 on its way out, which the x11 output that follows
// may already hold. So without a GPU the x11 output is asked for at once.
bool hasGpuDevice() {
  const QDir dri("/dev/dri");
  for (const QString& node : dri.entryList({"renderD*"}, QDir::System)) {
    const int fd = ::open(QFile::encodeName(dri.filePath(node)).constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      ::close(fd);
      return true;
    }
  }
  return false;
}

}  // namespace

std::unique_ptr<Player> makeEmbeddedPlayer(QWidget* videoArea, const QString& vo, const QString& ao) {
  MpvOptions options;
  if (QGuiApplication::platformName() == "xcb") {
    options.wid = static_cast<qint64>(videoArea->winId());
    options.vo = hasGpuDevice() ? "gpu,x11" : "x11";
  } else {
    options.vo = "null";  // nowhere of ours to draw; better no picture than a stray window
  }
  if (!vo.isEmpty()) options.vo = vo;
  if (!ao.isEmpty()) options.ao = ao;
  return std::make_unique<MpvPlayer>(options);
}

}  // namespace vintrel
