#include "platform/qt_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

#include "cut/protocol/work_file_names.h"
#include "platform/saved_box.h"
#include "widgets/window_style.h"

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

// The window a box or dialog belongs to: the active one, else the program's own window (a save
// may end while the user works in another program's window): never the bare screen.
QWidget* boxOwner() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && !top->parentWidget() && top->windowType() == Qt::Window) return top;
  return nullptr;
}

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

// The list's size and date columns shown whole, the name taking what is left; the dialog
// opens wide enough for all of them.
void showColumnsWhole(QFileDialog& dialog) {
  auto* list = dialog.findChild<QTreeView*>("treeView");
  if (!list) return;
  QHeaderView* header = list->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < header->count(); ++column)
    header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  const QFontMetrics metrics = dialog.fontMetrics();
  dialog.resize(std::max(dialog.sizeHint().width(), metrics.averageCharWidth() * 110),
                std::max(dialog.sizeHint().height(), metrics.lineSpacing() * 28));
}

std::optional<QString> showFileDialog(const FileDialogRequest& request, bool save, int* choice = nullptr) {
  QFileDialog dialog(boxOwner());
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
  showColumnsWhole(dialog);
  centreOnOwner(&dialog);
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

namespace {

// A key the boxes have no use of their own for: with Ctrl or Alt, or a function key.
bool commandKey(const QKeySequence& key) {
  if (key.isEmpty()) return false;
  const QKeyCombination first = key[0];
  const bool function = first.key() >= Qt::Key_F1 && first.key() <= Qt::Key_F35;
  return function || (first.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

// A box over a window: a command's key pressed while it is up (Ctrl+O right after "Done")
// closes it and then runs the command, instead of being lost to the box.
void passCommandKeysOn(QDialog& box) {
  QWidget* owner = box.parentWidget() ? box.parentWidget()->window() : nullptr;
  if (!owner) return;
  for (QAction* action : owner->actions()) {
    for (const QKeySequence& key : action->shortcuts()) {
      if (!commandKey(key)) continue;
      auto* shortcut = new QShortcut(key, &box);
      QObject::connect(shortcut, &QShortcut::activated, &box, [&box, action] {
        box.reject();
        QTimer::singleShot(0, action, [action] {
          if (action->isEnabled()) action->trigger();
        });
      });
    }
  }
}

}  // namespace

void QtMessages::inform(const QString& text, const QString& detail) {
  QMessageBox box(QMessageBox::Information, "Vintrel", text, QMessageBox::Ok, boxOwner());
  if (!detail.isEmpty()) box.setInformativeText(detail);
  box.setEscapeButton(QMessageBox::Ok);
  centreOnOwner(&box);
  passCommandKeysOn(box);
  box.exec();
}

bool QtMessages::informSaved(const QString& text, const QString& summary, const QString& report) {
  SavedBox box(text, summary, report, boxOwner());
  centreOnOwner(&box);
  passCommandKeysOn(box);
  box.exec();
  return box.folderChosen();
}

bool QtMessages::askYesNo(const QString& text, const QString& detail) {
  QMessageBox box(QMessageBox::Question, "Vintrel", text, QMessageBox::Yes | QMessageBox::No, boxOwner());
  if (!detail.isEmpty()) box.setInformativeText(detail);
  box.setEscapeButton(QMessageBox::No);
  centreOnOwner(&box);
  passCommandKeysOn(box);
  return box.exec() == QMessageBox::Yes;
}

bool DBusNotifier::notify(const QString& summary, const QString& body) {
  QDBusInterface service("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", QDBusConnection::sessionBus());
  if (!service.isValid()) return false;
  // Replaces no earlier notification (0); the server's own time-out (-1).
  const QDBusReply<uint> reply = service.call("Notify", QString("Vintrel"), 0u, QString("vintrel"), summary,
                                              body, QStringList(), QVariantMap(), -1);
  return reply.isValid();
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
