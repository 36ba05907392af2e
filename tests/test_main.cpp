// Every test binary runs inside a QApplication; widget logic needs no display, and no
// test touches the user's settings.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include "platform/standard_descriptors.h"
#include "private_settings.h"

int main(int argc, char** argv) {
  // As the program does: the tests' own X connection must not sit on a closed standard input.
  vintrel::keepStandardDescriptorsOpen();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testsettings::UsePrivateSettings();
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
