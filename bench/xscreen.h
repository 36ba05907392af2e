#pragma once
// The X server seen from outside the program, as a camera would see it: pixels on the
// screen and windows appearing. Each object holds its own connection.
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "timing.h"

struct _XDisplay;

namespace bench {

// Watches one spot of the screen from a thread of its own.
class PixelWatch {
 public:
  explicit PixelWatch(const std::string& display);
  ~PixelWatch();
  PixelWatch(const PixelWatch&) = delete;
  PixelWatch& operator=(const PixelWatch&) = delete;
  bool ok() const { return display_ != nullptr; }

  // The colour at a spot now (the mean of the 3x3 pixels around it). Not while armed.
  Rgb Read(Point at);
  // Polls the spot every `everyMicros` until `seen` holds for its colour.
  void Arm(Point at, std::function<bool(Rgb)> seen, int everyMicros = 1000);
  bool Fired() const { return fired_; }
  // Stops polling; when `seen` held, the moment it was first read so.
  std::optional<Time> Disarm();

 private:
  Rgb ReadWith(_XDisplay* display, Point at);
  _XDisplay* display_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> fired_{false};
  Time firedAt_{};
};

// Hears every top-level window being mapped, from its construction on.
class MapWatch {
 public:
  explicit MapWatch(const std::string& display);
  ~MapWatch();
  MapWatch(const MapWatch&) = delete;
  MapWatch& operator=(const MapWatch&) = delete;
  bool ok() const { return display_ != nullptr; }

  struct Mapped {
    unsigned long window = 0;
    Time when{};
    Point origin;  // the window's top-left corner on screen
  };
  // Waits for a top-level window titled `title` (any window: empty) to be mapped.
  std::optional<Mapped> Wait(const std::string& title, int timeoutMs);

 private:
  _XDisplay* display_ = nullptr;
};

// A plain black window: all that a player with nothing around it draws into.
class PlainWindow {
 public:
  PlainWindow(const std::string& display, Point origin, int width, int height);
  ~PlainWindow();
  PlainWindow(const PlainWindow&) = delete;
  PlainWindow& operator=(const PlainWindow&) = delete;
  bool ok() const { return window_ != 0; }
  unsigned long id() const { return window_; }

 private:
  _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
};

}  // namespace bench
