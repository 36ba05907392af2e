#include "x11/xsession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QThread>

namespace xtest {

// In xclose.cpp: Xlib and Qt headers do not mix.
void SendDeleteWindow(const char* display, unsigned long window);
bool CanConnect(const char* display);

XServer::XServer() {
  // A display number nobody holds; Xvfb itself refuses one that is taken, so try a few.
  for (int attempt = 0; attempt < 20 && display_.isEmpty(); ++attempt) {
    const int n = 100 + (QCoreApplication::applicationPid() * 7 + attempt * 13) % 800;
    const QString display = QString(":%1").arg(n);
    // A lock file, or a server answering there (its socket may be abstract, shared beyond
    // this file system), means the number is taken.
    if (QFile::exists(QString("/tmp/.X%1-lock").arg(n)) || CanConnect(display.toLatin1().constData()))
      continue;
    xvfb_.setProgram("Xvfb");
    // -noreset: otherwise the server resets when its last client leaves (our readiness
    // check is one), refusing connections for a moment just when the test makes its own.
    xvfb_.setArguments({display, "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"});
    xvfb_.setStandardOutputFile(QProcess::nullDevice());
    // Xvfb ends at once when its error output is /dev/null, so it gets a log file.
    xvfb_.setStandardErrorFile(QDir::tempPath() + QString("/vintrel-xvfb-%1.log").arg(n));
    xvfb_.start();
    if (!xvfb_.waitForStarted(10000)) continue;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000 && xvfb_.state() == QProcess::Running) {
      // Ours only when the lock names our server: another test may have taken the number
      // a moment before, and its server would answer while ours gives up.
      QFile lock(QString("/tmp/.X%1-lock").arg(n));
      const bool mine =
          lock.open(QIODevice::ReadOnly) && lock.readAll().trimmed().toLongLong() == xvfb_.processId();
      if (mine && CanConnect(display.toLatin1().constData())) {
        display_ = display;
        break;
      }
      QThread::msleep(50);
    }
    if (display_.isEmpty()) {
      xvfb_.kill();
      xvfb_.waitForFinished(5000);
    }
  }
}

XServer::~XServer() {
  xvfb_.terminate();
  xvfb_.waitForFinished(5000);
}

QProcessEnvironment XServer::Env() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display_);
  env.remove("WAYLAND_DISPLAY");
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("VINTREL_AO", "null");
  return env;
}

QString XServer::Run(const QString& program, const QStringList& args, int timeoutMs) const {
  QProcess p;
  p.setProcessEnvironment(Env());
  p.start(program, args);
  p.waitForFinished(timeoutMs);
  return QString::fromUtf8(p.readAllStandardOutput());
}

std::vector<unsigned long> XServer::Windows(const QString& title) const {
  std::vector<unsigned long> result;
  const QString out =
      Run("xdotool", {"search", "--onlyvisible", "--name", "^" + QRegularExpression::escape(title) + "$"});
  for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) result.push_back(line.trimmed().toULong());
  return result;
}

unsigned long XServer::WaitForWindow(const QString& title, int timeoutMs, unsigned long other) const {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    for (unsigned long w : Windows(title)) {
      if (w != other) return w;
    }
    QThread::msleep(100);
  }
  return 0;
}

QRect XServer::Geometry(unsigned long window) const {
  const QString out = Run("xwininfo", {"-id", QString::number(window)});
  auto grab = [&](const char* key) {
    const auto m = QRegularExpression(QString(key) + R"(:\s*(-?\d+))").match(out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
  };
  return QRect(grab("Absolute upper-left X"), grab("Absolute upper-left Y"), grab("Width"), grab("Height"));
}

void XServer::Click(QPoint at, int button) const {
  Run("xdotool", {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
  Run("xdotool", {"click", QString::number(button)});
}

void XServer::Drag(QPoint from, QPoint to) const {
  Run("xdotool", {"mousemove", "--sync", QString::number(from.x()), QString::number(from.y())});
  Run("xdotool", {"mousedown", "1"});
  const int steps = 8;
  for (int i = 1; i <= steps; ++i) {
    const QPoint p = from + (to - from) * i / steps;
    Run("xdotool", {"mousemove", "--sync", QString::number(p.x()), QString::number(p.y())});
  }
  Run("xdotool", {"mouseup", "1"});
}

void XServer::Key(const QString& keys) const { Run("xdotool", {"key", "--delay", "50", keys}); }

void XServer::Type(const QString& text) const { Run("xdotool", {"type", "--delay", "20", text}, 60000); }

void XServer::Close(unsigned long window) const { SendDeleteWindow(display_.toLatin1().constData(), window); }

void XServer::Focus(unsigned long window) const {
  Run("xdotool", {"windowfocus", "--sync", QString::number(window)});
}

QImage XServer::Screenshot() const {
  QTemporaryFile file(QDir::tempPath() + "/vintrel-shot-XXXXXX.png");
  file.open();
  Run("import", {"-window", "root", file.fileName()}, 30000);
  return QImage(file.fileName());
}

Program::Program(const XServer& x, const QString& path, const QStringList& extraEnv,
                 const QStringList& args) {
  QProcessEnvironment env = x.Env();
  for (const QString& kv : extraEnv) {
    if (kv.contains('='))
      env.insert(kv.section('=', 0, 0), kv.section('=', 1));
    else
      env.remove(kv);
  }
  process_.setProcessEnvironment(env);
  process_.setProcessChannelMode(QProcess::ForwardedChannels);
  process_.start(path, args);
  process_.waitForStarted(10000);
}

Program::~Program() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

int Program::WaitForExit(int timeoutMs) {
  if (!process_.waitForFinished(timeoutMs)) return -1;
  return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

}  // namespace xtest
