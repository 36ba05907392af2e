// The segment list's table and its edits: the rules a user meets, moves by keys and by
// dragging, and Undo and Redo of every change.
#include "segments/segment_model.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QSignalSpy>
#include <memory>

namespace {

using vintrel::SegmentListModel;
using vintrel::cut::SegmentMode;

// "10-20 30-40=b" for a list: short enough to write a table of.
QString Short(const SegmentListModel& model) {
  QStringList rows;
  for (const auto& s : model.segments())
    rows << QString("%1-%2%3").arg(s.start).arg(s.end).arg(s.name.isEmpty() ? "" : "=" + s.name);
  return (model.mode() == SegmentMode::kRemove ? "remove " : "") + rows.join(' ');
}

// One step as a user makes it, written "add 10-20", "time 0 end 25", "name 1 Intro", "move 0 2",
// "drop 2 0", "delete 0 2", "mode remove", "undo", "redo"; returns a refusal's words.
QString Apply(SegmentListModel& model, const QString& step) {
  const QStringList word = step.split(' ');
  const auto number = [&](int i) { return word[i].toInt(); };
  if (word[0] == "add")
    return model.add({word[1].section('-', 0, 0).toDouble(), word[1].section('-', 1).toDouble(), {}});
  if (word[0] == "time" || word[0] == "name") {
    const int column = word[0] == "name"    ? SegmentListModel::kName
                       : word[2] == "start" ? SegmentListModel::kStart
                                            : SegmentListModel::kEnd;
    QString refused;
    QObject::connect(&model, &SegmentListModel::refused, [&](const QString& why) { refused = why; });
    model.setData(model.index(number(1), column), word.mid(word[0] == "name" ? 2 : 3).join(' '));
    QObject::disconnect(&model, &SegmentListModel::refused, nullptr, nullptr);
    return refused;
  }
  if (word[0] == "move") model.move(number(1), number(2));
  if (word[0] == "drop") {
    // A row dragged onto another row, as the table view hands it over.
    std::unique_ptr<QMimeData> dragged(
        model.mimeData({model.index(number(1), 0), model.index(number(1), 4)}));
    EXPECT_FALSE(model.dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model.index(number(2), 0)))
        << "the view must not remove the dragged row itself";
  }
  if (word[0] == "delete") model.remove({number(1), word.size() > 2 ? number(2) : number(1)});
  if (word[0] == "mode") model.setMode(word[1] == "remove" ? SegmentMode::kRemove : SegmentMode::kKeep);
  if (word[0] == "undo") model.undoStack().undo();
  if (word[0] == "redo") model.undoStack().redo();
  return {};
}

TEST(SegmentListModel, EditsFollowTheRulesAndEveryOneUndoes) {
  const QStringList three = {"add 10-20", "add 30-40", "add 50-60"};
  const struct {
    QStringList steps;
    const char* list;     // after the steps
    const char* refusal;  // the last step's words; empty: none
  } cases[] = {
      {three, "10-20 30-40 50-60", ""},
      {{"add 10-20", "add 15-25"}, "10-20", "Segment 2 (0:00:15.000 to 0:00:25.000) overlaps Segment 1"},
      {{"add 10-20", "add 20-30"}, "10-20 20-30", ""},
      {{"add 90-120"}, "", "Segment 1 ends at 0:02:00.000, past the end of the video (0:01:40.000)."},
      {{"add 10-20", "time 0 end 5"}, "10-20", "Segment 1 ends at 0:00:05.000, which is not after its start"},
      {{"add 10-20", "time 0 end ten"}, "10-20", "ten is not a time: give seconds (12.5) or H:MM:SS.mmm."},
      {{"add 10-20", "add 30-40", "time 1 start 0:00:15"},
       "10-20 30-40",
       "Segment 2 (0:00:15.000 to 0:00:40.000) overlaps"},
      {{"add 10-20", "time 0 start 0:00:12.5", "time 0 end 1:05"}, "12.5-65", ""},
      {{"add 10-20", "name 0 Opening titles"}, "10-20=Opening titles", ""},
      {three + QStringList{"move 0 2"}, "30-40 50-60 10-20", ""},
      {three + QStringList{"move 2 3"}, "10-20 30-40 50-60", ""},  // past the end: stays
      {three + QStringList{"drop 2 0"}, "50-60 10-20 30-40", ""},
      {three + QStringList{"drop 0 2"}, "30-40 10-20 50-60", ""},  // onto a row: before it
      {three + QStringList{"delete 0 2"}, "30-40", ""},
      {three + QStringList{"mode remove"}, "remove 10-20 30-40 50-60", ""},
      // Undo takes back each kind of change, Redo makes it again.
      {three + QStringList{"delete 1", "undo"}, "10-20 30-40 50-60", ""},
      {three + QStringList{"move 0 1", "undo"}, "10-20 30-40 50-60", ""},
      {{"add 10-20", "time 0 end 25", "undo"}, "10-20", ""},
      {{"add 10-20", "name 0 a", "undo", "redo"}, "10-20=a", ""},
      {three + QStringList{"mode remove", "undo"}, "10-20 30-40 50-60", ""},
      {three + QStringList{"undo", "undo", "redo"}, "10-20 30-40", ""},
      {{"add 10-20", "add 15-25", "undo"}, "", ""},               // a refused change is no step
      {{"add 10-20", "undo", "add 30-40", "redo"}, "30-40", ""},  // a new change ends what Redo had
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps.join(", ").toStdString());
    SegmentListModel model;
    model.setVideoEnd(100);
    QString refusal;
    for (const QString& step : c.steps) refusal = Apply(model, step);
    EXPECT_EQ(Short(model), c.list);
    EXPECT_TRUE(*c.refusal ? refusal.startsWith(c.refusal) : refusal.isEmpty()) << refusal.toStdString();
  }
}

TEST(SegmentListModel, ShowsNumberTimesLengthAndNameAndEditsOnlyTimesAndNames) {
  SegmentListModel model;
  QSignalSpy changed(&model, &SegmentListModel::listChanged);
  ASSERT_TRUE(model.add({3.48, 65, "Intro"}).isEmpty());
  EXPECT_EQ(changed.count(), 1);
  QStringList row;
  for (int column = 0; column < model.columnCount(); ++column)
    row << model.index(0, column).data().toString();
  EXPECT_EQ(row, (QStringList{"1", "0:00:03.480", "0:01:05.000", "0:01:01.520", "Intro"}));
  EXPECT_FALSE(model.flags(model.index(0, SegmentListModel::kNumber)) & Qt::ItemIsEditable);
  EXPECT_FALSE(model.flags(model.index(0, SegmentListModel::kLength)) & Qt::ItemIsEditable);
  EXPECT_TRUE(model.flags(model.index(0, SegmentListModel::kEnd)) & Qt::ItemIsEditable);
  // A remembered list comes back as it was left, with nothing to undo.
  model.restore({{1, 2, {}}}, SegmentMode::kRemove);
  EXPECT_FALSE(model.undoStack().canUndo());
  EXPECT_EQ(Short(model), "remove 1-2");
}

}  // namespace
