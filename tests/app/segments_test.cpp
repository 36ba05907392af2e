// The window's segment commands on fakes: Add Segment, the list beside the picture and its
// keys, Save of a list as one file or one per segment, lists as files and remembered.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "fakes/fakes.h"

namespace vintrel::cut {
void PrintTo(const Segment& segment, std::ostream* out) {
  *out << segment.start << "-" << segment.end << "=" << segment.name.toStdString();
}
}  // namespace vintrel::cut

namespace {

using fakes::Rig;
using vintrel::cut::Segment;
using vintrel::cut::SegmentList;
using vintrel::cut::SegmentMode;

// A clip open with three segments added through the marks and A.
struct ListRig : Rig {
  explicit ListRig(const QString& video = "/videos/clip.mp4", Settings settings = Settings::Fresh)
      : Rig("Thanks.", settings) {
    open(video, 100);
    files.files[video] = "the input";
  }
  void add(double start, double end) {
    markStart(start);
    markEnd(end);
    w().addSegmentAction->trigger();
  }
  void addThree() {
    add(10, 20);
    add(30, 40);
    add(50, 60);
  }
  const SegmentList& list() { return w().session().segments().segments(); }
  void activate() {
    w().show();
    w().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
  }
  void key(QWidget* focus, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    focus->setFocus();
    QTest::keyClick(focus, static_cast<Qt::Key>(key), modifiers);
    QApplication::processEvents();
  }
};

TEST(Segments, AddSegmentPutsTheMarksInTheListWhichComesIntoViewBesideThePicture) {
  ListRig r;
  r.w().show();
  const QSize before = r.w().size();
  EXPECT_FALSE(r.w().segmentPanel->isVisible()) << "no list before its first segment";
  EXPECT_EQ(r.w().addSegmentButton->text(), "Add Segment");
  r.add(10, 20);
  EXPECT_EQ(r.list(), (SegmentList{{10, 20, ""}}));
  EXPECT_TRUE(r.w().segmentPanel->isVisible());
  EXPECT_EQ(r.w().size().width(), before.width() + 380) << "the picture keeps its size";
  EXPECT_EQ(r.w().videoArea->size(), QSize(404, 288));
  EXPECT_GE(r.w().segmentPanel->geometry().left(), r.w().helpButton->geometry().right());
  r.add(15, 25);
  EXPECT_EQ(r.messages.lastText(), "The segment was not added.");
  EXPECT_TRUE(r.messages.shown.back().detail.contains("overlaps Segment 1"));
  r.add(30, 30);
  EXPECT_EQ(r.messages.lastText(), "Start time cannot be >= End time. Invalid Selection");
  EXPECT_EQ(r.list().size(), 1u);
  // Hidden from the context menu's entry, it stays hidden as the list grows.
  r.w().showSegmentsAction->setChecked(false);
  r.add(40, 50);
  EXPECT_FALSE(r.w().segmentPanel->isVisible());
  EXPECT_EQ(r.w().size(), before);
}

TEST(Segments, TheListsKeysMoveRemoveUndoAndRedoAndASelectedRowMarksItsStretch) {
  ListRig r;
  r.addThree();
  r.activate();
  QTableView* table = r.w().segmentPanel->table;
  r.w().segmentPanel->selectRow(2);
  EXPECT_EQ(r.w().session().markStart(), 50);
  EXPECT_EQ(r.w().session().markEnd(), 60);
  EXPECT_EQ(r.w().startLabel->text(), " 0 : 0 : 50");
  EXPECT_EQ(r.w().lengthLabel->text(), " 0 : 0 : 10");
  r.key(table, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(r.list()[1], (Segment{50, 60, ""}));
  EXPECT_EQ(r.w().segmentPanel->selectedRows(), QList<int>{1}) << "the moved row stays selected";
  r.key(table, Qt::Key_Delete);
  EXPECT_EQ(r.list(), (SegmentList{{10, 20, ""}, {30, 40, ""}}));
  r.key(table, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(r.list()[1], (Segment{50, 60, ""}));
  r.key(r.w().positionSlider, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(r.list()[2], (Segment{50, 60, ""})) << "undone from anywhere in the window";
  r.key(r.w().positionSlider, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(r.list()[1], (Segment{50, 60, ""}));
  r.w().segmentPanel->removeButton->click();
  EXPECT_EQ(r.w().session().segments().mode(), SegmentMode::kRemove);
  r.key(r.w().positionSlider, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(r.w().segmentPanel->keepButton->isChecked()) << "the switch is a change Undo takes back";
  r.key(r.w().positionSlider, Qt::Key_A);
  EXPECT_EQ(r.messages.lastText(), "The segment was not added.") << "A adds the marks again: they overlap";
}

TEST(Segments, SaveOffersOneFileOrOnePerSegmentAndSendsTheList) {
  const struct {
    const char* video;
    int choice;
    bool chapters, each;
    QStringList existing;  // files at the names already
    bool asked;            // whether replacing is asked
  } cases[] = {
      {"/videos/clip.mp4", 0, true, false, {}, false},
      {"/videos/clip.avi", 0, false, false, {}, false},  // AVI holds no chapters
      {"/videos/clip.mkv", 1, false, true, {}, false},
      {"/videos/clip.mp4", 1, false, true, {"/videos/clip-segments-2-Part 2-0_20-0_30.mp4"}, true},
      {"/videos/clip.mp4", 0, true, false, {"/videos/clip-segments.mp4"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.video) + " choice " + std::to_string(c.choice));
    ListRig r(c.video);
    r.addThree();
    r.w().segmentPanel->removeButton->click();
    const QString type = QString(c.video).section('.', -1);
    const QString chosen = "/videos/clip-segments." + type;
    for (const QString& file : c.existing) r.files.files[file] = "old";
    r.dialogs.answers = {chosen};
    r.dialogs.choiceAnswers = {c.choice};
    r.messages.answers = {true};
    r.w().saveAction->trigger();
    const fakes::DialogUse& dialog = r.dialogs.uses.back();
    EXPECT_EQ(dialog.request.choices,
              (QStringList{"One file (the segments joined)", "One file per segment"}));
    if (c.existing.isEmpty()) {
      EXPECT_EQ(dialog.request.fileName, chosen) << "a free name from the video's";
    }
    EXPECT_EQ(r.messages.showed("Do you want to overwrite the existing file?"), c.asked);
    ASSERT_EQ(r.cutRequests.size(), 1u);
    const vintrel::CutRequest& sent = r.cutRequests[0];
    EXPECT_EQ(sent.output, chosen);
    EXPECT_EQ(sent.segments, (SegmentList{{10, 20, ""}, {30, 40, ""}, {50, 60, ""}}));
    EXPECT_EQ(sent.segmentMode, SegmentMode::kRemove);
    EXPECT_EQ(sent.chapters, c.chapters);
    EXPECT_EQ(sent.eachSegment, c.each);
    EXPECT_EQ(sent.overwrite, c.asked);
  }
}

TEST(Segments, SaveRefusesAListThatLeavesNothingAndAnyFileItCannotWrite) {
  ListRig r;
  r.add(0, 100);
  r.w().segmentPanel->removeButton->click();
  r.w().saveAction->trigger();
  EXPECT_EQ(r.messages.lastText(), "The segments remove the whole video; nothing is left to save.");
  EXPECT_TRUE(r.dialogs.uses.back().save == false) << "no Save dialog";
  r.w().segmentPanel->keepButton->click();
  // One file per segment named as the input itself is refused before anything runs.
  r.dialogs.answers = {"/videos/{video}.mp4"};
  r.dialogs.choiceAnswers = {1};
  r.files.samePairs = {{"/videos/clip.mp4", "/videos/clip.mp4"}};
  r.w().saveAction->trigger();
  EXPECT_EQ(r.messages.lastText(), "The selected file is in use and cannot be overwritten.");
  EXPECT_TRUE(r.cutRequests.empty());
  EXPECT_FALSE(r.w().session().isSaving());
}

TEST(Segments, ListsAsCsvAndJsonFilesAndRememberedForTheSameVideo) {
  {
    ListRig r;
    r.files.files["/lists/in.csv"] = "start,end,name\n1,2,one\n0:00:05,0:00:07.5,\"two, three\"\n";
    r.dialogs.answers = {QString("/lists/in.csv")};
    r.w().importSegmentsAction->trigger();
    EXPECT_EQ(r.list(), (SegmentList{{1, 2, "one"}, {5, 7.5, "two, three"}}));
    r.files.files["/lists/bad.csv"] = "1,2\n1.5,3\n";
    r.dialogs.answers = {QString("/lists/bad.csv")};
    r.w().importSegmentsAction->trigger();
    EXPECT_EQ(r.messages.lastText(), "The segment list was not imported.");
    EXPECT_EQ(r.list().size(), 2u) << "a refused list changes nothing";
    r.w().segmentPanel->removeButton->click();
    r.dialogs.answers = {QString("/lists/out.json")};
    r.w().exportSegmentsAction->trigger();
    const QString json = QString::fromStdString(r.files.files["/lists/out.json"].toStdString());
    EXPECT_TRUE(json.contains("\"video\": \"/videos/clip.mp4\"")) << json.toStdString();
    EXPECT_TRUE(json.contains("\"mode\": \"remove\""));
    r.w().undoAction->trigger();  // back to Keep, then import the JSON: Remove again
    r.dialogs.answers = {QString("/lists/out.json")};
    r.w().importSegmentsAction->trigger();
    EXPECT_EQ(r.w().session().segments().mode(), SegmentMode::kRemove);
  }
  ListRig again("/videos/clip.mp4", Rig::Settings::Kept);
  EXPECT_EQ(again.list(), (SegmentList{{1, 2, "one"}, {5, 7.5, "two, three"}}))
      << "the list the video was left with";
  EXPECT_FALSE(again.w().undoAction->isEnabled());
  again.open("/videos/other.mp4");
  EXPECT_TRUE(again.list().empty()) << "another video has its own list";
}

}  // namespace
