#include "platform/qt_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>

namespace vintrel {

QStringList qtNameFilters(const QString& filter) {
  QStringList result;
  const QStringList parts = filter.split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& raw : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString pattern = raw.trimmed();
      if (pattern == "*.*" || pattern == "*") {
        patterns << "*";
        continue;
      }
      patterns << pattern;
      if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
    }
    result << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
  }
  return result;
}

namespace {

// The dialog reads double quotes in a typed name as a list of names ("a" "b") and keeps
// the first: `cut "q" it.mp4` would become `q.mp4`. A name the user typed is taken as it
// stands instead, completed as the dialog completes names. Nothing when the user chose
// the file in the list (its name is right, quotes and all) or typed no quote.
std::optional<QString> typedNameWithQuotes(const QFileDialog& dialog) {
  const auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
  if (!edit || !edit->text().contains('"')) return std::nullopt;
  const QString typed = edit->text();
  // Chosen in the list: the dialog's answer already names that file.
  for (const QString& selected : dialog.selectedFiles())
    if (QFileInfo(selected).fileName() == QFileInfo(typed).fileName()) return std::nullopt;
  QString path = QDir::isAbsolutePath(typed) ? typed : dialog.directory().absoluteFilePath(typed);
  if (!dialog.defaultSuffix().isEmpty() && QFileInfo(path).suffix().isEmpty())
    path += "." + dialog.defaultSuffix();
  return path;
}

// The request's choices as a row under the file name; the widget dialog is the one that has room.
QComboBox* addChoices(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  if (!grid) return nullptr;
  auto* choices = new QComboBox(&dialog);
  choices->setObjectName("saveChoice");
  choices->addItems(request.choices);
  choices->setCurrentIndex(std::clamp(request.choice, 0, int(request.choices.size()) - 1));
  const int row = grid->rowCount();
  grid->addWidget(new QLabel("Segments:", &dialog), row, 0);
  grid->addWidget(choices, row, 1);
  return choices;
}

std::optional<QString> showFileDialog(const FileDialogRequest& request, bool save, int* choice = nullptr) {
  QFileDialog dialog(QApplication::activeWindow());
  QComboBox* choices = choice && !request.choices.isEmpty() ? addChoices(dialog, request) : nullptr;
  dialog.setObjectName(save ? "SaveDialog" : "OpenDialog");
  // The program asks about replacing a file itself.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  const QStringList filters = qtNameFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size())) - 1;
    dialog.selectNameFilter(filters[index]);
  }
  if (save) {
    // A name typed without an extension gets the first entry's, so the cut knows what to
    // write ("AVI Files|*.avi" makes "cut" into "cut.avi").
    const QString first = request.filter.section('|', 1, 1).section(';', 0, 0).trimmed();
    if (first.startsWith("*.") && first != "*.*") dialog.setDefaultSuffix(first.mid(2));
  }
  if (!request.folder.isEmpty() && QFileInfo(request.folder).isDir()) dialog.setDirectory(request.folder);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  if (choices) *choice = choices->currentIndex();
  if (const std::optional<QString> typed = typedNameWithQuotes(dialog)) return typed;
  return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> QtFileDialogs::chooseFileToOpen(const FileDialogRequest& request) {
  return showFileDialog(request, false);
}

std::optional<QString> QtFileDialogs::chooseFileToSave(const FileDialogRequest& request) {
  return showFileDialog(request, true);
}

std::optional<SaveAnswer> QtFileDialogs::chooseFileToSaveWithChoice(const FileDialogRequest& request) {
  int choice = request.choice;
  const std::optional<QString> path = showFileDialog(request, true, &choice);
  if (!path) return std::nullopt;
  return SaveAnswer{*path, choice};
}

void QtMessages::inform(const QString& text, const QString& detail) {
  QMessageBox box(QMessageBox::Information, "Vintrel", text, QMessageBox::Ok, QApplication::activeWindow());
  if (!detail.isEmpty()) box.setInformativeText(detail);
  box.exec();
}

bool QtMessages::informSaved(const QString& text, const QString& summary, const QString& report) {
  QMessageBox box(QMessageBox::Information, "Vintrel", text, QMessageBox::Ok, QApplication::activeWindow());
  box.setInformativeText(summary);
  // The box makes its own "Show Details..." button for it.
  if (!report.isEmpty()) box.setDetailedText(report);
  QPushButton* showInFolder = box.addButton("Show in Folder", QMessageBox::ActionRole);
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  return box.clickedButton() == showInFolder;
}

bool QtMessages::askYesNo(const QString& text) {
  QMessageBox box(QMessageBox::Question, "Vintrel", text, QMessageBox::Yes | QMessageBox::No,
                  QApplication::activeWindow());
  return box.exec() == QMessageBox::Yes;
}

bool DesktopUrlOpener::open(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

QString RealFiles::programFolder() { return QCoreApplication::applicationDirPath(); }

bool RealFiles::exists(const QString& path) {
  struct stat st;
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool RealFiles::sameFile(const QString& a, const QString& b) {
  struct stat sa, sb;
  if (::stat(QFile::encodeName(a).constData(), &sa) != 0) return false;
  if (::stat(QFile::encodeName(b).constData(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RealFiles::folderWritable(const QString& path) {
  const QString folder = QFileInfo(path).absolutePath();
  // Making a file is the one test that holds everywhere: access() says yes to root for
  // folders no file can be made in (/proc, /sys). The probe is named as the cut's work files
  // are, so even one left by a crash here is removed by the next cut in this folder.
  const QString probe = folder + "/" +
                        cut::WorkFilePrefix(::getpid(), QRandomGenerator::system()->generate64()) +
                        "folder-check";
  const QByteArray name = QFile::encodeName(probe);
  const int fd = ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(name.constData());
  return true;
}

bool RealFiles::folderExists(const QString& path) {
  return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

std::optional<cut::FileIdentity> RealFiles::identity(const QString& path) { return cut::IdentityOf(path); }

std::optional<QString> RealFiles::readText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return QString::fromUtf8(file.readAll());
}

bool RealFiles::writeText(const QString& path, const QString& text) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(text.toUtf8());
  return file.commit();
}

}  // namespace vintrel
