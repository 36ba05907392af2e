#include "about/about_window.h"

#include "widgets/window_style.h"

namespace vintrel {

namespace {

struct AboutLabel {
  const char* name;
  const char* text;
  QRect geometry;
};

const AboutLabel kLabels[] = {
    {"copyrightLabel", "\u00A9 2009 The Vintrel developers", {18, 15, 165, 20}},
    {"encoderLabel",
     "This software basically provides a user interface to a great software FFMPEG released under GPL.",
     {34, 41, 478, 20}},
    {"encoderSourceLabel",
     "The installer of this software contains FFMPEG compiled with extra libraries which is copied as ffmpeg",
     {33, 72, 501, 20}},
    {"thanksLabel",
     "in the application directory. Thanks to the FFmpeg developers and the Debian packagers who build it.",
     {34, 88, 501, 20}},
};

}  // namespace

AboutWindow::AboutWindow(const QString& credits, QWidget* owner) : QWidget(owner, Qt::Window) {
  setUpFixedWindow(this, "aboutWindow", "About", {558, 321});
  QLabel* first = nullptr;
  for (const AboutLabel& about : kLabels) {
    auto* label = new QLabel(QString::fromUtf8(about.text), this);
    label->setObjectName(about.name);
    label->setGeometry(about.geometry);
    paint(label, Qt::white);
    if (!first) first = label;
  }
  copyrightLabel = first;
  QFont font = copyrightLabel->font();
  font.setUnderline(true);
  copyrightLabel->setFont(font);

  creditsBox = new QTextEdit(this);
  creditsBox->setObjectName("creditsBox");
  creditsBox->setGeometry(32, 110, 504, 202);
  creditsBox->setReadOnly(true);
  // Plain text: the credits file is written as such.
  creditsBox->setPlainText(credits);
}

}  // namespace vintrel
