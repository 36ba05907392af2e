// The main window as it opens, its keyboard order, About, the web links and closing, on fakes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>

#include "fakes/fakes.h"
#include "platform/qt_platform.h"

namespace {

using fakes::Rig;

struct Control {
  const char* name;
  const char* caption;  // buttons and labels
};

// Every control and its first caption (where each stands: layout_test.cpp).
const Control kControls[] = {
    {"videoArea", nullptr},         {"positionSlider", nullptr},
    {"positionLabel", "hh:mm:ss"},  {"playButton", "Play"},
    {"stopButton", "Stop"},         {"openButton", "Open"},
    {"startLabel", "hh:mm:ss"},     {"markStartButton", "Mark Start"},
    {"endLabel", "hh:mm:ss"},       {"markEndButton", "Mark End"},
    {"helpButton", "Help"},         {"lengthLabel", "hh:mm:ss"},
    {"durationLabel", "0 : 0 : 0"}, {"playSelectedButton", "Play Selected"},
    {"saveButton", "Save"},         {"websiteButton", "Website"},
    {"progressBar", nullptr},
};

TEST(MainWindow, OpensWithEveryControlAndItsCaption) {
  Rig r;
  vintrel::MainWindow& w = r.w();
  EXPECT_EQ(w.windowTitle(), "Vintrel");
  EXPECT_EQ(w.size(), QSize(497, 370));
  EXPECT_EQ(w.minimumSize(), QSize(497, 370)) << "never smaller than it opens";
  EXPECT_GT(w.maximumSize().width(), 497) << "the window may grow";
  EXPECT_FALSE(w.isFullScreen());
  EXPECT_FALSE(w.isMaximized());
  EXPECT_EQ(w.palette().color(QPalette::Window), QColor(Qt::white));
  for (const Control& c : kControls) {
    SCOPED_TRACE(c.name);
    auto* widget = w.findChild<QWidget*>(c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &w);
    EXPECT_TRUE(widget->isEnabled());
    EXPECT_TRUE(widget->isVisibleTo(&w));
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      EXPECT_EQ(button->text(), c.caption);
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), c.caption);
      EXPECT_EQ(label->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    }
  }
  EXPECT_EQ(w.positionLabel->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(w.positionSlider->minimum(), 0);
  EXPECT_EQ(w.positionSlider->maximum(), 10);
  EXPECT_EQ(w.positionSlider->value(), 0);
  EXPECT_EQ(w.positionSlider->singleStep(), 1);
  EXPECT_EQ(w.positionSlider->pageStep(), 5);
  EXPECT_EQ(w.progressBar->minimum(), 0);
  EXPECT_EQ(w.progressBar->maximum(), 100);
  EXPECT_EQ(w.progressBar->value(), 0);
  EXPECT_FALSE(w.positionTimer->isActive());
  EXPECT_EQ(w.positionTimer->interval(), 1000);
  EXPECT_EQ(w.positionSlider->markStart(), 0);
  EXPECT_EQ(w.positionSlider->markEnd(), 10);
  EXPECT_FALSE(w.session().hasFile());
  EXPECT_TRUE(r.p().opened.empty()) << "nothing is loaded at start";
  EXPECT_TRUE(r.messages.shown.empty());
}

TEST(MainWindow, KeyboardFocusStartsOnTheSliderAndMovesInReadingOrder) {
  Rig r;
  vintrel::MainWindow& w = r.w();
  EXPECT_EQ(w.focusWidget(), w.positionSlider);
  // The picture and the column beside it top to bottom, then the slider and the row under it.
  const std::vector<QWidget*> order = {
      w.positionSlider, w.playSelectedButton, w.saveButton,       w.websiteButton, w.tracksButton,
      w.videoArea,      w.playButton,         w.stopButton,       w.openButton,    w.markStartButton,
      w.markEndButton,  w.helpButton,         w.addSegmentButton, w.positionSlider};
  QWidget* at = order.front();
  for (size_t i = 1; i < order.size(); ++i) {
    do {
      at = at->nextInFocusChain();
    } while (at->focusPolicy() == Qt::NoFocus || !at->isVisibleTo(&w) || at == &w);
    EXPECT_EQ(at, order[i]) << "after " << order[i - 1]->objectName().toStdString() << " comes "
                            << at->objectName().toStdString();
  }
}

TEST(About, OneWindowOwnedByTheMainWindowWithTheCredits) {
  Rig r("Thanks to everyone.\nAnd to you.");
  r.w().aboutAction->trigger();
  QPointer<vintrel::AboutWindow> first = r.w().aboutWindow();
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(first->isWindow());
  EXPECT_EQ(first->parentWidget(), &r.w()) << "owned by the main window";
  EXPECT_EQ(first->windowTitle(), "About");
  // Every line whole, and room to read the credits: it may be made larger.
  for (const QLabel* label : first->findChildren<QLabel*>())
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
        << label->text().toStdString();
  EXPECT_GT(first->maximumSize().height(), first->minimumSize().height());
  EXPECT_EQ(first->creditsBox->toPlainText(), "Thanks to everyone.\nAnd to you.");
  EXPECT_TRUE(first->creditsBox->isReadOnly());
  EXPECT_TRUE(first->copyrightLabel->font().underline());
  // The encoder is named as it is installed here.
  const auto* encoder = first->findChild<QLabel*>("encoderSourceLabel");
  ASSERT_TRUE(encoder);
  EXPECT_TRUE(encoder->text().contains("ffmpeg")) << encoder->text().toStdString();
  for (const QLabel* label : first->findChildren<QLabel*>())
    EXPECT_FALSE(label->text().contains(".exe")) << label->text().toStdString();

  r.w().aboutAction->trigger();
  EXPECT_EQ(r.w().aboutWindow(), first.data()) << "brought forward, not made twice";

  first->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(first) << "a closed About window is let go";
  r.w().aboutAction->trigger();
  ASSERT_TRUE(r.w().aboutWindow());
  EXPECT_TRUE(r.w().aboutWindow()->isVisible());
  EXPECT_EQ(r.w().aboutWindow()->creditsBox->toPlainText(), "Thanks to everyone.\nAnd to you.");
}

