#include "widgets/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace vintrel {

QIcon appIcon() {
  QIcon icon;
  for (int size : {48, 32, 24, 16}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size / 48.0;
    // A strip of film with a green cut in it.
    painter.setBrush(QColor(40, 40, 48));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(4 * s, 10 * s, 40 * s, 28 * s), 4 * s, 4 * s);
    painter.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i) {
      painter.drawRect(QRectF((8 + i * 8) * s, 13 * s, 4 * s, 3 * s));
      painter.drawRect(QRectF((8 + i * 8) * s, 32 * s, 4 * s, 3 * s));
    }
    painter.setBrush(QColor(0, 128, 0));
    painter.drawRect(QRectF(17 * s, 6 * s, 3 * s, 36 * s));
    painter.drawRect(QRectF(29 * s, 6 * s, 3 * s, 36 * s));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace vintrel
