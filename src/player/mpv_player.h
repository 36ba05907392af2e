#pragma once
// The player on top of libmpv: the only code that sees libmpv's headers. libmpv works on
// its own threads; its events are taken off its queue on the GUI thread and turned into
// the player's signals. Nothing here waits for libmpv.
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>

#include "player/mpv_states.h"
#include "player/player.h"

// libmpv's own types, named as its header names them.
struct mpv_handle;  // NOLINT(readability-identifier-naming)
struct mpv_event;   // NOLINT(readability-identifier-naming)

class QWidget;

namespace vintrel {

struct MpvOptions {
  QString vo = "gpu,x11";  // video outputs, tried in order (x11 where the GPU is software)
  QString ao;              // empty: mpv's default audio output
  qint64 wid = 0;          // native window to draw into (X11 embedding); 0 draws nowhere of ours
};

// libmpv could not be set up; the program cannot play anything.
class PlayerStartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MpvPlayer : public Player {
  Q_OBJECT
 public:
  // Throws PlayerStartError when libmpv cannot be set up.
  explicit MpvPlayer(const MpvOptions& options, QObject* parent = nullptr);
  ~MpvPlayer() override;
  MpvPlayer(const MpvPlayer&) = delete;
  MpvPlayer& operator=(const MpvPlayer&) = delete;

  void open(const QString& path) override;
  void close() override;
  void setPaused(bool paused) override;
  void seek(double seconds) override;
  void seekKeyFrame(double seconds) override;
  void stepFrame(bool forward) override;
  bool isLoaded() const override { return load_.loaded(); }
  bool isPaused() const override { return paused_; }
  double position() const override;
  double duration() const override { return duration_; }

 private:
  static void onWakeup(void* self);
  void drainEvents();
  void handleEvent(const mpv_event& event);
  void handleCommandReply(const mpv_event& event);
  void handleEndFile(const mpv_event& event);
  void handleLogMessage(const mpv_event& event);
  void handlePropertyChange(const mpv_event& event);
  void askForJudgement();
  void handlePropertyReply(const mpv_event& event);
  void judgeLoadedFile(bool hasStreams, double length);
  void fail(const QString& reason);
  uint64_t command(std::initializer_list<const char*> args);
  void seekTo(double seconds, const char* flags);

  mpv_handle* mpv_ = nullptr;
  std::atomic<bool> drainPosted_{false};
  QTimer loadTimeout_;

  QString path_;
  uint64_t lastRequest_ = 0;
  LoadState load_;
  // A loaded file is judged from its track list and length, asked without waiting: libmpv
  // answers a blocking question only once it has set up the decoders and the output.
  uint64_t judgeRequest_ = 0;
  std::optional<bool> judgedStreams_;
  std::optional<double> judgedLength_;
  QString loadLog_;  // libmpv's first error line while loading
  // Why the awaited file did not load, told once the queue is drained: libmpv hands out
  // its log lines (which name the cause) only after the events queued with them.
  std::optional<QString> loadFailure_;

  bool paused_ = false;
  bool atEnd_ = false;
  double duration_ = 0;
  double timePos_ = 0;
  SeekState seek_;
};

// The player as the program makes it: drawing into `videoArea`'s native window on X11, nowhere
// on other platforms. `vo` and `ao`, where not empty, choose other outputs ("null": none).
std::unique_ptr<Player> makeEmbeddedPlayer(QWidget* videoArea, const QString& vo = {},
                                           const QString& ao = {});

}  // namespace vintrel
