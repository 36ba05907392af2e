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

struct Control {
  const char* name;
  QRect first;        // at 497x370
  bool time = false;  // a time label: wider about its middle when it shows hundredths
};

const Control kControls[] = {
    {"videoArea", {2, 3, 404, 288}},           {"positionSlider", {1, 291, 405, 25}},
    {"positionLabel", {423, 2, 57, 12}, true}, {"durationLabel", {423, 15, 57, 12}, true},
    {"playButton", {417, 30, 67, 22}},         {"stopButton", {417, 61, 67, 22}},
    {"openButton", {417, 92, 67, 22}},         {"startLabel", {423, 132, 57, 12}, true},
    {"markStartButton", {416, 148, 69, 22}},   {"endLabel", {423, 184, 57, 12}, true},
    {"markEndButton", {418, 200, 67, 22}},     {"helpButton", {418, 240, 67, 22}},
    {"addSegmentButton", {408, 268, 85, 22}},  {"lengthLabel", {26, 319, 57, 12}, true},
    {"costLabel", {100, 318, 306, 14}},        {"playSelectedButton", {7, 335, 102, 22}},
    {"saveButton", {115, 335, 67, 22}},        {"websiteButton", {188, 335, 79, 22}},
    {"tracksButton", {272, 335, 60, 22}},      {"progressBar", {337, 335, 154, 23}},
};

const char* const kColumn[] = {"positionLabel", "durationLabel", "playButton",      "stopButton",
                               "openButton",    "startLabel",    "markStartButton", "endLabel",
                               "markEndButton", "helpButton",    "addSegmentButton"};

QRect firstAt(const Control& c, bool hundredths) {
  return hundredths && c.time ? c.first.adjusted(-15, 0, 16, 0) : c.first;
}

// What holds at every size: each control in the window, none over another, labels whole; the
// column beside the picture, without a gap wider than its widest at the first size; the
// slider under the picture and as wide; the marks drawn at their seconds.
void expectWellLaidOut(vintrel::MainWindow& w, double scale) {
  const QRect window(QPoint(0, 0), w.size());
  for (const Control& c : kControls) {
    SCOPED_TRACE(c.name);
    auto* control = w.findChild<QWidget*>(c.name);
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(window.contains(control->geometry())) << "out of the window";
    if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
          << "cut off: " << label->text().toStdString();
      EXPECT_LE(label->fontMetrics().height(), label->height() + 2) << "cut off at the top or bottom";
    }
    for (const Control& other : kControls) {
      if (&other != &c && std::string(c.name) != "positionSlider" &&
          std::string(other.name) != "positionSlider") {
        EXPECT_FALSE(control->geometry().intersects(w.findChild<QWidget*>(other.name)->geometry()))
            << other.name;
      }
    }
  }
  const QRect video = w.videoArea->geometry(), slider = w.positionSlider->geometry();
  int previousBottom = -1;
  for (const char* name : kColumn) {
    const QRect r = w.findChild<QWidget*>(name)->geometry();
    EXPECT_GT(r.left(), video.right()) << name;
    if (previousBottom >= 0) {
      EXPECT_LE(r.top() - previousBottom, 20 * scale) << "an empty stretch above " << name;
    }
    previousBottom = r.bottom();
  }
  EXPECT_NEAR(slider.left(), video.left(), 2 * scale);
  EXPECT_NEAR(slider.right(), video.right(), 2 * scale);
  EXPECT_GE(slider.top(), video.bottom());
  EXPECT_GE(w.playButton->height(), 22 * scale - 1) << "as large as the scale asks";
  const auto painted = fakes::PaintedMarks(*w.positionSlider);
  ASSERT_EQ(painted.size(), 2u);
  EXPECT_NEAR(painted[0].middle, w.positionSlider->xOf(12), 1.0);
  EXPECT_NEAR(painted[1].middle, w.positionSlider->xOf(w.session().markEnd()), 1.0);
  // In proportion along the slider: 30 of 60 is half way, give or take the thumb.
  EXPECT_NEAR(painted[1].middle + slider.x(), slider.center().x(), 3 + slider.width() / 60.0);
}

TEST(Resizing, EveryControlInItsPlaceLargerWhereThereIsRoomAndTheMarksAtTheirSeconds) {
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
    double previousScale = 0, previousFont = 0;
    for (const QSize& size : sizes) {
      SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
      w.resize(size);
      QApplication::processEvents();
      ASSERT_EQ(w.size(), size);
      const double scale = w.playButton->height() / 22.0;
      EXPECT_GE(scale, previousScale) << "smaller controls in a larger window";
      EXPECT_GE(w.playButton->font().pointSizeF(), previousFont);
      previousScale = scale;
      previousFont = w.playButton->font().pointSizeF();
      expectWellLaidOut(w, scale);
      if (size == QSize(497, 370)) {
        for (const Control& c : kControls)
          EXPECT_EQ(w.findChild<QWidget*>(c.name)->geometry(), firstAt(c, hundredths)) << c.name;
      }
    }
    EXPECT_GE(previousScale, 1.4) << "a large screen's window keeps the first size's small controls";
    // Never smaller than it opens.
    w.resize(300, 200);
    QApplication::processEvents();
    EXPECT_EQ(w.size(), QSize(497, 370));
    for (const Control& c : kControls)
      EXPECT_EQ(w.findChild<QWidget*>(c.name)->geometry(), firstAt(c, hundredths)) << c.name;
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
