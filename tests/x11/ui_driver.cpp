#include "x11/ui_driver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>

#include "widgets/position_slider.h"

namespace uidriver {

namespace {
std::deque<std::function<void(QWidget*)>> g_answers;
QStringList g_seen;
QStringList g_fileDialogs;
QTimer* g_timer = nullptr;
QPointer<QWidget> g_lastAnswered;  // a QPointer: the next dialog may reuse a freed one's address

void Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible() || g_answers.empty() || modal == g_lastAnswered) return;
  g_lastAnswered = modal;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) g_seen << box->text();
  if (auto* saved = modal->findChild<QLabel*>("savedText")) g_seen << saved->text();
  if (qobject_cast<QFileDialog*>(modal)) g_fileDialogs << modal->objectName();
  auto answer = std::move(g_answers.front());
  g_answers.pop_front();
  // Answer from the event loop, not from inside this timer slot.
  QTimer::singleShot(50, modal, [answer, modal] { answer(modal); });
}
}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(20);
  }
  return true;
}

void Watch(int milliseconds) { QTest::qWait(milliseconds); }

void Answer(std::vector<std::function<void(QWidget*)>> answers) {
  for (auto& a : answers) g_answers.push_back(std::move(a));
  g_lastAnswered = nullptr;
  if (!g_timer) {
    g_timer = new QTimer(qApp);
    QObject::connect(g_timer, &QTimer::timeout, Poll);
    g_timer->start(30);
  }
}

int Pending() { return static_cast<int>(g_answers.size()); }
void ForgetAnswers() { g_answers.clear(); }
QStringList Seen() { return g_seen; }
QStringList FileDialogsSeen() { return g_fileDialogs; }

std::function<void(QWidget*)> TypePath(const QString& path) {
  return [path](QWidget* modal) {
    auto* edit = modal->findChild<QLineEdit*>("fileNameEdit");
    if (!edit) {
      modal->close();
      return;
    }
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, path);
    QTest::keyClick(edit, Qt::Key_Return);
  };
}

std::function<void(QWidget*)> Press(const QString& buttonText) {
  return [buttonText](QWidget* modal) {
    for (auto* button : modal->findChildren<QAbstractButton*>()) {
      if (button->text().remove('&') == buttonText) {
        QTest::mouseClick(button, Qt::LeftButton);
        return;
      }
    }
    QTest::keyClick(modal, Qt::Key_Escape);
  };
}

std::function<void(QWidget*)> PressEsc() {
  return [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); };
}

void DragSlider(QWidget* widget, int value) {
  auto* slider = qobject_cast<vintrel::PositionSlider*>(widget);
  if (!slider) return;
  const QPoint from = slider->handleRect(slider->value()).center();
  const QPoint to(slider->handleRect(value).center().x(), from.y());
  QTest::mousePress(slider, Qt::LeftButton, {}, from);
  for (int i = 1; i <= 5; ++i) QTest::mouseMove(slider, from + (to - from) * i / 5, 10);
  QTest::mouseRelease(slider, Qt::LeftButton, {}, to, 10);
}

}  // namespace uidriver
