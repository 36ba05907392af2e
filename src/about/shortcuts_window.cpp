#include "about/shortcuts_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "widgets/window_style.h"

namespace vintrel {

ShortcutsWindow::ShortcutsWindow(const QList<ShortcutRow>& rows, QWidget* owner) : QDialog(owner) {
  setObjectName("shortcutsWindow");
  setWindowTitle("Keyboard Shortcuts");
  setSizeGripEnabled(true);
  centreOnOwner(this);
  table = new QTableWidget(static_cast<int>(rows.size()), 2, this);
  table->setObjectName("shortcutsTable");
  table->setHorizontalHeaderLabels({"Key", "What it does"});
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setWordWrap(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  for (int row = 0; row < rows.size(); ++row) {
    table->setItem(row, 0, new QTableWidgetItem(rows[row].keys));
    table->setItem(row, 1, new QTableWidgetItem(rows[row].what));
  }
  table->resizeColumnsToContents();
  const int listWidth = table->horizontalHeader()->length();
  table->horizontalHeader()->setStretchLastSection(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table);
  layout->addWidget(buttons);

  // As large as the list needs, up to most of a small screen; the rest scrolls.
  const QMargins margins = layout->contentsMargins();
  const int width = listWidth + table->frameWidth() * 2 + table->verticalScrollBar()->sizeHint().width() +
                    margins.left() + margins.right();
  const int height = table->verticalHeader()->length() + table->horizontalHeader()->sizeHint().height() +
                     table->frameWidth() * 2 + buttons->sizeHint().height() + layout->spacing() +
                     margins.top() + margins.bottom();
  resize(std::max(width, sizeHint().width()), std::min(height, 700));
}

}  // namespace vintrel
