// The window made larger, maximised and full screen: where every control and the mark
// ticks stand at each size; and what the window remembers between runs. On fakes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "fakes/fakes.h"

namespace {

using fakes::Rig;

// How a control follows the window, as the user sees it.
enum class Follows { Grows, RightEdge, RightAndBottom, BottomEdge, BottomAndWidth };

struct Control {
  const char* name;
  QRect first;  // at 497x370
  Follows follows;
  bool time = false;  // a time label: wider about its middle when it shows hundredths
};

const Control kControls[] = {
    {"videoArea", {2, 3, 404, 288}, Follows::Grows},
    {"positionSlider", {1, 291, 405, 25}, Follows::BottomAndWidth},
    {"positionLabel", {423, 14, 57, 12}, Follows::RightEdge, true},
    {"playButton", {417, 30, 67, 22}, Follows::RightEdge},
    {"stopButton", {417, 61, 67, 22}, Follows::RightEdge},
    {"openButton", {417, 92, 67, 22}, Follows::RightEdge},
    {"startLabel", {423, 132, 57, 12}, Follows::RightEdge, true},
    {"markStartButton", {416, 148, 69, 22}, Follows::RightEdge},
    {"endLabel", {423, 184, 57, 12}, Follows::RightEdge, true},
    {"markEndButton", {418, 200, 67, 22}, Follows::RightEdge},
    {"helpButton", {418, 267, 67, 22}, Follows::RightAndBottom},
    {"lengthLabel", {26, 319, 57, 12}, Follows::BottomEdge, true},
    {"playSelectedButton", {7, 335, 102, 22}, Follows::BottomEdge},
    {"saveButton", {115, 335, 67, 22}, Follows::BottomEdge},
    {"websiteButton", {188, 335, 79, 22}, Follows::BottomEdge},
    {"progressBar", {272, 335, 219, 23}, Follows::BottomAndWidth},
};

QRect expectedAt(const Control& c, QSize size, bool hundredths) {
  const int dx = size.width() - 497, dy = size.height() - 370;
  const QRect r = hundredths && c.time ? c.first.adjusted(-15, 0, 16, 0) : c.first;
  switch (c.follows) {
    case Follows::Grows:
      return r.adjusted(0, 0, dx, dy);
    case Follows::RightEdge:
      return r.translated(dx, 0);
    case Follows::RightAndBottom:
      return r.translated(dx, dy);
    case Follows::BottomEdge:
      return r.translated(0, dy);
    case Follows::BottomAndWidth:
      return r.translated(0, dy).adjusted(0, 0, dx, 0);
  }
  return r;
}

// Where the slider shows `seconds`: its thumb's middle, between two seconds' for a fraction.
double thumbMiddle(const vintrel::PositionSlider& slider, double seconds) {
  const int whole = static_cast<int>(seconds);
  auto middle = [&](int value) {
    const QRect handle = slider.handleRect(value);
    return handle.x() + handle.width() / 2.0;
  };
  const double from = middle(whole);
  const double to = middle(std::min(whole + 1, slider.maximum()));
  return slider.x() + from + (to - from) * (seconds - whole);
}

double tickMiddle(const QWidget& tick) { return tick.x() + tick.width() / 2.0; }

TEST(Resizing, EveryControlKeepsToItsEdgesAndTheTicksToTheirMarks) {
  const QSize sizes[] = {{497, 370}, {498, 371}, {640, 480}, {1280, 720}, {1920, 1080}, {2560, 1440}};
  for (const bool hundredths : {false, true}) {
    SCOPED_TRACE(hundredths ? "marks to the frame" : "whole seconds");
    Rig r;
    vintrel::MainWindow& w = r.w();
    w.marksToFrameAction->setChecked(hundredths);
    r.open("/videos/long.mkv", 60);
    r.p().pos = 59.5;
    r.tick();  // the widest position the clip has
    r.markStart(12);
    r.markEnd(hundredths ? 30.52 : 30);
    w.show();
    for (const QSize& size : sizes) {
      SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
      w.resize(size);
      QApplication::processEvents();
      ASSERT_EQ(w.size(), size);
      for (const Control& c : kControls) {
        SCOPED_TRACE(c.name);
        auto* control = w.findChild<QWidget*>(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), expectedAt(c, size, hundredths));
        EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(control->geometry())) << "out of the window";
        if (auto* label = qobject_cast<QLabel*>(control)) {
          EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
              << "cut off: " << label->text().toStdString();
        }
      }
      // The right column's labels stay clear of the picture.
      EXPECT_GT(w.startLabel->geometry().left(), w.videoArea->geometry().right());
      // The ticks stand at their marks on the slider as it now is, right under it.
      EXPECT_NEAR(tickMiddle(*w.startTick), thumbMiddle(*w.positionSlider, 12), 1.0);
      EXPECT_NEAR(tickMiddle(*w.endTick), thumbMiddle(*w.positionSlider, w.session().markEnd()), 1.0);
      EXPECT_EQ(w.startTick->geometry().bottom(), w.positionSlider->geometry().bottom());
      // And in proportion along the slider: 30 of 60 is half way, give or take the thumb.
      const QRect slider = w.positionSlider->geometry();
      EXPECT_NEAR(tickMiddle(*w.endTick), slider.center().x(), 3 + slider.width() / 60.0);
    }
    // Never smaller than it opens.
    w.resize(300, 200);
    QApplication::processEvents();
    EXPECT_EQ(w.size(), QSize(497, 370));
    for (const Control& c : kControls)
      EXPECT_EQ(w.findChild<QWidget*>(c.name)->geometry(), expectedAt(c, {497, 370}, hundredths)) << c.name;
  }
}

