#pragma once
// The Keyboard Shortcuts window: every key of the main window and what it does.
#include <QDialog>
#include <QList>
#include <QString>

class QTableWidget;

namespace vintrel {

struct ShortcutRow {
  QString keys;  // as the keyboard says them: "Ctrl+O", "Shift+Left"
  QString what;
};

class ShortcutsWindow : public QDialog {
  Q_OBJECT
 public:
  ShortcutsWindow(const QList<ShortcutRow>& rows, QWidget* owner);
  QTableWidget* table;
};

}  // namespace vintrel
