#pragma once
// The About window.
#include <QLabel>
#include <QTextEdit>
#include <QWidget>

namespace vintrel {

class IFiles;

// Shows the credits file. The file is read as text; rich text markup is the file's business.
class RichTextBox : public QTextEdit {
  Q_OBJECT
 public:
  RichTextBox(IFiles& files, QWidget* parent);
  // Replaces the text with the file's; raises an error when the file cannot be read.
  void LoadFile(const QString& path);

 private:
  IFiles& files_;
};

class Form2 : public QWidget {
  Q_OBJECT
 public:
  explicit Form2(IFiles& files);
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  RichTextBox* RichTextBox1;
  // Underlines Label1 and loads the credits; a missing file leaves the box empty.
  void Form_Load();

 private:
  IFiles& files_;
};

}  // namespace vintrel
