// Add Segment, the segment list beside the picture, its Undo and Redo, and the list as a file:
// what the window's segment commands do to the session's list.
#include <QFileInfo>

#include "app/layout.h"
#include "app/main_window.h"

namespace vintrel {

namespace {
inline const char* kSegmentListFilter = "Segment Lists|*.csv;*.json|All Files(*.*)|*.*";
inline const char* kNotImported = "The segment list was not imported.";
inline const char* kNotExported = "The segment list was not saved.";
}  // namespace

void MainWindow::createSegmentControls() {
  auto make = [this](const char* name, const QString& text, const QKeySequence& key, auto handler) {
    return makeAction(name, text, key, handler);
  };
  SegmentListModel& list = session_.segments();
  addSegmentAction = make("addSegmentAction", "Add Segment", Qt::Key_A, &MainWindow::onAddSegmentTriggered);
  undoAction = make("undoAction", "Undo", QKeySequence::Undo, [&list] { list.undoStack().undo(); });
  redoAction =
      make("redoAction", "Redo", Qt::CTRL | Qt::SHIFT | Qt::Key_Z, [&list] { list.undoStack().redo(); });
  importSegmentsAction =
      make("importSegmentsAction", "Import Segment List...", {}, &MainWindow::importSegments);
  exportSegmentsAction =
      make("exportSegmentsAction", "Export Segment List...", {}, &MainWindow::exportSegments);
  showSegmentsAction = new QAction("Segments", this);
  showSegmentsAction->setObjectName("showSegmentsAction");
  showSegmentsAction->setCheckable(true);
  connect(showSegmentsAction, &QAction::toggled, this, &MainWindow::showSegmentPanel);

  addSegmentButton = new QPushButton("Add Segment", this);
  addSegmentButton->setObjectName("addSegmentButton");
  addSegmentButton->setGeometry(layout::kAddSegmentButton);
  addSegmentButton->setFocusPolicy(Qt::StrongFocus);
  addSegmentButton->setAutoDefault(false);
  connect(addSegmentButton, &QPushButton::clicked, addSegmentAction, &QAction::trigger);
  addSegmentButton->setToolTip("Add Segment (A): the marked stretch into the segment list");
  addSegmentButton->installEventFilter(this);
  // In reading order: under Help, before the slider.
  setTabOrder(helpButton, addSegmentButton);
  setTabOrder(addSegmentButton, positionSlider);

  segmentPanel = new SegmentPanel(list, this);
  segmentPanel->hide();
  connect(segmentPanel, &SegmentPanel::segmentSelected, this, &MainWindow::onSegmentSelected);
  connect(segmentPanel, &SegmentPanel::selectionChanged, this, &MainWindow::showSegmentBands);
  connect(&list, &SegmentListModel::listChanged, this, &MainWindow::onSegmentsChanged);
  connect(&list, &SegmentListModel::edited, this, &MainWindow::rememberSegments);
  connect(&list, &SegmentListModel::refused, this, [this](const QString& reason) {
    services_.messages.inform("The segment was not changed.", reason);
  });
  connect(&list.undoStack(), &QUndoStack::indexChanged, this, &MainWindow::showSession);
}

void MainWindow::onAddSegmentTriggered() {
  if (!session_.hasFile()) return;
  if (!session_.selectionValid()) {
    services_.messages.inform(kInvalidSelection);
    return;
  }
  const QString problem = session_.segments().add({session_.markStart(), session_.markEnd(), {}});
  if (!problem.isEmpty()) services_.messages.inform("The segment was not added.", problem);
}

void MainWindow::onSegmentSelected(int row) {
  const cut::SegmentList& list = session_.segments().segments();
  if (row < 0 || row >= int(list.size())) return;
  session_.setMarkStart(list[size_t(row)].start);
  session_.setMarkEnd(list[size_t(row)].end);
  startLabel->setText(session_.timeText(session_.markStart()));
  endLabel->setText(session_.timeText(session_.markEnd()));
  showSelectionLength();
  showSegmentBands();
}

void MainWindow::onSegmentsChanged() {
  const SegmentListModel& list = session_.segments();
  // The list comes into view with its first segment; hidden again, it stays so until asked for.
  if (!list.isEmpty() && !segmentShownOnce_) {
    segmentShownOnce_ = true;
    showSegmentsAction->setChecked(true);
  }
  exportSegmentsAction->setEnabled(!list.isEmpty());
  showSegmentBands();
  showSession();
}

void MainWindow::rememberSegments() {
  const SegmentListModel& list = session_.segments();
  if (session_.hasFile())
    settings_.rememberSegmentList(
        session_.file(), list.isEmpty()
                             ? QString()
                             : cut::SegmentDocumentJson({session_.file(), list.mode(), list.segments()}));
}

void MainWindow::showSegmentPanel(bool shown) {
  if (shown == segmentPanel->isVisibleTo(this)) return;
  const int panel = layout::kSegmentPanelWidth;
  const int smallest = layout::kWindow.width() + (shown ? panel : 0);
  // The picture keeps its size: the window grows by the list's width, and gives it back.
  const int wanted = std::max(smallest, width() + (shown ? panel : -panel));
  setMinimumWidth(smallest);
  segmentPanel->setVisible(shown);
  if (!isMaximized() && !isFullScreen()) resize(wanted, height());
  layOutControls();
}

void MainWindow::restoreSegments() {
  SegmentListModel& list = session_.segments();
  list.setVideoEnd(player_->duration());
  const std::optional<QString> remembered = settings_.segmentList(session_.file());
  QString problem;
  const std::optional<cut::SegmentDocument> document =
      remembered ? cut::ParseSegmentDocumentJson(*remembered, problem) : std::nullopt;
  if (document && cut::SegmentListProblem(document->segments, list.videoEnd()).isEmpty())
    list.restore(document->segments, document->mode);
}

void MainWindow::importSegments() {
  FileDialogRequest request;
  request.title = "Import Segment List";
  request.filter = kSegmentListFilter;
  request.folder = QFileInfo(session_.file()).absolutePath();
  const std::optional<QString> path = services_.dialogs.chooseFileToOpen(request);
  if (!path) return;
  const std::optional<QString> text = services_.files.readText(*path);
  if (!text) {
    services_.messages.inform(kNotImported, QString("%1 cannot be read.").arg(*path));
    return;
  }
  QString problem;
  std::optional<cut::SegmentDocument> document;
  if (text->trimmed().startsWith('{')) {
    document = cut::ParseSegmentDocumentJson(*text, problem);
  } else if (const std::optional<cut::SegmentList> csv = cut::ParseSegmentListCsv(*text, problem)) {
    document = cut::SegmentDocument{{}, session_.segments().mode(), *csv};
  }
  if (document)
    problem = session_.segments().replaceAll(document->segments, document->mode, "Import Segment List");
  if (!problem.isEmpty()) services_.messages.inform(kNotImported, problem);
}

void MainWindow::exportSegments() {
  const SegmentListModel& list = session_.segments();
  FileDialogRequest request;
  request.title = "Export Segment List";
  request.filter = "CSV Files|*.csv|JSON Files|*.json";
  const QFileInfo video(session_.file());
  request.fileName = video.absolutePath() + "/" + video.completeBaseName() + "-segments.csv";
  const std::optional<QString> path = services_.dialogs.chooseFileToSave(request);
  if (!path) return;
  const bool json = QFileInfo(*path).suffix().toLower() == "json";
  const QString text = json ? cut::SegmentDocumentJson({session_.file(), list.mode(), list.segments()})
                            : cut::SegmentListCsv(list.segments());
  if (!services_.files.writeText(*path, text))
    services_.messages.inform(kNotExported, QString("%1 cannot be written.").arg(*path));
}

void MainWindow::showSegmentBands() {
  QList<PositionSlider::Band> bands;
  for (const cut::Segment& segment : session_.segments().segments())
    bands.append({segment.start, segment.end});
  const QList<int> selected = segmentPanel->selectedRows();
  positionSlider->setBands(bands, selected.size() == 1 ? selected[0] : -1);
}

}  // namespace vintrel
