// Vintrel: cut a stretch out of a video.
#include <QApplication>
#include <clocale>

#include "app/form1.h"
#include "platform/real_platform.h"
#include "player/mpv_player.h"

int main(int argc, char** argv) {
  // The player draws into a native X11 window; under Wayland that is XWayland's.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vintrel");
  QApplication::setApplicationVersion("1.00");
  QApplication::setDesktopFileName("vintrel");
  // libmpv parses numbers with the C locale and refuses to start otherwise.
  std::setlocale(LC_NUMERIC, "C");

  vintrel::RealPlatform real;
  vintrel::Platform platform = real.Make([](QWidget* videoArea) -> std::unique_ptr<vintrel::IPlayer> {
    vintrel::MpvOptions options;
    if (QGuiApplication::platformName() == "xcb") {
      options.wid = static_cast<qint64>(videoArea->winId());
    } else {
      options.vo = "null";  // nowhere of ours to draw; better no picture than a stray window
    }
    // Tests and benchmarks run without sound or screen output where they ask for it.
    if (qEnvironmentVariableIsSet("VINTREL_VO")) options.vo = qEnvironmentVariable("VINTREL_VO");
    if (qEnvironmentVariableIsSet("VINTREL_AO")) options.ao = qEnvironmentVariable("VINTREL_AO");
    return std::make_unique<vintrel::MpvPlayer>(options);
  });
  vintrel::Form1 form(platform);
  form.Form_Load();
  return app.exec();
}
