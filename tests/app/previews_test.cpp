// What the window shows of a save before it is made: the cost line under the marks, the
// picture under the pointer, and the tracks it keeps; on clips made here and a fake player.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QTableWidget>
#include <QTest>

#include "fakes/fakes.h"
#include "media.h"
#include "save/tracks_dialog.h"

namespace {

using fakes::Rig;

// 12 s at 25 fps, a key frame every 2 s, two sound tracks (French and German).
QString Clip() {
  static const QString clip = [] {
    const QString path = testmedia::TempDir() + "/previews.mkv";
    const QString d = "12";
    return testmedia::Ffmpeg({"-f",
                              "lavfi",
                              "-i",
                              "testsrc2=size=320x180:rate=25:duration=12",
                              "-f",
                              "lavfi",
                              "-i",
                              "sine=duration=12",
                              "-f",
                              "lavfi",
                              "-i",
                              "sine=frequency=880:duration=12",
                              "-map",
                              "0",
                              "-map",
                              "1",
                              "-map",
                              "2",
                              "-c:v",
                              "libx264",
                              "-preset",
                              "ultrafast",
                              "-g",
                              "50",
                              "-keyint_min",
                              "50",
                              "-sc_threshold",
                              "0",
                              "-c:a",
                              "aac",
                              "-metadata:s:a:0",
                              "language=fra",
                              "-metadata:s:a:1",
                              "language=deu",
                              path})
               ? path
               : QString();
  }();
  return clip;
}

struct CostRow {
  double start, end;
  QString line;
};

TEST(CostLine, SaysWhatTheSaveOfTheMarksWillDo) {
  ASSERT_FALSE(Clip().isEmpty());
  Rig r;
  r.open(Clip(), 12);
  const CostRow rows[] = {
      {2, 10, "Copied whole"},
      {3, 10, "25 frames re-encoded at the start"},
      {3, 4, "Re-encoded: the stretch holds no key frame a copy can start at"},
      {10, 2, ""},  // no stretch: nothing to say
  };
  for (const CostRow& row : rows) {
    r.markStart(row.start);
    r.markEnd(row.end);
    const bool shown = QTest::qWaitFor([&] { return r.w().costLabel->text() == row.line; }, 20000);
    EXPECT_TRUE(shown) << row.start << ".." << row.end << ": " << r.w().costLabel->text().toStdString();
  }
}

TEST(PictureUnderThePointer, IsTheKeyFramesSmallAndKeptWithinItsBudget) {
  ASSERT_FALSE(Clip().isEmpty());
  vintrel::FramePictures pictures;
  pictures.setFile(Clip());
  pictures.setKeyFrames({0, 2, 4, 6, 8, 10});
  QList<std::pair<double, QImage>> answers;
  const auto keep = [&](double seconds, const QImage& picture) { answers.append({seconds, picture}); };
  QObject::connect(&pictures, &vintrel::FramePictures::ready, keep);
  // Questions faster than the decoding: only the latest waiting one is answered.
  for (const double seconds : {1.0, 3.0, 5.0, 7.5}) pictures.ask(seconds);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !answers.isEmpty() && answers.back().first == 7.5; }, 20000));
  EXPECT_LE(answers.size(), 2);
  const QImage picture = answers.back().second;
  EXPECT_EQ(picture.size(), QSize(160, 90)) << "the video's 16:9 within 160x90";
  // 7.9 shares 6's key frame: it comes from what is kept, at once.
  answers.clear();
  pictures.ask(7.9);
  ASSERT_EQ(answers.size(), 1);
  EXPECT_EQ(answers[0].second, picture);
  for (int second = 0; second < 12; ++second) pictures.ask(second);
  QTest::qWait(1500);
  EXPECT_GT(pictures.keptBytes(), 0);
  EXPECT_LE(pictures.keptBytes(), vintrel::FramePictures::kCacheBytes);
}

struct TrackRow {
  const char* what;
  QList<int> untick;  // rows of the dialog
  int playedFirst;    // row, -1: as the file has it
  QStringList tracks;
  QString defaultSound;
};

TEST(Tracks, TheDialogsChoiceGoesToTheSave) {
  ASSERT_FALSE(Clip().isEmpty());
  const TrackRow rows[] = {
      {"everything as it is", {}, -1, {}, ""},
      {"drop the French", {1}, -1, {"v:0", "a:1"}, ""},
      {"German first", {}, 2, {}, "a:1"},
      {"the picture cannot be dropped", {0}, -1, {}, ""},
      {"a dropped track is not played first", {2}, 2, {"v:0", "a:0"}, ""},
  };
  for (const TrackRow& row : rows) {
    SCOPED_TRACE(row.what);
    Rig r;
    r.open(Clip(), 12);
    r.w().tracksAction->trigger();
    auto* dialog = r.w().findChild<vintrel::TracksDialog*>();
    ASSERT_TRUE(dialog);
    ASSERT_EQ(dialog->table->rowCount(), 3);
    EXPECT_EQ(dialog->table->item(1, 3)->text(), "fra");
    for (const int untick : row.untick)
      if (dialog->table->item(untick, 0)->flags() & Qt::ItemIsEnabled)
        dialog->table->item(untick, 0)->setCheckState(Qt::Unchecked);
    if (row.playedFirst >= 0) dialog->defaults->button(row.playedFirst)->click();
    dialog->accept();
    EXPECT_EQ(r.w().session().keptTracks(), row.tracks);
    EXPECT_EQ(r.w().session().defaultSound(), row.defaultSound);

    r.markStart(2);
    r.markEnd(6);
    r.dialogs.answers = {testmedia::TempDir() + "/tracks-out.mkv"};
    r.w().saveAction->trigger();
    ASSERT_EQ(r.cutRequests.size(), 1u);
    EXPECT_EQ(r.cutRequests[0].tracks, row.tracks);
    EXPECT_EQ(r.cutRequests[0].defaultSound, row.defaultSound);
  }
}

}  // namespace
