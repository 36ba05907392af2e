#pragma once
// main() of a whole-program test that builds its windows in the test's own process: one
// private X server for all its tests, and the QApplication on it.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdio>

#include "private_settings.h"
#include "x11/xsession.h"

namespace xtest {

// Runs every test with `server` pointing at the private X server.
inline int RunTestsOnPrivateServer(int argc, char** argv, XServer*& server) {
  XServer x;
  if (!x.ok()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  server = &x;
  qputenv("DISPLAY", x.display().toLatin1());
  qputenv("QT_QPA_PLATFORM", "xcb");
  testsettings::UsePrivateSettings();
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

}  // namespace xtest
