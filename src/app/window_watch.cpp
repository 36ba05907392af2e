#include "app/window_watch.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QtGlobal>
#include <cstdint>

namespace vintrel {

namespace {
// Xlib is reached at run time rather than through its headers and library: the program
// itself speaks only Qt, and libmpv's video output, the only user of Xlib in the process,
// brings the library along. Building Vintrel then needs no X11 development files. The
// layouts below are those of Xlib's ABI and of the X protocol's wire format, both fixed.
struct XErrorEventLayout {
  int type;
  void* display;
  unsigned long resourceId;
  unsigned long serial;
  unsigned char errorCode;
  unsigned char requestCode;
  unsigned char minorCode;
};
using XErrorHandler = int (*)(void* display, XErrorEventLayout* error);
using XSetErrorHandlerFunction = XErrorHandler (*)(XErrorHandler handler);

struct XcbGenericEvent {
  std::uint8_t responseType;
  std::uint8_t pad0;
  std::uint16_t sequence;
};
struct XcbDestroyNotifyEvent {
  std::uint8_t responseType;
  std::uint8_t pad0;
  std::uint16_t sequence;
  std::uint32_t event;
  std::uint32_t window;
};
constexpr std::uint8_t kXDestroyNotify = 17;
constexpr std::uint8_t kXSendEventBit = 0x80;

int reportXError(void*, XErrorEventLayout* error) {
  qWarning("X error %d (request %d) ignored", error->errorCode, error->requestCode);
  return 0;
}
}  // namespace

void tolerateVanishedWindows() {
  // The one libX11 of the process (RTLD_GLOBAL: the same the player's output uses). Where
  // there is none, nothing in the process speaks Xlib and there is nothing to tolerate.
  void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_GLOBAL);
  if (!xlib) return;
  auto setHandler = reinterpret_cast<XSetErrorHandlerFunction>(dlsym(xlib, "XSetErrorHandler"));
  if (setHandler) setHandler(&reportXError);
}

WindowDestroyedWatch::WindowDestroyedWatch(QWidget* window, std::function<void()> onDestroyed)
    : window_(window), onDestroyed_(std::move(onDestroyed)) {
  QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowDestroyedWatch::~WindowDestroyedWatch() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowDestroyedWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || !window_ || !window_->testAttribute(Qt::WA_WState_Created))
    return false;
  const auto* event = static_cast<const XcbGenericEvent*>(message);
  if ((event->responseType & ~kXSendEventBit) != kXDestroyNotify) return false;
  const auto* destroyed = static_cast<const XcbDestroyNotifyEvent*>(message);
  if (destroyed->window == static_cast<std::uint32_t>(window_->winId()) && onDestroyed_) onDestroyed_();
  return false;
}

}  // namespace vintrel
