#include "segments/segment_model.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QUndoCommand>
#include <algorithm>

#include "cut/time_text.h"

namespace vintrel {

// One change to the list: the whole list before and after it. Lists are short, and a step that
// holds both sides cannot drift from what it undoes.
class SegmentListStep : public QUndoCommand {
 public:
  SegmentListStep(SegmentListModel& model, cut::SegmentList after, cut::SegmentMode afterMode,
                  const QString& what)
      : QUndoCommand(what),
        model_(model),
        before_(model.segments()),
        beforeMode_(model.mode()),
        after_(std::move(after)),
        afterMode_(afterMode) {}
  void redo() override {
    model_.assign(after_, afterMode_);
    emit model_.edited();
  }
  void undo() override {
    model_.assign(before_, beforeMode_);
    emit model_.edited();
  }

 private:
  SegmentListModel& model_;
  cut::SegmentList before_;
  cut::SegmentMode beforeMode_;
  cut::SegmentList after_;
  cut::SegmentMode afterMode_;
};

SegmentListModel::SegmentListModel(QObject* parent) : QAbstractTableModel(parent) {}

void SegmentListModel::assign(const cut::SegmentList& segments, cut::SegmentMode mode) {
  mode_ = mode;
  if (segments.size() == segments_.size()) {
    // As many rows as before (an edit, a move, the switch): the view keeps its selection.
    segments_ = segments;
    if (!segments_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
  } else {
    beginResetModel();
    segments_ = segments;
    endResetModel();
  }
  emit listChanged();
}

void SegmentListModel::push(const cut::SegmentList& segments, cut::SegmentMode mode, const QString& what) {
  undoStack_.push(new SegmentListStep(*this, segments, mode, what));
}

QString SegmentListModel::add(const cut::Segment& segment) {
  if (QString problem = cut::SegmentProblem(segments_, segments_.size(), segment, videoEnd_);
      !problem.isEmpty())
    return problem;
  cut::SegmentList after = segments_;
  after.push_back(segment);
  push(after, mode_, "Add Segment");
  return {};
}

QString SegmentListModel::replace(int row, const cut::Segment& segment) {
  if (row < 0 || row >= rowCount()) return "There is no such segment.";
  if (QString problem = cut::SegmentProblem(segments_, size_t(row), segment, videoEnd_); !problem.isEmpty())
    return problem;
  if (segments_[size_t(row)] == segment) return {};
  cut::SegmentList after = segments_;
  after[size_t(row)] = segment;
  push(after, mode_, "Change Segment");
  return {};
}

void SegmentListModel::remove(QList<int> rows) {
  std::sort(rows.begin(), rows.end(), std::greater<>());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  cut::SegmentList after = segments_;
  for (const int row : rows)
    if (row >= 0 && row < int(after.size())) after.erase(after.begin() + row);
  if (after.size() != segments_.size()) push(after, mode_, "Remove Segment");
}

bool SegmentListModel::move(int from, int to) {
  const int count = rowCount();
  if (from < 0 || from >= count || to < 0 || to >= count || from == to) return false;
  cut::SegmentList after = segments_;
  const cut::Segment moved = after[size_t(from)];
  after.erase(after.begin() + from);
  after.insert(after.begin() + to, moved);
  push(after, mode_, "Move Segment");
  emit rowMoved(to);
  return true;
}

void SegmentListModel::setMode(cut::SegmentMode mode) {
  if (mode != mode_)
    push(segments_, mode, mode == cut::SegmentMode::kKeep ? "Keep Segments" : "Remove Segments");
}

QString SegmentListModel::replaceAll(const cut::SegmentList& segments, cut::SegmentMode mode,
                                     const QString& what) {
  if (QString problem = cut::SegmentListProblem(segments, videoEnd_); !problem.isEmpty()) return problem;
  push(segments, mode, what);
  return {};
}

void SegmentListModel::restore(const cut::SegmentList& segments, cut::SegmentMode mode) {
  undoStack_.clear();
  assign(segments, mode);
}

int SegmentListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(segments_.size());
}

int SegmentListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant SegmentListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const cut::Segment& segment = segments_[size_t(index.row())];
  if (role == Qt::TextAlignmentRole && index.column() != kName)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  switch (index.column()) {
    case kNumber:
      return index.row() + 1;
    case kStart:
      return cut::SegmentTimeText(segment.start);
    case kEnd:
      return cut::SegmentTimeText(segment.end);
    case kLength:
      return cut::SegmentTimeText(segment.end - segment.start);
    default:
      return segment.name;
  }
}

QVariant SegmentListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const kTitles[] = {"#", "Start", "End", "Length", "Name"};
  return section >= 0 && section < kColumns ? QString(kTitles[section]) : QVariant();
}

Qt::ItemFlags SegmentListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
  if (index.column() == kStart || index.column() == kEnd || index.column() == kName)
    flags |= Qt::ItemIsEditable;
  return flags;
}

bool SegmentListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()) return false;
  cut::Segment segment = segments_[size_t(index.row())];
  if (index.column() == kName) {
    segment.name = value.toString().trimmed();
  } else {
    const std::optional<double> time = cut::ParseTimeText(value.toString());
    if (!time) {
      emit refused(
          QString("%1 is not a time: give seconds (12.5) or H:MM:SS.mmm.").arg(value.toString().trimmed()));
      return false;
    }
    (index.column() == kStart ? segment.start : segment.end) = *time;
  }
  const QString problem = replace(index.row(), segment);
  if (!problem.isEmpty()) emit refused(problem);
  return problem.isEmpty();
}

QStringList SegmentListModel::mimeTypes() const { return {kMimeType}; }

QMimeData* SegmentListModel::mimeData(const QModelIndexList& indexes) const {
  QList<int> rows;
  for (const QModelIndex& index : indexes)
    if (!rows.contains(index.row())) rows << index.row();
  QByteArray bytes;
  QDataStream stream(&bytes, QIODevice::WriteOnly);
  stream << rows;
  auto* data = new QMimeData;
  data->setData(kMimeType, bytes);
  return data;
}

bool SegmentListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int /*column*/,
                                    const QModelIndex& parent) {
  if (action != Qt::MoveAction || !data || !data->hasFormat(kMimeType)) return false;
  QList<int> rows;
  QDataStream stream(data->data(kMimeType));
  stream >> rows;
  if (rows.size() != 1) return false;
  // Dropped on a row: before it; between rows: there; below the last: at the end.
  int target = row >= 0 ? row : parent.isValid() ? parent.row() : rowCount();
  if (target > rows[0]) --target;
  move(rows[0], std::clamp(target, 0, rowCount() - 1));
  // The move is made: a true would have the view remove the dragged row as well.
  return false;
}

}  // namespace vintrel
