#pragma once
// Notices a main window whose X window was destroyed from outside (a window manager or a
// session that kills it without asking it to close). Qt keeps such a widget "open", so
// without this the program would go on running with no window at all.
#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace vintrel {

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
