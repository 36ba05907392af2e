#pragma once
// The box that tells a save is done: the text, one line about the file that the box widens
// for rather than break (a file name split at its hyphens reads as two names), the full
// report in a pane that opens on demand and grows with the box, and "Show in Folder".
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vintrel {

class SavedBox : public QDialog {
  Q_OBJECT
 public:
  SavedBox(const QString& text, const QString& summary, const QString& report, QWidget* parent);
  // The user left the box with "Show in Folder".
  bool folderChosen() const { return folderChosen_; }

  QLabel* summaryLabel;
  QPlainTextEdit* detailsPane;
  QPushButton* detailsButton;  // "Show Details..." / "Hide Details..."
  QPushButton* folderButton;
  QPushButton* okButton;

 private:
  void showDetails(bool shown);
  bool folderChosen_ = false;
};

}  // namespace vintrel
