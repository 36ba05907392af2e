#include "app/window_watch.h"

#include <QCoreApplication>
#include <QtGlobal>

// Xlib's macros (None, Bool, Status) clash with Qt's names: it comes last.
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace vintrel {

namespace {
int reportXError(Display*, XErrorEvent* error) {
  qWarning("X error %d (request %d) ignored", error->error_code, error->request_code);
  return 0;
}
}  // namespace

void tolerateVanishedWindows() { XSetErrorHandler(&reportXError); }

WindowDestroyedWatch::WindowDestroyedWatch(QWidget* window, std::function<void()> onDestroyed)
    : window_(window), onDestroyed_(std::move(onDestroyed)) {
  QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowDestroyedWatch::~WindowDestroyedWatch() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowDestroyedWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t" || !window_ || !window_->testAttribute(Qt::WA_WState_Created)) return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & ~0x80) != XCB_DESTROY_NOTIFY) return false;
  const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
  if (destroyed->window == static_cast<xcb_window_t>(window_->winId()) && onDestroyed_) onDestroyed_();
  return false;
}

}  // namespace vintrel
