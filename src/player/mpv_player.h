#pragma once
// The player `mp` on top of libmpv. libmpv works asynchronously on its own threads;
// this class gives the program the synchronous members it was written against.
// Every member is called from the GUI thread only.
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>

#include "player/player.h"

struct mpv_handle;
struct mpv_event;

namespace vintrel {

struct MpvOptions {
  QString vo = "gpu,x11";  // video outputs, tried in order
  QString ao;              // empty: mpv's default audio output
  qint64 wid = 0;          // native window to draw into (X11 embedding); 0 draws nowhere of ours
};

class MpvPlayer : public QObject, public IPlayer {
 public:
  // Raises VbError when libmpv cannot be set up.
  explicit MpvPlayer(const MpvOptions& options, QObject* parent = nullptr);
  ~MpvPlayer() override;
  MpvPlayer(const MpvPlayer&) = delete;
  MpvPlayer& operator=(const MpvPlayer&) = delete;

  void SetFileName(const QString& path) override;
  void Play() override;
  void Pause() override;
  void Stop() override;
  double Duration() override;
  double CurrentPosition() override;
  void Seek(double seconds) override;

 private:
  // What the last asynchronous command's reply said.
  struct Reply {
    uint64_t id = 0;
    int error = 0;
    int64_t entryId = 0;  // loadfile's playlist entry
  };

  static void OnWakeup(void* self);
  // Handles every event libmpv has queued; posted to the GUI thread by OnWakeup.
  void DrainEvents();
  // The one place where events change this object's state, whoever took them off the queue.
  void HandleEvent(const mpv_event& event);
  // Takes events off the queue on the calling thread until done() holds or the time is up.
  bool WaitUntil(const std::function<bool()>& done, double seconds);
  // Sends a command and waits for libmpv to have carried it out; raises VbError on failure.
  Reply Command(std::initializer_list<const char*> args, const char* what);
  bool FlagProperty(const char* name);
  void SetFlagProperty(const char* name, bool value);
  bool HasAudioOrVideo();
  // Ends the current file and waits until libmpv has let go of it.
  void Unload();
  [[noreturn]] void Fail(const QString& what, int mpvError) const;
  [[noreturn]] void FailNothingLoaded(const char* member) const;

  mpv_handle* mpv_ = nullptr;
  QString fileName_;
  std::atomic<bool> drainPosted_{false};

  uint64_t lastRequest_ = 0;
  Reply reply_;

  // Playlist entries: the one libmpv works on, the one Play waits for.
  int64_t currentEntry_ = 0;
  int64_t awaitedEntry_ = 0;
  bool loaded_ = false;        // FILE_LOADED seen for the current entry, no END_FILE since
  bool awaitedEnded_ = false;  // the awaited entry ended before it loaded
  int awaitedEndReason_ = 0;
  int awaitedEndError_ = 0;
  QString loadLog_;  // libmpv's first error line while loading

  // The position a seek moves to, reported until the player shows a frame from there
  // and, while halted, until playback resumes.
  std::optional<double> seekTarget_;
  uint64_t seekRequest_ = 0;  // the seek command whose reply starts waiting for its restart
  bool seekAcknowledged_ = false;
  bool seekLanded_ = false;
};

}  // namespace vintrel
