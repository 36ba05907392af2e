#include "private_settings.h"

#include <QSettings>
#include <QTemporaryDir>

namespace testsettings {

void UsePrivateSettings() {
  static QTemporaryDir folder;
  // Programs started by the tests find their settings through the environment.
  qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
    QSettings::setPath(format, QSettings::UserScope, folder.path());
    QSettings::setPath(format, QSettings::SystemScope, folder.path() + "/system");
  }
}

void ForgetSettings() { QSettings("Vintrel", "Vintrel").clear(); }

}  // namespace testsettings
