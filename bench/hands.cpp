#include "hands.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace bench {

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

}  // namespace bench
