#include "about/form2.h"

#include <QFont>

#include "app/form1.h"
#include "platform/platform.h"

namespace vintrel {

RichTextBox::RichTextBox(IFiles& files, QWidget* parent) : QTextEdit(parent), files_(files) {}

void RichTextBox::LoadFile(const QString& path) {
  // Shown as plain text: the credits file is written as such.
  setPlainText(files_.ReadText(path));
}

namespace {
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int left, int top, int width, int height) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(Px(left), Px(top), Px(width), Px(height));
  Paint(label, Qt::white);
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}
}  // namespace

Form2::Form2(IFiles& files) : QWidget(nullptr), files_(files) {
  SetUpFixedWindow(this, "Form2", "About", 8370, 4815);
  // Closing the window unloads it; the next "About..." loads it afresh.
  setAttribute(Qt::WA_DeleteOnClose);

  Label1 = MakeLabel(this, "Label1", QString::fromUtf8("\u00A9 2009 The Vintrel developers"), 270, 225, 2475, 300);
  Label2 = MakeLabel(this, "Label2",
                     "This software basically provides a user interface to a great software FFMPEG "
                     "released under GPL.",
                     510, 615, 7170, 300);
  Label3 = MakeLabel(this, "Label3",
                     "The installer of this software contains FFMPEG compiled with extra libraries "
                     "which is copied as ffmpeg.exe",
                     495, 1080, 7515, 300);
  Label4 = MakeLabel(this, "Label4",
                     "in the application directory. Thanks to the FFmpeg developers and the Debian "
                     "packagers who build it.",
                     510, 1320, 7515, 300);
  RichTextBox1 = new RichTextBox(files_, this);
  RichTextBox1->setObjectName("RichTextBox1");
  RichTextBox1->setGeometry(Px(480), Px(1650), Px(7560), Px(3030));
  RichTextBox1->setReadOnly(true);
  RichTextBox1->setFocusPolicy(Qt::StrongFocus);
  Form_Load();
}

void Form2::Form_Load() {
  QFont font = Label1->font();
  font.setUnderline(true);
  Label1->setFont(font);
  try {
    RichTextBox1->LoadFile(files_.AppPath() + "/thanks.txt");
  } catch (const std::exception&) {
    // Shown with an empty text box; start-up reports a missing file itself.
  }
}

}  // namespace vintrel