TEST(About, FromTheWindowsContextMenu) {
  Rig r;
  r.w().show();
  bool offered = false;
  // The menu runs modally: choose its entry once it is up.
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    offered = menu->actions().contains(r.w().aboutAction);
    menu->close();
    if (offered) r.w().aboutAction->trigger();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(200, 150), r.w().mapToGlobal(QPoint(200, 150)));
  QApplication::sendEvent(&r.w(), &event);
  EXPECT_TRUE(offered) << "the context menu has no About entry";
  ASSERT_TRUE(r.w().aboutWindow());
  EXPECT_TRUE(r.w().aboutWindow()->isVisible());
}

TEST(Closing, LetsGoOfTheFileAndTheAboutWindow) {
  Rig r;
  r.open();
  r.w().show();
  r.w().aboutAction->trigger();
  QPointer<vintrel::AboutWindow> about = r.w().aboutWindow();
  QSignalSpy closed(&r.w(), &vintrel::MainWindow::closed);
  r.w().close();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(r.w().isVisible());
  EXPECT_EQ(r.p().closes, 1);
  EXPECT_FALSE(r.w().positionTimer->isActive());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(about);
}

TEST(Links, WebsiteOpensAtOnceHelpOnlyOnYes) {
  Rig r;
  r.w().websiteButton->click();
  EXPECT_EQ(r.urls.opened, std::vector<QString>{"https://vintrel.example.org/"});
  EXPECT_TRUE(r.messages.shown.empty());

  r.messages.answers = {false};
  r.w().helpButton->click();
  ASSERT_EQ(r.messages.shown.size(), 1u);
  EXPECT_EQ(r.messages.shown[0].text,
            "If you are unable to play the video, you need video codecs installed. Do you want to download "
            "video codecs now?");
  EXPECT_TRUE(r.messages.shown[0].question);
  EXPECT_EQ(r.urls.opened.size(), 1u);

  r.messages.answers = {true};
  r.w().helpButton->click();
  EXPECT_EQ(r.urls.opened, (std::vector<QString>{"https://vintrel.example.org/",
                                                 "https://vintrel.example.org/codecs.html"}));
}

TEST(Links, ABrowserThatCannotBeStartedIsSaidAndTheProgramGoesOn) {
  Rig r;
  r.urls.fail = true;
  r.messages.answers = {true};
  r.w().websiteButton->click();
  r.w().helpButton->click();
  ASSERT_EQ(r.messages.shown.size(), 3u);
  EXPECT_EQ(r.messages.shown[0].text, "Vintrel could not start a web browser.");
  EXPECT_EQ(r.messages.shown[0].detail, "The page is at https://vintrel.example.org/");
  EXPECT_EQ(r.messages.shown[2].text, "Vintrel could not start a web browser.");
  EXPECT_EQ(r.messages.shown[2].detail, "The page is at https://vintrel.example.org/codecs.html");

  r.open();
  EXPECT_TRUE(r.p().running());
  EXPECT_EQ(r.w().playButton->text(), "Pause");
}

TEST(Links, LeavePlaybackAlone) {
  Rig r;
  r.open();
  r.markStart(3);
  r.markEnd(9);
  r.messages.answers = {true};
  r.w().websiteButton->click();
  r.w().helpButton->click();
  EXPECT_TRUE(r.p().seeks.empty());
  EXPECT_TRUE(r.p().running());
  EXPECT_TRUE(r.w().positionTimer->isActive());
  EXPECT_EQ(r.w().session().markStart(), 3);
  EXPECT_EQ(r.w().session().markEnd(), 9);
}

TEST(DialogFilters, InQtsFormKeepingTheDescriptions) {
  const QStringList filters = vintrel::qtNameFilters(
      "All Video Files|*.dat;*.mp4;*.wmv;*.mov;*.avi;*.divx;*.mpg;*.flv;*.mkv;*.vob|All Files(*.*)|*.*");
  ASSERT_EQ(filters.size(), 2);
  EXPECT_TRUE(filters[0].startsWith("All Video Files ("));
  for (const char* ext : {"dat", "mp4", "wmv", "mov", "avi", "divx", "mpg", "flv", "mkv", "vob"}) {
    EXPECT_TRUE(filters[0].contains(QString("*.%1").arg(ext))) << ext;
    EXPECT_TRUE(filters[0].contains(QString("*.%1").arg(QString(ext).toUpper()))) << ext;
  }
  EXPECT_EQ(filters[1], "All Files(*.*) (*)");
  EXPECT_EQ(vintrel::qtNameFilters("AVI Files|*.avi|All Files(*.*)|*.*"),
            (QStringList{"AVI Files (*.avi *.AVI)", "All Files(*.*) (*)"}));
  EXPECT_EQ(vintrel::qtNameFilters("DAT Files|*.DAT|All Files(*.*)|*.*"),
            (QStringList{"DAT Files (*.DAT)", "All Files(*.*) (*)"}));
}

}  // namespace
