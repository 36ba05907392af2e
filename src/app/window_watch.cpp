#include "app/window_watch.h"

#include <xcb/xcb.h>

#include <QCoreApplication>

namespace vintrel {

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
