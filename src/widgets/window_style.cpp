#include "widgets/window_style.h"

#include <QWidget>

#include "widgets/app_icon.h"

namespace vintrel {

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
