// The main window as it opens, start-up and shutdown, the About window and the web links.
#include <gtest/gtest.h>

#include <QApplication>

#include "about/about_module.h"
#include "about/form2.h"
#include "fakes/fakes.h"
#include "platform/common_dialog.h"

using namespace fakes;

namespace {

struct Expected {
  const char* name;
  int left, top, width, height;  // twips
  const char* caption;
};

// The control table; a control drifting from it is a visible fault.
const Expected kControls[] = {
    {"mp", 30, 45, 6060, 4320, nullptr},           {"H", 15, 4365, 6075, 375, nullptr},
    {"Label4", 6345, 210, 855, 180, "hh:mm:ss"},   {"Command1", 6255, 450, 1005, 330, "Play"},
    {"Command2", 6255, 915, 1005, 330, "Stop"},    {"Command4", 6255, 1380, 1005, 330, "Open"},
    {"Label7", 6345, 1980, 855, 180, "hh:mm:ss"},  {"Command5", 6240, 2220, 1035, 330, "Mark Start"},
    {"Label9", 6345, 2760, 855, 180, "hh:mm:ss"},  {"Command6", 6270, 3000, 1005, 330, "Mark End"},
    {"Command8", 6270, 4005, 1005, 330, "Help"},   {"Label3", 390, 4785, 855, 180, "hh:mm:ss"},
    {"Command9", 105, 5025, 1530, 330, "Play Selected"}, {"Command7", 1725, 5025, 1005, 330, "Save"},
    {"Command3", 2820, 5025, 1185, 330, "Website"}, {"pb", 4080, 5025, 3285, 345, nullptr},
};

TEST(MainWindow, OpensAsTheControlTableSays) {
  Rig rig;
  Form1& f = rig.f();
  EXPECT_EQ(f.windowTitle(), "Vintrel");
  EXPECT_EQ(f.size(), QSize(497, 370));
  EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "the window must not be resizable";
  EXPECT_EQ(f.palette().color(QPalette::Window), QColor(Qt::white));
  for (const Expected& c : kControls) {
    SCOPED_TRACE(c.name);
    auto* w = f.findChild<QWidget*>(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(c.left / 15, c.top / 15, c.width / 15, c.height / 15));
    EXPECT_TRUE(w->isEnabled());
    if (c.caption) {
      if (auto* b = qobject_cast<QPushButton*>(w)) {
        EXPECT_EQ(b->text(), c.caption);
      }
      if (auto* l = qobject_cast<QLabel*>(w)) {
        EXPECT_EQ(l->text(), c.caption);
        EXPECT_EQ(l->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
      }
    }
  }
  EXPECT_EQ(f.Label4->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(f.H->minimum(), 0);
  EXPECT_EQ(f.H->maximum(), 10);
  EXPECT_EQ(f.H->value(), 0);
  EXPECT_EQ(f.H->singleStep(), 1);
  EXPECT_EQ(f.H->pageStep(), 5);
  EXPECT_EQ(f.pb->minimum(), 0);
  EXPECT_EQ(f.pb->maximum(), 100);
  EXPECT_EQ(f.pb->value(), 0);
  EXPECT_FALSE(f.T->isActive());
  EXPECT_EQ(f.T->interval(), 1000);
  EXPECT_EQ(f.Line1->X1(), 240.0f);
  EXPECT_EQ(f.Line1->X2(), 240.0f);
  EXPECT_EQ(f.Line2->X1(), 9375.0f);
  EXPECT_EQ(f.Line2->X2(), 9375.0f);
  EXPECT_EQ(f.CurrentFile, "");
  EXPECT_EQ(f.SelStart, 0);
  EXPECT_EQ(f.SelEnd, 0);
  EXPECT_EQ(f.MarkerScale, 0);
  EXPECT_FALSE(f.IsPlaying);
  EXPECT_TRUE(rig.mp().calls.empty()) << "nothing is loaded at start";
}

TEST(MainWindow, KeyboardFocusMovesInTheWindowsOrder) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  Form1& f = rig.f();
  const std::vector<QWidget*> order = {f.H,        f.Command1, f.Command2, f.Command4, f.Command7, f.Command3,
                                       f.Command9, f.Command6, f.Command5, f.mpArea,   f.Command8};
  QWidget* w = order.front();
  for (size_t i = 1; i < order.size(); ++i) {
    do {
      w = w->nextInFocusChain();
    } while (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&f) || w == &f);
    EXPECT_EQ(w, order[i]) << "after " << order[i - 1]->objectName().toStdString() << " comes "
                           << w->objectName().toStdString();
  }
}

TEST(StartUp, LoadsTheCreditsIntoTheHiddenAboutWindow) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  EXPECT_TRUE(rig.f().isVisible());
  Form2* about = About::Instance();
  ASSERT_NE(about, nullptr);
  EXPECT_FALSE(about->isVisible());
  EXPECT_EQ(about->RichTextBox1->toPlainText(), "Thanks to everyone.");
  EXPECT_TRUE(about->Label1->font().underline());
  EXPECT_TRUE(rig.msg.shown.empty());
}

