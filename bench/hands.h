#pragma once
// A user's hands on the real widgets of this process: the whole-program tests' (answering the
// modal dialogs, pressing buttons, dragging the slider), with waits on a real event loop and a
// file choice that notes the moment the program's work starts from.
#include <QString>
#include <QWidget>
#include <functional>

#include "timing.h"
#include "x11/ui_driver.h"

namespace bench {

using uidriver::Answer;
using uidriver::DragSlider;
using uidriver::ForgetAnswers;
using uidriver::Press;
inline int PendingAnswers() { return uidriver::Pending(); }

// Waits (handling events) until done() holds; false when the time ran out.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
// Handles events for the given time, as a user watching the window lets it run.
void Watch(int milliseconds);

// The path typed into the file dialog's name field, then Enter. `chosen` gets the moment
// Enter is pressed: the time the program's work starts from.
std::function<void(QWidget*)> ChoosePath(const QString& path, Time* chosen);

}  // namespace bench
