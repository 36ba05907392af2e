// Only Xlib here: its macros (None, Bool, Status) break Qt's headers.
#include "xscreen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cstring>
#include <vector>

namespace bench {

namespace {

int Shift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// The window's title, from _NET_WM_NAME or else WM_NAME.
std::string Title(Display* d, Window w) {
  std::string title;
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &items, &after, &data) ==
          Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), items);
    XFree(data);
  }
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

// A window that ends while it is looked at is no reason to stop.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

// --- PixelWatch -------------------------------------------------------------------------

PixelWatch::PixelWatch(const std::string& display) {
  XSetErrorHandler(IgnoreErrors);
  display_ = XOpenDisplay(display.c_str());
}

PixelWatch::~PixelWatch() {
  Disarm();
  if (display_) XCloseDisplay(display_);
}

Rgb PixelWatch::ReadWith(Display* d, Point at) {
  Rgb mean;
  XImage* image = XGetImage(d, DefaultRootWindow(d), at.x - 1, at.y - 1, 3, 3, AllPlanes, ZPixmap);
  if (!image) return mean;
  const int rs = Shift(image->red_mask), gs = Shift(image->green_mask), bs = Shift(image->blue_mask);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      mean.r += static_cast<int>((p & image->red_mask) >> rs);
      mean.g += static_cast<int>((p & image->green_mask) >> gs);
      mean.b += static_cast<int>((p & image->blue_mask) >> bs);
    }
  }
  XDestroyImage(image);
  mean.r /= 9;
  mean.g /= 9;
  mean.b /= 9;
  return mean;
}

Rgb PixelWatch::Read(Point at) { return display_ ? ReadWith(display_, at) : Rgb{}; }

void PixelWatch::Arm(Point at, std::function<bool(Rgb)> seen, int everyMicros) {
  Disarm();
  stop_ = false;
  fired_ = false;
  thread_ = std::thread([this, at, seen = std::move(seen), everyMicros] {
    while (!stop_) {
      const Rgb colour = ReadWith(display_, at);
      // The moment the reply came is when the frame was known to be on screen.
      const Time now = Clock::now();
      if (seen(colour)) {
        firedAt_ = now;
        fired_ = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(everyMicros));
    }
  });
}

std::optional<Time> PixelWatch::Disarm() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (!fired_) return std::nullopt;
  return firedAt_;
}

// --- MapWatch ---------------------------------------------------------------------------

MapWatch::MapWatch(const std::string& display) {
  XSetErrorHandler(IgnoreErrors);
  display_ = XOpenDisplay(display.c_str());
  if (!display_) return;
  XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
  XSync(display_, False);
}

MapWatch::~MapWatch() {
  if (display_) XCloseDisplay(display_);
}

std::optional<MapWatch::Mapped> MapWatch::Wait(const std::string& title, int timeoutMs) {
  if (!display_) return std::nullopt;
  const Time deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    while (XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
      const Time when = Clock::now();
      if (event.type != MapNotify) continue;
      const Window w = event.xmap.window;
      if (!title.empty() && Title(display_, w) != title) continue;
      Mapped mapped{w, when, {}};
      Window child = 0;
      XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &mapped.origin.x,
                            &mapped.origin.y, &child);
      return mapped;
    }
    const int left = static_cast<int>(Ms(deadline - Clock::now()));
    if (left <= 0) return std::nullopt;
    pollfd fd{ConnectionNumber(display_), POLLIN, 0};
    poll(&fd, 1, left);
  }
}

// --- PlainWindow ------------------------------------------------------------------------

PlainWindow::PlainWindow(const std::string& display, Point origin, int width, int height) {
  display_ = XOpenDisplay(display.c_str());
  if (!display_) return;
  const int screen = DefaultScreen(display_);
  window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), origin.x, origin.y, width, height, 0,
                                BlackPixel(display_, screen), BlackPixel(display_, screen));
  XStoreName(display_, window_, "bare player");
  XMapWindow(display_, window_);
  XSync(display_, False);
}

PlainWindow::~PlainWindow() {
  if (!display_) return;
  if (window_) XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

}  // namespace bench
