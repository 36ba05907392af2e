#pragma once
#include <QStringList>

#include "platform/platform.h"

namespace vintrel {

// "All Video Files|*.dat;*.mp4|All Files(*.*)|*.*" in Qt's form:
// {"All Video Files (*.dat *.DAT *.mp4 *.MP4)", "All Files(*.*) (*)"}. Patterns match
// either letter case, as users of such a filter expect, and "*.*" means every file.
QStringList TranslateFilter(const QString& filter);

// The Open and Save dialogs on QFileDialog.
class QtCommonDialog : public ICommonDialog {
 public:
  void ShowOpen() override;
  void ShowSave() override;

 private:
  void Show(bool save);
};

}  // namespace vintrel
