// Play Selected with the real libmpv player and the real event pump, on a generated clip:
// where does the preview halt?
#include <gtest/gtest.h>

#include <QThread>
#include <map>
#include <memory>

#include "fakes/fakes.h"
#include "media.h"
#include "platform/real_platform.h"
#include "player/mpv_player.h"

namespace {

using namespace vintrel;

// The real pump, with a bound on the passes so that a wait that never ends fails the
// test (the command's own trap ends it) instead of hanging it.
class BoundedPump : public QtPump {
 public:
  int passes = 0;
  void DoEvents() override {
    if (++passes > 150) throw std::runtime_error("the wait did not end");
    QtPump::DoEvents();
  }
};

// The main window on the real player and pump; dialogs, messages and the rest are fakes.
struct RealRig {
  fakes::FakeMessageBox msg;
  fakes::FakeDialog dialog;
  fakes::FakeClock clock;
  BoundedPump pump;
  fakes::FakeProcesses processes;
  fakes::FakeFiles files;
  fakes::FakeUrlOpener url;
  fakes::FakeApp app;
  Platform platform{msg, dialog, clock, pump, processes, files, url, app, [](QWidget*) {
                      MpvOptions options;
                      options.vo = "null";
                      options.ao = "null";
                      return std::unique_ptr<IPlayer>(std::make_unique<MpvPlayer>(options));
                    }};
  Form1 form{platform};

  // What a successful Open leaves behind, without the dialog.
  void Open(const QString& path) {
    form.mp->SetFileName(path);
    form.mp->Play();
    form.CurrentFile = path;
    form.IsPlaying = true;
    form.Command1->setText("Pause");
    form.T->start();
    form.H->setMaximum(static_cast<int>(RoundToLong(form.mp->Duration())));
    form.MarkerScale = 9230 / form.H->maximum();
  }
  // Marks the given second the way the user does: move there, then click the mark button.
  void MarkAt(double second, QPushButton* button) {
    form.mp->Seek(second);
    form.H->setValue(static_cast<int>(second));
    button == form.Command5 ? form.Command5_Click() : form.Command6_Click();
  }
};

QString Clip(const QString& name, double seconds) {
  static std::map<QString, QString> made;
  if (!made.count(name)) made[name] = testmedia::MakeClip(testmedia::TempDir() + "/" + name, seconds);
  return made[name];
}

TEST(PlaySelectedReal, HaltsJustPastTheEndMark) {
  const QString clip = Clip("stretch.mp4", 8);
  ASSERT_FALSE(clip.isEmpty()) << "ffmpeg could not make the clip";
  // Once while the video plays, once after Stop has put it back at second 0.
  for (bool stoppedFirst : {false, true}) {
    SCOPED_TRACE(stoppedFirst ? "from stopped" : "while playing");
    RealRig rig;
    rig.Open(clip);
    rig.MarkAt(2.0, rig.form.Command5);
    rig.MarkAt(4.0, rig.form.Command6);
    ASSERT_EQ(rig.form.SelStart, 2);
    ASSERT_EQ(rig.form.SelEnd, 4);
    EXPECT_EQ(rig.form.Label3->text(), " 0 : 0 : 2");
    if (stoppedFirst) {
      rig.form.Command2_Click();
      ASSERT_EQ(rig.form.mp->CurrentPosition(), 0.0);
    }
    rig.form.Command9_Click();
    const double halted = rig.form.mp->CurrentPosition();
    // Checked every 200 ms: the halt lands at the end mark or a little past it, never before.
    EXPECT_GE(halted, 4.0);
    EXPECT_LE(halted, 4.6);
    EXPECT_EQ(rig.form.Command1->text(), "Play");
    EXPECT_FALSE(rig.form.T->isActive());
    EXPECT_FALSE(rig.form.IsPlaying);
    EXPECT_LT(rig.pump.passes, 150);
    // Halted, not running on.
    QThread::msleep(300);
    EXPECT_NEAR(rig.form.mp->CurrentPosition(), halted, 0.1);
    EXPECT_TRUE(rig.msg.shown.empty());
  }
}

TEST(PlaySelectedReal, EndMarkPastTheLastFrameEndsWithTheFile) {
  const QString clip = Clip("short.mp4", 3.6);
  ASSERT_FALSE(clip.isEmpty()) << "ffmpeg could not make the clip";
  RealRig rig;
  rig.Open(clip);
  const double duration = rig.form.mp->Duration();
  // Marked while halted: the end of the file rounds up to a second the position never reaches.
  rig.form.Command1_Click();
  ASSERT_EQ(rig.form.Command1->text(), "Play");
  rig.MarkAt(duration, rig.form.Command6);
  ASSERT_GT(rig.form.SelEnd, duration);
  rig.MarkAt(2.0, rig.form.Command5);
  rig.form.Command9_Click();
  EXPECT_LT(rig.pump.passes, 150);
  // The one-second tick found the end of the file, rewound it and set "Play".
  EXPECT_EQ(rig.form.Command1->text(), "Play");
  EXPECT_FALSE(rig.form.T->isActive());
  EXPECT_FALSE(rig.form.IsPlaying);
  EXPECT_EQ(rig.form.H->value(), 0);
  QThread::msleep(300);
  EXPECT_EQ(rig.form.mp->CurrentPosition(), 0.0) << "the player resumed after the end";
  EXPECT_TRUE(rig.msg.shown.empty());
}

}  // namespace
