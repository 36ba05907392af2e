#pragma once
// The segment list beside the picture: the Keep / Remove switch above the table of segments.
// Delete removes the selected rows, Ctrl+Up and Ctrl+Down move the selected row (as dragging
// does), and times and names are edited in place.
#include <QAction>
#include <QRadioButton>
#include <QTableView>
#include <QWidget>

#include "segments/segment_model.h"

namespace vintrel {

class SegmentPanel : public QWidget {
  Q_OBJECT
 public:
  SegmentPanel(SegmentListModel& model, QWidget* parent = nullptr);

  QList<int> selectedRows() const;
  void selectRow(int row);

  QRadioButton* keepButton;
  QRadioButton* removeButton;
  QTableView* table;
  QAction* removeAction;    // Delete
  QAction* moveUpAction;    // Ctrl+Up
  QAction* moveDownAction;  // Ctrl+Down

 signals:
  // One row is selected: its segment's marks go back on the slider and the labels.
  void segmentSelected(int row);
  // The rows selected changed (to one, several or none).
  void selectionChanged();

 private:
  void showMode();
  void moveSelected(int by);
  void onSelectionChanged();

  SegmentListModel& model_;
};

}  // namespace vintrel
