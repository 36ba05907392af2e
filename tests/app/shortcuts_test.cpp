// The keys: each does exactly what its button does, whichever control has the focus, and
// nothing while its button is disabled.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "fakes/fakes.h"

namespace {

using fakes::Rig;

void press(QWidget* focus, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  focus->setFocus();
  QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
  QApplication::processEvents();
}

struct KeyCase {
  const char* what;
  int key;
  Qt::KeyboardModifiers modifiers;
  std::function<void(Rig&)> stage;   // the state before the key
  std::function<void(Rig&)> expect;  // what the key did
};

const QString kZero = "0 : 0 : 0";

bool g_menuSeen = false;  // a context menu came up

std::vector<KeyCase> keyCases() {
  auto openAt = [](double position) {
    return [position](Rig& r) {
      r.open();
      r.p().pos = position;
    };
  };
  auto withMarks = [](Rig& r) {
    r.open();
    r.markStart(3);
    r.markEnd(8);
  };
  return {
      {"Space pauses", Qt::Key_Space, Qt::NoModifier, openAt(2),
       [](Rig& r) {
         EXPECT_FALSE(r.p().running());
         EXPECT_EQ(r.w().playButton->text(), "Play");
       }},
      {"Space plays again", Qt::Key_Space, Qt::NoModifier,
       [](Rig& r) {
         r.open();
         r.w().playPauseAction->trigger();
       },
       [](Rig& r) {
         EXPECT_TRUE(r.p().running());
         EXPECT_EQ(r.w().playButton->text(), "Pause");
       }},
      {"S stops", Qt::Key_S, Qt::NoModifier, openAt(5),
       [](Rig& r) {
         EXPECT_EQ(r.p().pos, 0);
         EXPECT_EQ(r.w().positionLabel->text(), kZero);
         EXPECT_EQ(r.w().playButton->text(), "Play");
       }},
      {"Ctrl+O opens", Qt::Key_O, Qt::ControlModifier, [](Rig&) {},
       [](Rig& r) {
         ASSERT_EQ(r.dialogs.uses.size(), 1u);
         EXPECT_FALSE(r.dialogs.uses[0].save);
       }},
      {"I marks the start", Qt::Key_I, Qt::NoModifier, openAt(3.4),
       [](Rig& r) { EXPECT_EQ(r.w().session().markStart(), 3); }},
      {"O marks the end", Qt::Key_O, Qt::NoModifier, openAt(7.6),
       [](Rig& r) { EXPECT_EQ(r.w().session().markEnd(), 8); }},
      {"P plays the selection", Qt::Key_P, Qt::NoModifier, withMarks,
       [](Rig& r) {
         EXPECT_TRUE(r.w().session().isPlayingSelection());
         EXPECT_EQ(r.p().pos, 3);
       }},
      {"Ctrl+S saves", Qt::Key_S, Qt::ControlModifier, withMarks,
       [](Rig& r) {
         ASSERT_EQ(r.dialogs.uses.size(), 2u);  // Open's, then Save's
         EXPECT_TRUE(r.dialogs.uses[1].save);
       }},
      {"Right is a second on", Qt::Key_Right, Qt::NoModifier, openAt(0),
       [](Rig& r) {
         EXPECT_EQ(r.w().positionSlider->value(), 1);
         EXPECT_EQ(r.p().pos, 1);
       }},
      {"Shift+Right is five seconds on", Qt::Key_Right, Qt::ShiftModifier, openAt(0),
       [](Rig& r) { EXPECT_EQ(r.p().pos, 5); }},
      {"Left is a second back", Qt::Key_Left, Qt::NoModifier,
       [](Rig& r) {
         r.open();
         r.w().jumpForwardAction->trigger();
       },
       [](Rig& r) { EXPECT_EQ(r.p().pos, 4); }},
      {"Shift+Left is five seconds back, not before 0", Qt::Key_Left, Qt::ShiftModifier,
       [](Rig& r) {
         r.open();
         r.w().stepForwardAction->trigger();
       },
       [](Rig& r) { EXPECT_EQ(r.p().pos, 0); }},
      {"Period steps a frame on, paused", Qt::Key_Period, Qt::NoModifier, openAt(2),
       [](Rig& r) {
         EXPECT_EQ(r.p().frameSteps, std::vector<bool>{true});
         EXPECT_FALSE(r.p().running());
       }},
      {"Comma steps a frame back, paused", Qt::Key_Comma, Qt::NoModifier, openAt(2),
       [](Rig& r) {
         EXPECT_EQ(r.p().frameSteps, std::vector<bool>{false});
         EXPECT_FALSE(r.p().running());
       }},
      {"F1 shows the keys", Qt::Key_F1, Qt::NoModifier, [](Rig&) {},
       [](Rig& r) {
         ASSERT_TRUE(r.w().shortcutsWindow());
         EXPECT_TRUE(r.w().shortcutsWindow()->isVisible());
         EXPECT_TRUE(r.messages.shown.empty()) << "the codec question is Help's";
       }},
      {"Shift+F10 opens the menu", Qt::Key_F10, Qt::ShiftModifier,
       [](Rig&) {
         g_menuSeen = false;
         QTimer::singleShot(0, [] {
           auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
           g_menuSeen = menu != nullptr;
           if (menu) menu->close();
         });
       },
       [](Rig&) { EXPECT_TRUE(g_menuSeen); }},
  };
}

TEST(Shortcuts, EachKeyDoesWhatItsButtonDoesWhereverTheFocusIs) {
  for (const KeyCase& c : keyCases()) {
    for (const char* focusName : {"positionSlider", "saveButton", "videoArea"}) {
      SCOPED_TRACE(std::string(c.what) + ", focus on " + focusName);
      Rig r;
      r.activate();
      c.stage(r);
      press(r.w().findChild<QWidget*>(focusName), c.key, c.modifiers);
      c.expect(r);
    }
  }
}

// Only Esc and the button cancel a save: the Save key pressed again, as people do, is ignored.
TEST(Shortcuts, NothingWhileTheButtonIsDisabledAndEscCancelsASave) {
  Rig r;
  r.activate();
  r.open();
  r.markStart(3);
  r.markEnd(8);
  r.dialogs.answers.push_back(QString("/videos/cut.avi"));
  r.w().saveAction->trigger();
  ASSERT_TRUE(r.w().session().isSaving());
  const bool wasRunning = r.p().running();
  const auto seeks = r.p().seeks.size();
  for (int key : {int(Qt::Key_Space), int(Qt::Key_S), int(Qt::Key_I), int(Qt::Key_O), int(Qt::Key_P),
                  int(Qt::Key_Right), int(Qt::Key_Left), int(Qt::Key_Comma), int(Qt::Key_Period)})
    press(r.w().saveButton, key);
  press(r.w().saveButton, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(r.p().running(), wasRunning);
  EXPECT_EQ(r.p().seeks.size(), seeks);
  EXPECT_EQ(r.w().session().markStart(), 3);
  EXPECT_EQ(r.w().session().markEnd(), 8);
  EXPECT_EQ(r.dialogs.uses.size(), 2u) << "no Open dialog during a save";
  ASSERT_TRUE(r.job);
  for (const char* focusName : {"positionSlider", "saveButton", "videoArea"})
    press(r.w().findChild<QWidget*>(focusName), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(r.job->cancels, 0);
  EXPECT_EQ(r.jobsMade, 1);
  press(r.w().positionSlider, Qt::Key_Escape);
  EXPECT_EQ(r.job->cancels, 1);
  r.w().saveButton->click();
  EXPECT_EQ(r.job->cancels, 2);
  // Once the cut has ended the Save key saves again.
  r.finishCut({vintrel::CutOutcome::Result::Cancelled, {}, {}});
  r.dialogs.answers.push_back(std::nullopt);
  press(r.w().saveButton, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(r.dialogs.uses.size(), 3u);
}

TEST(Shortcuts, ButtonsNameTheirKeys) {
  Rig r;
  const std::pair<QPushButton*, const char*> expected[] = {
      {r.w().playButton, "Space"},  {r.w().stopButton, "S"},    {r.w().openButton, "Ctrl+O"},
      {r.w().markStartButton, "I"}, {r.w().markEndButton, "O"}, {r.w().playSelectedButton, "P"},
      {r.w().saveButton, "Ctrl+S"},
  };
  for (const auto& [button, key] : expected)
    EXPECT_TRUE(button->toolTip().contains(key)) << button->toolTip().toStdString();
  // The keys without a button of their own are told where they act.
  for (const QWidget* control :
       {static_cast<QWidget*>(r.w().positionSlider), static_cast<QWidget*>(r.w().positionLabel)}) {
    EXPECT_TRUE(control->toolTip().contains(", (comma)")) << control->toolTip().toStdString();
    EXPECT_TRUE(control->toolTip().contains(". (period)")) << control->toolTip().toStdString();
  }
  EXPECT_TRUE(r.w().videoArea->toolTip().contains("F11"));
}

// The Keyboard Shortcuts window lists every key the window answers, from F1 and the menu;
// Help still offers the codec page.
TEST(Shortcuts, TheShortcutsWindowListsEveryKeyAndHelpKeepsTheCodecPage) {
  Rig r;
  r.activate();
  r.w().shortcutsAction->trigger();
  vintrel::ShortcutsWindow* list = r.w().shortcutsWindow();
  ASSERT_TRUE(list);
  QStringList keys;
  for (int row = 0; row < list->table->rowCount(); ++row) keys << list->table->item(row, 0)->text();
  for (const QAction* action : r.w().actions()) {
    if (action->shortcut().isEmpty()) continue;
    EXPECT_TRUE(keys.contains(action->shortcut().toString(QKeySequence::NativeText)))
        << action->objectName().toStdString() << " missing";
  }
  for (const char* key : {"Page Up, Page Down", "Home, End"}) EXPECT_TRUE(keys.contains(key)) << key;
  r.w().helpButton->click();
  ASSERT_EQ(r.messages.shown.size(), 1u);
  EXPECT_TRUE(r.messages.shown[0].question);
}

}  // namespace
