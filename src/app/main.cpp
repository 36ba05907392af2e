// Vintrel: cut a stretch out of a video.
#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <optional>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/window_watch.h"
#include "platform/qt_platform.h"
#include "platform/standard_descriptors.h"
#include "player/mpv_player.h"
#include "save/cut_job.h"
#include "version.h"

namespace {

QStringList argumentsOf(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

// Help and the version are answered before any window: they need no display. The exit
// status where the request is answered so.
std::optional<int> answerWithoutWindow(const vintrel::StartRequest& asked) {
  if (asked.action == vintrel::StartRequest::Action::Help) {
    std::fputs(vintrel::usageText().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (asked.action == vintrel::StartRequest::Action::Version) {
    std::printf("Vintrel %s\n", vintrel::kVersion);
    return 0;
  }
  return std::nullopt;
}

// The player draws into a native X11 window; under Wayland that is XWayland's.
void preferX11() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
}

void describeApplication() {
  QApplication::setApplicationName("Vintrel");
  QApplication::setApplicationVersion(vintrel::kVersion);
  QApplication::setDesktopFileName("vintrel");
  // libmpv parses numbers with the C locale and refuses to start otherwise.
  std::setlocale(LC_NUMERIC, "C");
}

std::unique_ptr<vintrel::Player> makePlayer(QWidget* videoArea) {
  // Tests and benchmarks run without sound or screen output where they ask for it.
  return vintrel::makeEmbeddedPlayer(videoArea, qEnvironmentVariable("VINTREL_VO"),
                                     qEnvironmentVariable("VINTREL_AO"));
}

// The outside world the window talks to, the real one.
struct RealWorld {
  vintrel::RealFiles files;
  vintrel::QtMessages messages;
  vintrel::QtFileDialogs dialogs;
  vintrel::DesktopUrlOpener urls;
  vintrel::DBusNotifier notifier;

  vintrel::Services services() {
    return {messages,
            dialogs,
            urls,
            files,
            makePlayer,
            [this]() -> std::unique_ptr<vintrel::CutJob> {
              return std::make_unique<vintrel::ProcessCutJob>(vintrel::findCutProgram(files.programFolder()));
            },
            &notifier};
  }
  // The credits lie beside the program in a build, and under share/ once installed.
  std::optional<QString> credits() {
    if (std::optional<QString> beside = files.readText(files.programFolder() + "/thanks.txt")) return beside;
    return files.readText(files.programFolder() + "/../share/vintrel/thanks.txt");
  }
};

// Shows the window, opening the file asked for; the program's exit status once it is closed.
int runWindow(QApplication& app, RealWorld& world, const vintrel::StartRequest& request) {
  const std::optional<QString> credits = world.credits();
  std::unique_ptr<vintrel::MainWindow> window;
  try {
    window = std::make_unique<vintrel::MainWindow>(world.services(), credits.value_or(QString()));
  } catch (const vintrel::PlayerStartError& error) {
    world.messages.inform("The video player could not be started.", QString::fromUtf8(error.what()));
    return 1;
  }
  QObject::connect(window.get(), &vintrel::MainWindow::closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  // A window destroyed from outside ends the program as a close does; a running cut
  // finishes its file all the same. At once, though: the player's video output would
  // only trip over its vanished window while it shuts down.
  vintrel::WindowDestroyedWatch watch(window.get(), [] {
    std::fflush(nullptr);
    ::_exit(0);
  });
  window->show();
  if (!credits) {
    // Said over the window, which is already on screen; the program ends with the message.
    world.messages.inform("Please re-install Vintrel");
    return 1;
  }
  if (!request.file.isEmpty()) window->openFile(request.file);
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  vintrel::keepStandardDescriptorsOpen();
  if (const std::optional<int> answered =
          answerWithoutWindow(vintrel::parseStartArguments(argumentsOf(argc, argv))))
    return *answered;
  preferX11();
  vintrel::tolerateVanishedWindows();
  QApplication app(argc, argv);
  // The toolkit has taken its own options (-display, -platform...) out of argv by now.
  const vintrel::StartRequest request = vintrel::parseStartArguments(argumentsOf(argc, argv));
  if (request.action == vintrel::StartRequest::Action::BadArguments) {
    std::fprintf(stderr, "vintrel: %s\n%s", request.problem.toLocal8Bit().constData(),
                 vintrel::usageText().toLocal8Bit().constData());
    return 2;
  }
  describeApplication();
  RealWorld world;
  return runWindow(app, world, request);
}
