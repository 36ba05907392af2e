#include "platform/common_dialog.h"

#include <QApplication>
#include <QFileDialog>

namespace vintrel {

QStringList TranslateFilter(const QString& filter) {
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

void QtCommonDialog::ShowOpen() { Show(false); }
void QtCommonDialog::ShowSave() { Show(true); }

void QtCommonDialog::Show(bool save) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setObjectName(save ? "SaveDialog" : "OpenDialog");
  // The program asks about replacing a file itself.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!DialogTitle.isEmpty()) dialog.setWindowTitle(DialogTitle);
  const QStringList filters = TranslateFilter(Filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    const int index = std::clamp(FilterIndex, 1, static_cast<int>(filters.size())) - 1;
    dialog.selectNameFilter(filters[index]);
  }
  if (save) {
    // A name typed without an extension gets the first entry's, so the encoder knows
    // what to write ("AVI Files|*.avi" makes "cut" into "cut.avi").
    const QString first = Filter.section('|', 1, 1).section(';', 0, 0).trimmed();
    if (first.startsWith("*.") && first != "*.*") dialog.setDefaultSuffix(first.mid(2));
  }
  if (!FileName.isEmpty()) dialog.selectFile(FileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    throw VbError(kErrCancel, "Cancel was selected.");
  }
  FileName = dialog.selectedFiles().constFirst();
}

}  // namespace vintrel
