#pragma once
// A private X server for tests that need a real display, and the user's hands on it:
// starting the program, finding its windows, clicking, typing, taking screenshots.
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

namespace xtest {

class XServer {
 public:
  XServer();  // starts Xvfb on a free display number
  ~XServer();
  bool ok() const { return !display_.isEmpty(); }
  QString display() const { return display_; }
  // The environment for a program on this server (no sound device needed).
  QProcessEnvironment Env() const;

  // Runs xdotool (or another X client) on this display; returns its standard output.
  QString Run(const QString& program, const QStringList& args, int timeoutMs = 10000) const;
  // Visible top-level windows whose title is exactly `title`.
  std::vector<unsigned long> Windows(const QString& title) const;
  // Waits until a visible window titled `title` appears; 0 when none came in time.
  unsigned long WaitForWindow(const QString& title, int timeoutMs = 20000, unsigned long other = 0) const;
  // The window's client area on screen.
  QRect Geometry(unsigned long window) const;
  // Mouse and keyboard, at screen coordinates.
  void Click(QPoint at, int button = 1) const;
  void Drag(QPoint from, QPoint to) const;
  void Key(const QString& keys) const;
  void Type(const QString& text) const;
  // Asks the window to close, as its close box does.
  void Close(unsigned long window) const;
  // Gives the window the keyboard.
  void Focus(unsigned long window) const;
  QImage Screenshot() const;

 private:
  QProcess xvfb_;
  QString display_;
};

// Starts a program on the server and waits for nothing.
class Program {
 public:
  // extraEnv: "NAME=value" sets a variable, a bare "NAME" removes it.
  Program(const XServer& x, const QString& path, const QStringList& extraEnv = {},
          const QStringList& args = {});
  ~Program();
  QProcess& process() { return process_; }
  // Waits for the program to end; its exit code, or -1 when it did not end in time.
  int WaitForExit(int timeoutMs = 20000);
  bool Running() const { return process_.state() != QProcess::NotRunning; }

 private:
  QProcess process_;
};

}  // namespace xtest
