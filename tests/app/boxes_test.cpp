// The program's boxes and windows over the main window, as the real toolkit shows them: Esc
// closes each, a command's key pressed while one is up is not lost, each opens over the middle
// of the window (whole on the screen) and as large as its text, the Done box keeps a file's
// name on one line and its details pane grows with it. On Qt's offscreen platform, and again on
// a real X server (boxes_x11_test).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "fakes/fakes.h"
#include "platform/qt_platform.h"
#include "platform/saved_box.h"

namespace {

using fakes::Rig;

// Runs `open`, which shows a box (modal: it returns once the box is gone); once the box is up,
// `inside` runs on it, then `key` is pressed in it. False when the key left the box open:
// it is then closed by force, so a fault cannot hang the test.
bool keyClosesBox(const std::function<void()>& open, QKeySequence key,
                  const std::function<void(QWidget*)>& inside = {}) {
  bool closedByKey = false;
  QTimer::singleShot(100, [&] {
    // A box that deletes itself on close may be gone once the key's events are processed.
    QPointer<QWidget> box = QApplication::activeModalWidget();
    if (!box) box = QApplication::activeWindow();
    if (!box) return;
    // On a real display the box takes the keyboard a moment after it shows.
    (void)QTest::qWaitForWindowActive(box, 1000);
    if (!box) return;
    if (inside) inside(box);
    const QKeyCombination combination = key[0];
    QTest::keyClick(box, combination.key(), combination.keyboardModifiers());
    QApplication::processEvents();
    closedByKey = !box || !box->isVisible();
    if (!closedByKey) box->close();
  });
  open();
  QTest::qWait(150);
  return closedByKey;
}

TEST(Boxes, EscClosesEachBoxAndEachOpensOverTheMiddleOfTheWindow) {
  vintrel::QtMessages messages;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint inTheMiddle = screen.center() - QPoint(250, 185);
  const QPoint nearTheTopLeft = screen.topLeft() + QPoint(40, 30);  // a box centred on it fits
  // Half out of the screen's lower left corner: the box stays whole on the screen.
  const QPoint atTheCorner = screen.bottomLeft() - QPoint(250, 185);
  const struct {
    const char* what;
    std::function<void(Rig&)> open;
    QPoint windowAt = {};
    bool windowActive = true;  // else the user is in another program's window
  } rows[] = {
      {"a message",
       [&](Rig&) { messages.inform("The file was not saved.", "The folder /x cannot be written."); },
       inTheMiddle},
      // A message box takes the width of its text only as it is shown.
      {"a long message",
       [&](Rig&) { messages.inform("The file was not saved.", QString("/a-long-folder-name").repeated(6)); },
       inTheMiddle},
      {"a question",
       [&](Rig&) { EXPECT_FALSE(messages.askYesNo("Overwrite?", "a.mp4 already exists in /v.")); },
       inTheMiddle},
      {"Done",
       [&](Rig&) { EXPECT_FALSE(messages.informSaved("Done", "cut.mp4: copied whole", "the whole report")); },
       inTheMiddle},
      {"About",
       [](Rig& r) {
         r.w().aboutAction->trigger();
         QTest::qWait(300);
       },
       inTheMiddle},
      {"Keyboard Shortcuts",
       [](Rig& r) {
         r.w().shortcutsAction->trigger();
         QTest::qWait(300);
       },
       inTheMiddle},
      {"Done, once a save in the background ends",
       [&](Rig&) { EXPECT_FALSE(messages.informSaved("Done", "cut.mp4: copied whole", "the whole report")); },
       nearTheTopLeft, false},
      {"a question over a window at the screen's corner",
       [&](Rig&) { EXPECT_FALSE(messages.askYesNo("Overwrite?", "a.mp4 already exists in /v.")); },
       atTheCorner},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Rig r;
    r.activate();
    r.w().move(row.windowAt);
    if (!row.windowActive) {
      QWidget elsewhere;
      elsewhere.show();
      elsewhere.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
      elsewhere.hide();
      QTest::qWait(50);
      ASSERT_EQ(QApplication::activeWindow(), nullptr);
    }
    QRect box;
    EXPECT_TRUE(keyClosesBox([&] { row.open(r); }, QKeySequence(Qt::Key_Escape),
                             [&](QWidget* shown) { box = shown->frameGeometry(); }));
    EXPECT_TRUE(screen.contains(box)) << "partly off the screen";
    if (row.windowAt != atTheCorner) {
      EXPECT_LE((box.center() - r.w().frameGeometry().center()).manhattanLength(), 2) << "not centred";
    }
  }
}

// Ctrl+O pressed while "Done" is up: the box goes and the Open dialog comes, as the user meant.
TEST(Boxes, ACommandsKeyClosesTheBoxAndRunsTheCommand) {
  vintrel::QtMessages messages;
  for (const bool saved : {false, true}) {
    SCOPED_TRACE(saved ? "Done" : "a message");
    Rig r;
    r.activate();
    EXPECT_TRUE(keyClosesBox(
        [&] {
          if (saved) {
            messages.informSaved("Done", "cut.mp4", "report");
          } else {
            messages.inform("Saving was cancelled. Nothing was written.");
          }
        },
        QKeySequence(Qt::CTRL | Qt::Key_O)));
    QTest::qWait(50);
    ASSERT_EQ(r.dialogs.uses.size(), 1u) << "the key was lost";
    EXPECT_FALSE(r.dialogs.uses[0].save);
  }
}

TEST(Boxes, DoneKeepsTheNameOnOneLineAndItsDetailsGrowWithTheBox) {
  const QString summary =
      "holiday-trip-to-the-mountains-cut-0_03.17-0_13.50.mp4: 250 frames copied, 12 re-encoded";
  vintrel::SavedBox box("Done", summary, QString("line\n").repeated(60), nullptr);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  EXPECT_GE(box.summaryLabel->width(), box.summaryLabel->fontMetrics().horizontalAdvance(summary))
      << "the name is broken or cut";
  EXPECT_FALSE(box.detailsPane->isVisible());
  box.detailsButton->click();
  QApplication::processEvents();
  ASSERT_TRUE(box.detailsPane->isVisible());
  const int paneBefore = box.detailsPane->height();
  EXPECT_GE(paneBefore, box.fontMetrics().lineSpacing() * 10) << "a pane too small to read a report in";
  box.resize(box.width() + 200, box.height() + 300);
  QApplication::processEvents();
  EXPECT_GT(box.detailsPane->height(), paneBefore + 200) << "the pane keeps its size in a larger box";
}

}  // namespace
