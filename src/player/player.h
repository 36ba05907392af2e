#pragma once
// The media player `mp` as the commands use it. Every member may raise a VbError.
#include <QString>

namespace vintrel {

class IPlayer {
 public:
  virtual ~IPlayer() = default;
  // The media file that the next Play takes.
  virtual void SetFileName(const QString& path) = 0;
  // Loads the set file and plays it from second 0. Returns once Duration is valid;
  // raises an error for a file that cannot be played.
  virtual void Play() = 0;
  // Toggles: running playback halts and keeps its position; halted playback resumes
  // from its position (also one moved by Seek meanwhile).
  virtual void Pause() = 0;
  // Ends playback and releases the file.
  virtual void Stop() = 0;
  // Length of the loaded file in seconds, > 0 for a playable file.
  virtual double Duration() = 0;
  // 0 at the start; grows while playing; stands still while halted; equals Duration
  // once the file has played to its end; reads x right after Seek(x).
  virtual double CurrentPosition() = 0;
  // Moves the position; running playback goes on from there, halted stays halted.
  virtual void Seek(double seconds) = 0;
};

}  // namespace vintrel
