#include "segments/segment_panel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>

namespace vintrel {

namespace {

QAction* makeAction(QWidget* owner, const char* name, const QString& text, const QKeySequence& key) {
  auto* action = new QAction(text, owner);
  action->setObjectName(name);
  action->setShortcut(key);
  // The list's own keys: Delete and Ctrl+arrows mean nothing to the rest of the window.
  action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  owner->addAction(action);
  return action;
}

}  // namespace

SegmentPanel::SegmentPanel(SegmentListModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName("segmentPanel");
  keepButton = new QRadioButton("Keep", this);
  keepButton->setObjectName("keepSegmentsButton");
  keepButton->setToolTip("Save the segments, joined in the list's order");
  removeButton = new QRadioButton("Remove", this);
  removeButton->setObjectName("removeSegmentsButton");
  removeButton->setToolTip("Save everything between the segments");
  auto* group = new QButtonGroup(this);
  group->addButton(keepButton);
  group->addButton(removeButton);

  table = new QTableView(this);
  table->setObjectName("segmentTable");
  table->setModel(&model_);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table->setDragDropMode(QAbstractItemView::InternalMove);
  table->setDragEnabled(true);
  table->setDropIndicatorShown(true);
  table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::SelectedClicked);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->setToolTip("Double-click a time or a name to change it; drag a row or Ctrl+Up/Down to move it");

  auto* switchRow = new QHBoxLayout;
  switchRow->addWidget(keepButton);
  switchRow->addWidget(removeButton);
  switchRow->addStretch();
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(4, 3, 2, 3);
  column->addLayout(switchRow);
  column->addWidget(table);

  removeAction = makeAction(this, "removeSegmentAction", "Remove Segment", Qt::Key_Delete);
  moveUpAction = makeAction(this, "moveSegmentUpAction", "Move Up", Qt::CTRL | Qt::Key_Up);
  moveDownAction = makeAction(this, "moveSegmentDownAction", "Move Down", Qt::CTRL | Qt::Key_Down);
  connect(removeAction, &QAction::triggered, this, [this] { model_.remove(selectedRows()); });
  connect(moveUpAction, &QAction::triggered, this, [this] { moveSelected(-1); });
  connect(moveDownAction, &QAction::triggered, this, [this] { moveSelected(1); });
  connect(keepButton, &QRadioButton::clicked, this, [this] { model_.setMode(cut::SegmentMode::kKeep); });
  connect(removeButton, &QRadioButton::clicked, this, [this] { model_.setMode(cut::SegmentMode::kRemove); });
  connect(&model_, &SegmentListModel::listChanged, this, &SegmentPanel::showMode);
  connect(&model_, &SegmentListModel::rowMoved, this, &SegmentPanel::selectRow);
  connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &SegmentPanel::onSelectionChanged);
  showMode();
}

QList<int> SegmentPanel::selectedRows() const {
  QList<int> rows;
  for (const QModelIndex& index : table->selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

void SegmentPanel::selectRow(int row) {
  // Not QTableView::selectRow: it reads the keys held, and the Ctrl of Ctrl+Up would toggle.
  const QModelIndex index = model_.index(row, SegmentListModel::kStart);
  table->selectionModel()->setCurrentIndex(index,
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void SegmentPanel::showMode() {
  const bool remove = model_.mode() == cut::SegmentMode::kRemove;
  keepButton->setChecked(!remove);
  removeButton->setChecked(remove);
}

void SegmentPanel::moveSelected(int by) {
  const QList<int> rows = selectedRows();
  if (rows.size() == 1) model_.move(rows[0], rows[0] + by);
}

void SegmentPanel::onSelectionChanged() {
  const QList<int> rows = selectedRows();
  if (rows.size() == 1) emit segmentSelected(rows[0]);
  emit selectionChanged();
}

}  // namespace vintrel
