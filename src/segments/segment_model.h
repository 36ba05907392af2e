#pragma once
// The segment list of the open video as a table (number, start, end, length, name) and every
// change to it as a step that Undo takes back. Its rules are cut/protocol/segment_list's:
// a refused change leaves the list as it was and says why.
#include <QAbstractTableModel>
#include <QUndoStack>

#include "cut/protocol/segment_list.h"

namespace vintrel {

class SegmentListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kNumber, kStart, kEnd, kLength, kName, kColumns };
  static constexpr const char* kMimeType = "application/x-vintrel-segment-rows";

  explicit SegmentListModel(QObject* parent = nullptr);

  const cut::SegmentList& segments() const { return segments_; }
  cut::SegmentMode mode() const { return mode_; }
  bool isEmpty() const { return segments_.empty(); }
  QUndoStack& undoStack() { return undoStack_; }
  // The video's length, for the rule that no segment passes the end; 0 while unknown.
  void setVideoEnd(double seconds) { videoEnd_ = seconds; }
  double videoEnd() const { return videoEnd_; }

  // Each change below is one step on the undo stack; a refused one returns its reason.
  QString add(const cut::Segment& segment);
  QString replace(int row, const cut::Segment& segment);
  void remove(QList<int> rows);
  // Moves a row to stand at `to` (0 .. rowCount()-1); false where it cannot go.
  bool move(int from, int to);
  void setMode(cut::SegmentMode mode);
  // A whole list at once (an import): refused as a whole when a row breaks a rule.
  QString replaceAll(const cut::SegmentList& segments, cut::SegmentMode mode, const QString& what);
  // The list a video had before, as it was left: no step to undo.
  void restore(const cut::SegmentList& segments, cut::SegmentMode mode);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Times typed in the vintrel-cut syntax; a refused edit is reported by `refused`.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  // Rows dragged within the list move there.
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

 signals:
  // The list or the mode changed, by an edit, an undo or a redo.
  void listChanged();
  // The user changed the list (an edit, an undo or a redo): not a list restored or emptied.
  void edited();
  // An edit in place was refused; `reason` says why in words.
  void refused(const QString& reason);
  // After a move the row stands elsewhere: the view selects it there.
  void rowMoved(int to);

 private:
  friend class SegmentListStep;
  void assign(const cut::SegmentList& segments, cut::SegmentMode mode);
  void push(const cut::SegmentList& segments, cut::SegmentMode mode, const QString& what);

  cut::SegmentList segments_;
  cut::SegmentMode mode_ = cut::SegmentMode::kKeep;
  double videoEnd_ = 0;
  QUndoStack undoStack_;
};

}  // namespace vintrel
