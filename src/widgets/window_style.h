#pragma once
// The look the program's windows share.
#include <QColor>
#include <QSize>
#include <QString>

class QWidget;

namespace vintrel {

// A fixed-size window with a white background, the program's icon, a name and a caption.
void setUpFixedWindow(QWidget* window, const char* name, const QString& caption, QSize size);
// The same look for a window the user may make larger than `size`, never smaller.
void setUpGrowingWindow(QWidget* window, const char* name, const QString& caption, QSize size);
// Shows a box (a dialog, a message) over the middle of its owner's window each time it is
// shown, at the size it settles at then, and whole on the owner's screen.
void centreOnOwner(QWidget* box);
// Fills the widget's background with a colour and writes its text in another.
void paint(QWidget* widget, const QColor& background, const QColor& text = Qt::black);

}  // namespace vintrel
