#pragma once
// Notices a main window whose X window was destroyed from outside (a window manager or a
// session that kills it without asking it to close). Qt keeps such a widget "open", so
// without this the program would go on running with no window at all.
#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace vintrel {

// X errors about windows that are gone (the video area's, destroyed with the main window
// from outside) are told, not fatal: Xlib's own handler would end the program from the
// player's thread, in the middle of its drawing. Process-wide; call once at start-up.
void tolerateVanishedWindows();

class WindowDestroyedWatch : public QAbstractNativeEventFilter {
 public:
  WindowDestroyedWatch(QWidget* window, std::function<void()> onDestroyed);
  ~WindowDestroyedWatch() override;
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  QPointer<QWidget> window_;
  std::function<void()> onDestroyed_;
};

}  // namespace vintrel
