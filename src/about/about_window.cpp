#include "about/about_window.h"

#include <QVBoxLayout>

#include "widgets/app_icon.h"
#include "widgets/window_style.h"

namespace vintrel {

namespace {

struct AboutLabel {
  const char* name;
  const char* text;
};

const AboutLabel kLabels[] = {
    {"copyrightLabel", "\u00A9 2009 The Vintrel developers"},
    {"encoderLabel",
     "This software basically provides a user interface to a great software FFMPEG released under GPL."},
    {"encoderSourceLabel",
     "The installer of this software contains FFMPEG compiled with extra libraries which is copied as "
     "ffmpeg"},
    {"thanksLabel",
     "in the application directory. Thanks to the FFmpeg developers and the Debian packagers who build it."},
};

}  // namespace

AboutWindow::AboutWindow(const QString& credits, QWidget* owner) : QDialog(owner) {
  setObjectName("aboutWindow");
  setWindowTitle("About");
  setWindowIcon(appIcon());
  setSizeGripEnabled(true);
  centreOnOwner(this);
  paint(this, Qt::white);
  auto* layout = new QVBoxLayout(this);
  QLabel* first = nullptr;
  for (const AboutLabel& about : kLabels) {
    auto* label = new QLabel(QString::fromUtf8(about.text), this);
    label->setObjectName(about.name);
    label->setWordWrap(false);
    layout->addWidget(label);
    if (!first) {
      first = label;
      layout->addSpacing(label->fontMetrics().height() / 2);
    }
  }
  copyrightLabel = first;
  QFont font = copyrightLabel->font();
  font.setUnderline(true);
  copyrightLabel->setFont(font);

  creditsBox = new QTextEdit(this);
  creditsBox->setObjectName("creditsBox");
  creditsBox->setReadOnly(true);
  // Plain text: the credits file is written as such.
  creditsBox->setPlainText(credits);
  creditsBox->setMinimumHeight(creditsBox->fontMetrics().lineSpacing() * 10);
  layout->addWidget(creditsBox, 1);
  // No smaller than its lines: none is clipped.
  setMinimumSize(sizeHint());
}

}  // namespace vintrel
