#pragma once
// The video player as the window uses it. Every call returns at once; what happens
// afterwards arrives as signals on the GUI thread.
#include <QObject>
#include <QString>

namespace vintrel {

class Player : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~Player() override = default;

  // Starts loading a file, replacing any other; it plays from 0 once loaded.
  // `loaded` or `failed` follows.
  virtual void open(const QString& path) = 0;
  // Lets go of the file.
  virtual void close() = 0;
  virtual void setPaused(bool paused) = 0;
  // Moves to a time; playing goes on from there, halted stays halted.
  virtual void seek(double seconds) = 0;
  // Moves quickly to the key frame at or before a time, for a picture that follows a
  // dragged thumb; an exact seek follows when the thumb is let go.
  virtual void seekKeyFrame(double seconds) = 0;
  // Halts and shows the next frame (forward) or the one before; `positionChanged` follows
  // with that frame's time once it is up.
  virtual void stepFrame(bool forward) = 0;

  virtual bool isLoaded() const = 0;
  virtual bool isPaused() const = 0;
  // Seconds from the start; the length once the file has played to its end.
  virtual double position() const = 0;
  virtual double duration() const = 0;

 signals:
  void loaded(double duration);
  // The file cannot be played; nothing is loaded afterwards.
  void failed(const QString& reason);
  void positionChanged(double seconds);
  void durationChanged(double seconds);
  void pausedChanged(bool paused);
  // Playback reached the end of the file and halted on its last frame.
  void endReached();
};

}  // namespace vintrel
