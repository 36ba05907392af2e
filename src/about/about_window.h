#pragma once
// The About window: the credits, with the text of thanks.txt.
#include <QLabel>
#include <QTextEdit>
#include <QWidget>

namespace vintrel {

class AboutWindow : public QWidget {
  Q_OBJECT
 public:
  // credits: the text of thanks.txt.
  AboutWindow(const QString& credits, QWidget* owner);

  QLabel* copyrightLabel;
  QTextEdit* creditsBox;
};

}  // namespace vintrel
