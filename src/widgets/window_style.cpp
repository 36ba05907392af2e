#include "widgets/window_style.h"

#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "widgets/app_icon.h"

namespace vintrel {

namespace {

void placeOverOwner(QWidget* box) {
  const QWidget* owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
  if (!owner || !owner->isVisible()) return;
  QRect frame = box->frameGeometry();
  frame.moveCenter(owner->frameGeometry().center());
  if (const QScreen* screen = owner->screen()) {
    const QRect room = screen->availableGeometry();
    frame.moveLeft(
        std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() + 1 - frame.width())));
    frame.moveTop(
        std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height())));
  }
  box->move(frame.topLeft());
}

// The toolkit places a dialog for the size it has before it is shown, and a message box takes
// its size from its text only as it is shown: so the box is placed again at every size it takes
// until the events of its showing are done. A desktop without a window manager places nothing.
class CentredOnOwner : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* box = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Show && !event->spontaneous()) {
      settling_ = true;
      placeOverOwner(box);
      QTimer::singleShot(0, this, [this, box] {
        placeOverOwner(box);
        settling_ = false;
      });
    } else if (event->type() == QEvent::Resize && settling_) {
      placeOverOwner(box);
    }
    return false;
  }

 private:
  bool settling_ = false;
};

}  // namespace

void centreOnOwner(QWidget* box) { box->installEventFilter(new CentredOnOwner(box)); }

void setUpFixedWindow(QWidget* window, const char* name, const QString& caption, QSize size) {
  window->setObjectName(name);
  window->setWindowTitle(caption);
  window->setWindowIcon(appIcon());
  window->setFixedSize(size);
  paint(window, Qt::white);
}

void setUpGrowingWindow(QWidget* window, const char* name, const QString& caption, QSize size) {
  window->setObjectName(name);
  window->setWindowTitle(caption);
  window->setWindowIcon(appIcon());
  window->setMinimumSize(size);
  window->resize(size);
  paint(window, Qt::white);
}

void paint(QWidget* widget, const QColor& background, const QColor& text) {
  widget->setAutoFillBackground(true);
  QPalette p = widget->palette();
  p.setColor(QPalette::Window, background);
  p.setColor(QPalette::WindowText, text);
  widget->setPalette(p);
}

}  // namespace vintrel
