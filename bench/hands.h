#pragma once
// A user's hands on the real widgets of this process: answering the modal dialogs and
// message boxes the commands open, dragging the slider, and letting the window run.
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "timing.h"

namespace vintrel {
class PositionSlider;
}

namespace bench {

// Waits (handling events) until done() holds; false when the time ran out.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);
// Handles events for the given time, as a user watching the window lets it run.
void Watch(int milliseconds);

// Answers the next modal dialogs as they open, in turn: each answer gets the modal widget.
void Answer(std::vector<std::function<void(QWidget*)>> answers);
// How many queued answers still wait for their dialog.
int PendingAnswers();
// Drops the answers not used (a dialog that never came).
void ForgetAnswers();

// The path typed into the file dialog's name field, then Enter. `chosen` gets the moment
// Enter is pressed: the time the program's work starts from.
std::function<void(QWidget*)> ChoosePath(const QString& path, Time* chosen);
// Presses a message box's button by its caption.
std::function<void(QWidget*)> Press(const QString& caption);

// Drags the slider's thumb to the spot of `value` and lets it go.
void DragSlider(vintrel::PositionSlider* slider, int value);

}  // namespace bench