TEST(FullScreen, F11OrADoubleClickOnThePictureEscOrF11Leave) {
  Rig r;
  vintrel::MainWindow& w = r.w();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(w.positionSlider, Qt::Key_F11);
  EXPECT_TRUE(w.isFullScreen());
  QTest::keyClick(w.positionSlider, Qt::Key_F11);
  EXPECT_FALSE(w.isFullScreen());

  QTest::mouseDClick(w.videoArea, Qt::LeftButton, {}, QPoint(50, 50));
  EXPECT_TRUE(w.isFullScreen());
  QTest::keyClick(w.playButton, Qt::Key_Escape);
  EXPECT_FALSE(w.isFullScreen());

  // A maximised window is maximised again after full screen.
  w.showMaximized();
  w.fullScreenAction->trigger();
  EXPECT_TRUE(w.isFullScreen());
  w.fullScreenAction->trigger();
  EXPECT_FALSE(w.isFullScreen());
  EXPECT_TRUE(w.isMaximized());
  w.showNormal();

  // While a save runs in full screen, Esc cancels the save first.
  w.fullScreenAction->trigger();
  r.open();
  r.markStart(3);
  r.markEnd(8);
  r.dialogs.answers.push_back(QString("/videos/cut.avi"));
  w.saveAction->trigger();
  ASSERT_TRUE(r.job);
  QTest::keyClick(w.positionSlider, Qt::Key_Escape);
  EXPECT_EQ(r.job->cancels, 1);
  EXPECT_TRUE(w.isFullScreen());
  r.finishCut({vintrel::CutOutcome::Result::Cancelled, {}, {}});
  QTest::keyClick(w.positionSlider, Qt::Key_Escape);
  EXPECT_FALSE(w.isFullScreen());
}

// The context menu's choice, as the user reaches it.
QAction* marksToFrameInMenu(Rig& r) {
  QAction* found = nullptr;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions())
      if (a->text() == "Marks to the frame") found = a;
    menu->close();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(440, 120), r.w().mapToGlobal(QPoint(440, 120)));
  QApplication::sendEvent(&r.w(), &event);
  return found;
}

TEST(Remembered, SizePlaceOpenFolderAndMarksToTheFrameAcrossRuns) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect where(screen.topLeft() + QPoint(40, 30), QSize(900, 600));
  {
    Rig first;
    vintrel::MainWindow& w = first.w();
    EXPECT_EQ(w.size(), QSize(497, 370)) << "a first run opens at the first size";
    QAction* choice = marksToFrameInMenu(first);
    ASSERT_NE(choice, nullptr) << "no Marks to the frame in the context menu";
    EXPECT_TRUE(choice->isCheckable());
    EXPECT_FALSE(choice->isChecked()) << "off by default";
    choice->setChecked(true);
    w.show();
    w.setGeometry(where);
    first.open("/films/summer/clip.avi");
    EXPECT_EQ(first.dialogs.uses.back().request.folder, "");
    w.close();
  }
  {
    QSettings settings("Vintrel", "Vintrel");
    settings.sync();
    EXPECT_EQ(settings.value("window/geometry").toRect(), where) << "written to the settings";
  }
  {
    Rig second("Thanks.", Rig::Settings::Kept);
    vintrel::MainWindow& w = second.w();
    EXPECT_EQ(w.geometry(), where);
    EXPECT_TRUE(w.session().marksToFrame());
    EXPECT_TRUE(w.marksToFrameAction->isChecked());
    second.open("/films/summer/clip.avi");
    EXPECT_EQ(second.dialogs.uses.back().request.folder, "/films/summer");
    // Maximised when left maximised; the size it had before comes back when it is restored.
    w.show();
    w.showMaximized();
    w.marksToFrameAction->setChecked(false);
    w.close();
  }
  {
    Rig third("Thanks.", Rig::Settings::Kept);
    EXPECT_TRUE(third.w().windowState().testFlag(Qt::WindowMaximized));
    EXPECT_FALSE(third.w().session().marksToFrame());
    third.w().show();
    third.w().showNormal();
    EXPECT_EQ(third.w().size(), where.size());
  }
  {
    // A place on no screen any more: the size is kept, the system places the window.
    QSettings("Vintrel", "Vintrel").setValue("window/geometry", QRect(-5000, -5000, 800, 500));
    QSettings("Vintrel", "Vintrel").setValue("window/maximized", false);
    Rig fourth("Thanks.", Rig::Settings::Kept);
    EXPECT_EQ(fourth.w().size(), QSize(800, 500));
    EXPECT_NE(fourth.w().pos(), QPoint(-5000, -5000));
  }
}

}  // namespace
