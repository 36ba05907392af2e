#pragma once
// The About window: the credits, with the text of thanks.txt.
#include <QDialog>
#include <QLabel>
#include <QTextEdit>

namespace vintrel {

// Not modal: the main window goes on playing beside it. Esc closes it; it opens centred on
// its owner, as wide as its lines need, and may be made larger to read the credits.
class AboutWindow : public QDialog {
  Q_OBJECT
 public:
  // credits: the text of thanks.txt.
  AboutWindow(const QString& credits, QWidget* owner);

  QLabel* copyrightLabel;
  QTextEdit* creditsBox;
};

}  // namespace vintrel
