#include "hands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>

#include "widgets/position_slider.h"

namespace bench {

namespace {
std::deque<std::function<void(QWidget*)>> g_answers;
QTimer* g_timer = nullptr;
QPointer<QWidget> g_lastAnswered;  // a QPointer: the next dialog may reuse a freed one's address

void Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible() || g_answers.empty() || modal == g_lastAnswered) return;
  g_lastAnswered = modal;
  auto answer = std::move(g_answers.front());
  g_answers.pop_front();
  // Answered from the event loop, not from inside this timer's slot; a user takes a moment too.
  QTimer::singleShot(50, modal, [answer, modal] { answer(modal); });
}
}  // namespace

// A real event loop, as the program's own: QTest::qWait sleeps up to 10 ms between two
// passes, and events posted meanwhile would wait for the harness, not for the program.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QEventLoop loop;
  QTimer check;
  check.setInterval(2);
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  check.start();
  loop.exec();
  return done();
}

void Watch(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void Answer(std::vector<std::function<void(QWidget*)>> answers) {
  for (auto& a : answers) g_answers.push_back(std::move(a));
  g_lastAnswered = nullptr;
  if (!g_timer) {
    g_timer = new QTimer(qApp);
    QObject::connect(g_timer, &QTimer::timeout, Poll);
    g_timer->start(20);
  }
}

int PendingAnswers() { return static_cast<int>(g_answers.size()); }
void ForgetAnswers() { g_answers.clear(); }

std::function<void(QWidget*)> ChoosePath(const QString& path, Time* chosen) {
  return [path, chosen](QWidget* modal) {
    auto* edit = modal->findChild<QLineEdit*>("fileNameEdit");
    if (!edit) {
      modal->close();
      return;
    }
    edit->setFocus();
    edit->setText(path);
    *chosen = Clock::now();
    QTest::keyClick(edit, Qt::Key_Return);
  };
}

std::function<void(QWidget*)> Press(const QString& caption) {
  return [caption](QWidget* modal) {
    for (auto* button : modal->findChildren<QAbstractButton*>()) {
      if (button->text().remove('&') == caption) {
        QTest::mouseClick(button, Qt::LeftButton);
        return;
      }
    }
    QTest::keyClick(modal, Qt::Key_Escape);
  };
}

void DragSlider(vintrel::PositionSlider* slider, int value) {
  const QPoint from = slider->handleRect(slider->value()).center();
  const QPoint to = slider->handleRect(value).center();
  QTest::mousePress(slider, Qt::LeftButton, {}, from);
  for (int i = 1; i <= 5; ++i) QTest::mouseMove(slider, from + (to - from) * i / 5, 10);
  QTest::mouseRelease(slider, Qt::LeftButton, {}, to, 10);
}

}  // namespace bench