TEST(StartUp, WithoutCreditsTellsTheUserToReinstallAndEnds) {
  for (bool unreadable : {false, true}) {
    Rig rig;
    const QString thanks = rig.files.appPath + "/thanks.txt";
    if (unreadable) {
      rig.files.unreadable.insert(thanks);
    } else {
      rig.files.files.erase(thanks);
    }
    bool windowShownFirst = false;
    rig.msg.onShow = [&](const QString&) { windowShownFirst = rig.f().isVisible(); };
    EXPECT_FALSE(rig.Load());
    ASSERT_EQ(rig.msg.shown.size(), 1u);
    EXPECT_EQ(rig.msg.shown[0].text, "Please re-install Vintrel");
    EXPECT_EQ(rig.msg.shown[0].flags, vbInformation);
    EXPECT_TRUE(windowShownFirst);
    EXPECT_TRUE(rig.app.ended);
  }
}

TEST(Shutdown, ClosesTheOpenFileAndTheAboutWindow) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  rig.SimulateOpen();
  rig.f().SystemCommand(About::IDM_ABOUT);
  ASSERT_TRUE(About::Instance()->isVisible());
  EXPECT_THROW(rig.f().Form_Unload(), ProgramEnded);
  EXPECT_EQ(rig.mp().calls, std::vector<std::string>{"Stop"});
  EXPECT_EQ(rig.f().CurrentFile, "");
  EXPECT_FALSE(rig.f().IsPlaying);
  EXPECT_EQ(About::Instance(), nullptr);
  EXPECT_TRUE(rig.app.ended);
  EXPECT_EQ(rig.app.code, 0);
}

TEST(Shutdown, WithNothingOpenLeavesThePlayerAlone) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  EXPECT_THROW(rig.f().Form_Unload(), ProgramEnded);
  EXPECT_TRUE(rig.mp().calls.empty());
}

TEST(WindowProc, OnlyExactly1010OpensAbout) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  std::vector<std::tuple<uint32_t, intptr_t, intptr_t>> passedOn;
  About::PrevWndProc = [&](WId, uint32_t m, intptr_t w, intptr_t l) {
    passedOn.emplace_back(m, w, l);
    return intptr_t{77};
  };
  const WId h = rig.f().winId();
  EXPECT_EQ(About::WindowProc(h, About::WM_SYSCOMMAND, 1010 | 0x10000, 5), 77);
  EXPECT_EQ(About::WindowProc(h, About::WM_SYSCOMMAND, About::SC_CLOSE, 0), 77);
  EXPECT_EQ(About::WindowProc(h, 275, 1010, 0), 77) << "1010 in another message is not the About command";
  EXPECT_FALSE(About::Instance()->isVisible());
  ASSERT_EQ(passedOn.size(), 3u);
  EXPECT_EQ(passedOn[0], std::make_tuple(About::WM_SYSCOMMAND, intptr_t{1010 | 0x10000}, intptr_t{5}));

  EXPECT_EQ(About::WindowProc(h, About::WM_SYSCOMMAND, 1010, 0), 0);
  EXPECT_TRUE(About::Instance()->isVisible());
  EXPECT_EQ(passedOn.size(), 3u);
}

TEST(AboutWindow, OneInstanceBroughtForwardAndReloadedAfterClosing) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  rig.f().SystemCommand(About::IDM_ABOUT);
  Form2* first = About::Instance();
  ASSERT_TRUE(first && first->isVisible());
  EXPECT_EQ(first->windowTitle(), "About");
  EXPECT_EQ(first->size(), QSize(558, 321));
  rig.f().SystemCommand(About::IDM_ABOUT);
  EXPECT_EQ(About::Instance(), first);
  EXPECT_EQ(QApplication::topLevelWidgets().count(first), 1);

  first->close();  // unloads it
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(About::Instance(), nullptr);
  rig.files.files[rig.files.appPath + "/thanks.txt"] = "Fresh thanks.";
  rig.f().SystemCommand(About::IDM_ABOUT);
  ASSERT_NE(About::Instance(), nullptr);
  EXPECT_TRUE(About::Instance()->isVisible());
  EXPECT_EQ(About::Instance()->RichTextBox1->toPlainText(), "Fresh thanks.");

  // A credits file gone later just leaves the box empty.
  About::Instance()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  rig.files.files.erase(rig.files.appPath + "/thanks.txt");
  rig.f().SystemCommand(About::IDM_ABOUT);
  EXPECT_EQ(About::Instance()->RichTextBox1->toPlainText(), "");
  EXPECT_TRUE(rig.msg.shown.empty());
}

TEST(AboutWindow, CloseSystemCommandStillClosesTheMainWindow) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  // The window's own procedure: Close ends the program through the unload.
  EXPECT_THROW(rig.f().WndProcedure(rig.f().winId(), About::WM_SYSCOMMAND, About::SC_CLOSE, 0), ProgramEnded);
  EXPECT_TRUE(rig.app.ended);
}

TEST(Links, WebsiteOpensAtOnceAndHelpOnlyOnYes) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  rig.f().Command3->click();
  ASSERT_EQ(rig.url.opened.size(), 1u);
  EXPECT_TRUE(rig.url.opened[0].startsWith("https://vintrel.example.org"));

  rig.msg.answers = {vbNo};
  rig.f().Command8->click();
  ASSERT_EQ(rig.msg.shown.size(), 1u);
  EXPECT_EQ(rig.msg.shown[0].text,
            "If you are unable to play the video, you need video codecs installed. Do you want to download "
            "video codecs now?");
  EXPECT_EQ(rig.msg.shown[0].flags, 36);
  EXPECT_EQ(rig.url.opened.size(), 1u);

  rig.msg.answers = {vbYes};
  rig.f().Command8->click();
  ASSERT_EQ(rig.url.opened.size(), 2u);
  EXPECT_NE(rig.url.opened[1], rig.url.opened[0]);
  EXPECT_TRUE(rig.url.opened[1].startsWith("https://vintrel.example.org"));
}

TEST(Links, LeavePlaybackAlone) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  rig.SimulateOpen();
  rig.f().SelStart = 3;
  rig.f().SelEnd = 9;
  rig.msg.answers = {vbYes};
  rig.f().Command3->click();
  rig.f().Command8->click();
  EXPECT_TRUE(rig.mp().calls.empty());
  EXPECT_TRUE(rig.f().T->isActive());
  EXPECT_TRUE(rig.f().IsPlaying);
  EXPECT_EQ(rig.f().SelStart, 3);
  EXPECT_EQ(rig.f().SelEnd, 9);
}

TEST(DefaultErrorHandling, NamesTheErrorAndEndsTheProgram) {
  Rig rig;
  ASSERT_TRUE(rig.Load());
  rig.url.fail = true;
  EXPECT_THROW(rig.f().Untrapped([&] { rig.f().Command3_Click(); }), ProgramEnded);
  ASSERT_EQ(rig.msg.shown.size(), 1u);
  EXPECT_TRUE(rig.msg.Last().contains("no browser"));
  EXPECT_TRUE(rig.msg.Last().contains("53"));
  EXPECT_TRUE(rig.app.ended);
  EXPECT_EQ(rig.app.code, 1);
}

TEST(OpenDialogFilter, TranslatesToQtFiltersKeepingTheDescriptions) {
  const QStringList filters = vintrel::TranslateFilter(
      "All Video Files|*.dat;*.mp4;*.wmv;*.mov;*.avi;*.divx;*.mpg;*.flv;*.mkv;*.vob|All Files(*.*)|*.*");
  ASSERT_EQ(filters.size(), 2);
  EXPECT_TRUE(filters[0].startsWith("All Video Files ("));
  for (const char* ext : {"dat", "mp4", "wmv", "mov", "avi", "divx", "mpg", "flv", "mkv", "vob"}) {
    EXPECT_TRUE(filters[0].contains(QString("*.%1").arg(ext)));
    EXPECT_TRUE(filters[0].contains(QString("*.%1").arg(QString(ext).toUpper())));
  }
  EXPECT_EQ(filters[1], "All Files(*.*) (*)");
  EXPECT_EQ(vintrel::TranslateFilter("AVI Files|*.avi|All Files(*.*)|*.*"),
            (QStringList{"AVI Files (*.avi *.AVI)", "All Files(*.*) (*)"}));
}

}  // namespace
